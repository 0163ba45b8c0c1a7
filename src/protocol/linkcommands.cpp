#include "protocol/linkcommands.h"

#include "protocol/commandbytes.h"
#include "protocol/operatornumber.h"

#include <QStringList>

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

bool isDetectionAnswer(const QString& reply)
{
    return reply.contains(QLatin1Char('6')) || carriesSettings(reply);
}

bool carriesSettings(const QString& reply)
{
    return reply.contains(QLatin1Char('!'));
}

std::optional<int> reportedContrast(const QString& reply)
{
    const QStringList fields = reply.split(QLatin1Char(','));
    const QString settings = fields.size() > 1 ? fields.at(1) : reply;
    const OperatorByte contrast = readOperatorByte(settings.section(QLatin1Char('!'), 0, 0));
    if (!contrast.ok())
        return std::nullopt;
    return contrast.value();
}

std::optional<QString> controllerIdOf(const QString& reply)
{
    if (reply.isEmpty())
        return std::nullopt;
    const QString id = reply.section(QLatin1Char('!'), 0, 0);
    return id.isEmpty() ? QStringLiteral("N/A") : id;
}

} // namespace lumivor::protocol
