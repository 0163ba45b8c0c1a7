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
        std::fputs("Lumivor needs a graphical display and none is available here; "
                   "run it under a virtual display instead: xvfb-run -a ./run\n",
                   stderr);
        return 2;
    }
    QApplication application(argc, argv);
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
