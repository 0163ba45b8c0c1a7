#include "link/pictureupload.h"

#include "protocol/graphicscommands.h"
#include "protocol/picture.h"

namespace lumivor::link {

QList<PacedWrite> pictureUploadWrites(const QByteArray& packedScreen)
{
    const auto preamble = protocol::pictureUploadPreamble();
    QList<PacedWrite> writes{
        {preamble[0], touchOffPause}, {preamble[1], columnPause}, {preamble[2], pagePause}};
    writes.reserve(writes.size() + protocol::screenDataBytes);
    for (int i = 0; i < protocol::screenDataBytes; ++i) {
        const char byte = i < packedScreen.size() ? packedScreen.at(i) : '\0';
        writes.append({protocol::writeDataByte(static_cast<std::uint8_t>(byte)), {}});
    }
    return writes;
}

} // namespace lumivor::link
