// The "Line/Rectangle/Circle/Pixel" frame: which options a click enables,
// which command each choice sends, how a bad value is reported, and the
// pixel-string dialogue, driven through the real controls.
#include "windowfixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using lumivor::link::Dialogs;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

namespace {

const QMap<QString, const char*> optionNames{
    {"Line", "Option4"},     {"Rectangle", "Option5"}, {"Circle", "Option9"},
    {"Pixel", "Option12"},   {"Draw", "Option6"},      {"Clear", "Option13"},
    {"Reverse", "Option18"}, {"Empty", "Option10"},    {"Filled", "Option11"},
};
const char* const placeFrames[] = {"Frame35", "Frame39", "Frame19", "Frame13"};

// "Text15=12.5" sets a box.
using Fields = QStringList;

} // namespace

class CoordinatesPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void optionClicks_data();
    void optionClicks();
    void commands_data();
    void commands();
    void badValues_data();
    void badValues();
    void pixelStringDialogue_data();
    void pixelStringDialogue();
    void badPixelValuesChangeNothing_data();
    void badPixelValuesChangeNothing();
    void shapeChangeKeepsAnOpenPixelString();
    void boxesAtStart();

private:
    void clickOptions(const QStringList& captions) const
    {
        for (const QString& caption : captions)
            f->click(optionNames.value(caption));
    }
    void fill(const Fields& fields) const
    {
        for (const QString& field : fields) {
            const QByteArray name = field.section(QLatin1Char('='), 0, 0).toLatin1();
            f->find<QLineEdit>(name.constData())->setText(field.section(QLatin1Char('='), 1));
        }
    }
    QString shownFrame() const
    {
        auto* panel = f->find<QWidget>("Frame34");
        QStringList shown;
        for (const char* name : placeFrames)
            if (f->find<QWidget>(name)->isVisibleTo(panel))
                shown << QString::fromLatin1(name);
        return shown.join(QLatin1Char(','));
    }
    QString title(const char* frame) const { return f->find<QGroupBox>(frame)->title(); }
    bool enabled(const char* button) const { return f->find<QWidget>(button)->isEnabled(); }

    std::unique_ptr<WindowFixture> f;
};

void CoordinatesPanelTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void CoordinatesPanelTest::init()
{
    f = std::make_unique<WindowFixture>();
    f->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->window.get()));
    f->bringToFront(f->find<QWidget>("Frame34"));
}

void CoordinatesPanelTest::cleanup()
{
    f.reset();
}

void CoordinatesPanelTest::optionClicks_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("enabled"); // of Draw, Clear, Reverse, Empty, Filled
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("frame");
    const QStringList drawClear{"Draw", "Clear"};
    const QStringList all{"Draw", "Clear", "Reverse", "Empty", "Filled"};
    const auto row = [](const char* name, const QStringList& clicks, const QStringList& enabled,
                        const QStringList& selected, const char* frame) {
        QTest::newRow(name) << clicks << enabled << selected << QString::fromLatin1(frame);
    };
    row("start-up", {}, drawClear, {"Line", "Draw", "Empty"}, "Frame35");
    row("Rectangle", {"Rectangle"}, all, {"Rectangle", "Draw", "Empty"}, "Frame35");
    row("Rectangle, Reverse", {"Rectangle", "Reverse"}, {"Draw", "Clear", "Reverse"},
        {"Rectangle", "Reverse", "Empty"}, "Frame35");
    row("Rectangle, Reverse, Line keeps Reverse selected", {"Rectangle", "Reverse", "Line"},
        drawClear, {"Line", "Reverse", "Empty"}, "Frame35");
    row("Reverse, then Draw keeps the fill", {"Rectangle", "Filled", "Reverse", "Draw"}, all,
        {"Rectangle", "Draw", "Filled"}, "Frame35");
    row("Rectangle again after Reverse", {"Rectangle", "Reverse", "Rectangle"}, all,
        {"Rectangle", "Reverse", "Empty"}, "Frame35");
    row("Clear with a line", {"Clear"}, drawClear, {"Line", "Clear", "Empty"}, "Frame35");
    row("Circle", {"Circle"}, drawClear, {"Circle", "Draw", "Empty"}, "Frame39");
    row("Circle after Reverse", {"Rectangle", "Reverse", "Circle"}, drawClear,
        {"Circle", "Reverse", "Empty"}, "Frame39");
    row("Pixel", {"Pixel"}, {}, {"Pixel", "Draw", "Empty"}, "Frame19");
    row("disabled options ignore clicks", {"Pixel", "Clear", "Filled"}, {},
        {"Pixel", "Draw", "Empty"}, "Frame19");
    row("Clear, Pixel, Line", {"Clear", "Pixel", "Line"}, drawClear, {"Line", "Clear", "Empty"},
        "Frame35");
}

