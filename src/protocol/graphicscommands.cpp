#include "protocol/graphicscommands.h"

#include "protocol/commandbytes.h"
#include "protocol/operatornumber.h"

namespace lumivor::protocol {

using detail::commandBytes;

QByteArray writeDataByte(std::uint8_t byte)
{
    return commandBytes({0x03, byte});
}

QByteArray pixelStringHeader(std::uint8_t pairCount)
{
    return commandBytes({0x0A, pairCount});
}

QByteArray pixelPair(std::uint8_t x, std::uint8_t y)
{
    return commandBytes({x, y});
}

std::optional<QByteArray> shape(ShapeOperation operation, Shape kind, std::uint8_t x1,
                                std::uint8_t y1, std::uint8_t x2, std::uint8_t y2)
{
    if (operation == ShapeOperation::Clear && kind == Shape::ReversedRectangle)
        return std::nullopt;
    return commandBytes(
        {static_cast<std::uint8_t>(operation), static_cast<std::uint8_t>(kind), x1, y1, x2, y2});
}

QByteArray circle(CircleOperation operation, std::uint8_t radius, std::uint8_t centreX,
                  std::uint8_t centreY)
{
    return commandBytes({static_cast<std::uint8_t>(operation), radius, centreX, centreY});
}

QList<QByteArray> patternWrites(const QString& text)
{
    QList<QByteArray> writes;
    if (text.isEmpty())
        return writes;
    for (const QString& entry : text.split(QLatin1Char(','), Qt::KeepEmptyParts)) {
        const OperatorByte value = readOperatorByte(entry);
        if (value.ok())
            writes.append(writeDataByte(value.value()));
    }
    return writes;
}

} // namespace lumivor::protocol
