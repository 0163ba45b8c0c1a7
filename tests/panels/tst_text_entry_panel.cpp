// The "Text" tab: live text key by key, the 45-character string cut, fonts and
// the start position, driven through the real controls.
#include "windowfixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

using lumivor::link::Dialogs;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

class TextEntryPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void typedKeys_data();
    void typedKeys();
    void the45thCharacterIsSentBeforeTheAlert();
    void portClosedShowsTextSendsNothingKeepsTheCounter();
    void keysWithoutACharacterAndPastedTextSendNothing();
    void controlCombinationsGoOutAsTheirCodes();
    void fontsSendOnSelectionOnly();
    void startPositionSendsTheScrollBarValues();
    void scrollBarsChangeOnlyWhenTheThumbIsReleased();
    void toolTipsAndCaptions();

private:
    void type(const QString& keys) { QTest::keyClicks(input(), keys); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(input(), k, modifiers);
    }
    QPlainTextEdit* input() const { return f->find<QPlainTextEdit>("txtString"); }
    void selectString() { f->click("optString"); }

    std::unique_ptr<WindowFixture> f;
};

void TextEntryPanelTest::init()
{
    f = std::make_unique<WindowFixture>();
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
    f->bringToFront(input());
    f->port.setPortOpen(true);
}

void TextEntryPanelTest::cleanup()
{
    f.reset();
}

void TextEntryPanelTest::typedKeys_data()
{
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<QString>("keys"); // "\r" stands for Enter, "\b" for Backspace
    QTest::addColumn<Writes>("writes");

    QTest::newRow("string A B Enter")
        << true << QStringLiteral("AB\r") << Writes{"\x26\x41", "\x42", "\x0d"};
    QTest::newRow("Enter first sends an empty string")
        << true << QStringLiteral("\r") << Writes{"\x26\x0d"};
    QTest::newRow("Enter ends a string, the next key opens one")
        << true << QStringLiteral("A\rB") << Writes{"\x26\x41", "\x0d", "\x26\x42"};
    QTest::newRow("Backspace goes out and counts as a character")
        << true << QStringLiteral("A\bB") << Writes{"\x26\x41", "\x08", "\x42"};
    QTest::newRow("character mode")
        << false << QStringLiteral("Az") << Writes{"\x02\x41", "\x02\x7a"};
    QTest::newRow("character mode Enter") << false << QStringLiteral("\r") << Writes{"\x02\x0d"};
    QTest::newRow("Latin-1 letter goes out as its byte")
        << false << QStringLiteral("\u00e9") << Writes{QByteArray("\x02\xe9")};
    QTest::newRow("a character Latin-1 lacks is neither sent nor counted")
        << true << QStringLiteral("\u20acA") << Writes{"\x26\x41"};
}

