// The "Touch Screen" frame: every button's bytes from one table, the key
// mask, the beep box, the calibration question, where the controls sit, and
// a burst of touch reports through the response poll.
#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>

#include <memory>

using lumivor::link::Dialogs;
using lumivor::link::LinkLease;
using lumivor::link::ResponseMonitor;
using lumivor::link::SerialPort;
using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

// Whether the port is closed, open and free, or open but held by another
// operation (a flash transfer, say): only a free link takes a command.
enum class Link { Closed, Free, Held };
Q_DECLARE_METATYPE(Link)

namespace {

// Puts the link in the given state; the lease, if any, holds it until dropped.
std::unique_ptr<LinkLease> setLink(WindowFixture& f, Link state)
{
    if (f.port.portOpen() != (state != Link::Closed))
        f.port.setPortOpen(state != Link::Closed);
    if (state != Link::Held)
        return nullptr;
    auto lease = f.window->link().lease(
        QStringLiteral("A test operation"), [] {}, [](const SerialPortError&) {});
    if (!lease)
        qFatal("the free link refused a lease");
    return lease;
}

// The name of the nearest frame around the widget.
QString enclosingFrame(const QWidget* widget)
{
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (qobject_cast<QGroupBox*>(w))
            return w->objectName();
    }
    return QStringLiteral("<none>");
}

QString keyName(int key)
{
    return QStringLiteral("Check%1").arg(key);
}

} // namespace

class TouchScreenPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void buttons_data();
    void buttons();
    void keyMask_data();
    void keyMask();
    void beepBoxTicksOnEveryClickAndSendsItsNewState_data();
    void beepBoxTicksOnEveryClickAndSendsItsNewState();
    void calibrationAsksFirst_data();
    void calibrationAsksFirst();
    void keyBoxesFormACaptionlessSixByThreeGrid();
    void controlsSitInTheirFrames();
    void aBurstOfTouchReportsShowsTheLatestPollOnly_data();
    void aBurstOfTouchReportsShowsTheLatestPollOnly();

private:
    std::unique_ptr<WindowFixture> f;
};

// Shown, so that the key boxes have their real size and a click lands on them.
void TouchScreenPanelTest::init()
{
    f = std::make_unique<WindowFixture>();
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
    f->bringToFront(f->find<QWidget>("fraTouchScreen"));
}

void TouchScreenPanelTest::cleanup()
{
    f.reset();
}

void TouchScreenPanelTest::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("bytes");
    const auto row = [](const char* name, const char* caption, const QByteArray& bytes) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << bytes;
    };
    row("CmdAnalog", "Coordinates", QByteArray("\x05\x01"));
    row("CmdOFF", "OFF", QByteArray("\x05\x00", 2));
    row("Cmd6x3", "w/o Flip", QByteArray("\x1c\x01"));
    row("Command22", "w/Flip", QByteArray("\x1c\x02"));
    row("Command29", "Set", QByteArray("\x25\x3f\x3f\x3f"));
}

// Nothing goes out while the port is closed or another operation holds the
// link; once it is free, every press sends its command as one write.
void TouchScreenPanelTest::buttons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QByteArray, bytes);
    const QByteArray button = name.toLatin1();
    QCOMPARE(f->text(button.constData()), caption);
    for (Link link : {Link::Closed, Link::Held}) {
        const auto lease = setLink(*f, link);
        f->click(button.constData());
    }
    QVERIFY(f->port.writes.isEmpty());
    f->click(button.constData());
    f->click(button.constData());
    QCOMPARE(f->port.writes, (Writes{bytes, bytes}));
    QVERIFY(f->dialogs.messages.isEmpty());
}

void TouchScreenPanelTest::keyMask_data()
{
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QByteArray>("bytes");
    QList<int> all;
    for (int key = 1; key <= 18; ++key)
        all << key;
    QTest::newRow("all clear") << QList<int>{} << QByteArray("\x25\x3f\x3f\x3f");
    QTest::newRow("all checked") << all << QByteArray("\x25\x00\x00\x00", 4);
    QTest::newRow("top left") << QList<int>{1} << QByteArray("\x25\x1f\x3f\x3f");
    QTest::newRow("top right") << QList<int>{6} << QByteArray("\x25\x3e\x3f\x3f");
    QTest::newRow("middle left") << QList<int>{7} << QByteArray("\x25\x3f\x1f\x3f");
    QTest::newRow("bottom right") << QList<int>{18} << QByteArray("\x25\x3f\x3f\x3e");
    QTest::newRow("one per row, columns 2 to 4")
        << QList<int>{2, 9, 16} << QByteArray("\x25\x2f\x37\x3b");
    QTest::newRow("checked twice is clear again")
        << QList<int>{5, 5} << QByteArray("\x25\x3f\x3f\x3f");
}

