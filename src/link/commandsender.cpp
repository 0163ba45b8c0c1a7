#include "link/commandsender.h"

namespace lumivor::link {

bool CommandSender::send(const QByteArray& bytes)
{
    return send([&bytes]() -> std::optional<QByteArray> { return bytes; });
}

bool CommandSender::send(const Builder& build)
{
    if (!port_.portOpen())
        return false;
    const std::optional<QByteArray> bytes = build();
    if (!bytes)
        return false;
    try {
        port_.output(*bytes);
        return true;
    } catch (const SerialPortError& error) {
        if (onFailure_)
            onFailure_(error);
        return false;
    }
}

} // namespace lumivor::link
