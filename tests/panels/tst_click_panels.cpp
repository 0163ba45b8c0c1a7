// The controls that act at a click or a key: the sending rule on every panel,
// live text and its 45-character strings, the scroll bars the buttons read,
// the key mask, touch reports, the animation, and the one question before a
// screen is stored.
#include "testsuite.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextDocument>

using lumivor::link::Dialogs;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

class ClickPanelsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void onlyAFreeLinkSends_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QByteArray>("bytes"); // sent on a free link; empty: nothing
        QTest::addColumn<int>("asked");        // questions and file dialogs on a free link
        const auto row = [](const char* button, const QByteArray& bytes, int asked = 0) {
            QTest::newRow(button) << QByteArray(button) << bytes << asked;
        };
        row("Command27", QByteArray("\x09\x00", 2)); // backlight off
        row("Command28", "\x23\x01");                // beep
        row("Command9", "\x0b\x06");                 // display mode "Diagonal [/]"
        row("Command21", QByteArray("\x1d\x00", 2)); // flip page 0
        row("Command2", QByteArray("\x06\x00", 2));  // text page
        row("Command3", QByteArray("\x12\x00", 2));  // text column
        row("CmdAnalog", "\x05\x01");
        row("Cmd6x3", "\x1c\x01");
        // Every click ticks or unticks the box: the free one ticks it again.
        row("BeepOnTouch", "\x23\x02");
        row("Command17", "\x1b\x03\x01\x02"); // animation run, the scroll bars' start values
        row("Command23", QByteArray("\x1e\x00\x00\x00\x00\x00", 6)); // a line from the boxes
        row("cmdOk", "\x08\x06");                                    // screen load
        row("Command30", "\x19\x01", 1);                             // calibrate, after Yes
        row("cmdFlash", {}, 1);                                      // the file dialog, cancelled
    }

    void onlyAFreeLinkSends()
    {
        QFETCH(QByteArray, button);
        QFETCH(QByteArray, bytes);
        QFETCH(int, asked);
        f->click(button.constData());
        f->port.setPortOpen(true);
        {
            // Another operation (a flash transfer, say) holds the link.
            const auto lease = f->window->link().lease(QStringLiteral("An operation"), [] {}, {});
            QVERIFY(lease);
            f->click(button.constData());
        }
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(f->dialogs.messages.size() + f->dialogs.filters.size(), 0);
        f->click(button.constData());
        QCOMPARE(f->port.writes, bytes.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{bytes});
        QCOMPARE(f->dialogs.messages.size() + f->dialogs.filters.size(), asked);
    }

    void typedKeys_data()
    {
        QTest::addColumn<bool>("stringMode");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<Writes>("writes");
        // A character Latin-1 lacks is neither sent nor counted; Enter first sends
        // an empty string; Backspace goes out; Enter ends a string, the next key
        // opens one.
        QTest::newRow("string") << true << QStringLiteral("\u20ac\rAB\bC\rD")
                                << Writes{"\x26\x0d", "\x26\x41", "\x42",    "\x08",
                                          "\x43",     "\x0d",     "\x26\x44"};
        // Control codes and Latin-1 letters go out as their byte; keys without a
        // character (an arrow, Delete) send nothing.
        QTest::newRow("character")
            << false << QStringLiteral("Az\r\x01\x1b\x1c\x7f\u00e9")
            << Writes{"\x02\x41", "\x02\x7a", "\x02\x0d", "\x02\x01", "\x02\x1b", "\x02\xe9"};
    }

    void typedKeys()
    {
        QFETCH(bool, stringMode);
        QFETCH(QString, keys);
        QFETCH(Writes, writes);
        f->port.setPortOpen(true);
        if (stringMode)
            f->click("optString");
        type(keys);
        input()->insertPlainText(QStringLiteral("pasted")); // pasting sends nothing
        QCOMPARE(f->port.writes, writes);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    // The alert comes after the 45th character has gone out; the 46th opens a
    // new string. Keys typed while the port is closed are shown, not counted.
    // Selecting "String" again starts a fresh count.
    void the45thCharacterIsSentBeforeTheAlert()
    {
        f->port.setPortOpen(true);
        f->click("optString");
        qsizetype writesWhenAlerted = -1;
        f->dialogs.whileShown = [&](const auto&) { writesWhenAlerted = f->port.writes.size(); };
        type(QString(44, u'a'));
        f->port.setPortOpen(false);
        type(QStringLiteral("x\r"));
        f->port.setPortOpen(true);
        type(QStringLiteral("aa"));
        QCOMPARE(input()->toPlainText(), QString(44, u'a') + QStringLiteral("x\naa"));
        QCOMPARE(f->dialogs.messages.size(), 1);
        QCOMPARE(f->dialogs.messages.first().text,
                 QStringLiteral("You reached the buffer limit of 45 characters."));
        QCOMPARE(writesWhenAlerted, 45);
        QCOMPARE(f->port.writes.at(44), QByteArray("\x61"));
        QCOMPARE(f->port.writes.at(45), QByteArray("\x26\x61"));

        f->click("optChar");
        f->click("optString");
        type(QString(44, u'b'));
        QCOMPARE(f->dialogs.messages.size(), 1);
        QCOMPARE(f->port.writes.at(46), QByteArray("\x26\x62"));
    }

    // Each button sends its scroll bar's value, not what its box holds; moving a
    // scroll bar moves the focus to its button, and the contrast goes out at once.
    void buttonsSendTheirScrollBarsValue()
    {
        f->port.setPortOpen(true);
        const QList<std::pair<const char*, const char*>> barAndButton{{"HScroll3", "Command2"},
                                                                      {"HScroll4", "Command3"},
                                                                      {"PageScroll", "Command24"},
                                                                      {"PageScroll", "Command21"},
                                                                      {"HScroll5", nullptr}};
        for (const auto& [bar, button] : barAndButton) {
            auto* scrollBar = f->find<QScrollBar>(bar);
            f->bringToFront(scrollBar);
            QTest::keyClick(scrollBar, Qt::Key_End);
            QTest::keyClick(scrollBar, Qt::Key_PageUp); // a step of one, as the arrows
            if (!button)
                continue;
            if (QByteArray(bar) == "HScroll3")
                QCOMPARE(f->window->focusWidget(), f->find<QWidget>(button));
            f->find<QLineEdit>("Text3")->setText(QStringLiteral("1"));
            f->click(button);
        }
        QCOMPARE(f->port.writes,
                 (Writes{"\x06\x06", "\x12\xee", "\x01\x06", "\x1d\x06", "\x10\xff", "\x10\xfe"}));
    }

    // A dragged thumb changes nothing (the contrast would flood the line) until
    // it is released.
    void scrollBarsChangeOnlyWhenTheThumbIsReleased()
    {
        f->port.setPortOpen(true);
        auto* contrast = f->find<QScrollBar>("HScroll5");
        contrast->setSliderDown(true);
        contrast->setSliderPosition(200);
        contrast->setSliderPosition(255);
        QVERIFY(f->port.writes.isEmpty());
        contrast->setSliderDown(false);
        QCOMPARE(f->port.writes, Writes{"\x10\xff"});
    }

    void keyMask_data()
    {
        QTest::addColumn<QList<int>>("ticked"); // Check1 top left, six to a row
        QTest::addColumn<QByteArray>("bytes");
        QList<int> all;
        for (int key = 1; key <= 18; ++key)
            all << key;
        QTest::newRow("all ticked") << all << QByteArray("\x25\x00\x00\x00", 4);
        QTest::newRow("top left") << QList<int>{1} << QByteArray("\x25\x1f\x3f\x3f");
        QTest::newRow("one per row, columns 2 to 4")
            << QList<int>{2, 9, 16} << QByteArray("\x25\x2f\x37\x3b");
        QTest::newRow("ticked twice is clear again")
            << QList<int>{5, 5} << QByteArray("\x25\x3f\x3f\x3f");
    }

    // Ticking sends nothing; "Set" sends the mask of what is ticked then.
    void keyMask()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QByteArray, bytes);
        f->port.setPortOpen(true);
        for (int key : ticked)
            f->click(QByteArray("Check" + QByteArray::number(key)).constData());
        QVERIFY(f->port.writes.isEmpty());
        f->click("Command29");
        QCOMPARE(f->port.writes, Writes{bytes});
    }

    // A flood of touch reports: each poll shows the newest 1024 characters of
    // what the port held (4096), never what earlier polls read, and keeps no
    // history; afterwards the window still sends at once and the poll goes on.
    void aFloodOfTouchReportsShowsTheLatestPollOnly()
    {
        f->connect();
        f->port.writes.clear();
        auto* response = f->find<QLineEdit>("Text7");
        auto* buffer = f->find<QPlainTextEdit>("txtBuffer");
        for (int poll = 0; poll < 3; ++poll) {
            QByteArray arrived;
            for (int i = 0; i < 5000; ++i)
                arrived +=
                    "T:" + QByteArray::number(i % 240) + ',' + QByteArray::number(poll) + '!';
            f->port.queueInput(arrived);
            f->clock.advance(250);
            QCOMPARE(response->text(), QString::fromLatin1(arrived.left(4096).right(1024)));
            QCOMPARE(buffer->toPlainText().size(), 4096);
        }
        QVERIFY(!response->isUndoAvailable());
        QCOMPARE(buffer->document()->availableUndoSteps(), 0);
        f->click("CmdOFF");
        QCOMPARE(f->port.writes, Writes{QByteArray("\x05\x00", 2)});
        f->port.queueInput("K:07!");
        f->clock.advance(250);
        QCOMPARE(response->text(), QStringLiteral("K:07!"));
    }

    // Run takes the delay, start and stop screens from the scroll bars, in that
    // order and not cross-checked, whatever their mirror boxes hold.
    void runSendsTheScrollBarsNotTheirBoxes()
    {
        f->port.setPortOpen(true);
        const std::pair<const char*, int> chosen[] = {
            {"HScroll2", 50}, {"HScroll1", 200}, {"HScroll6", 2}};
        for (const auto& [name, value] : chosen)
            f->find<QScrollBar>(name)->setValue(value);
        QCOMPARE(f->text("Text1"), QStringLiteral("200"));
        for (const char* mirror : {"Text11", "Text1", "Text2"})
            f->find<QLineEdit>(mirror)->setText(QStringLiteral("99"));
        f->click("Command17");
        QCOMPARE(f->port.writes, Writes{"\x1b\x32\xc8\x02"});
    }

    void storeAsksOnceAndSendsOnYesOnly_data()
    {
        QTest::addColumn<bool>("unlocked"); // by a double-click on the About picture
        QTest::addColumn<int>("screen");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("fonts"); // asked the fonts question
        QTest::newRow("6, Yes") << false << 6 << true << false;
        QTest::newRow("255, No") << false << 255 << false << false;
        QTest::newRow("6 after the unlock, Yes") << true << 6 << true << false;
        QTest::newRow("5 after the unlock, Yes") << true << 5 << true << true;
        QTest::newRow("1 after the unlock, No") << true << 1 << false << true;
    }

    // The unlock lowers the scroll bar's minimum to 1 and selects screen 1, and
    // holds after the About window has closed.
    void storeAsksOnceAndSendsOnYesOnly()
    {
        QFETCH(bool, unlocked);
        QFETCH(int, screen);
        QFETCH(bool, yes);
        QFETCH(bool, fonts);
        auto* bar = f->find<QScrollBar>("ScreenScroll");
        if (unlocked) {
            f->find<QAction>("mnuAbout")->trigger();
            QTest::mouseDClick(f->find<QLabel>("Picture1"), Qt::LeftButton);
            QCOMPARE(bar->value(), 1);
            QCOMPARE(f->text("Text6"), QStringLiteral("1"));
            f->find<QDialog>("frmAbout")->close();
        }
        bar->setValue(screen);
        QCOMPARE(bar->value(), unlocked ? screen : std::max(screen, 6));
        f->find<QRadioButton>("optSave")->setChecked(true);
        f->port.setPortOpen(true);
        f->dialogs.answers = {yes ? Dialogs::Answer::Yes : Dialogs::Answer::No};
        f->click("cmdOk");

        QCOMPARE(f->dialogs.messages.size(), 1);
        const auto& asked = f->dialogs.messages.front();
        QCOMPARE(
            asked.text,
            fonts ? QStringLiteral("Screens 1-5 are used for fonts storage. Are you sure you "
                                   "want to replace screen # %1? ")
                        .arg(screen)
                  : QStringLiteral("Are you sure you want to save to screen # %1? ").arg(screen));
        QCOMPARE(asked.buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(f->port.writes,
                 yes ? QList<QByteArray>{QByteArray("\x11") + char(screen)} : QList<QByteArray>{});
    }

private:
    QPlainTextEdit* input() const { return f->find<QPlainTextEdit>("txtString"); }
    // A key as the keyboard delivers it: Enter, Backspace, Escape, Delete (with
    // the 0x7F some keyboards attach), Ctrl+A, a left arrow (\x1c: no text),
    // and any other character by its text alone.
    void press(QChar c) const
    {
        static const QMap<char16_t, Qt::Key> keys{
            {u'\r', Qt::Key_Return},   {u'\b', Qt::Key_Backspace}, {u'\x1b', Qt::Key_Escape},
            {u'\x7f', Qt::Key_Delete}, {u'\x01', Qt::Key_A},       {u'\x1c', Qt::Key_Left}};
        QKeyEvent event(QEvent::KeyPress, keys.value(c.unicode(), Qt::Key_unknown),
                        c == u'\x01' ? Qt::ControlModifier : Qt::NoModifier,
                        c == u'\x1c' ? QString() : QString(c));
        QApplication::sendEvent(input(), &event);
    }
    void type(const QString& keys) const
    {
        for (const QChar c : keys)
            press(c);
    }

    std::unique_ptr<WindowFixture> f;
};

LUMIVOR_TEST(ClickPanelsTest)
#include "tst_click_panels.moc"
