// The console's own encoders (src/protocol) fed into the simulator's decoder and model.
// The two sides keep their constants apart on purpose: each command the console can send
// must leave the controller's decoder idle, with no exchange left open, and must do what
// its button says on the controller. A wrong constant on either side fails here.
#include "model/controller.h"
#include "model/geometry.h"

#include "protocol/arguments.h"
#include "protocol/flashimage.h"
#include "protocol/graphicscommands.h"
#include "protocol/linkcommands.h"
#include "protocol/memorycommands.h"
#include "protocol/picture.h"
#include "protocol/rates.h"
#include "protocol/textcommands.h"

#include <QImage>
#include <QtTest>

#include <cstring>
#include <functional>
#include <vector>

namespace proto = lumivor::protocol;
namespace sim = kestrin;

namespace {

constexpr int kAllPixels = sim::kWidth * sim::kHeight;

// The controller at the far end of the console's line: each write arrives whole, at the
// controller's own rate, and the clock moves only when told to.
struct Line
{
    sim::Controller controller;
    sim::Millis now = 0;

    void write(const QByteArray& bytes)
    {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        controller.receive(std::span(data, static_cast<std::size_t>(bytes.size())),
                           controller.ownRate(), now);
    }
    void wait(sim::Millis ms)
    {
        now += ms;
        controller.advanceTo(now);
    }
    void touch(int x, int y) { controller.touch({x, y}, now); }
    QByteArray reply() { return QByteArray::fromStdString(controller.takeOutput()); }
    bool idle() const { return controller.decoder().idle(); }
    bool pixel(int x, int y) const { return controller.frame().pixel(x, y); }
    int litPixels() const
    {
        int count = 0;
        for (int y = 0; y < sim::kHeight; ++y)
            for (int x = 0; x < sim::kWidth; ++x)
                count += pixel(x, y) ? 1 : 0;
        return count;
    }
    // Lit pixels outside the rows top..bottom and columns left..right.
    int litOutside(int left, int top, int right, int bottom) const
    {
        int count = 0;
        for (int y = 0; y < sim::kHeight; ++y)
            for (int x = 0; x < sim::kWidth; ++x)
                if (pixel(x, y) && (x < left || x > right || y < top || y > bottom))
                    ++count;
        return count;
    }
    int deepestLitRow() const
    {
        for (int y = sim::kHeight - 1; y >= 0; --y)
            for (int x = 0; x < sim::kWidth; ++x)
                if (pixel(x, y))
                    return y;
        return -1;
    }
};

QByteArray fillScreen()
{
    return proto::shape(proto::ShapeOperation::Draw, proto::Shape::FilledRectangle, 0, 0, 239, 63)
        .value();
}

// One command (or the few writes of one operator action) and what it must do.
struct CommandCase
{
    std::string name;
    std::vector<QByteArray> setup; // console-made too
    std::vector<QByteArray> writes;
    std::function<void(Line&)> check;
};

// Pixels whose display modes differ: A (5,40), B (234,40), C (5,20), D (234,20), E (150,5).
struct Probe
{
    char name;
    int x;
    int y;
};
constexpr Probe kModeProbes[] = {
    {'A', 5, 40}, {'B', 234, 40}, {'C', 5, 20}, {'D', 234, 20}, {'E', 150, 5}};

void addDisplayModeCases(std::vector<CommandCase>& cases)
{
    struct Mode
    {
        proto::DisplayMode sent;
        sim::DisplayMode shown;
        const char* reversedProbes;
    };
    const Mode modes[] = {
        {proto::DisplayMode::Normal, sim::DisplayMode::Normal, ""},
        {proto::DisplayMode::Reverse, sim::DisplayMode::Reverse, "ABCDE"},
        {proto::DisplayMode::TopNormalBottomReverse, sim::DisplayMode::TopNormalBottomReverse,
         "AB"},
        {proto::DisplayMode::TopReverseBottomNormal, sim::DisplayMode::TopReverseBottomNormal,
         "CDE"},
        {proto::DisplayMode::RightReverseLeftNormal, sim::DisplayMode::RightReverseLeftNormal,
         "BDE"},
        {proto::DisplayMode::DiagonalBackslash, sim::DisplayMode::DiagonalBackslash, "AC"},
        {proto::DisplayMode::DiagonalSlash, sim::DisplayMode::DiagonalSlash, "BD"},
    };
    for (const Mode& mode : modes) {
        // Start from another mode, so that the command has to change something.
        const proto::DisplayMode other = mode.sent == proto::DisplayMode::Reverse
                                             ? proto::DisplayMode::Normal
                                             : proto::DisplayMode::Reverse;
        cases.push_back({"display mode " + proto::displayModeCaption(mode.sent).toStdString(),
                         {proto::displayMode(other)},
                         {proto::displayMode(mode.sent)},
                         [mode](Line& line) {
                             QCOMPARE(line.controller.display().mode, mode.shown);
                             for (const Probe& probe : kModeProbes) {
                                 const bool reversed = std::strchr(mode.reversedProbes, probe.name);
                                 QVERIFY2(line.controller.shownPixel(probe.x, probe.y) == reversed,
                                          std::string(1, probe.name).c_str());
                             }
                         }});
    }
}

void addPanelSettingCases(std::vector<CommandCase>& cases)
{
    for (const int level : {0, 40, 255}) {
        cases.push_back({"contrast " + std::to_string(level),
                         {},
                         {proto::contrast(std::uint8_t(level)), proto::identify()},
                         [level](Line& line) {
                             QCOMPARE(line.controller.display().contrast, level);
                             QCOMPARE(line.reply(),
                                      "64," + QByteArray::number(level) + "!KESTRIN 240x64");
                         }});
    }
    cases.push_back(
        {"display off keeps the RAM", {fillScreen()}, {proto::displayPower(false)}, [](Line& line) {
             QVERIFY(!line.controller.display().poweredOn);
             QVERIFY(!line.controller.shownPixel(100, 30));
             QCOMPARE(line.litPixels(), kAllPixels);
         }});
    cases.push_back({"display on again",
                     {fillScreen(), proto::displayPower(false)},
                     {proto::displayPower(true)},
                     [](Line& line) {
                         QVERIFY(line.controller.display().poweredOn);
                         QVERIFY(line.controller.shownPixel(100, 30));
                     }});
    cases.push_back({"backlight off", {}, {proto::backlight(false)}, [](Line& line) {
                         QVERIFY(!line.controller.display().backlightOn);
                     }});
    cases.push_back(
        {"backlight on again", {proto::backlight(false)}, {proto::backlight(true)}, [](Line& line) {
             QVERIFY(line.controller.display().backlightOn);
         }});
    cases.push_back({"beep", {}, {proto::beep()}, [](Line& line) {
                         QCOMPARE(line.controller.beepCount(), 1u);
                         QVERIFY(!line.controller.touchPanel().beepOnTouch());
                     }});
}

void addTextCases(std::vector<CommandCase>& cases)
{
    struct FontRow
    {
        proto::Font font;
        int number;
        int linePages;
    };
    const FontRow fonts[] = {{proto::Font::Pix7, 1, 1},
                             {proto::Font::Pix14, 2, 2},
                             {proto::Font::Pix14Bold, 3, 2},
                             {proto::Font::Pix22, 4, 3}};
    for (const FontRow& row : fonts) {
        cases.push_back({"font " + proto::fontCaption(row.font).toStdString(),
                         {},
                         {proto::selectFont(row.font), proto::putCharacter('M')},
                         [row](Line& line) {
                             QCOMPARE(line.controller.text().font(), row.number);
                             // The character fills the last page of its line, and no page below it.
                             const int deepest = line.deepestLitRow();
                             QVERIFY2(deepest >= (row.linePages - 1) * sim::kPageHeight &&
                                          deepest < row.linePages * sim::kPageHeight,
                                      std::to_string(deepest).c_str());
                             if (row.font == proto::Font::Pix14Bold) {
                                 Line regular;
                                 regular.write(proto::selectFont(proto::Font::Pix14));
                                 regular.write(proto::putCharacter('M'));
                                 QVERIFY(line.litPixels() > regular.litPixels());
                             }
                         }});
    }
    cases.push_back({"text page and column",
                     {},
                     {proto::setTextPage(proto::Page(3)), proto::setTextColumn(proto::Column(100)),
                      proto::putCharacter('X')},
                     [](Line& line) {
                         QCOMPARE(line.controller.text().page(), 3);
                         QVERIFY(line.controller.text().column() > 100);
                         QVERIFY(line.litPixels() > 0);
                         QCOMPARE(line.litOutside(100, 24, 109, 31), 0);
                     }});
    cases.push_back(
        {"text column 239", {}, {proto::setTextColumn(proto::Column(239))}, [](Line& line) {
             QCOMPARE(line.controller.text().column(), 239);
         }});
    cases.push_back({"Enter in character mode starts the next line",
                     {proto::setTextPage(proto::Page(2)), proto::setTextColumn(proto::Column(50))},
                     {proto::putCharacter(0x0D)},
                     [](Line& line) {
                         QCOMPARE(line.controller.text().page(), 3);
                         QCOMPARE(line.controller.text().column(), 0);
                         QCOMPARE(line.litPixels(), 0);
                     }});
    cases.push_back({"Latin-1 character",
                     {},
                     {proto::putCharacter(0xC9)}, // É
                     [](Line& line) {
                         QVERIFY(line.litPixels() > 0);
                         QVERIFY(line.controller.text().column() > 0);
                     }});
}

void addPageCases(std::vector<CommandCase>& cases)
{
    cases.push_back(
        {"clear page 2", {fillScreen()}, {proto::clearPage(proto::Page(2))}, [](Line& line) {
             QCOMPARE(line.litPixels(), kAllPixels - sim::kWidth * 8);
             QVERIFY(!line.pixel(0, 16) && !line.pixel(239, 23));
             QVERIFY(line.pixel(0, 15) && line.pixel(0, 24));
         }});
    cases.push_back(
        {"clear page 7", {fillScreen()}, {proto::clearPage(proto::Page(7))}, [](Line& line) {
             QCOMPARE(line.litPixels(), kAllPixels - sim::kWidth * 8);
             QCOMPARE(line.litOutside(0, 0, 239, 55), 0);
         }});
    cases.push_back({"clear screen",
                     {fillScreen(), proto::setTextPage(proto::Page(5)),
                      proto::setTextColumn(proto::Column(70))},
                     {proto::clearScreen()},
                     [](Line& line) {
                         QCOMPARE(line.litPixels(), 0);
                         QCOMPARE(line.controller.text().page(), 0);
                         QCOMPARE(line.controller.text().column(), 0);
                     }});
    cases.push_back({"flip page 5", {}, {proto::flipPage(proto::Page(5))}, [](Line& line) {
                         QCOMPARE(line.litPixels(), sim::kWidth * 8);
                         QCOMPARE(line.litOutside(0, 40, 239, 47), 0);
                     }});
    cases.push_back({"flip page 0 twice",
                     {proto::flipPage(proto::Page(0))},
                     {proto::flipPage(proto::Page(0))},
                     [](Line& line) { QCOMPARE(line.litPixels(), 0); }});
}

void addShapeCases(std::vector<CommandCase>& cases)
{
    using proto::Shape;
    using proto::ShapeOperation;
    struct ShapeRow
    {
        const char* name;
        ShapeOperation operation;
        Shape shape;
        std::array<std::uint8_t, 4> points;
        bool onFullScreen;
        int changedPixels;
        Probe inside; // a pixel the shape changes
        Probe untouched;
    };
    const ShapeRow shapes[] = {
        {"draw line corner to corner",
         ShapeOperation::Draw,
         Shape::Line,
         {0, 0, 239, 63},
         false,
         240,
         {'s', 239, 63},
         {'o', 239, 0}},
        {"draw line of one point",
         ShapeOperation::Draw,
         Shape::Line,
         {5, 5, 5, 5},
         false,
         1,
         {'s', 5, 5},
         {'o', 6, 5}},
        {"draw line right to left",
         ShapeOperation::Draw,
         Shape::Line,
         {200, 10, 100, 10},
         false,
         101,
         {'s', 100, 10},
         {'o', 99, 10}},
        {"clear line",
         ShapeOperation::Clear,
         Shape::Line,
         {0, 63, 239, 0},
         true,
         240,
         {'s', 0, 63},
         {'o', 0, 0}},
        {"draw rectangle",
         ShapeOperation::Draw,
         Shape::Rectangle,
         {10, 5, 20, 15},
         false,
         40,
         {'s', 20, 15},
         {'o', 15, 10}},
        {"clear rectangle",
         ShapeOperation::Clear,
         Shape::Rectangle,
         {20, 15, 10, 5},
         true,
         40,
         {'s', 10, 5},
         {'o', 15, 10}},
        {"draw filled rectangle",
         ShapeOperation::Draw,
         Shape::FilledRectangle,
         {10, 5, 20, 15},
         false,
         121,
         {'s', 15, 10},
         {'o', 21, 10}},
        {"clear filled rectangle",
         ShapeOperation::Clear,
         Shape::FilledRectangle,
         {10, 5, 20, 15},
         true,
         121,
         {'s', 15, 10},
         {'o', 9, 10}},
        {"reverse rectangle on blank",
         ShapeOperation::Draw,
         Shape::ReversedRectangle,
         {10, 5, 20, 15},
         false,
         121,
         {'s', 10, 5},
         {'o', 10, 16}},
        {"reverse rectangle on full",
         ShapeOperation::Draw,
         Shape::ReversedRectangle,
         {0, 0, 119, 63},
         true,
         120 * 64,
         {'s', 119, 0},
         {'o', 120, 0}},
        {"rectangle reaching off the screen",
         ShapeOperation::Draw,
         Shape::FilledRectangle,
         {230, 60, 255, 255},
         false,
         10 * 4,
         {'s', 239, 63},
         {'o', 229, 63}},
    };
    for (const ShapeRow& row : shapes) {
        const auto [x1, y1, x2, y2] = row.points;
        std::vector<QByteArray> setup;
        if (row.onFullScreen)
            setup.push_back(fillScreen());
        cases.push_back({std::string("shape: ") + row.name,
                         setup,
                         {proto::shape(row.operation, row.shape, x1, y1, x2, y2).value()},
                         [row](Line& line) {
                             const int lit = row.onFullScreen ? kAllPixels - row.changedPixels
                                                              : row.changedPixels;
                             QCOMPARE(line.litPixels(), lit);
                             QCOMPARE(line.pixel(row.inside.x, row.inside.y), !row.onFullScreen);
                             QCOMPARE(line.pixel(row.untouched.x, row.untouched.y),
                                      row.onFullScreen);
                         }});
    }
    const Probe onCircle[] = {{'r', 140, 32}, {'l', 100, 32}, {'t', 120, 12}, {'b', 120, 52}};
    for (const bool draw : {true, false}) {
        const auto operation = draw ? proto::CircleOperation::Draw : proto::CircleOperation::Clear;
        std::vector<QByteArray> setup;
        if (!draw)
            setup.push_back(fillScreen());
        cases.push_back({draw ? "draw circle" : "clear circle",
                         setup,
                         {proto::circle(operation, 20, 120, 32)},
                         [draw, onCircle](Line& line) {
                             for (const Probe& probe : onCircle)
                                 QCOMPARE(line.pixel(probe.x, probe.y), draw);
                             QCOMPARE(line.pixel(120, 32), !draw); // the centre
                             QCOMPARE(line.pixel(141, 32), !draw); // just outside
                         }});
    }
}

void addDataByteCases(std::vector<CommandCase>& cases)
{
    cases.push_back({"data bytes at the text position",
                     {proto::setTextPage(proto::Page(2)), proto::setTextColumn(proto::Column(10))},
                     {proto::writeDataByte(0x81), proto::writeDataByte(0x7E)},
                     [](Line& line) {
                         QCOMPARE(line.controller.frame().byteAt(2, 10), std::uint8_t{0x81});
                         QCOMPARE(line.controller.frame().byteAt(2, 11), std::uint8_t{0x7E});
                         QVERIFY(line.pixel(10, 16) && line.pixel(10, 23)); // bit 0 on top
                         QVERIFY(!line.pixel(10, 17) && !line.pixel(11, 16));
                         QCOMPARE(line.controller.text().column(), 12);
                     }});
    cases.push_back(
        {"data bytes past the last column",
         {proto::setTextPage(proto::Page(7)), proto::setTextColumn(proto::Column(239))},
         {proto::writeDataByte(0xFF), proto::writeDataByte(0x00), proto::writeDataByte(0x01)},
         [](Line& line) {
             QCOMPARE(line.controller.frame().byteAt(7, 239), std::uint8_t{0xFF});
             QCOMPARE(line.controller.frame().byteAt(0, 1), std::uint8_t{0x01});
             QCOMPARE(line.litPixels(), 9);
         }});
}

void addMemoryCases(std::vector<CommandCase>& cases)
{
    const QByteArray box =
        proto::shape(proto::ShapeOperation::Draw, proto::Shape::FilledRectangle, 10, 5, 20, 15)
            .value();
    cases.push_back({"save screen 255, clear, load it",
                     {box},
                     {proto::saveScreen(255), proto::clearScreen(), proto::loadScreen(255)},
                     [](Line& line) {
                         QCOMPARE(line.litPixels(), 121);
                         QVERIFY(line.pixel(10, 5) && line.pixel(20, 15));
                         const auto stored = line.controller.flash().screen(255);
                         const auto shown = line.controller.frame().bytes();
                         QVERIFY(std::equal(stored.begin(), stored.end(), shown.begin()));
                     }});
    cases.push_back(
        {"save screen 6 leaves screen 7", {box}, {proto::saveScreen(6)}, [](Line& line) {
             const auto six = line.controller.flash().screen(6);
             const auto seven = line.controller.flash().screen(7);
             const auto shown = line.controller.frame().bytes();
             QVERIFY(std::equal(six.begin(), six.end(), shown.begin()));
             QVERIFY(!std::equal(seven.begin(), seven.end(), shown.begin()));
         }});
    cases.push_back(
        {"load screen 1 shows the font data", {}, {proto::loadScreen(1)}, [](Line& line) {
             const auto stored = line.controller.flash().screen(1);
             const auto shown = line.controller.frame().bytes();
             QVERIFY(std::equal(stored.begin(), stored.end(), shown.begin()));
             QVERIFY(line.litPixels() > 0);
         }});
}

void addTouchCases(std::vector<CommandCase>& cases)
{
    using sim::TouchMode;
    cases.push_back({"touch coordinates",
                     {},
                     {proto::touchMode(proto::TouchMode::Coordinates)},
                     [](Line& line) {
                         QCOMPARE(line.controller.touchPanel().mode(), TouchMode::Coordinates);
                         line.touch(120, 32);
                         QCOMPARE(line.reply(), QByteArray("T:120,32!"));
                     }});
    cases.push_back({"touch off",
                     {proto::touchMode(proto::TouchMode::Coordinates)},
                     {proto::touchMode(proto::TouchMode::Off)},
                     [](Line& line) {
                         QCOMPARE(line.controller.touchPanel().mode(), TouchMode::Off);
                         line.touch(120, 32);
                         QCOMPARE(line.reply(), QByteArray());
                     }});
    cases.push_back({"keypad without flip",
                     {},
                     {proto::keypadMode(proto::KeypadMode::WithoutFlip)},
                     [](Line& line) {
                         QCOMPARE(line.controller.touchPanel().mode(), TouchMode::Keypad);
                         line.touch(0, 0);
                         QCOMPARE(line.reply(), QByteArray("K:01!"));
                     }});
    cases.push_back(
        {"keypad with flip", {}, {proto::keypadMode(proto::KeypadMode::WithFlip)}, [](Line& line) {
             QCOMPARE(line.controller.touchPanel().mode(), TouchMode::KeypadFlipped);
             line.touch(0, 0);
             QCOMPARE(line.reply(), QByteArray("K:18!"));
         }});
    cases.push_back({"beep on touch",
                     {proto::touchMode(proto::TouchMode::Coordinates)},
                     {proto::beepOnTouch(true)},
                     [](Line& line) {
                         QVERIFY(line.controller.touchPanel().beepOnTouch());
                         line.touch(5, 5);
                         QCOMPARE(line.controller.beepCount(), 1u);
                     }});
    cases.push_back({"no beep on touch",
                     {proto::touchMode(proto::TouchMode::Coordinates), proto::beepOnTouch(true)},
                     {proto::beepOnTouch(false)},
                     [](Line& line) {
                         QVERIFY(!line.controller.touchPanel().beepOnTouch());
                         line.touch(5, 5);
                         QCOMPARE(line.controller.beepCount(), 0u);
                         QCOMPARE(line.reply(), QByteArray("T:5,5!"));
                     }});
    cases.push_back({"calibrate", {}, {proto::calibrate()}, [](Line& line) {
                         QVERIFY(line.controller.touchPanel().calibrating());
                         QVERIFY(line.controller.shownPixel(20, 12)); // the first cross
                     }});
}

void addAnimationCases(std::vector<CommandCase>& cases)
{
    cases.push_back({"run animation 6 to 10", {}, {proto::runAnimation(3, 6, 10)}, [](Line& line) {
                         QVERIFY(line.controller.animation().running());
                         QCOMPARE(line.controller.animation().currentScreen(), 6);
                         line.wait(30); // delay 3 = 30 ms
                         QCOMPARE(line.controller.animation().currentScreen(), 7);
                         const auto stored = line.controller.flash().screen(7);
                         const auto shown = line.controller.frame().bytes();
                         QVERIFY(std::equal(stored.begin(), stored.end(), shown.begin()));
                     }});
    cases.push_back(
        {"run animation downwards", {}, {proto::runAnimation(100, 200, 2)}, [](Line& line) {
             QCOMPARE(line.controller.animation().currentScreen(), 200);
             line.wait(1000);
             QCOMPARE(line.controller.animation().currentScreen(), 199);
         }});
    cases.push_back({"stop animation",
                     {proto::runAnimation(3, 6, 10)},
                     {proto::stopAnimation()},
                     [](Line& line) {
                         QVERIFY(!line.controller.animation().running());
                         QCOMPARE(line.litPixels(), 0);
                         line.wait(100);
                         QCOMPARE(line.litPixels(), 0);
                     }});
}

void addLinkCases(std::vector<CommandCase>& cases)
{
    cases.push_back({"identification query", {}, {proto::identify()}, [](Line& line) {
                         const QByteArray reply = line.reply();
                         // What the console reads: the contrast between the first "," and "!".
                         const qsizetype comma = reply.indexOf(',');
                         const qsizetype bang = reply.indexOf('!', comma);
                         QVERIFY(reply.contains('6') && comma >= 0 && bang > comma);
                         QCOMPARE(reply.mid(comma + 1, bang - comma - 1), QByteArray("128"));
                     }});
    cases.push_back({"ID query", {}, {proto::queryId()}, [](Line& line) {
                         QCOMPARE(line.reply(), QByteArray("KT24064!"));
                     }});
    cases.push_back({"picture upload preamble",
                     {proto::touchMode(proto::TouchMode::Coordinates),
                      proto::setTextPage(proto::Page(4)), proto::setTextColumn(proto::Column(9))},
                     [] {
                         const auto preamble = proto::pictureUploadPreamble();
                         return std::vector<QByteArray>(preamble.begin(), preamble.end());
                     }(),
                     [](Line& line) {
                         QCOMPARE(line.controller.touchPanel().mode(), sim::TouchMode::Off);
                         QCOMPARE(line.controller.text().page(), 0);
                         QCOMPARE(line.controller.text().column(), 0);
                     }});
}

const std::vector<CommandCase>& commandCases()
{
    static const std::vector<CommandCase> cases = [] {
        std::vector<CommandCase> all;
        addDisplayModeCases(all);
        addPanelSettingCases(all);
        addTextCases(all);
        addPageCases(all);
        addShapeCases(all);
        addDataByteCases(all);
        addMemoryCases(all);
        addTouchCases(all);
        addAnimationCases(all);
        addLinkCases(all);
        return all;
    }();
    return cases;
}

// Key boxes 1..18 as the touch panel numbers them; bit k-1 set = box k checked.
std::array<bool, proto::keypadKeys> boxes(quint32 checkedBits)
{
    std::array<bool, proto::keypadKeys> checked{};
    for (int box = 0; box < proto::keypadKeys; ++box)
        checked[static_cast<std::size_t>(box)] = (checkedBits >> box) & 1u;
    return checked;
}

// The middle of key k (1..18) on an unflipped keypad of 6 x 3 keys.
QPoint keyCentre(int key)
{
    const int column = (key - 1) % proto::keypadColumns;
    const int row = (key - 1) / proto::keypadColumns;
    return {column * 40 + 20, row * 64 / 3 + 10};
}

QByteArray keyReport(int key)
{
    return QByteArray("K:") + QByteArray::number(key).rightJustified(2, '0') + "!";
}

void feedFlashRead(Line& line, QByteArray& image)
{
    line.write(proto::readFlash());
    for (int block = 0; block < proto::flashBlockCount; ++block) {
        const QByteArray text = line.reply();
        const proto::FlashConversion decoded = proto::decodeFlashBlock(text);
        QVERIFY2(decoded.ok(),
                 qPrintable(QString("block %1: %2").arg(block).arg(decoded.reason())));
        image += decoded.bytes();
        QVERIFY2(!line.idle(), "the read ended early");
        line.write(proto::nextBlock());
    }
}

} // namespace

