#include "protocol/linkcommands.h"

#include "protocol/commandbytes.h"

namespace lumivor::protocol {

using detail::commandBytes;

QByteArray identify()
{
    return commandBytes({0x49, 0x44});
}

QByteArray queryId()
{
    return commandBytes({0x28, 0x00});
}

QByteArray baudRate(RateIndex index)
{
    return commandBytes({0x0F, index.value()});
}

} // namespace lumivor::protocol
