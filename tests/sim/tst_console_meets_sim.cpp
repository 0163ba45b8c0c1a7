// The console's own encoders (src/protocol) fed into the simulator's decoder and model, the
// one place the two sides meet. They keep their constants apart on purpose: every command
// the console can send must leave the controller's decoder idle and do what its button
// says, and nothing else. A wrong constant on either side fails here.
#include "model/controller.h"
#include "testsuite.h"

#include "protocol/flashimage.h"
#include "protocol/graphicscommands.h"
#include "protocol/linkcommands.h"
#include "protocol/memorycommands.h"
#include "protocol/picture.h"
#include "protocol/textcommands.h"

#include <QImage>
#include <QtTest>

namespace proto = lumivor::protocol;
namespace sim = kestrin;
using Writes = QList<QByteArray>;

namespace {

// The controller at the far end of the console's line: each write arrives whole, at the
// controller's own rate, and the clock moves only when told to.
struct Line
{
    sim::Controller controller;
    sim::Millis now = 0;

    void write(const QByteArray& bytes, int rate = 0)
    {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        controller.receive(std::span(data, std::size_t(bytes.size())),
                           rate ? rate : controller.ownRate(), now);
    }
    void write(const Writes& writes)
    {
        for (const QByteArray& bytes : writes)
            write(bytes);
    }
    QByteArray reply() { return QByteArray::fromStdString(controller.takeOutput()); }
    bool idle() const { return controller.decoder().idle(); }
    std::string pending() const { return controller.decoder().describePending(); }
};

// How many pixels a test lights, and the box around them: "121@10,5-20,15".
template<typename Lit> QString area(Lit lit)
{
    int count = 0;
    QRect box;
    for (int y = 0; y < sim::kHeight; ++y)
        for (int x = 0; x < sim::kWidth; ++x)
            if (lit(x, y)) {
                ++count;
                box |= QRect(x, y, 1, 1);
            }
    return count == 0 ? QStringLiteral("0")
                      : QString::asprintf("%d@%d,%d-%d,%d", count, box.left(), box.top(),
                                          box.right(), box.bottom());
}

// Everything the operator can see or the console can find out about the controller, one
// "name=value" each; a command's effect is the values it changes.
QStringList describe(const sim::Controller& c)
{
    static const sim::Flash shipped = sim::makeDefaultFlash();
    QString keys, flash, animation = "stopped";
    for (int key = 1; key <= 18; ++key)
        keys += c.touchPanel().keyEnabled(key) ? '1' : '0';
    for (int screen = 0; screen < sim::kScreenCount; ++screen)
        if (!std::ranges::equal(c.flash().screen(screen), shipped.screen(screen)))
            flash += (flash.isEmpty() ? "" : ",") + QString::number(screen);
    if (c.animation().running()) // the screen shown, and when the next one comes
        animation =
            QStringLiteral("%1+%2ms").arg(c.animation().currentScreen()).arg(*c.nextDeadline());
    const auto ram = [&c](int x, int y) { return c.frame().pixel(x, y); };
    const auto shown = [&c](int x, int y) { return c.shownPixel(x, y); };
    const auto differs = [&](int x, int y) { return ram(x, y) != shown(x, y); };
    const QString look = c.touchPanel().calibrating() ? "calibration"
                         : area(differs) == "0"       ? "ink"
                                                      : area(shown);
    const auto onOff = [](bool on) { return QString(on ? "on" : "off"); };
    const char* modes[] = {"off", "coordinates", "keypad", "keypad-flipped"};
    return {"ink=" + area(ram),
            "shown=" + look,
            "contrast=" + QString::number(c.display().contrast),
            "power=" + onOff(c.display().poweredOn),
            "backlight=" + onOff(c.display().backlightOn),
            "font=" + QString::number(c.text().font()),
            QStringLiteral("text=%1,%2").arg(c.text().page()).arg(c.text().column()),
            QString("touch=") + modes[int(c.touchPanel().mode())],
            "beepOnTouch=" + onOff(c.touchPanel().beepOnTouch()),
            "keys=" + keys,
            "beeps=" + QString::number(c.beepCount()),
            "animation=" + animation,
            "rate=" + QString::number(c.ownRate()),
            "flash=" + flash};
}

QByteArray filled(int x1, int y1, int x2, int y2,
                  proto::ShapeOperation operation = proto::ShapeOperation::Draw)
{
    return *proto::shape(operation, proto::Shape::FilledRectangle, x1, y1, x2, y2);
}

} // namespace