class TestConsoleMeetsSim : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandTakesEffect_data();
    void everyCommandTakesEffect();
    void keyMaskEnablesTheClearBoxes_data();
    void keyMaskEnablesTheClearBoxes();
    void baudRateSwitchesTheController_data();
    void baudRateSwitchesTheController();
    void stringsTypedKeyByKey_data();
    void stringsTypedKeyByKey();
    void pixelStringPairByPair_data();
    void pixelStringPairByPair();
    void pictureUploadFillsTheScreen();
    void flashReadAndWriteThroughFlsFile();
};

void TestConsoleMeetsSim::everyCommandTakesEffect_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < commandCases().size(); ++i)
        QTest::newRow(commandCases()[i].name.c_str()) << int(i);
}

void TestConsoleMeetsSim::everyCommandTakesEffect()
{
    QFETCH(int, index);
    const CommandCase& command = commandCases()[static_cast<std::size_t>(index)];
    Line line;
    for (const QByteArray& bytes : command.setup)
        line.write(bytes);
    QVERIFY(line.idle());
    line.reply(); // whatever the setup made the controller say
    for (const QByteArray& bytes : command.writes)
        line.write(bytes);
    QVERIFY2(line.idle(), line.controller.decoder().describePending().c_str());
    command.check(line);
}

