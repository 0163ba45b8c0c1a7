// The "Animation" frame: Run sends the three scroll bars' values, Stop sends
// 01 08, the mirror boxes follow their scroll bars and never send.
#include "link/linkservice.h"
#include "windowfixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <memory>

using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

class AnimationPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void runSendsTheScrollBarsAsChosen_data();
    void runSendsTheScrollBarsAsChosen();
    void buttonsSendOnlyWhileTheLinkIsFree_data();
    void buttonsSendOnlyWhileTheLinkIsFree();
    void mirrorsFollowTheirScrollBarsAndSendNothing_data();
    void mirrorsFollowTheirScrollBarsAndSendNothing();
    void controlsSitInTheirFrames();

private:
    QScrollBar* bar(const char* name) const { return f->find<QScrollBar>(name); }

    std::unique_ptr<WindowFixture> f;
};

void AnimationPanelTest::init()
{
    f = std::make_unique<WindowFixture>();
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
}

void AnimationPanelTest::cleanup()
{
    f.reset();
}

void AnimationPanelTest::runSendsTheScrollBarsAsChosen_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("stop");
    QTest::addColumn<QByteArray>("bytes");
    // 0 leaves the scroll bar where it starts.
    QTest::newRow("defaults") << 0 << 0 << 0 << QByteArray("\x1b\x03\x01\x02");
    QTest::newRow("the largest values") << 100 << 203 << 204 << QByteArray("\x1b\x64\xcb\xcc");
    QTest::newRow("start above stop") << 0 << 150 << 20 << QByteArray("\x1b\x03\x96\x14");
    QTest::newRow("start 200, stop 2") << 50 << 200 << 2 << QByteArray("\x1b\x32\xc8\x02");
}

// The values come from the scroll bars, whatever the mirror boxes hold, and
// are not cross-checked.
void AnimationPanelTest::runSendsTheScrollBarsAsChosen()
{
    QFETCH(int, delay);
    QFETCH(int, start);
    QFETCH(int, stop);
    QFETCH(QByteArray, bytes);
    const std::pair<const char*, int> chosen[] = {
        {"HScroll2", delay}, {"HScroll1", start}, {"HScroll6", stop}};
    for (const auto& [name, value] : chosen) {
        if (value != 0)
            bar(name)->setValue(value);
    }
    for (const char* mirror : {"Text11", "Text1", "Text2"})
        f->find<QLineEdit>(mirror)->setText(QStringLiteral("99"));
    f->port.setPortOpen(true);
    f->click("Command17");
    QCOMPARE(f->port.writes, Writes{bytes});
}

void AnimationPanelTest::buttonsSendOnlyWhileTheLinkIsFree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Run") << QStringLiteral("Command17") << QStringLiteral("Run")
                         << QByteArray("\x1b\x03\x01\x02");
    QTest::newRow("Stop") << QStringLiteral("Command20") << QStringLiteral("Stop")
                          << QByteArray("\x01\x08");
}

// Closed: nothing. Held by another operation: nothing. Free: every press
// sends, whether or not an animation runs.
void AnimationPanelTest::buttonsSendOnlyWhileTheLinkIsFree()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QByteArray, bytes);
    const QByteArray button = name.toLatin1();
    QCOMPARE(f->text(button.constData()), caption);
    f->click(button.constData());
    QVERIFY(f->port.writes.isEmpty());
    f->port.setPortOpen(true);
    {
        const auto lease = f->window->link().lease(
            QStringLiteral("A test operation"), [] {}, [](const SerialPortError&) {});
        QVERIFY(lease);
        f->click(button.constData());
        QVERIFY(f->port.writes.isEmpty());
    }
    f->click(button.constData());
    f->click(button.constData());
    QCOMPARE(f->port.writes, (Writes{bytes, bytes}));
    QVERIFY(f->dialogs.messages.isEmpty());
}

void AnimationPanelTest::mirrorsFollowTheirScrollBarsAndSendNothing_data()
{
    QTest::addColumn<QString>("scrollBar");
    QTest::addColumn<QString>("mirror");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::newRow("delay") << QStringLiteral("HScroll2") << QStringLiteral("Text11") << 3 << 100;
    QTest::newRow("start") << QStringLiteral("HScroll1") << QStringLiteral("Text1") << 1 << 203;
    QTest::newRow("stop") << QStringLiteral("HScroll6") << QStringLiteral("Text2") << 2 << 204;
}

// An arrow and a click in the track each step by one; the keys reach the
// ends; the mirror box shows every value at once, and nothing is sent.
void AnimationPanelTest::mirrorsFollowTheirScrollBarsAndSendNothing()
{
    QFETCH(QString, scrollBar);
    QFETCH(QString, mirror);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    const QByteArray barName = scrollBar.toLatin1(), mirrorName = mirror.toLatin1();
    auto* box = f->find<QLineEdit>(mirrorName.constData());
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->text(), QString::number(minimum));
    f->port.setPortOpen(true);
    f->clickScrollBar(barName.constData());
    QCOMPARE(box->text(), QString::number(minimum + 1));
    f->clickScrollBar(barName.constData(), true);
    QCOMPARE(box->text(), QString::number(minimum + 2));
    QTest::keyClick(bar(barName.constData()), Qt::Key_End);
    QCOMPARE(box->text(), QString::number(maximum));
    f->clickScrollBar(barName.constData());
    QCOMPARE(box->text(), QString::number(maximum));
    QTest::keyClick(bar(barName.constData()), Qt::Key_Home);
    QCOMPARE(box->text(), QString::number(minimum));
    QVERIFY(f->port.writes.isEmpty());
}

void AnimationPanelTest::controlsSitInTheirFrames()
{
    const QList<std::tuple<QString, QString, QStringList>> frames = {
        {"fraAnimation", "Animation", {"Frame8", "Frame14", "Frame16", "Command17", "Command20"}},
        {"Frame8", "Delay", {"HScroll2", "Text11"}},
        {"Frame14", "Start Screen", {"HScroll1", "Text1"}},
        {"Frame16", "Stop Screen", {"HScroll6", "Text2"}}};
    for (const auto& [name, caption, controls] : frames) {
        QCOMPARE(f->window->findChild<QGroupBox*>(name)->title(), caption);
        for (const QString& control : controls) {
            QWidget* widget = f->window->findChild<QWidget*>(control);
            QVERIFY2(widget, qPrintable(control));
            QWidget* frame = widget->parentWidget();
            while (frame && !qobject_cast<QGroupBox*>(frame))
                frame = frame->parentWidget();
            QCOMPARE(frame ? frame->objectName() : QString(), name);
        }
    }
}

QTEST_MAIN(AnimationPanelTest)
#include "tst_animation_panel.moc"