void CoordinatesPanelTest::optionClicks()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, selected);
    QFETCH(QString, frame);
    clickOptions(clicks);
    for (const char* caption : {"Draw", "Clear", "Reverse", "Empty", "Filled"})
        QVERIFY2(enabled.contains(caption) == this->enabled(optionNames.value(caption)), caption);
    for (auto it = optionNames.cbegin(); it != optionNames.cend(); ++it)
        QVERIFY2(f->find<QRadioButton>(it.value())->isChecked() == selected.contains(it.key()),
                 qPrintable(it.key()));
    QCOMPARE(shownFrame(), frame);
}

void CoordinatesPanelTest::commands_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QString>("send");
    QTest::addColumn<QByteArray>("bytes"); // empty: nothing is sent
    const auto line = [](const char* name, const QStringList& clicks, const Fields& fields,
                         const QByteArray& bytes) {
        QTest::newRow(name) << clicks << fields << QStringLiteral("Command23") << bytes;
    };
    const auto circle = [](const char* name, const QStringList& clicks, const Fields& fields,
                           const QByteArray& bytes) {
        QTest::newRow(name) << clicks << fields << QStringLiteral("Command26") << bytes;
    };
    const QByteArray zeros(4, '\0');
    line("start-up", {}, {}, QByteArray("\x1e\x00", 2) + zeros);
    line("line corner to corner", {}, {"Text18=239", "Text19=63"},
         QByteArray("\x1e\x00\x00\x00\xef\x3f", 6));
    line("clear line", {"Clear"}, {}, QByteArray("\x1f\x00", 2) + zeros);
    line("rectangle", {"Rectangle"}, {}, QByteArray("\x1e\x01") + zeros);
    line("clear rectangle", {"Rectangle", "Clear"}, {}, QByteArray("\x1f\x01") + zeros);
    line("filled rectangle", {"Rectangle", "Filled"}, {}, QByteArray("\x1e\x02") + zeros);
    line("clear filled rectangle", {"Rectangle", "Filled", "Clear"},
         {"Text15=10", "Text16=5", "Text18=20", "Text19=15"},
         QByteArray("\x1f\x02\x0a\x05\x14\x0f"));
    line("reverse, empty", {"Rectangle", "Reverse"}, {}, QByteArray("\x1e\x03") + zeros);
    line("reverse, filled", {"Rectangle", "Filled", "Reverse"}, {}, QByteArray("\x1e\x03") + zeros);
    line("Rectangle, Reverse, Line sends nothing", {"Rectangle", "Reverse", "Line"}, {}, {});
    line("then Draw sends a line", {"Rectangle", "Reverse", "Line", "Draw"}, {},
         QByteArray("\x1e\x00", 2) + zeros);
    line("halves go to the even neighbour", {},
         {"Text15=12.5", "Text16=13.5", "Text18= 7 ", "Text19=2.5"},
         QByteArray("\x1e\x00\x0c\x0e\x07\x02", 6));
    line("sent as entered, off the screen too", {}, {"Text15=250", "Text16=100", "Text18=3"},
         QByteArray("\x1e\x00\xfa\x64\x03\x00", 6));
    circle("circle", {"Circle"}, {"Text20=20", "Text22=120", "Text23=32"},
           QByteArray("\x20\x14\x78\x20"));
    circle("clear circle", {"Circle", "Clear"}, {}, QByteArray("\x21\x00\x00\x00", 4));
    circle("circle after Reverse sends nothing", {"Rectangle", "Reverse", "Circle"}, {}, {});
}

// With the port closed nothing goes out; open, the command is one write, and
// the fields keep their text.
void CoordinatesPanelTest::commands()
{
    QFETCH(QStringList, clicks);
    QFETCH(Fields, fields);
    QFETCH(QString, send);
    QFETCH(QByteArray, bytes);
    clickOptions(clicks);
    fill(fields);
    const QByteArray button = send.toLatin1();
    f->click(button.constData());
    QVERIFY(f->port.writes.isEmpty());
    f->port.setPortOpen(true);
    f->click(button.constData());
    QCOMPARE(f->port.writes, bytes.isEmpty() ? Writes{} : Writes{bytes});
    for (const QString& field : fields)
        QCOMPARE(f->text(field.section(QLatin1Char('='), 0, 0).toLatin1().constData()),
                 field.section(QLatin1Char('='), 1));
    QVERIFY(f->dialogs.messages.isEmpty());
}

