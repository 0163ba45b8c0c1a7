// lumivor-cli: the Kestrin controller from the command line, for scripts and
// production lines, on one port or several at once.
#include "cli/report.h"
#include "cli/request.h"
#include "cli/run.h"
#include "product.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivor-cli"));
    QCoreApplication::setApplicationVersion(lumivor::product::versionText());

    using lumivor::cli::ExitCode;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const lumivor::cli::ParseOutcome parsed = lumivor::cli::parseRequest(arguments);
    if (!parsed.request) {
        // A script that asked for JSON gets JSON even for a command line that
        // could not be read.
        if (arguments.contains(QStringLiteral("--json")))
            std::fputs(lumivor::cli::failureDocument(arguments.value(0), ExitCode::Usage,
                                                     parsed.error)
                           .toJson(QJsonDocument::Indented)
                           .constData(),
                       stdout);
        else
            std::fprintf(stderr, "lumivor-cli: %s\n", qPrintable(parsed.error));
        return int(ExitCode::Usage);
    }
    if (parsed.request->help) {
        std::fputs(qPrintable(lumivor::cli::helpText()), stdout);
        return int(ExitCode::Success);
    }
    if (parsed.request->version) {
        std::printf("lumivor-cli %s (%s)\n", qPrintable(lumivor::product::versionText()),
                    qPrintable(lumivor::product::title()));
        return int(ExitCode::Success);
    }
    return int(lumivor::cli::run(*parsed.request, stdout, stderr));
}