void TextEntryPanelTest::typedKeys()
{
    QFETCH(bool, stringMode);
    QFETCH(QString, keys);
    QFETCH(Writes, writes);
    if (stringMode)
        selectString();
    for (const QChar c : keys) {
        if (c == QLatin1Char('\r'))
            key(Qt::Key_Return);
        else if (c == QLatin1Char('\b'))
            key(Qt::Key_Backspace);
        else if (c.unicode() > 0x7f) // what a keyboard layout with that letter delivers
            QTest::sendKeyEvent(QTest::Click, input(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        else
            type(QString(c));
    }
    QCOMPARE(f->port.writes, writes);
    QVERIFY(f->dialogs.messages.isEmpty());
}

void TextEntryPanelTest::the45thCharacterIsSentBeforeTheAlert()
{
    selectString();
    qsizetype writesWhenAlerted = -1;
    f->dialogs.whileShown = [&](const auto&) { writesWhenAlerted = f->port.writes.size(); };
    type(QString(46, QLatin1Char('a')));

    QCOMPARE(f->dialogs.messages.size(), 1);
    const auto& alert = f->dialogs.messages.first();
    QCOMPARE(alert.text, QStringLiteral("You reached the buffer limit of 45 characters."));
    QCOMPARE(alert.title, QStringLiteral("Alert"));
    QCOMPARE(alert.icon, Dialogs::Icon::Information);
    QCOMPARE(alert.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(writesWhenAlerted, 45);
    QCOMPARE(f->port.writes.size(), 46);
    QCOMPARE(f->port.writes.first(), QByteArray("\x26\x61"));
    QCOMPARE(f->port.writes.at(44), QByteArray("\x61"));
    QCOMPARE(f->port.writes.at(45), QByteArray("\x26\x61")); // no terminator, a new string
    QCOMPARE(input()->toPlainText(), QString(46, QLatin1Char('a')));

    // Selecting "String" again starts a fresh count: 44 more keys, no alert.
    f->click("optChar");
    selectString();
    type(QString(44, QLatin1Char('b')));
    QCOMPARE(f->dialogs.messages.size(), 1);
    QCOMPARE(f->port.writes.at(46), QByteArray("\x26\x62"));
}

void TextEntryPanelTest::portClosedShowsTextSendsNothingKeepsTheCounter()
{
    selectString();
    type(QStringLiteral("A"));
    f->port.setPortOpen(false);
    type(QStringLiteral("B"));
    key(Qt::Key_Return);
    f->port.setPortOpen(true);
    type(QStringLiteral("C"));
    QCOMPARE(f->port.writes, (Writes{"\x26\x41", "\x43"}));
    QCOMPARE(input()->toPlainText(), QStringLiteral("AB\nC"));
}

void TextEntryPanelTest::keysWithoutACharacterAndPastedTextSendNothing()
{
    type(QStringLiteral("xy"));
    f->port.writes.clear();
    for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Home, Qt::Key_Delete,
                      Qt::Key_F1, Qt::Key_Shift})
        key(k);
    // Delete with the 0x7F some keyboards attach to it.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(input(), &del);
    input()->insertPlainText(QStringLiteral("pasted"));
    QVERIFY(f->port.writes.isEmpty());
}

void TextEntryPanelTest::controlCombinationsGoOutAsTheirCodes()
{
    // What the keyboard delivers for Ctrl+A and Escape.
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    QApplication::sendEvent(input(), &ctrlA);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    QApplication::sendEvent(input(), &escape);
    QCOMPARE(f->port.writes, (Writes{QByteArray("\x02\x01"), QByteArray("\x02\x1b")}));
}

void TextEntryPanelTest::fontsSendOnSelectionOnly()
{
    QVERIFY(f->find<QRadioButton>("Option1")->isChecked());
    QVERIFY(f->port.writes.isEmpty()); // the start-up selection is shown, not sent
    f->click("Option19");
    f->click("Option1");
    f->click("Option2");
    f->click("Option3");
    f->click("Option3"); // already selected: not selected again
    QCOMPARE(f->port.writes, (Writes{"\x15\x04", "\x15\x01", "\x15\x02", "\x15\x03"}));
    f->port.setPortOpen(false);
    f->click("Option19");
    QCOMPARE(f->port.writes.size(), 4);
}

void TextEntryPanelTest::startPositionSendsTheScrollBarValues()
{
    auto* column = f->find<QScrollBar>("HScroll4");
    f->bringToFront(column);
    QTest::keyClick(column, Qt::Key_End);
    QCOMPARE(f->text("Text4"), QStringLiteral("239"));
    QCOMPARE(f->window->focusWidget(), f->find<QPushButton>("Command3"));
    f->click("Command3");

    auto* page = f->find<QScrollBar>("HScroll3");
    f->clickScrollBar("HScroll3");
    f->clickScrollBar("HScroll3");
    f->clickScrollBar("HScroll3", true); // a track click steps by one as well
    QCOMPARE(f->text("Text3"), QStringLiteral("3"));
    QCOMPARE(f->window->focusWidget(), f->find<QPushButton>("Command2"));
    f->find<QLineEdit>("Text3")->setText(QStringLiteral("6")); // the box is not what is sent
    f->click("Command2");
    QCOMPARE(f->port.writes, (Writes{QByteArray("\x12\xef"), QByteArray("\x06\x03")}));

    f->port.setPortOpen(false);
    QTest::keyClick(page, Qt::Key_End);
    QCOMPARE(f->text("Text3"), QStringLiteral("7"));
    f->click("Command2");
    QCOMPARE(f->port.writes.size(), 2);
}

void TextEntryPanelTest::scrollBarsChangeOnlyWhenTheThumbIsReleased()
{
    for (const char* name : {"HScroll3", "HScroll4", "HScroll5", "PageScroll"}) {
        auto* bar = f->find<QScrollBar>(name);
        const int before = bar->value();
        bar->setSliderDown(true); // the operator drags the thumb
        bar->setSliderPosition(bar->maximum());
        QCOMPARE(bar->value(), before);
        bar->setSliderDown(false); // and lets go
        QCOMPARE(bar->value(), bar->maximum());
    }
}

void TextEntryPanelTest::toolTipsAndCaptions()
{
    const QList<std::tuple<const char*, QString, QString>> controls = {
        {"Command2", QStringLiteral("OK"), QStringLiteral("0x06 + Value from 0x00 to 0x07")},
        {"Command3", QStringLiteral("OK"), QStringLiteral("0x12 + Value from 0x00 to 0x7F")},
        {"optChar", QStringLiteral("Character"), QStringLiteral("0x02 + ASCII")},
        {"optString", QStringLiteral("String"), QStringLiteral("0x26 + ASCII String + 0x0D ")},
        {"Option1", QStringLiteral("7 Pix"), QStringLiteral("0x15 + 0x01")},
        {"Option2", QStringLiteral("14 Pix"), QStringLiteral("0x15 + 0x02")},
        {"Option3", QStringLiteral("14 Pix Bold"), QStringLiteral("0x15 + 0x03")},
        {"Option19", QStringLiteral("22 Pix"), QStringLiteral("0x15 + 0x04")},
    };
    for (const auto& [name, caption, toolTip] : controls) {
        auto* control = f->find<QAbstractButton>(name);
        QVERIFY2(control, name);
        QCOMPARE(control->text(), caption);
        QCOMPARE(control->toolTip(), toolTip);
    }
    QVERIFY(f->find<QRadioButton>("optChar")->isChecked());
    QVERIFY(!f->find<QLineEdit>("Text3")->isEnabled());
    QCOMPARE(f->find<QScrollBar>("HScroll4")->maximum(), 239);
    const QString heading = f->text("Label8");
    QVERIFY(heading.startsWith(QStringLiteral("Page ")));
    QVERIFY(heading.endsWith(QStringLiteral(" Column")));
}

QTEST_MAIN(TextEntryPanelTest)
#include "tst_text_entry_panel.moc"
