// The bytes of every controller command, one table per command family.
#include "protocol/arguments.h"
#include "protocol/graphicscommands.h"
#include "protocol/linkcommands.h"
#include "protocol/memorycommands.h"
#include "protocol/textcommands.h"

#include <QTest>

#include <type_traits>

using namespace lumivor::protocol;

namespace {

// A constant argument out of range must not compile; from(int) is the run-time way.
template<int Value>
concept ConstantPage = requires
{
    typename std::integral_constant<int, Page(Value).value()>;
};
static_assert(ConstantPage<0> && ConstantPage<7>);
static_assert(!ConstantPage<8> && !ConstantPage<-1>);
static_assert(!std::is_convertible_v<int, Page>, "an int must not turn into a page unnoticed");

// Expected sequences are written the usual way, two hex digits per byte: "1E 00 EF".
QByteArray hex(const char* spaced)
{
    return QByteArray::fromHex(spaced);
}

std::array<bool, keypadKeys> boxStates(const QList<int>& checkedBoxNumbers)
{
    std::array<bool, keypadKeys> checked{};
    for (const int box : checkedBoxNumbers)
        checked[static_cast<std::size_t>(box - 1)] = true;
    return checked;
}

std::optional<int> argumentFromInt(const QString& kind, int value)
{
    const auto toInt = [](auto argument) -> std::optional<int> {
        if (!argument)
            return std::nullopt;
        return argument->value();
    };
    if (kind == QLatin1String("page"))
        return toInt(Page::from(value));
    if (kind == QLatin1String("column"))
        return toInt(Column::from(value));
    return toInt(RateIndex::from(value));
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    void addSequenceColumns()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
    }

    void compareSequences()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QCOMPARE(actual.toHex(' '), expected.toHex(' '));
    }

