#include "cli/report.h"

#include "cli/texts.h"

#include "link/comports.h"

#include <QJsonArray>
#include <QJsonObject>

namespace lumivor::cli {

namespace {

QString originText(link::PortOrigin origin)
{
    switch (origin) {
    case link::PortOrigin::PortLink:
        return tr("port link");
    case link::PortOrigin::Uart:
        return tr("UART");
    case link::PortOrigin::OtherDevice:
        return tr("serial device");
    case link::PortOrigin::SystemName:
        return tr("system port");
    }
    return {};
}

} // namespace

QString outcomeWord(ExitCode code)
{
    switch (code) {
    case ExitCode::Success:
        return tr("ok");
    case ExitCode::Differ:
        return tr("differ");
    case ExitCode::Usage:
        return tr("not possible");
    case ExitCode::NoAnswer:
        return tr("no answer");
    case ExitCode::PortError:
        return tr("port error");
    case ExitCode::BadInput:
        return tr("bad input");
    case ExitCode::TimedOut:
        return tr("time-out");
    case ExitCode::ProtocolError:
        return tr("protocol error");
    case ExitCode::CannotWrite:
        return tr("cannot write");
    case ExitCode::Declined:
        return tr("declined");
    case ExitCode::VerifyFailed:
        return tr("verify failed");
    case ExitCode::Cancelled:
        return tr("cancelled");
    case ExitCode::Terminated:
        return tr("terminated");
    }
    return {};
}

QString resultLine(const PortResult& result)
{
    const QString where = result.device.isEmpty() || result.device == result.port.name()
                              ? result.port.name()
                              : QStringLiteral("%1 (%2)").arg(result.port.name(), result.device);
    return QStringLiteral("%1: %2: %3").arg(where, outcomeWord(result.code), result.summary);
}

QJsonDocument resultDocument(const QString& command, const QList<PortResult>& results,
                             ExitCode exitCode)
{
    QJsonArray ports;
    for (const PortResult& result : results) {
        QJsonObject entry = result.details;
        entry.insert(QStringLiteral("port"), result.port.name());
        entry.insert(QStringLiteral("device"), result.device);
        entry.insert(QStringLiteral("ok"), result.code == ExitCode::Success);
        entry.insert(QStringLiteral("exitCode"), int(result.code));
        entry.insert(QStringLiteral("outcome"), outcomeWord(result.code));
        entry.insert(QStringLiteral("summary"), result.summary);
        entry.insert(QStringLiteral("seconds"), result.seconds);
        ports.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), command},
                                     {QStringLiteral("exitCode"), int(exitCode)},
                                     {QStringLiteral("ports"), ports}});
}

QJsonDocument failureDocument(const QString& command, ExitCode exitCode, const QString& error)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), command},
                                     {QStringLiteral("exitCode"), int(exitCode)},
                                     {QStringLiteral("outcome"), outcomeWord(exitCode)},
                                     {QStringLiteral("error"), error},
                                     {QStringLiteral("ports"), QJsonArray()}});
}

ExitCode overallExitCode(const QList<PortResult>& results)
{
    for (const PortResult& result : results)
        if (result.code != ExitCode::Success)
            return result.code;
    return ExitCode::Success;
}

QString portTable(const link::ComPortTable& ports)
{
    QString table = tr("Port   Device                           Found as\n");
    for (int number : ports.presentNumbers()) {
        const QString problem = ports.problem(number);
        table += QStringLiteral("COM%1  %2 %3%4\n")
                     .arg(number, -2)
                     .arg(ports.devicePath(number), -32)
                     .arg(originText(ports.origin(number)),
                          problem.isEmpty() ? QString() : tr(" (cannot be opened)"));
    }
    if (ports.presentNumbers().isEmpty())
        table += tr("(no serial ports found)\n");
    return table;
}

QJsonDocument portDocument(const link::ComPortTable& ports)
{
    QJsonArray list;
    for (int number : ports.presentNumbers()) {
        QJsonObject entry{{QStringLiteral("port"), QStringLiteral("COM%1").arg(number)},
                          {QStringLiteral("number"), number},
                          {QStringLiteral("device"), ports.devicePath(number)},
                          {QStringLiteral("foundAs"), originText(ports.origin(number))}};
        if (const QString problem = ports.problem(number); !problem.isEmpty())
            entry.insert(QStringLiteral("problem"), problem);
        list.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), QStringLiteral("ports")},
                                     {QStringLiteral("exitCode"), 0},
                                     {QStringLiteral("ports"), list}});
}

} // namespace lumivor::cli