void TestConsoleMeetsSim::keyMaskEnablesTheClearBoxes_data()
{
    QTest::addColumn<quint32>("checked");
    const quint32 all = (1u << proto::keypadKeys) - 1;
    QTest::newRow("all clear") << 0u;
    QTest::newRow("all checked") << all;
    for (int box = 1; box <= proto::keypadKeys; ++box) {
        QTest::addRow("only box %d checked", box) << (1u << (box - 1));
        QTest::addRow("only box %d clear", box) << (all & ~(1u << (box - 1)));
    }
    QTest::newRow("top row checked") << 0x3Fu;
    QTest::newRow("middle row checked") << (0x3Fu << 6);
    QTest::newRow("bottom row checked") << (0x3Fu << 12);
    QTest::newRow("left column checked") << ((1u << 0) | (1u << 6) | (1u << 12));
    QTest::newRow("every other box checked") << 0x15555u;
}

void TestConsoleMeetsSim::keyMaskEnablesTheClearBoxes()
{
    QFETCH(quint32, checked);
    Line line;
    line.write(proto::keypadMode(proto::KeypadMode::WithoutFlip));
    line.write(proto::keyMask(boxes(checked)));
    QVERIFY(line.idle());
    for (int key = 1; key <= proto::keypadKeys; ++key) {
        const bool enabled = !((checked >> (key - 1)) & 1u);
        QVERIFY2(line.controller.touchPanel().keyEnabled(key) == enabled,
                 qPrintable(QString("key %1").arg(key)));
        const QPoint centre = keyCentre(key);
        line.touch(centre.x(), centre.y());
        QCOMPARE(line.reply(), enabled ? keyReport(key) : QByteArray());
    }
}