// The boxes are ticked with the mouse; ticking sends nothing, "Set" sends the
// mask of what is ticked then.
void TouchScreenPanelTest::keyMask()
{
    QFETCH(QList<int>, checked);
    QFETCH(QByteArray, bytes);
    f->port.setPortOpen(true);
    for (int key : checked)
        f->click(keyName(key).toLatin1().constData());
    QVERIFY(f->port.writes.isEmpty());
    f->click("Command29");
    QCOMPARE(f->port.writes, Writes{bytes});
}

void TouchScreenPanelTest::beepBoxTicksOnEveryClickAndSendsItsNewState_data()
{
    QTest::addColumn<QList<Link>>("clicks"); // the link's state at each click
    QTest::addColumn<Writes>("writes");
    const QByteArray on("\x23\x02"), off("\x23\x03");
    QTest::newRow("tick, untick, tick")
        << QList{Link::Free, Link::Free, Link::Free} << Writes{on, off, on};
    QTest::newRow("port closed") << QList{Link::Closed, Link::Closed, Link::Closed} << Writes{};
    QTest::newRow("link held") << QList{Link::Held, Link::Held, Link::Held} << Writes{};
    // The box then disagrees with the controller until the next click.
    QTest::newRow("ticked while closed, unticked once open")
        << QList{Link::Closed, Link::Free} << Writes{off};
    QTest::newRow("ticked while held, unticked once free")
        << QList{Link::Held, Link::Free} << Writes{off};
}

void TouchScreenPanelTest::beepBoxTicksOnEveryClickAndSendsItsNewState()
{
    QFETCH(QList<Link>, clicks);
    QFETCH(Writes, writes);
    auto* beep = f->find<QCheckBox>("BeepOnTouch");
    QCOMPARE(beep->text(), QStringLiteral("Beep on touch"));
    QVERIFY(!beep->isChecked());
    for (qsizetype i = 0; i < clicks.size(); ++i) {
        const auto lease = setLink(*f, clicks[i]);
        f->click("BeepOnTouch");
        QCOMPARE(beep->isChecked(), i % 2 == 0);
    }
    QCOMPARE(f->port.writes, writes);
    QVERIFY(f->dialogs.messages.isEmpty());
}

void TouchScreenPanelTest::calibrationAsksFirst_data()
{
    QTest::addColumn<Link>("link");
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<Writes>("writes");
    QTest::newRow("yes") << Link::Free << Dialogs::Answer::Yes << true
                         << Writes{QByteArray("\x19\x01")};
    QTest::newRow("no") << Link::Free << Dialogs::Answer::No << true << Writes{};
    QTest::newRow("port closed: not asked")
        << Link::Closed << Dialogs::Answer::Yes << false << Writes{};
    QTest::newRow("link held: not asked")
        << Link::Held << Dialogs::Answer::Yes << false << Writes{};
}

void TouchScreenPanelTest::calibrationAsksFirst()
{
    QFETCH(Link, link);
    QFETCH(Dialogs::Answer, answer);
    QFETCH(bool, asked);
    QFETCH(Writes, writes);
    QCOMPARE(f->text("Command30"), QStringLiteral("Calibrate"));
    const auto lease = setLink(*f, link);
    f->dialogs.answers = {answer};
    f->click("Command30");
    QCOMPARE(f->port.writes, writes);
    QCOMPARE(f->dialogs.messages.size(), asked ? 1 : 0);
    if (!asked)
        return;
    const auto& message = f->dialogs.messages.first();
    QCOMPARE(message.text, QStringLiteral("This will change current Touch Screen calibration.\n"
                                          "Are you sure you want to proceed? "));
    QCOMPARE(message.title, QStringLiteral("Warning"));
    QCOMPARE(message.icon, Dialogs::Icon::Exclamation);
    QCOMPARE(message.buttons, Dialogs::Buttons::YesNo);
}

// Six columns by three rows, Check1 at the top left, row by row; no box shows
// a caption or takes more width than its tick mark.
void TouchScreenPanelTest::keyBoxesFormACaptionlessSixByThreeGrid()
{
    const int tickWidth = f->window->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    const QPoint topLeft = f->find<QCheckBox>("Check1")->pos();
    int columnStep = 0, rowStep = 0;
    for (int key = 1; key <= 18; ++key) {
        auto* box = f->find<QCheckBox>(keyName(key).toLatin1().constData());
        QVERIFY2(box, qPrintable(keyName(key)));
        QVERIFY(box->isVisible());
        QVERIFY(box->text().isEmpty());
        QCOMPARE(box->width(), tickWidth);
        QVERIFY(!box->isChecked());
        const int row = (key - 1) / 6, column = (key - 1) % 6;
        if (key == 2)
            columnStep = box->x() - topLeft.x();
        if (key == 7)
            rowStep = box->y() - topLeft.y();
        if (key > 7) {
            QCOMPARE(box->x(), topLeft.x() + column * columnStep);
            QCOMPARE(box->y(), topLeft.y() + row * rowStep);
        }
    }
    QVERIFY(columnStep >= tickWidth);
    QVERIFY(rowStep > 0);
}

