#pragma once

#include "cli/portsession.h"

#include <QJsonDocument>
#include <QList>
#include <QString>

namespace lumivor::cli {

// "no answer" for ExitCode::NoAnswer, and so on.
QString outcomeWord(ExitCode code);

// One port's result for a person: "COM3 (/dev/pts/4): ok: the controller ...".
QString resultLine(const PortResult& result);

// Every port's result for a script.
QJsonDocument resultDocument(const QString& command, const QList<PortResult>& results,
                             ExitCode exitCode);

// The exit status of a run: 0 when every port succeeded, otherwise the
// status of the first port that did not.
ExitCode overallExitCode(const QList<PortResult>& results);

// The COM port table as "lumivor-cli ports" prints it.
QString portTable(const link::ComPortTable& ports);

} // namespace lumivor::cli
