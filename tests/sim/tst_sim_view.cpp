// The live view: panel colours for backlight, contrast and power, touches by mouse, the
// beep flash and the strip of received bytes.
#include "model/controller.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "view/lcdrenderer.h"
#include "view/lcdwidget.h"
#include "view/simwindow.h"

#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrin;

namespace {

// The console's end of the pseudo-terminal, raw at 9600 like a freshly opened port.
class ConsoleEnd
{
public:
    explicit ConsoleEnd(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        cfsetspeed(&settings, B9600);
        tcsetattr(fd_, TCSANOW, &settings);
    }
    ~ConsoleEnd() { ::close(fd_); }

    void send(const char* hexText)
    {
        const QByteArray bytes = QByteArray::fromHex(hexText);
        QCOMPARE(::write(fd_, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray take()
    {
        char buffer[256];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        return count > 0 ? QByteArray(buffer, int(count)) : QByteArray();
    }

private:
    int fd_;
};

struct ViewRig
{
    PseudoTerminal terminal;
    Controller controller;
    std::unique_ptr<Session> session;
    std::unique_ptr<SimWindow> window;
    std::unique_ptr<ConsoleEnd> console;

    bool start()
    {
        std::string error;
        if (!terminal.open(error))
            return false;
        session = std::make_unique<Session>(controller, terminal.masterFd(), false);
        window = std::make_unique<SimWindow>(*session, "COM1", LcdWidget::kDefaultZoom);
        window->show();
        console = std::make_unique<ConsoleEnd>(terminal.devicePath());
        return QTest::qWaitForWindowExposed(window.get());
    }
};

QRgb dotColour(const QImage& image, int zoom, int x, int y)
{
    return image.pixel(x * zoom, y * zoom);
}

} // namespace

class TestSimView : public QObject
{
    Q_OBJECT

private slots:
    void panelShowsSettings_data();
    void panelShowsSettings();
    void mousePressIsTouch_data();
    void mousePressIsTouch();
    void beepFlashesBezel();
    void stripShowsReceivedBytes();
};

void TestSimView::panelShowsSettings_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("inkVisible");
    QTest::addColumn<bool>("lit");
    QTest::newRow("default") << QByteArray("") << true << true;
    QTest::newRow("backlight off") << QByteArray("09 00") << true << false;
    QTest::newRow("contrast 0") << QByteArray("10 00") << false << true;
    QTest::newRow("power off") << QByteArray("0D 00") << false << true;
}

void TestSimView::panelShowsSettings()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, inkVisible);
    QFETCH(bool, lit);
    Controller controller;
    const Millis now = 0;
    const QByteArray bytes = QByteArray::fromHex("1e0000000000") + QByteArray::fromHex(settings);
    controller.receive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 std::size_t(bytes.size())),
                       9600, now);
    const int zoom = 4;
    const QImage image = renderPanel(controller, zoom);
    QCOMPARE(image.size(), QSize(240 * zoom, 64 * zoom));
    const QRgb on = dotColour(image, zoom, 0, 0);
    const QRgb off = dotColour(image, zoom, 100, 40);
    QCOMPARE(on != off, inkVisible);
    QVERIFY(qGray(off) > qGray(on) || !inkVisible); // dark pixels on a light panel
    Controller reference;
    const QRgb litBackground = dotColour(renderPanel(reference, zoom), zoom, 100, 40);
    QCOMPARE(qGray(off) >= qGray(litBackground) - 2, lit);
    // Thin gaps between dots from zoom 3 on.
    QVERIFY(image.pixel(zoom - 1, 0) != on);
}

void TestSimView::mousePressIsTouch_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QList<QPoint>>("pixels");
    QTest::addColumn<QByteArray>("reports");
    QTest::newRow("coordinates") << QByteArray("0501") << QList<QPoint>{{100, 20}, {0, 63}}
                                 << QByteArray("T:100,20!T:0,63!");
    QTest::newRow("keypad") << QByteArray("1c01") << QList<QPoint>{{235, 60}}
                            << QByteArray("K:18!");
    QTest::newRow("masked key, then another")
        << QByteArray("1c01253f3f3e") << QList<QPoint>{{235, 60}, {5, 5}} << QByteArray("K:01!");
}

void TestSimView::mousePressIsTouch()
{
    QFETCH(QByteArray, mode);
    QFETCH(QList<QPoint>, pixels);
    QFETCH(QByteArray, reports);
    ViewRig rig;
    QVERIFY(rig.start());
    rig.console->send(mode.constData());
    QTRY_VERIFY(rig.controller.touchPanel().mode() != TouchMode::Off);
    LcdWidget* lcd = rig.window->lcd();
    const QRect panel = lcd->panelRect();
    for (const QPoint& pixel : pixels)
        QTest::mouseClick(lcd, Qt::LeftButton, {}, panel.topLeft() + pixel * lcd->zoom());
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT((received += rig.console->take()), reports, 2000);
}

void TestSimView::beepFlashesBezel()
{
    ViewRig rig;
    QVERIFY(rig.start());
    QVERIFY(!rig.window->lcd()->flashing());
    rig.console->send("2301");
    QTRY_VERIFY(rig.window->lcd()->flashing());
    QTRY_VERIFY(!rig.window->lcd()->flashing());
}

void TestSimView::stripShowsReceivedBytes()
{
    ViewRig rig;
    QVERIFY(rig.start());
    rig.console->send("1e000000ef3f");
    QTRY_VERIFY2(rig.window->receivedText().endsWith("1E 00 00 00 EF 3F"),
                 qPrintable(rig.window->receivedText()));
    QByteArray many;
    for (int i = 0; i < 100; ++i)
        many += "03ab";
    rig.console->send(many.constData());
    QTRY_VERIFY(rig.window->receivedText().endsWith("03 AB 03 AB"));
    QVERIFY(!rig.window->receivedText().contains("EF"));
    QVERIFY(rig.window->receivedText().count(' ') <= SimWindow::kBytesShown + 1);
}

QTEST_MAIN(TestSimView)
#include "tst_sim_view.moc"