void TouchScreenPanelTest::controlsSitInTheirFrames()
{
    const QList<std::pair<QString, QStringList>> frameHolds = {
        {"fraTouchScreen", {"Command30", "CmdAnalog", "CmdOFF", "Frame17", "Frame9"}},
        {"Frame17", {"Cmd6x3", "Command22", "BeepOnTouch", "Frame15"}},
        {"Frame15", {"Check1", "Check18", "Command29"}},
        {"Frame9", {"Text7"}}};
    for (const auto& [frame, controls] : frameHolds) {
        for (const QString& control : controls)
            QCOMPARE(enclosingFrame(f->window->findChild<QWidget*>(control)), frame);
    }
    QCOMPARE(f->find<QGroupBox>("fraTouchScreen")->title(), QStringLiteral("Touch Screen"));
    // Both frames of the tab side by side, the touch screen's on the left.
    auto* tabs = f->find<QTabWidget>("SSTab3");
    const QWidget* touch = f->find<QWidget>("fraTouchScreen");
    const QWidget* animation = f->find<QWidget>("fraAnimation");
    QCOMPARE(touch->parentWidget(), tabs->widget(0));
    QCOMPARE(animation->parentWidget(), tabs->widget(0));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Touch Screen/Animation"));
    QVERIFY(touch->geometry().right() < animation->geometry().left());
    QCOMPARE(f->find<QGroupBox>("Frame17")->title(), QStringLiteral("6x3 Keypad"));
    QCOMPARE(f->find<QGroupBox>("Frame15")->title(), QStringLiteral("Enable/Disable"));
}

void TouchScreenPanelTest::aBurstOfTouchReportsShowsTheLatestPollOnly_data()
{
    QTest::addColumn<int>("reportsPerPoll");
    QTest::addColumn<int>("polls");
    // A short touch fits the box whole.
    QTest::newRow("one touch, 3 reports") << 3 << 1;
    // A finger dragged at 115200 baud: about 2880 characters per poll, more
    // than the box shows, less than the port holds.
    QTest::newRow("a drag at 115200 baud") << 320 << 40;
    // 50,000 reports, each poll's far beyond what the port holds.
    QTest::newRow("a flood of 50,000 reports") << 5000 << 10;
}

// Each poll shows the newest characters of what it read, never what earlier
// polls read; the boxes keep no history, and afterwards the window still
// sends at once and the poll goes on.
void TouchScreenPanelTest::aBurstOfTouchReportsShowsTheLatestPollOnly()
{
    QFETCH(int, reportsPerPoll);
    QFETCH(int, polls);
    f->connectWithPoll();
    f->port.writes.clear();
    auto* response = f->find<QLineEdit>("Text7");
    auto* buffer = f->find<QPlainTextEdit>("txtBuffer");
    for (int poll = 0; poll < polls; ++poll) {
        QByteArray arrived;
        for (int i = 0; i < reportsPerPoll; ++i) {
            const QByteArray report =
                "T:" + QByteArray::number(i % 240) + ',' + QByteArray::number(poll % 64) + '!';
            f->port.queueInput(report);
            arrived += report;
        }
        f->clock.advance(250);
        const QByteArray read = arrived.left(SerialPort::receiveBufferBytes);
        QCOMPARE(response->text(),
                 QString::fromLatin1(read.right(ResponseMonitor::shownCharacters)));
        QCOMPARE(buffer->toPlainText().size(), read.size());
    }
    QVERIFY(response->text().size() <= ResponseMonitor::shownCharacters);
    QVERIFY(!response->isUndoAvailable());
    QCOMPARE(buffer->document()->availableUndoSteps(), 0);
    QVERIFY(f->timer("Timer2")->isActive());

    const QString last = response->text();
    f->clock.advance(250); // a quiet line leaves the last report standing
    QCOMPARE(response->text(), last);
    f->click("CmdOFF");
    QCOMPARE(f->port.writes, Writes{QByteArray("\x05\x00", 2)});
    f->port.queueInput("K:07!");
    f->clock.advance(250);
    QCOMPARE(response->text(), QStringLiteral("K:07!"));
}

QTEST_MAIN(TouchScreenPanelTest)
#include "tst_touch_screen_panel.moc"