private slots:
    void linkCommands_data()
    {
        addSequenceColumns();
        QTest::newRow("identification query is the text ID") << identify() << hex("49 44");
        QTest::newRow("ID query keeps its zero byte") << queryId() << hex("28 00");
        QTest::newRow("2400 baud keeps its zero byte") << baudRate(RateIndex(0)) << hex("0F 00");
        QTest::newRow("57600 baud") << baudRate(RateIndex(7)) << hex("0F 07");
        QTest::newRow("115200 baud") << baudRate(RateIndex(8)) << hex("0F 08");
    }
    void linkCommands() { compareSequences(); }

    void textCommands_data()
    {
        addSequenceColumns();
        QTest::newRow("screen-wide clear") << clearScreen() << hex("01 08");
        QTest::newRow("clear page 0") << clearPage(Page(0)) << hex("01 00");
        QTest::newRow("clear page 7") << clearPage(Page(7)) << hex("01 07");
        QTest::newRow("display on") << displayPower(true) << hex("0D 01");
        QTest::newRow("display off") << displayPower(false) << hex("0D 00");
        QTest::newRow("contrast 0") << contrast(0) << hex("10 00");
        QTest::newRow("contrast 255") << contrast(255) << hex("10 FF");
        QTest::newRow("flip page 7") << flipPage(Page(7)) << hex("1D 07");
        QTest::newRow("backlight on") << backlight(true) << hex("09 01");
        QTest::newRow("backlight off") << backlight(false) << hex("09 00");
        QTest::newRow("beep is two bytes") << beep() << hex("23 01");
        QTest::newRow("text page 7") << setTextPage(Page(7)) << hex("06 07");
        QTest::newRow("text column 239") << setTextColumn(Column(239)) << hex("12 EF");
        QTest::newRow("text column 0") << setTextColumn(Column(0)) << hex("12 00");
        QTest::newRow("Enter as a character") << putCharacter(0x0D) << hex("02 0D");
        QTest::newRow("character above 7F") << putCharacter(0xE9) << hex("02 E9");
        QTest::newRow("string start") << stringStart('A') << hex("26 41");
        QTest::newRow("string byte") << stringByte('B') << hex("42");
        QTest::newRow("string end") << stringEnd() << hex("0D");
        QTest::newRow("empty string") << stringStart(0x0D) << hex("26 0D");
    }
    void textCommands() { compareSequences(); }

    void displayModeButtons_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("expected");
        const char* captions[] = {"Normal",
                                  "Reverse",
                                  "Top Normal Bottom Reverse",
                                  "Top Reverse Bottom Normal",
                                  "Right Reverse Left Normal",
                                  "Diagonal [\\]",
                                  "Diagonal [/]"};
        const char* sequences[] = {"0B 00", "0B 01", "0B 02", "0B 03", "0B 04", "0B 05", "0B 06"};
        for (int i = 0; i < 7; ++i)
            QTest::newRow(captions[i])
                << i << QString::fromLatin1(captions[i]) << hex(sequences[i]);
    }
    void displayModeButtons()
    {
        QFETCH(int, position);
        QFETCH(QString, caption);
        QFETCH(QByteArray, expected);
        const DisplayMode mode = allDisplayModes.at(static_cast<std::size_t>(position));
        QCOMPARE(displayModeCaption(mode), caption);
        QCOMPARE(displayMode(mode).toHex(' '), expected.toHex(' '));
    }

    void fontOptions_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("7 Pix") << 0 << "7 Pix" << hex("15 01");
        QTest::newRow("14 Pix") << 1 << "14 Pix" << hex("15 02");
        QTest::newRow("14 Pix Bold") << 2 << "14 Pix Bold" << hex("15 03");
        QTest::newRow("22 Pix") << 3 << "22 Pix" << hex("15 04");
    }
    void fontOptions()
    {
        QFETCH(int, position);
        QFETCH(QString, caption);
        QFETCH(QByteArray, expected);
        const Font font = allFonts.at(static_cast<std::size_t>(position));
        QCOMPARE(fontCaption(font), caption);
        QCOMPARE(selectFont(font).toHex(' '), expected.toHex(' '));
    }

    void graphicsCommands_data()
    {
        using enum ShapeOperation;
        addSequenceColumns();
        QTest::newRow("draw line across the screen")
            << *shape(Draw, Shape::Line, 0, 0, 239, 63) << hex("1E 00 00 00 EF 3F");
        QTest::newRow("clear line")
            << *shape(Clear, Shape::Line, 1, 2, 3, 4) << hex("1F 00 01 02 03 04");
        QTest::newRow("line with start equal to end")
            << *shape(Draw, Shape::Line, 7, 7, 7, 7) << hex("1E 00 07 07 07 07");
        QTest::newRow("draw rectangle")
            << *shape(Draw, Shape::Rectangle, 1, 2, 3, 4) << hex("1E 01 01 02 03 04");
        QTest::newRow("clear rectangle")
            << *shape(Clear, Shape::Rectangle, 1, 2, 3, 4) << hex("1F 01 01 02 03 04");
        QTest::newRow("draw filled rectangle")
            << *shape(Draw, Shape::FilledRectangle, 1, 2, 3, 4) << hex("1E 02 01 02 03 04");
        QTest::newRow("clear filled rectangle")
            << *shape(Clear, Shape::FilledRectangle, 10, 5, 20, 15) << hex("1F 02 0A 05 14 0F");
        QTest::newRow("reverse rectangle")
            << *shape(Draw, Shape::ReversedRectangle, 1, 2, 3, 4) << hex("1E 03 01 02 03 04");
        QTest::newRow("end before start, off the screen: sent as given")
            << *shape(Draw, Shape::Rectangle, 250, 100, 3, 4) << hex("1E 01 FA 64 03 04");
        QTest::newRow("draw circle")
            << circle(CircleOperation::Draw, 20, 120, 32) << hex("20 14 78 20");
        QTest::newRow("clear circle at zero")
            << circle(CircleOperation::Clear, 0, 0, 0) << hex("21 00 00 00");
        QTest::newRow("pixel string of 0") << pixelStringHeader(0) << hex("0A 00");
        QTest::newRow("pixel string of 255") << pixelStringHeader(255) << hex("0A FF");
        QTest::newRow("pixel pair x then y") << pixelPair(0xEF, 0x3F) << hex("EF 3F");
        QTest::newRow("data byte 0") << writeDataByte(0) << hex("03 00");
        QTest::newRow("data byte 255") << writeDataByte(255) << hex("03 FF");
    }
    void graphicsCommands() { compareSequences(); }

    void clearingAReversedRectangleIsNoCommand()
    {
        QVERIFY(!shape(ShapeOperation::Clear, Shape::ReversedRectangle, 1, 2, 3, 4));
    }

    void memoryCommands_data()
    {
        addSequenceColumns();
        QTest::newRow("save to screen 255") << saveScreen(255) << hex("11 FF");
        QTest::newRow("load screen 6") << loadScreen(6) << hex("08 06");
        QTest::newRow("read flash") << readFlash() << hex("29 01");
        QTest::newRow("next block is one byte") << nextBlock() << hex("29");
        QTest::newRow("write flash") << writeFlash() << hex("29 02");
        QTest::newRow("touch off") << touchMode(TouchMode::Off) << hex("05 00");
        QTest::newRow("touch coordinates") << touchMode(TouchMode::Coordinates) << hex("05 01");
        QTest::newRow("keypad without flip") << keypadMode(KeypadMode::WithoutFlip) << hex("1C 01");
        QTest::newRow("keypad with flip") << keypadMode(KeypadMode::WithFlip) << hex("1C 02");
        QTest::newRow("beep on touch") << beepOnTouch(true) << hex("23 02");
        QTest::newRow("no beep on touch") << beepOnTouch(false) << hex("23 03");
        QTest::newRow("calibrate") << calibrate() << hex("19 01");
        QTest::newRow("animation, panel defaults") << runAnimation(3, 1, 2) << hex("1B 03 01 02");
        QTest::newRow("animation, panel maxima")
            << runAnimation(100, 203, 204) << hex("1B 64 CB CC");
        QTest::newRow("animation, start above stop")
            << runAnimation(3, 200, 2) << hex("1B 03 C8 02");
        QTest::newRow("stop animation") << stopAnimation() << hex("01 08");
    }
    void memoryCommands() { compareSequences(); }

    void keyMask_data()
    {
        QTest::addColumn<QList<int>>("checkedBoxes");
        QTest::addColumn<QByteArray>("expected");
        QList<int> everyBox;
        for (int box = 1; box <= keypadKeys; ++box)
            everyBox << box;
        QTest::newRow("all clear") << QList<int>{} << hex("25 3F 3F 3F");
        QTest::newRow("all checked") << everyBox << hex("25 00 00 00");
        QTest::newRow("top left") << QList<int>{1} << hex("25 1F 3F 3F");
        QTest::newRow("top right") << QList<int>{6} << hex("25 3E 3F 3F");
        QTest::newRow("middle left") << QList<int>{7} << hex("25 3F 1F 3F");
        QTest::newRow("bottom right") << QList<int>{18} << hex("25 3F 3F 3E");
        QTest::newRow("one per row") << QList<int>{2, 9, 16} << hex("25 2F 37 3B");
    }
    void keyMask()
    {
        QFETCH(QList<int>, checkedBoxes);
        QFETCH(QByteArray, expected);
        QCOMPARE(lumivor::protocol::keyMask(boxStates(checkedBoxes)).toHex(' '),
                 expected.toHex(' '));
    }

    void boundedArguments_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("page -1") << "page" << -1 << false;
        QTest::newRow("page 0") << "page" << 0 << true;
        QTest::newRow("page 7") << "page" << 7 << true;
        QTest::newRow("page 8") << "page" << 8 << false;
        QTest::newRow("column -1") << "column" << -1 << false;
        QTest::newRow("column 239") << "column" << 239 << true;
        QTest::newRow("column 240") << "column" << 240 << false;
        QTest::newRow("rate -1") << "rate" << -1 << false;
        QTest::newRow("rate 8") << "rate" << 8 << true;
        QTest::newRow("rate 9") << "rate" << 9 << false;
        QTest::newRow("rate 264 would wrap to 8") << "rate" << 264 << false;
    }
    void boundedArguments()
    {
        QFETCH(QString, kind);
        QFETCH(int, value);
        QFETCH(bool, accepted);
        const std::optional<int> argument = argumentFromInt(kind, value);
        QCOMPARE(argument.has_value(), accepted);
        if (accepted)
            QCOMPARE(*argument, value);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
