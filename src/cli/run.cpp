#include "cli/run.h"

#include "cli/flashimages.h"
#include "cli/interruptwatcher.h"
#include "cli/portsession.h"
#include "cli/progressdisplay.h"
#include "cli/report.h"
#include "cli/texts.h"
#include "link/comports.h"
#include "link/flashfile.h"
#include "link/partfile.h"
#include "protocol/flashimage.h"
#include "protocol/picture.h"
#include "protocol/picturefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>

#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace lumivor::cli {

namespace {

bool isTerminal(std::FILE* stream)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(stream)) == 1;
#else
    Q_UNUSED(stream);
    return false;
#endif
}

QString commandName(const QStringList& arguments)
{
    return arguments.size() > 1 ? arguments.at(1) : QString();
}

void printResults(const Request& request, const QList<PortResult>& results, ExitCode code,
                  std::FILE* out)
{
    if (request.json) {
        std::fputs(resultDocument(commandName(QCoreApplication::arguments()), results, code)
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   out);
        return;
    }
    for (const PortResult& result : results)
        std::fprintf(out, "%s\n", qPrintable(resultLine(result)));
}

// Why nothing could be done, as a sentence on the error stream or, for
// --json, as a document on the output.
ExitCode refuse(const Request& request, ExitCode code, const QString& why, std::FILE* out,
                std::FILE* err)
{
    if (request.json)
        std::fputs(failureDocument(commandName(QCoreApplication::arguments()), code, why)
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   out);
    else
        std::fprintf(err, "lumivor-cli: %s\n",
                     qPrintable(QString(why).replace(QStringLiteral("\n"),
                                                     QStringLiteral("\nlumivor-cli: "))));
    return code;
}

// Two names for one device (COM1 and the path it links to) would make the
// second session find the port in use by the first.
QString sameDeviceTwice(const QList<PortTarget>& targets, const link::ComPortTable& ports)
{
    QMap<QString, QString> seen; // canonical device -> port name
    for (const PortTarget& target : targets) {
        const QString device =
            target.number > 0 ? ports.devicePath(target.number) : target.devicePath;
        const QString canonical = QFileInfo(device).canonicalFilePath();
        if (canonical.isEmpty())
            continue;
        if (seen.contains(canonical))
            return tr("%1 and %2 are the same port").arg(seen.value(canonical), target.name());
        seen.insert(canonical, target.name());
    }
    return {};
}

struct Refusal
{
    ExitCode code = ExitCode::Success;
    QString why;
};

// Files are checked before any port is opened, so nothing reaches a
// controller from a file that cannot be used, and no backup is read into a
// file that can never be written.
Refusal unusableFile(const Request& request)
{
    if (request.command == Command::Picture) {
        const protocol::PictureRead picture = protocol::readPicture(request.file);
        if (!picture.ok())
            return {ExitCode::BadInput, picture.problem};
    }
    if (request.command == Command::FlashLoad) {
        const protocol::FlashConversion image = link::FlashImageFile(request.file).load();
        if (!image.ok())
            return {ExitCode::BadInput, link::flashFileRefusedText(request.file, image.reason())
                                            .replace(QLatin1Char('\n'), QLatin1Char(' '))};
    }
    if (request.command == Command::FlashSave) {
        for (const PortTarget& port : request.ports)
            if (const auto why = link::unwritableTarget(request.fileFor(port)))
                return {ExitCode::CannotWrite, *why + tr(" Nothing was read.")};
    }
    return {};
}

// Writing the flash replaces the controller's fonts and screens: asked on a
// terminal, unless --yes said so already.
bool confirmedFlashLoad(const Request& request, std::FILE* err)
{
    if (request.command != Command::FlashLoad || request.yes || !isTerminal(stdin))
        return true;
    QStringList names;
    for (const PortTarget& port : request.ports)
        names << port.name();
    std::fprintf(err, "%s",
                 qPrintable(tr("Write %1 into the flash memory of %2? This replaces the "
                               "controller's fonts and screens. [y/N] ")
                                .arg(request.file, names.join(QStringLiteral(", ")))));
    std::fflush(err);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    const QString word = QString::fromLocal8Bit(answer).trimmed().toLower();
    return word == QStringLiteral("y") || word == QStringLiteral("yes");
}