class TestConsoleMeetsSim : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandTakesEffect_data()
    {
        using namespace proto;
        using enum ShapeOperation;
        QTest::addColumn<Writes>("setup"); // console-made too
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QString>("effect");
        const QByteArray full = filled(0, 0, 239, 63);
        const QByteArray box = filled(10, 5, 20, 15);
        const auto row = [](const char* name, const Writes& setup, const Writes& writes,
                            const char* effect) {
            QTest::newRow(name) << setup << writes << QString::fromLatin1(effect);
        };
        row("clear page 7", {full}, {clearPage(Page(7))}, "ink=13440@0,0-239,55");
        row("clear screen", {full, setTextPage(Page(5)), setTextColumn(Column(70))},
            {clearScreen()}, "ink=0 text=0,0");
        row("display off", {full}, {displayPower(false)}, "shown=0 power=off");
        row("display on", {full, displayPower(false)}, {displayPower(true)}, "shown=ink power=on");
        const char* modeEffects[] = {"shown=ink",
                                     "shown=15360@0,0-239,63",
                                     "shown=7680@0,32-239,63",
                                     "shown=7680@0,0-239,31",
                                     "shown=7680@120,0-239,63",
                                     "shown=7679@0,1-238,63",
                                     "shown=7679@1,1-239,63"};
        for (std::size_t i = 0; i < allDisplayModes.size(); ++i) {
            const DisplayMode mode = allDisplayModes[i];
            const Writes from = {displayMode(i == 1 ? DisplayMode::Normal : DisplayMode::Reverse)};
            row(qPrintable("mode " + displayModeCaption(mode)), from, {displayMode(mode)},
                modeEffects[i]);
        }
        row("contrast", {}, {contrast(40)}, "contrast=40");
        row("flip page 5", {}, {flipPage(Page(5))}, "ink=1920@0,40-239,47");
        row("backlight off", {}, {backlight(false)}, "backlight=off");
        row("backlight on", {backlight(false)}, {backlight(true)}, "backlight=on");
        row("beep", {}, {beep()}, "beeps=1");
        const char* fontEffects[] = {"ink=16@0,0-3,5 text=0,5", "ink=28@0,2-5,11 font=2 text=0,7",
                                     "ink=42@0,2-5,11 font=3 text=0,7",
                                     "ink=68@1,4-8,16 font=4 text=0,10"};
        for (std::size_t i = 0; i < allFonts.size(); ++i)
            row(qPrintable("font " + fontCaption(allFonts[i])), {},
                {selectFont(allFonts[i]), putCharacter('M')}, fontEffects[i]);
        row("text page", {}, {setTextPage(Page(3))}, "text=3,0");
        row("text column", {}, {setTextColumn(Column(239))}, "text=0,239");
        row("character", {}, {putCharacter(0xC9)}, "ink=14@0,0-3,5 text=0,5");
        row("Enter as a character", {setTextPage(Page(2)), setTextColumn(Column(50))},
            {putCharacter(0x0D)}, "text=3,0");
        row("string", {}, {stringStart('A'), stringByte('B'), stringEnd()},
            "ink=29@0,0-8,5 text=0,10");
        row("data byte", {setTextPage(Page(2)), setTextColumn(Column(10))}, {writeDataByte(0x03)},
            "ink=2@10,16-10,17 text=2,11");
        row("pixel string", {}, {pixelStringHeader(2), pixelPair(0, 0), pixelPair(239, 62)},
            "ink=2@0,0-239,62");
        row("draw line", {}, {*shape(Draw, Shape::Line, 10, 5, 200, 50)}, "ink=191@10,5-200,50");
        row("clear line", {full}, {*shape(Clear, Shape::Line, 0, 0, 239, 63)},
            "ink=15120@0,0-239,63");
        row("draw rectangle", {}, {*shape(Draw, Shape::Rectangle, 10, 5, 20, 15)},
            "ink=40@10,5-20,15");
        row("clear rectangle", {full}, {*shape(Clear, Shape::Rectangle, 10, 5, 20, 15)},
            "ink=15320@0,0-239,63");
        row("draw filled rectangle", {}, {box}, "ink=121@10,5-20,15");
        row("clear filled rectangle", {full}, {filled(10, 5, 20, 15, Clear)},
            "ink=15239@0,0-239,63");
        row("reverse rectangle", {full}, {*shape(Draw, Shape::ReversedRectangle, 0, 0, 119, 63)},
            "ink=7680@120,0-239,63");
        row("draw circle", {}, {circle(CircleOperation::Draw, 20, 120, 32)},
            "ink=112@100,12-140,52");
        row("clear circle", {full}, {circle(CircleOperation::Clear, 20, 120, 32)},
            "ink=15248@0,0-239,63");
        row("store screen", {box}, {saveScreen(200)}, "flash=200");
        row("recall screen", {box, saveScreen(200), clearScreen()}, {loadScreen(200)},
            "ink=121@10,5-20,15");
        row("touch coordinates", {}, {touchMode(TouchMode::Coordinates)}, "touch=coordinates");
        row("touch off", {touchMode(TouchMode::Coordinates)}, {touchMode(TouchMode::Off)},
            "touch=off");
        row("keypad", {}, {keypadMode(KeypadMode::WithoutFlip)}, "touch=keypad");
        row("keypad with flip", {}, {keypadMode(KeypadMode::WithFlip)}, "touch=keypad-flipped");
        std::array<bool, keypadKeys> checkedBoxes{};
        checkedBoxes[0] = checkedBoxes[7] = checkedBoxes[17] = true; // boxes 1, 8 and 18
        row("key mask", {}, {keyMask(checkedBoxes)}, "keys=011111101111111110");
        row("beep on touch", {}, {beepOnTouch(true)}, "beepOnTouch=on");
        row("no beep on touch", {beepOnTouch(true)}, {beepOnTouch(false)}, "beepOnTouch=off");
        row("calibrate", {}, {calibrate()}, "shown=calibration");
        row("run animation", {box, saveScreen(7), clearScreen()}, {runAnimation(3, 7, 9)},
            "ink=121@10,5-20,15 animation=7+30ms");
        row("stop animation", {runAnimation(3, 6, 10)}, {stopAnimation()},
            "ink=0 animation=stopped");
        row("baud rate", {}, {baudRate(RateIndex(3))}, "rate=14400");
        const auto preamble = pictureUploadPreamble();
        row("picture upload preamble",
            {touchMode(TouchMode::Coordinates), setTextPage(Page(4)), setTextColumn(Column(9))},
            Writes(preamble.begin(), preamble.end()), "text=0,0 touch=off");
    }

    void everyCommandTakesEffect()
    {
        QFETCH(Writes, setup);
        QFETCH(Writes, writes);
        QFETCH(QString, effect);
        Line line;
        line.write(setup);
        QVERIFY(line.idle());
        line.reply();
        const QStringList before = describe(line.controller);
        line.write(writes);
        QVERIFY2(line.idle(), line.pending().c_str());
        QStringList changed;
        for (const QString& value : describe(line.controller))
            if (!before.contains(value))
                changed << value;
        if (const QByteArray reply = line.reply(); !reply.isEmpty())
            changed << "reply=" + QString::fromLatin1(reply);
        QCOMPARE(changed.join(' '), effect);
    }

    // The console's rate table against the controller's: after 0F nn the controller listens
    // at the rate the console reconnects at, no longer at the old one, and answers there
    // what the console reads back: the contrast and the identifier.
    void repliesAtEveryRate()
    {
        for (int index = 0; index < proto::rates::count; ++index) {
            const int rate = *proto::rates::bitsPerSecond(index), level = index * 255 / 8;
            Line line;
            line.write({proto::contrast(std::uint8_t(level)),
                        proto::baudRate(*proto::RateIndex::from(index))});
            QCOMPARE(line.controller.ownRate(), rate);
            line.write(proto::queryId(), rate == sim::kStartRate ? 2400 : sim::kStartRate);
            QCOMPARE(line.reply(), QByteArray());
            line.write(proto::identify(), rate);
            const QString detection = QString::fromLatin1(line.reply());
            QVERIFY2(proto::isDetectionAnswer(detection) && proto::carriesSettings(detection),
                     qPrintable(detection));
            QCOMPARE(proto::reportedContrast(detection), std::optional<int>(level));
            line.write(proto::queryId(), rate);
            QCOMPARE(proto::controllerIdOf(QString::fromLatin1(line.reply())),
                     std::optional<QString>("KT24064"));
        }
    }

    // The operator types a string key by key: 26 with the first character, then each
    // character alone; it stays open until Enter, or until the controller's 45 are in.
    void stringsTypedKeyByKey_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<bool>("enter");
        QTest::newRow("two and Enter") << 2 << true;
        QTest::newRow("one short of the limit, still open")
            << proto::stringCharacterLimit - 1 << false;
        QTest::newRow("the limit ends it") << proto::stringCharacterLimit << false;
        QTest::newRow("Enter alone") << 0 << true;
    }
    void stringsTypedKeyByKey()
    {
        QFETCH(int, characters);
        QFETCH(bool, enter);
        Line line;
        line.write(proto::stringStart(characters > 0 ? 'W' : 0x0D));
        for (int i = 1; i < characters; ++i) {
            QVERIFY2(!line.idle(), qPrintable(QString("ended after %1").arg(i)));
            QCOMPARE(line.controller.frame(), sim::FrameBuffer()); // printed when it ends
            line.write(proto::stringByte('W'));
        }
        const bool ended = enter || characters == proto::stringCharacterLimit;
        if (enter && characters > 0)
            line.write(proto::stringEnd());
        QCOMPARE(line.idle(), ended);
        if (ended)
            QCOMPARE(line.controller.text().column(), characters * 5); // 'W' in the 7-pixel font
    }

    void pictureUploadFillsTheScreen()
    {
        QImage picture(sim::kWidth, sim::kHeight, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, (x * 7 + y * 3) % 5 == 0 || x == y ? 0xFFFFFF : 0);
        Line line;
        line.write({proto::flipPage(proto::Page(3)), proto::setTextColumn(proto::Column(9))});
        for (const QByteArray& preamble : proto::pictureUploadPreamble())
            line.write(preamble);
        for (const char byte : proto::packCanvas(picture))
            line.write(proto::writeDataByte(std::uint8_t(byte)));
        QVERIFY(line.idle());
        for (int y = 0; y < sim::kHeight; ++y)
            for (int x = 0; x < sim::kWidth; ++x)
                if (line.controller.frame().pixel(x, y) != (picture.pixel(x, y) == 0xFFFFFFFF))
                    QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
        QCOMPARE(line.controller.text().page(), 0); // the write position went round once
        QCOMPARE(line.controller.text().column(), 0);
    }
};

LUMIVOR_TEST(TestConsoleMeetsSim)
#include "tst_console_meets_sim.moc"
