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

// A run that ended before any port was used (a wrong command line, a file
// that cannot be used), for a script.
QJsonDocument failureDocument(const QString& command, ExitCode exitCode, const QString& error);

// The exit status of a run: 0 when every port succeeded, otherwise the
// status of the first port that did not.
ExitCode overallExitCode(const QList<PortResult>& results);

// The COM port table as "lumivor-cli ports" prints it, and as JSON.
QString portTable(const link::ComPortTable& ports);
QJsonDocument portDocument(const link::ComPortTable& ports);

} // namespace lumivor::cli