// A run stopped by SIGTERM says so in its status (143), not as Ctrl-C (130).
void markStoppedBy(int signalNumber, QList<PortResult>& results)
{
#ifdef Q_OS_UNIX
    if (signalNumber != SIGTERM)
        return;
    for (PortResult& result : results)
        if (result.code == ExitCode::Cancelled)
            result.code = ExitCode::Terminated;
#else
    Q_UNUSED(signalNumber);
    Q_UNUSED(results);
#endif
}

// flash-extract, flash-build, flash-diff: the result on the output (a
// difference too, as cmp prints it), a failure as refuse() tells it.
ExitCode runOnFiles(const Request& request, std::FILE* out, std::FILE* err)
{
    const FileCommandResult result = runFileCommand(request);
    const bool answered = result.code == ExitCode::Success || result.code == ExitCode::Differ;
    if (!answered)
        return refuse(request, result.code, result.lines.join(QLatin1Char('\n')), out, err);
    if (request.json) {
        QJsonObject document = result.details;
        document.insert(QStringLiteral("command"), commandName(QCoreApplication::arguments()));
        document.insert(QStringLiteral("exitCode"), int(result.code));
        document.insert(QStringLiteral("outcome"), outcomeWord(result.code));
        document.insert(QStringLiteral("summary"), result.lines.last());
        std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), out);
    } else {
        // --quiet keeps the last line, the summary.
        const QStringList lines = request.quiet ? result.lines.mid(result.lines.size() - 1)
                                                : result.lines;
        for (const QString& line : lines)
            std::fprintf(out, "%s\n", qPrintable(line));
    }
    return result.code;
}

} // namespace

ExitCode run(const Request& request, std::FILE* out, std::FILE* err)
{
    if (needsNoPort(request.command) && request.command != Command::Ports)
        return runOnFiles(request, out, err);
    const link::ComPortTable ports = link::ComPortTable::probe();
    if (request.command == Command::Ports) {
        if (request.json)
            std::fputs(portDocument(ports).toJson(QJsonDocument::Indented).constData(), out);
        else
            std::fputs(qPrintable(portTable(ports)), out);
        return ExitCode::Success;
    }

    if (const QString error = sameDeviceTwice(request.ports, ports); !error.isEmpty())
        return refuse(request, ExitCode::Usage, error, out, err);
    if (const Refusal refusal = unusableFile(request); refusal.code != ExitCode::Success)
        return refuse(request, refusal.code, refusal.why, out, err);
    if (!confirmedFlashLoad(request, err))
        return refuse(request, ExitCode::Declined,
                      tr("the flash memory was not written: the answer was no"), out, err);

    link::SystemClock clock;
    std::vector<std::unique_ptr<PortSession>> sessions;
    QStringList names;
    for (const PortTarget& target : request.ports) {
        sessions.push_back(std::make_unique<PortSession>(request, target, ports, clock));
        names << target.name();
    }
    std::unique_ptr<ProgressDisplay> progress;
    if (!request.quiet && !request.json && isTerminal(err))
        progress = std::make_unique<ProgressDisplay>(names, err);

    int running = static_cast<int>(sessions.size());
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        PortSession* session = sessions[i].get();
        const int line = static_cast<int>(i);
        QObject::connect(session, &PortSession::progressed, session,
                         [&progress, line](PortSession* s, int done, int total) {
                             if (progress)
                                 progress->update(line, done, total,
                                                  total > 0 ? s->totalBytes() * done / total : 0);
                         });
        QObject::connect(session, &PortSession::finished, session,
                         [&progress, &running, line](PortSession* s) {
                             if (progress)
                                 progress->finish(line, outcomeWord(s->result().code));
                             if (--running == 0)
                                 QCoreApplication::exit();
                         });
    }
    InterruptWatcher interrupt;
    int stoppedBy = 0;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &interrupt,
                     [&sessions, &stoppedBy](int signalNumber) {
                         if (stoppedBy == 0)
                             stoppedBy = signalNumber;
                         for (const auto& session : sessions)
                             session->cancel();
                     });
    for (const auto& session : sessions)
        session->start();
    if (running > 0)
        QCoreApplication::exec();
    if (progress)
        progress->close();

    QList<PortResult> results;
    for (const auto& session : sessions)
        results.append(session->result());
    markStoppedBy(stoppedBy, results);
    const ExitCode code = overallExitCode(results);
    printResults(request, results, code, out);
    return code;
}

} // namespace lumivor::cli
