// "Screen" in the Memory frame: store after exactly one question, recall at
// once, the number always from the scroll bar, and the About window's unlock
// of the fonts' screens.
#include "windowfixture.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

using lumivor::link::Dialogs;
using lumivor::testing::WindowFixture;

namespace {

// Opens the About window from the Help menu and double-clicks its picture.
void unlockThroughAbout(WindowFixture& f)
{
    f.find<QAction>("mnuAbout")->trigger();
    auto* picture = f.find<QLabel>("Picture1");
    QVERIFY(picture);
    QTest::mouseDClick(picture, Qt::LeftButton);
}

} // namespace

class ScreenPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultsAndLoadSendsAtOnce();
    void storeAsksOnceAndSendsOnYesOnly_data();
    void storeAsksOnceAndSendsOnYesOnly();
    void closedPortDoesNothing();
    void aboutPictureUnlocksTheFontScreensForGood();
};

void ScreenPanelTest::defaultsAndLoadSendsAtOnce()
{
    WindowFixture f;
    auto* bar = f.find<QScrollBar>("ScreenScroll");
    QCOMPARE(bar->minimum(), 6);
    QCOMPARE(bar->maximum(), 255);
    QCOMPARE(f.text("Text6"), QStringLiteral("6"));
    QVERIFY(f.find<QRadioButton>("optLoad")->isChecked());
    QCOMPARE(f.find<QRadioButton>("optSave")->text(), QStringLiteral("Save As"));
    QVERIFY(f.find<QWidget>("Frame25")->isAncestorOf(bar));

    f.port.setPortOpen(true);
    f.click("cmdOk");
    bar->setValue(255);
    QCOMPARE(f.text("Text6"), QStringLiteral("255"));
    f.click("cmdOk");
    QCOMPARE(f.port.writes, (QList<QByteArray>{QByteArray("\x08\x06"), QByteArray("\x08\xff")}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void ScreenPanelTest::storeAsksOnceAndSendsOnYesOnly_data()
{
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QByteArray>("sent");
    const QString confirmation = QStringLiteral("Are you sure you want to save to screen # %1? ");
    const QString warning =
        QStringLiteral("Screens 1-5 are used for fonts storage. Are you sure you "
                       "want to replace screen # %1? ");
    const int question = int(Dialogs::Icon::Question);
    const int exclamation = int(Dialogs::Icon::Exclamation);
    QTest::newRow("6, Yes") << false << 6 << true << confirmation.arg(6) << "Confirmation"
                            << question << QByteArray("\x11\x06");
    QTest::newRow("6, No") << false << 6 << false << confirmation.arg(6) << "Confirmation"
                           << question << QByteArray();
    QTest::newRow("255, Yes") << false << 255 << true << confirmation.arg(255) << "Confirmation"
                              << question << QByteArray("\x11\xff");
    QTest::newRow("5 after the unlock, Yes") << true << 5 << true << warning.arg(5) << "Warning"
                                             << exclamation << QByteArray("\x11\x05");
    QTest::newRow("1 after the unlock, No")
        << true << 1 << false << warning.arg(1) << "Warning" << exclamation << QByteArray();
    QTest::newRow("6 after the unlock, Yes")
        << true << 6 << true << confirmation.arg(6) << "Confirmation" << question
        << QByteArray("\x11\x06");
}

void ScreenPanelTest::storeAsksOnceAndSendsOnYesOnly()
{
    QFETCH(bool, unlocked);
    QFETCH(int, screen);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(QByteArray, sent);
    WindowFixture f;
    if (unlocked)
        unlockThroughAbout(f);
    f.find<QScrollBar>("ScreenScroll")->setValue(screen);
    f.find<QRadioButton>("optSave")->setChecked(true);
    f.port.setPortOpen(true);
    f.dialogs.answers = {yes ? Dialogs::Answer::Yes : Dialogs::Answer::No};

    f.click("cmdOk");
    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto& asked = f.dialogs.messages.front();
    QCOMPARE(asked.text, question);
    QCOMPARE(asked.title, title);
    QCOMPARE(int(asked.icon), icon);
    QCOMPARE(asked.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(f.port.writes, sent.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{sent});
}

void ScreenPanelTest::closedPortDoesNothing()
{
    WindowFixture f;
    f.click("cmdOk");
    f.find<QRadioButton>("optSave")->setChecked(true);
    f.click("cmdOk");
    QVERIFY(f.port.writes.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
}

// The minimum, then the value, then the box; a later double-click selects
// screen 1 again, and closing the About window keeps the lower minimum.
void ScreenPanelTest::aboutPictureUnlocksTheFontScreensForGood()
{
    WindowFixture f;
    auto* bar = f.find<QScrollBar>("ScreenScroll");
    bar->setValue(200);
    unlockThroughAbout(f);
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(f.text("Text6"), QStringLiteral("1"));

    bar->setValue(200);
    QTest::mouseDClick(f.find<QLabel>("Picture1"), Qt::LeftButton);
    QCOMPARE(bar->value(), 1);
    f.find<QDialog>("frmAbout")->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f.find<QDialog>("frmAbout"));
    QCOMPARE(bar->minimum(), 1);

    f.port.setPortOpen(true);
    f.click("cmdOk"); // loading never asks, not even for a font screen
    QCOMPARE(f.port.writes, (QList<QByteArray>{QByteArray("\x08\x01")}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

QTEST_MAIN(ScreenPanelTest)
#include "tst_screen_panel.moc"