void TestConsoleMeetsSim::baudRateSwitchesTheController_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("rate");
    const int rates[] = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};
    for (int index = 0; index < 9; ++index)
        QTest::addRow("%d baud", rates[index]) << index << rates[index];
}

void TestConsoleMeetsSim::baudRateSwitchesTheController()
{
    QFETCH(int, index);
    QFETCH(int, rate);
    QCOMPARE(proto::rates::bitsPerSecond(index), std::optional<std::int32_t>(rate));
    Line line;
    line.write(proto::baudRate(proto::RateIndex::from(index).value()));
    QVERIFY(line.idle());
    QCOMPARE(line.controller.ownRate(), rate);
    // The console reconnects at the new rate; the controller answers there.
    const QByteArray query = proto::queryId();
    line.controller.receive(std::span(reinterpret_cast<const std::uint8_t*>(query.constData()),
                                      std::size_t(query.size())),
                            rate, line.now);
    QCOMPARE(line.reply(), QByteArray("KT24064!"));
}

void TestConsoleMeetsSim::stringsTypedKeyByKey_data()
{
    QTest::addColumn<QByteArray>("typed"); // without the Enter
    QTest::addColumn<bool>("enter");
    QTest::newRow("two letters and Enter") << QByteArray("AB") << true;
    QTest::newRow("Enter alone: an empty string") << QByteArray() << true;
    QTest::newRow("45 characters end the string") << QByteArray(45, 'W') << false;
    QTest::newRow("string starting with &") << QByteArray("&x") << true;
}