void CoordinatesPanelTest::badValues_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QString>("send");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<QString>("focus");
    const auto row = [](const char* name, const QStringList& clicks, const Fields& fields,
                        const char* send, const char* message, const char* focus = "",
                        bool portOpen = true) {
        QTest::newRow(name) << clicks << fields << QString::fromLatin1(send) << portOpen
                            << QString::fromUtf8(message) << QString::fromLatin1(focus);
    };
    row("start x empty", {}, {"Text15="}, "Command23", "Start X: empty", "Text15");
    row("the first bad one is told", {}, {"Text16=abc", "Text18=300"}, "Command23",
        "Start Y: not a number", "Text16");
    row("end x out of range", {}, {"Text18=256"}, "Command23", "End X: out of range 0–255",
        "Text18");
    row("255.5 rounds out of range", {"Rectangle"}, {"Text19=255.5"}, "Command23",
        "End Y: out of range 0–255", "Text19");
    row("radius", {"Circle"}, {"Text20=r"}, "Command26", "Radius: not a number", "Text20");
    row("center x", {"Circle"}, {"Text22="}, "Command26", "Center X: empty", "Text22");
    row("center y", {"Circle"}, {"Text23=1e3"}, "Command26", "Center Y: out of range 0–255",
        "Text23");
    row("port closed: nothing read", {}, {"Text15=x"}, "Command23", "", "", false);
    row("no command: nothing read", {"Rectangle", "Reverse", "Line"}, {"Text15=x"}, "Command23",
        "");
}

void CoordinatesPanelTest::badValues()
{
    QFETCH(QStringList, clicks);
    QFETCH(Fields, fields);
    QFETCH(QString, send);
    QFETCH(bool, portOpen);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    clickOptions(clicks);
    fill(fields);
    f->port.setPortOpen(portOpen);
    f->click(send.toLatin1().constData());
    QVERIFY(f->port.writes.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(f->dialogs.messages.isEmpty());
        return;
    }
    QCOMPARE(f->dialogs.messages.size(), 1);
    const auto shown = f->dialogs.messages.constFirst();
    QCOMPARE(shown.text, message);
    QCOMPARE(shown.title, QStringLiteral("Error"));
    QCOMPARE(shown.icon, Dialogs::Icon::Exclamation);
    QCOMPARE(shown.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(f->window->focusWidget()->objectName(), focus);
}

void CoordinatesPanelTest::pixelStringDialogue_data()
{
    QTest::addColumn<QStringList>("counts"); // Text14, changed in turn
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<int>("pairs"); // Sends until the count entry is back
    QTest::addColumn<Writes>("writes");
    const QByteArray pair("\x0a\x14");
    QTest::newRow("count 3") << QStringList{"3"} << true << 3
                             << Writes{"\x0a\x03", pair, pair, pair};
    QTest::newRow("5 back to 0 stays enabled, one pair")
        << QStringList{"5", "0"} << true << 1 << Writes{QByteArray("\x0a\x00", 2), pair};
    QTest::newRow("two zeros") << QStringList{"00"} << true << 1
                               << Writes{QByteArray("\x0a\x00", 2), pair};
    QTest::newRow("port closed") << QStringList{"3"} << false << 3 << Writes{};
}

// The count goes out as 0A n; the pairs follow one per Send, counted in the
// frame's caption, until the count entry comes back with "0" and a disabled
// Send. With the port closed the dialogue steps the same, silently.
void CoordinatesPanelTest::pixelStringDialogue()
{
    QFETCH(QStringList, counts);
    QFETCH(bool, portOpen);
    QFETCH(int, pairs);
    QFETCH(Writes, writes);
    f->port.setPortOpen(portOpen);
    f->click("Option12");
    QVERIFY(!enabled("Command10"));
    for (const QString& count : counts)
        f->find<QLineEdit>("Text14")->setText(count);
    QVERIFY(enabled("Command10"));
    f->click("Command10");
    fill({"Text13=10", "Text12=20"});
    for (int pair = 1; pair <= pairs; ++pair) {
        QCOMPARE(shownFrame(), QStringLiteral("Frame13"));
        QCOMPARE(title("Frame13"), QStringLiteral("Enter Coordinate # %1").arg(pair));
        f->click("Command8");
    }
    QCOMPARE(shownFrame(), QStringLiteral("Frame19"));
    QCOMPARE(f->text("Text14"), QStringLiteral("0"));
    QVERIFY(!enabled("Command10"));
    QCOMPARE(f->text("Text13"), QStringLiteral("10"));
    QCOMPARE(f->port.writes, writes);
    QVERIFY(f->dialogs.messages.isEmpty());
}

void CoordinatesPanelTest::badPixelValuesChangeNothing_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<Fields>("pair");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("message");
    QTest::addColumn<Writes>("writes");
    QTest::addColumn<QString>("frame");
    const Writes header{"\x0a\x02"};
    QTest::newRow("count not a number")
        << "two" << Fields{} << true << "Number of Coordinates: not a number" << Writes{}
        << "Frame19";
    QTest::newRow("count out of range")
        << "256" << Fields{} << true << "Number of Coordinates: out of range 0–255" << Writes{}
        << "Frame19";
    QTest::newRow("port closed: told all the same")
        << "two" << Fields{} << false << "Number of Coordinates: not a number" << Writes{}
        << "Frame19";
    QTest::newRow("x empty") << "2" << Fields{"Text13="} << true << "X: empty" << header
                             << "Frame13";
    QTest::newRow("y out of range")
        << "2" << Fields{"Text12=300"} << true << "Y: out of range 0–255" << header << "Frame13";
}

