// Makes the README's screenshots: the console and the virtual controller in
// one process, the console connected to the controller through a real
// pseudo-terminal, driven through its own controls to a state worth showing,
// then each window grabbed into a PNG file.
//
//   lumivor-screenshots <output directory>
//
// Run it through scripts/screenshots.sh, which runs it under a virtual display.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/linkservice.h"
#include "link/partfile.h"
#include "link/qtserialport.h"
#include "panels/memory/flashstudio.h"
#include "panels/memory/screengrid.h"
#include "model/controller.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "view/simwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <string>

using namespace lumivor;

namespace {

template<typename T> T* find(QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}

// Lets both sides talk until the condition holds (at most `ms`).
template<typename Condition> bool settle(Condition condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

void pause(int ms)
{
    settle([] { return false; }, ms);
}

void bringToFront(QWidget* widget)
{
    for (QWidget* page = widget; page; page = page->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
        if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr)
            tabs->setCurrentWidget(page);
    }
}

void click(QWidget& window, const char* name)
{
    auto* button = find<QAbstractButton>(window, name);
    bringToFront(button);
    button->click();
    pause(60);
}

void setText(QWidget& window, const char* name, const QString& text)
{
    find<QLineEdit>(window, name)->setText(text);
}

// Written as every file of the project is: through a new part file that
// replaces the picture only when complete (never through a planted link).
bool save(QWidget& widget, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const bool encoded = widget.grab().save(&buffer, "PNG");
    const std::optional<QString> failure =
        encoded ? lumivor::link::writeWholeFile(path, png) : std::optional<QString>(path);
    if (failure)
        std::printf("could not write %s\n", qPrintable(*failure));
    else
        std::printf("wrote %s\n", qPrintable(path));
    return !failure;
}

// A picture to send: a sunset of rings and stripes, drawn here. White on
// black, so that the LCD (where a 1, anything but black, is a dark pixel)
// shows it dark on light.
QString makePicture(const QTemporaryDir& dir)
{
    QImage picture(240, 64, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    for (int r = 28; r > 4; r -= 8) {
        painter.setBrush(r % 16 ? Qt::white : Qt::black);
        painter.drawEllipse(QPoint(200, 64), r, r);
    }
    for (int y = 40; y < 64; y += 6)
        painter.fillRect(0, y, 160, 2, Qt::white);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
    painter.drawText(QRect(4, 2, 180, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Lumivor"));
    painter.end();
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    picture.save(path, "PNG");
    return path;
}

// The flash image window on the virtual controller's own flash: screen 6
// replaced by the picture, compared with the flash as it was.
bool saveFlashStudio(QMainWindow& console, testing::FakeDialogs& dialogs,
                     const kestrin::Controller& controller, const QTemporaryDir& files,
                     const QString& path)
{
    const auto flash = controller.flash().bytes();
    const QByteArray image(reinterpret_cast<const char*>(flash.data()), qsizetype(flash.size()));
    const QString original = files.filePath(QStringLiteral("controller.fls"));
    if (lumivor::link::writeWholeFile(original, image.toHex()))
        return false;
    find<QAction>(console, "mnuFlashImage")->trigger();
    auto* studio = console.findChild<panels::FlashStudio*>();
    dialogs.fileNames << original;
    find<QAction>(*studio, "actOpen")->trigger();
    find<panels::ScreenGrid>(*studio, "screenGrid")->setSelected(6);
    dialogs.fileNames << makePicture(files);
    click(*studio, "cmdReplace");
    click(*studio, "cmdApplyImport");
    dialogs.fileNames << original;
    find<QAction>(*studio, "actCompare")->trigger();
    studio->resize(1180, 760);
    pause(300);
    return save(*studio, path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    // The virtual controller, in this process.
    kestrin::PseudoTerminal terminal;
    std::string error;
    if (!terminal.open(error)) {
        std::fprintf(stderr, "lumivor-screenshots: %s\n", error.c_str());
        return 1;
    }
    kestrin::Controller controller;
    kestrin::Session session(controller, terminal.masterFd(), false);
    kestrin::SimWindow simulator(
        session, QStringLiteral("COM1 (%1)").arg(QString::fromStdString(terminal.devicePath())), 3);
    simulator.setWindowTitle(QStringLiteral("kestrin-sim"));
    simulator.show();

    // The console, with COM1 linked to the controller's terminal.
    QTemporaryDir ports;
    QFile::link(QString::fromStdString(terminal.devicePath()),
                ports.filePath(QStringLiteral("com1")));
    auto table = link::ComPortTable::probe(ports.path(), {});
    link::QtSerialPort port([&table](int n) { return table.deviceToOpen(n); });
    testing::FakeDialogs dialogs; // every question answered Yes / OK
    link::SystemClock clock;
    app::MainWindow console(port, dialogs, table, clock);
    console.show();
    if (!QTest::qWaitForWindowExposed(&console))
        return 1;

    click(console, "cmd_conecta");
    if (!settle(
            [&] {
                return find<QAbstractButton>(console, "cmd_conecta")->text() ==
                       QStringLiteral("Disconnect");
            },
            3000)) {
        std::fprintf(stderr, "lumivor-screenshots: the console did not find the controller\n");
        return 1;
    }
    click(console, "cmdGetID");
    pause(300);
    bool ok = save(console, out + QStringLiteral("/console-settings.png"));

    // A picture, a framed text and a few shapes on the simulated LCD.
    QTemporaryDir files;
    dialogs.fileNames << makePicture(files);
    click(console, "Command6");
    click(console, "Command5");
    settle([&] { return !console.link().isBusy(); }, 10000);
    ok = save(console, out + QStringLiteral("/console-graphic.png")) && ok;

    setText(console, "Text15", QStringLiteral("166"));
    setText(console, "Text16", QStringLiteral("2"));
    setText(console, "Text18", QStringLiteral("237"));
    setText(console, "Text19", QStringLiteral("36"));
    click(console, "Option5"); // Rectangle
    click(console, "Command23");
    ok = save(console, out + QStringLiteral("/console-coordinates.png")) && ok;

    click(console, "Cmd6x3");
    ok = save(console, out + QStringLiteral("/console-touch.png")) && ok;
    pause(300);
    ok = save(simulator, out + QStringLiteral("/kestrin-sim.png")) && ok;
    ok = saveFlashStudio(console, dialogs, controller, files,
                         out + QStringLiteral("/flash-studio.png")) &&
         ok;

    click(console, "cmd_conecta");
    return ok ? 0 : 1;
}