void TestConsoleMeetsSim::stringsTypedKeyByKey()
{
    QFETCH(QByteArray, typed);
    QFETCH(bool, enter);
    Line line;
    line.write(proto::stringStart(typed.isEmpty() ? 0x0D : static_cast<std::uint8_t>(typed[0])));
    for (qsizetype i = 1; i < typed.size(); ++i) {
        QVERIFY2(!line.idle(), "the string ended early");
        QCOMPARE(line.litPixels(), 0); // printed when it ends
        line.write(proto::stringByte(static_cast<std::uint8_t>(typed[i])));
    }
    if (enter && !typed.isEmpty()) {
        QVERIFY(!line.idle());
        line.write(proto::stringEnd());
    }
    QVERIFY2(line.idle(), line.controller.decoder().describePending().c_str());
    QCOMPARE(line.litPixels() > 0, !typed.isEmpty());
    // After a string cut at 45 the next one opens with 26 again, and is printed too.
    const int before = line.litPixels();
    line.write(proto::stringStart('Z'));
    line.write(proto::stringEnd());
    QVERIFY(line.idle());
    QVERIFY(line.litPixels() != before);
}

void TestConsoleMeetsSim::pixelStringPairByPair_data()
{
    QTest::addColumn<QList<QPoint>>("pairs");
    QTest::newRow("no pairs") << QList<QPoint>();
    QTest::newRow("three pairs") << QList<QPoint>{QPoint(0, 0), QPoint(239, 63), QPoint(120, 32)};
    QTest::newRow("one pair off the screen") << QList<QPoint>{QPoint(250, 100), QPoint(1, 1)};
}