// A value that is not a byte is told and stops the step: no byte, no count.
void CoordinatesPanelTest::badPixelValuesChangeNothing()
{
    QFETCH(QString, count);
    QFETCH(Fields, pair);
    QFETCH(bool, portOpen);
    QFETCH(QString, message);
    QFETCH(Writes, writes);
    QFETCH(QString, frame);
    f->port.setPortOpen(portOpen);
    f->click("Option12");
    f->find<QLineEdit>("Text14")->setText(count);
    f->click("Command10");
    if (!pair.isEmpty()) {
        fill(pair);
        f->click("Command8");
        QCOMPARE(title("Frame13"), QStringLiteral("Enter Coordinate # 1"));
    }
    QCOMPARE(shownFrame(), frame);
    QCOMPARE(f->port.writes, writes);
    QCOMPARE(f->dialogs.messages.size(), 1);
    QCOMPARE(f->dialogs.messages.constFirst().text, message);
}

// Another shape hides the pair entry without ending the string; "Pixel"
// brings it back where it was, and the string completes.
void CoordinatesPanelTest::shapeChangeKeepsAnOpenPixelString()
{
    f->port.setPortOpen(true);
    f->click("Option12");
    f->find<QLineEdit>("Text14")->setText(QStringLiteral("3"));
    f->click("Command10");
    f->click("Command8");
    f->click("Option4");
    QCOMPARE(shownFrame(), QStringLiteral("Frame35"));
    f->click("Command23");
    f->click("Option9");
    QCOMPARE(shownFrame(), QStringLiteral("Frame39"));
    f->click("Option12");
    QCOMPARE(shownFrame(), QStringLiteral("Frame13"));
    QCOMPARE(title("Frame13"), QStringLiteral("Enter Coordinate # 2"));
    f->click("Command8");
    f->click("Command8");
    QCOMPARE(shownFrame(), QStringLiteral("Frame19"));
    const QByteArray pair(2, '\0');
    const QByteArray line = QByteArray("\x1e\x00", 2) + QByteArray(4, '\0');
    QCOMPARE(f->port.writes, (Writes{"\x0a\x03", pair, line, pair, pair}));
}

void CoordinatesPanelTest::boxesAtStart()
{
    const QColor tooltip = QApplication::palette().color(QPalette::ToolTipBase);
    for (const char* name : {"Text15", "Text16", "Text18", "Text19", "Text20", "Text22", "Text23",
                             "Text14", "Text13", "Text12"}) {
        auto* box = f->find<QLineEdit>(name);
        QVERIFY2(box, name);
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(box->palette().color(QPalette::Base), tooltip);
    }
    QCOMPARE(title("Frame19"), QStringLiteral("Pixels"));
    QCOMPARE(title("Frame13"), QStringLiteral("Pixel Coordinates"));
}

QTEST_MAIN(CoordinatesPanelTest)
#include "tst_coordinates_panel.moc"
