// The "Line/Rectangle/Circle/Pixel" frame and the "Pattern" frame: which
// command each choice sends, the order the fields are checked in, the pixel
// string dialogue, and a comma list sent at once or paced from 33 entries.
#include "testsuite.h"
#include "windowfixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

namespace {

const QMap<QString, const char*> option{
    {"Line", "Option4"},     {"Rectangle", "Option5"}, {"Circle", "Option9"},
    {"Pixel", "Option12"},   {"Draw", "Option6"},      {"Clear", "Option13"},
    {"Reverse", "Option18"}, {"Empty", "Option10"},    {"Filled", "Option11"},
};

} // namespace

class GraphicsPanelsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        f = std::make_unique<WindowFixture>();
        f->bringToFront(f->find<QWidget>("Frame34"));
        f->port.setPortOpen(true);
    }
    void cleanup() { f.reset(); }

    void shapes_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QByteArray>("bytes"); // empty: nothing sent
        QTest::addColumn<QString>("message");  // the one message, and its field takes the focus
        const auto row = [](const char* name, const QStringList& clicks, const QStringList& fields,
                            const QByteArray& bytes, const char* message = "") {
            QTest::newRow(name) << clicks << fields << bytes << QString::fromUtf8(message);
        };
        const QByteArray zeros(4, '\0');
        row("line corner to corner", {}, {"Text18=239", "Text19=63"},
            QByteArray("\x1e\x00\x00\x00\xef\x3f", 6));
        row("clear line", {"Clear"}, {}, QByteArray("\x1f\x00", 2) + zeros);
        row("clear filled rectangle", {"Rectangle", "Filled", "Clear"},
            {"Text15=10", "Text16=5", "Text18=20", "Text19=15"}, "\x1f\x02\x0a\x05\x14\x0f");
        row("reverse, filled", {"Rectangle", "Filled", "Reverse"}, {}, "\x1e\x03" + zeros);
        row("Line with Reverse still selected sends nothing", {"Rectangle", "Reverse", "Line"},
            {"Text15=x"}, {});
        row("halves go to the even neighbour, blanks are ignored", {},
            {"Text15=12.5", "Text16=13.5", "Text18= 7 ", "Text19=2.5"},
            QByteArray("\x1e\x00\x0c\x0e\x07\x02", 6));
        row("255 is a byte, off the screen or not", {}, {"Text15=255", "Text16=100"},
            QByteArray("\x1e\x00\xff\x64\x00\x00", 6));
        row("start x empty", {}, {"Text15="}, {}, "Start X: empty");
        row("the first bad field is told", {}, {"Text16=abc", "Text18=300"}, {},
            "Start Y: not a number");
        row("255.5 rounds out of range", {"Rectangle"}, {"Text19=255.5"}, {},
            "End Y: out of range 0–255");
        row("circle", {"Circle"}, {"Text20=20", "Text22=120", "Text23=32"}, "\x20\x14\x78\x20");
        row("clear circle", {"Circle", "Clear"}, {}, QByteArray("\x21\x00\x00\x00", 4));
        row("circle with Reverse still selected sends nothing", {"Rectangle", "Reverse", "Circle"},
            {"Text20=x"}, {});
        row("center y", {"Circle"}, {"Text23=1e3"}, {}, "Center Y: out of range 0–255");
    }

    void shapes()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, fields);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        clickOptions(clicks);
        fill(fields);
        const bool circle = clicks.contains(QStringLiteral("Circle"));
        QCOMPARE(shownFrame(), circle ? QStringLiteral("Frame39") : QStringLiteral("Frame35"));
        f->click(circle ? "Command26" : "Command23");
        QCOMPARE(f->port.writes, bytes.isEmpty() ? Writes{} : Writes{bytes});
        QCOMPARE(told(), message);
        if (!message.isEmpty())
            QCOMPARE(f->window->focusWidget()->objectName(),
                     fields.constFirst().section(u'=', 0, 0));
    }

    void pixelString_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QStringList>("pair");
        QTest::addColumn<int>("clicks"); // of the pair's Send
        QTest::addColumn<bool>("ended"); // the count entry is back
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QString>("message");
        const QByteArray pair("\x0a\x14");
        const QStringList good{"Text13=10", "Text12=20"};
        // After the first pair a line is drawn: another shape hides the pair
        // entry without ending the string, and "Pixel" brings it back.
        QTest::newRow("count 3, a line between")
            << "3" << true << good << 3 << true
            << Writes{"\x0a\x03", pair, QByteArray("\x1e\x00\x00\x00\x00\x00", 6), pair, pair}
            << QString();
        QTest::newRow("port closed: the same steps, silently")
            << "3" << false << good << 3 << true << Writes{} << QString();
        QTest::newRow("count out of range: told, no step")
            << "256" << true << good << 0 << false << Writes{}
            << QStringLiteral("Number of Coordinates: out of range 0–255");
        QTest::newRow("a bad pair: told, no step")
            << "2" << true << QStringList{"Text13=", "Text12=300"} << 1 << false
            << Writes{"\x0a\x02"} << QStringLiteral("X: empty");
    }

    // 0A n, then one pair per Send, counted in the frame's caption, until the
    // count entry comes back with "0" and a disabled Send.
    void pixelString()
    {
        QFETCH(QString, count);
        QFETCH(bool, portOpen);
        QFETCH(QStringList, pair);
        QFETCH(int, clicks);
        QFETCH(bool, ended);
        QFETCH(Writes, writes);
        QFETCH(QString, message);
        if (!portOpen)
            f->port.setPortOpen(false);
        f->click("Option12");
        f->find<QLineEdit>("Text14")->setText(count);
        f->click("Command10");
        fill(pair);
        for (int i = 1; i <= clicks; ++i) {
            QCOMPARE(shownFrame(), QStringLiteral("Frame13"));
            QCOMPARE(f->find<QGroupBox>("Frame13")->title(),
                     QStringLiteral("Enter Coordinate # %1").arg(i));
            f->click("Command8");
            if (i == 1 && portOpen && ended) {
                clickOptions({"Line"});
                f->click("Command23");
                clickOptions({"Pixel"});
            }
        }
        QCOMPARE(f->port.writes, writes);
        QCOMPARE(told(), message);
        QCOMPARE(shownFrame(),
                 ended || clicks == 0 ? QStringLiteral("Frame19") : QStringLiteral("Frame13"));
        QCOMPARE(f->text("Text14"), ended ? QStringLiteral("0") : count);
        QCOMPARE(f->find<QWidget>("Command10")->isEnabled(), !ended);
    }

    void pattern_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("bytes");
        QTest::addColumn<bool>("paced");
        QList<int> upTo32, upTo33;
        for (int i = 0; i < 33; ++i)
            (i < 32 ? upTo32 : upTo33) << i;
        upTo33 = upTo32 + upTo33;
        const auto list = [](const QList<int>& values) {
            QStringList entries;
            for (int value : values)
                entries << QString::number(value);
            return entries.join(u',');
        };
        QTest::newRow("0,1,255") << "0,1,255" << QList<int>{0, 1, 255} << false;
        // Pasted text is not filtered: each entry is read like any operator number.
        QTest::newRow("what is not a byte is skipped")
            << "5,,300, 7 ,x,2.5,-1,3.5," << QList<int>{5, 7, 2, 4} << false;
        QTest::newRow("32 entries at once") << list(upTo32) << upTo32 << false;
        QTest::newRow("33 entries at line speed") << list(upTo33) << upTo33 << true;
    }

    // 03 b for each entry; the box is emptied and keeps the focus.
    void pattern()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, bytes);
        QFETCH(bool, paced);
        f->bringToFront(patternBox());
        patternBox()->setPlainText(text);
        f->click("Command1");
        QCOMPARE(patternBox()->toPlainText(), QString());
        QCOMPARE(f->window->focusWidget(), patternBox());
        QCOMPARE(f->busy(), paced);
        QVERIFY(f->runToEnd(5000));
        Writes writes;
        for (int value : bytes)
            writes << QByteArray(1, '\x03') + char(value);
        QCOMPARE(f->port.writes, writes);
        QVERIFY(f->dialogs.messages.isEmpty());
    }

private:
    void clickOptions(const QStringList& captions) const
    {
        for (const QString& caption : captions)
            f->click(option.value(caption));
    }
    // "Text15=12.5" sets a box.
    void fill(const QStringList& fields) const
    {
        for (const QString& field : fields)
            f->find<QLineEdit>(field.section(u'=', 0, 0).toLatin1().constData())
                ->setText(field.section(u'=', 1));
    }
    QString shownFrame() const
    {
        for (const char* name : {"Frame35", "Frame39", "Frame19", "Frame13"})
            if (f->find<QWidget>(name)->isVisibleTo(f->find<QWidget>("Frame34")))
                return QString::fromLatin1(name);
        return QString();
    }
    QString told() const
    {
        return f->dialogs.messages.isEmpty() ? QString() : f->dialogs.messages.first().text;
    }
    QPlainTextEdit* patternBox() const { return f->find<QPlainTextEdit>("txtString1"); }

    std::unique_ptr<WindowFixture> f;
};

LUMIVOR_TEST(GraphicsPanelsTest)
#include "tst_graphics_panels.moc"