void TestConsoleMeetsSim::pixelStringPairByPair()
{
    QFETCH(QList<QPoint>, pairs);
    Line line;
    line.write(proto::pixelStringHeader(static_cast<std::uint8_t>(pairs.size())));
    int onScreen = 0;
    for (const QPoint& pair : pairs) {
        QVERIFY2(!line.idle(), "the pixel string ended early");
        line.write(proto::pixelPair(std::uint8_t(pair.x()), std::uint8_t(pair.y())));
        if (pair.x() < sim::kWidth && pair.y() < sim::kHeight) {
            QVERIFY(line.pixel(pair.x(), pair.y())); // drawn as soon as its pair is complete
            ++onScreen;
        }
    }
    QVERIFY2(line.idle(), line.controller.decoder().describePending().c_str());
    QCOMPARE(line.litPixels(), onScreen);
}

void TestConsoleMeetsSim::pictureUploadFillsTheScreen()
{
    QImage picture(sim::kWidth, sim::kHeight, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, (x * 7 + y * 3) % 5 == 0 || x == y ? 0xFFFFFF : 0x000000);
    const QByteArray data = proto::packCanvas(picture);
    QCOMPARE(data.size(), proto::screenDataBytes);
    Line line;
    line.write(proto::flipPage(proto::Page(3))); // something the upload must overwrite
    for (const QByteArray& preamble : proto::pictureUploadPreamble())
        line.write(preamble);
    for (const char byte : data)
        line.write(proto::writeDataByte(static_cast<std::uint8_t>(byte)));
    QVERIFY(line.idle());
    for (int y = 0; y < sim::kHeight; ++y)
        for (int x = 0; x < sim::kWidth; ++x)
            if (line.pixel(x, y) != (picture.pixel(x, y) != 0xFF000000))
                QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
    // The write position went round once: back at page 0, column 0.
    QCOMPARE(line.controller.text().page(), 0);
    QCOMPARE(line.controller.text().column(), 0);
}

