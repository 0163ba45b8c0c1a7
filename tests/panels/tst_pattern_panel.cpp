// The "Pattern" frame: the key filter, and Send turning a comma list into
// one data-byte write per entry, skipping what is not a byte.
#include "link/linkservice.h"
#include "panels/graphics/patternpanel.h"
#include "windowfixture.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

using lumivor::link::Dialogs;
using lumivor::panels::PatternPanel;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

namespace {

Writes dataBytes(std::initializer_list<int> values)
{
    Writes writes;
    for (const int value : values)
        writes.append(QByteArray(1, '\x03') + static_cast<char>(value));
    return writes;
}

// "0,1,...,count-1" and its writes.
std::pair<QString, Writes> countingList(int count)
{
    QStringList entries;
    Writes writes;
    for (int i = 0; i < count; ++i) {
        entries << QString::number(i);
        writes.append(QByteArray(1, '\x03') + static_cast<char>(i));
    }
    return {entries.join(QLatin1Char(',')), writes};
}

} // namespace

class PatternPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void send_data();
    void send();
    void aLongListIsPacedWithTheSameBytes();
    void keys_data();
    void keys();

private:
    QPlainTextEdit* box() const { return f->find<QPlainTextEdit>("txtString1"); }
    std::unique_ptr<WindowFixture> f;
};

void PatternPanelTest::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    f = std::make_unique<WindowFixture>();
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
    f->bringToFront(box());
}

void PatternPanelTest::cleanup()
{
    f.reset();
}

void PatternPanelTest::send_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<Writes>("writes");
    QTest::newRow("0,1,255") << "0,1,255" << true << dataBytes({0, 1, 255});
    QTest::newRow("empty entry skipped") << "5,,7" << true << dataBytes({5, 7});
    QTest::newRow("300 skipped") << "12,300,13" << true << dataBytes({12, 13});
    QTest::newRow("trailing comma") << "0," << true << dataBytes({0});
    QTest::newRow("empty box") << "" << true << Writes{};
    // Pasted text is not filtered; each entry is read like any operator number.
    QTest::newRow("pasted text") << " 7 ,x,2.5,-1,3.5" << true << dataBytes({7, 2, 4});
    QTest::newRow("port closed") << "0,1,255" << false << Writes{};
}

// Whatever was sent, the box is emptied and keeps the focus.
void PatternPanelTest::send()
{
    QFETCH(QString, text);
    QFETCH(bool, portOpen);
    QFETCH(Writes, writes);
    f->port.setPortOpen(portOpen);
    box()->setPlainText(text);
    f->click("Command1");
    QCOMPARE(f->port.writes, writes);
    QCOMPARE(box()->toPlainText(), QString());
    QCOMPARE(f->window->focusWidget(), box());
    QVERIFY(f->dialogs.messages.isEmpty());
}

// A long list leaves at line speed as a job; the bytes are the same and the
// box is free at once.
void PatternPanelTest::aLongListIsPacedWithTheSameBytes()
{
    const auto [text, writes] = countingList(200);
    f->port.setPortOpen(true);
    box()->setPlainText(text);
    f->click("Command1");
    QCOMPARE(box()->toPlainText(), QString());
    QVERIFY(f->window->link().isBusy());
    QVERIFY(f->port.writes.size() < writes.size());
    QCOMPARE(f->find<QProgressBar>("ProgressBar1")->maximum(), 200);
    QVERIFY(f->clock.advanceUntil([this] { return !f->window->link().isBusy(); }, 5000));
    QCOMPARE(f->port.writes, writes);
    QVERIFY(f->dialogs.messages.isEmpty());
}

void PatternPanelTest::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text"); // afterwards; "12" with the cursor between the digits
    QTest::addColumn<bool>("refused");
    const auto row = [](const char* name, Qt::Key key, const char* text, bool refused,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::newRow(name) << int(key) << int(modifiers) << QString::fromLatin1(text) << refused;
    };
    row("digit", Qt::Key_5, "152", false);
    row("comma", Qt::Key_Comma, "1,2", false);
    row("Backspace", Qt::Key_Backspace, "2", false);
    row("Delete", Qt::Key_Delete, "1", false);
    row("arrow", Qt::Key_Left, "12", false);
    row("space", Qt::Key_Space, "12", true);
    row("minus", Qt::Key_Minus, "12", true);
    row("letter", Qt::Key_A, "12", true);
    row("Enter", Qt::Key_Return, "12", true);
    row("Ctrl+V", Qt::Key_V, "12", true, Qt::ControlModifier);
}

void PatternPanelTest::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(bool, refused);
    box()->setPlainText(QStringLiteral("12"));
    box()->setFocus();
    QTextCursor cursor = box()->textCursor();
    cursor.setPosition(1);
    box()->setTextCursor(cursor);
    QTest::keyClick(box(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(box()->toPlainText(), text);
    QCOMPARE(f->dialogs.messages.size(), refused ? 1 : 0);
    if (refused) {
        const auto message = f->dialogs.messages.constFirst();
        QCOMPARE(message.text, QStringLiteral("Illegal Character"));
        QCOMPARE(message.title, QStringLiteral("Error"));
        QCOMPARE(message.icon, Dialogs::Icon::Information);
        QCOMPARE(message.buttons, Dialogs::Buttons::Ok);
    }
}

QTEST_MAIN(PatternPanelTest)
#include "tst_pattern_panel.moc"
