// lumivor-cli: the Kestrin controller from the command line, for scripts and
// production lines, on one port or several at once.
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
    const lumivor::cli::ParseOutcome parsed =
        lumivor::cli::parseRequest(QCoreApplication::arguments().mid(1));
    if (!parsed.request) {
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
