#include "app/appicon.h"
#include "app/mainwindow.h"
#include "app/qtdialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "product.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt aborts with a platform-plugin error when it finds no display; say what to
// do instead, in one sentence.
bool displayAvailable(int argc, char** argv)
{
#if defined(Q_OS_LINUX)
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

constexpr const char* noDisplayText =
    "Lumivor needs a graphical display and none is available here; run it under a virtual "
    "display instead: xvfb-run -a ./run\n";

// A display variable that names no reachable display makes Qt print its
// platform-plugin warnings and abort. While the application starts, those
// messages are held back and the abort becomes the one sentence above.
QtMessageHandler qtHandler = nullptr;

void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool platform =
        context.category && QLatin1String(context.category).startsWith(QLatin1String("qt.qpa"));
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        std::fputs(noDisplayText, stderr);
        std::_Exit(2);
    }
    if (platform && type != QtFatalMsg)
        return;
    qtHandler(type, context, message);
}

// The window opens where the operator left it, converting pictures as it
// did; see MainWindow::savePreferences for what is kept and what is not.
void keepPreferences(lumivor::app::MainWindow& window)
{
    window.restorePreferences(QSettings());
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window, [&window] {
        QSettings settings;
        window.savePreferences(settings);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (!displayAvailable(argc, argv)) {
        std::fputs(noDisplayText, stderr);
        return 2;
    }
    qtHandler = qInstallMessageHandler(startupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setOrganizationName(QStringLiteral("Lumivor"));
    QApplication::setApplicationName(QStringLiteral("Lumivor"));
    QApplication::setApplicationVersion(lumivor::product::versionText());
    QApplication::setWindowIcon(lumivor::app::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("lumivor"));

    auto ports = lumivor::link::ComPortTable::probe();
    lumivor::link::QtSerialPort port([&ports](int number) { return ports.deviceToOpen(number); });
    lumivor::app::QtDialogs dialogs;
    lumivor::link::SystemClock clock;
    lumivor::app::MainWindow window(port, dialogs, ports, clock);
    dialogs.setOwner(&window);
    keepPreferences(window);
    window.show();
    return QApplication::exec();
}