void TestConsoleMeetsSim::flashReadAndWriteThroughFlsFile()
{
    Line line;
    QByteArray image;
    feedFlashRead(line, image);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(line.idle(), line.controller.decoder().describePending().c_str());
    const auto flash = line.controller.flash().bytes();
    QCOMPARE(image.size(), proto::flashImageBytes);
    QVERIFY(std::equal(flash.begin(), flash.end(),
                       reinterpret_cast<const std::uint8_t*>(image.constData())));

    // Through a .fls file and back, changed in screen 200 and in the fonts (screen 1).
    const proto::FlashConversion file = proto::encodeFlashImage(image);
    QVERIFY(file.ok());
    QCOMPARE(file.bytes().size(), proto::flashFileBytes);
    const proto::FlashConversion reread = proto::decodeFlashFile(file.bytes());
    QVERIFY(reread.ok());
    QByteArray changed = reread.bytes();
    QCOMPARE(changed, image);
    for (qsizetype i = 0; i < qsizetype(sim::kScreenBytes); ++i)
        changed[200 * qsizetype(sim::kScreenBytes) + i] = char(i * 13);
    changed[qsizetype(sim::kScreenBytes) + 5] = char(0xA5);

    Line target;
    target.write(proto::writeFlash());
    for (int block = 0; block < proto::flashBlockCount; ++block) {
        const QByteArray ready = target.reply();
        QVERIFY2(!ready.isEmpty(), qPrintable(QString("no ready byte before block %1").arg(block)));
        QVERIFY(!target.idle());
        for (const char byte : proto::imageBlock(changed, block))
            target.write(QByteArray(1, byte));
    }
    QVERIFY2(target.idle(), target.controller.decoder().describePending().c_str());
    QCOMPARE(target.reply(), QByteArray()); // no ready byte after the last block
    const auto written = target.controller.flash().bytes();
    QVERIFY(std::equal(written.begin(), written.end(),
                       reinterpret_cast<const std::uint8_t*>(changed.constData())));
    target.write(proto::loadScreen(200));
    QCOMPARE(target.controller.frame().byteAt(0, 1), std::uint8_t{13});
}

QTEST_GUILESS_MAIN(TestConsoleMeetsSim)
#include "tst_console_meets_sim.moc"
