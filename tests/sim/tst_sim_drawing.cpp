// The controller's drawing: shapes, data bytes, page commands, display modes and text,
// checked pixel by pixel after feeding the bytes the console sends.
#include "model/fontarea.h"
#include "simtest.h"

#include <QtTest>

#include <cmath>

using namespace kestrin;
using simtest::Bytes;
using simtest::hex;
using simtest::Rig;

class TestSimDrawing : public QObject
{
    Q_OBJECT

private slots:
    void lineFollowsItsPath_data();
    void lineFollowsItsPath();
    void clearLineErasesIt();
    void rectangles_data();
    void rectangles();
    void circleReachesItsRadius();
    void pictureUploadReproducesPicture();
    void dataBytesWrapToNextPageAndBackToTop();
    void pageCommands_data();
    void pageCommands();
    void displayModesReverseTheirArea_data();
    void displayModesReverseTheirArea();
    void powerOffShowsNothing();
    void everyGlyphHasInkInsideItsCell_data();
    void everyGlyphHasInkInsideItsCell();
    void textAdvancesAndWraps_data();
    void textAdvancesAndWraps();
    void returnAndBackspace();
    void fontsAreReadFromFlashScreens();
};

void TestSimDrawing::lineFollowsItsPath_data()
{
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("y1");
    QTest::addColumn<int>("x2");
    QTest::addColumn<int>("y2");
    QTest::newRow("corner to corner") << 0 << 0 << 239 << 63;
    QTest::newRow("ends swapped") << 239 << 63 << 0 << 0;
    QTest::newRow("rising") << 10 << 50 << 200 << 5;
    QTest::newRow("steep") << 100 << 0 << 110 << 63;
    QTest::newRow("vertical") << 5 << 0 << 5 << 63;
    QTest::newRow("single point") << 7 << 7 << 7 << 7;
    QTest::newRow("leaves the screen") << 200 << 10 << 255 << 30;
}

void TestSimDrawing::lineFollowsItsPath()
{
    QFETCH(int, x1);
    QFETCH(int, y1);
    QFETCH(int, x2);
    QFETCH(int, y2);
    Rig rig;
    rig.send(Bytes{0x1E, 0x00, uint8_t(x1), uint8_t(y1), uint8_t(x2), uint8_t(y2)});
    QVERIFY(rig.pixel(x1, y1));
    QCOMPARE(rig.pixel(x2, y2), FrameBuffer::onScreen(x2, y2));
    const bool alongX = std::abs(x2 - x1) >= std::abs(y2 - y1);
    int lit = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (!rig.pixel(x, y))
                continue;
            ++lit;
            QVERIFY(x >= std::min(x1, x2) && x <= std::max(x1, x2));
            QVERIFY(y >= std::min(y1, y2) && y <= std::max(y1, y2));
            // Off the ideal line by at most half a pixel across the line's main direction.
            if (alongX && x1 != x2)
                QVERIFY(std::abs(y - (y1 + double(y2 - y1) * (x - x1) / (x2 - x1))) <= 0.5001);
            else if (!alongX)
                QVERIFY(std::abs(x - (x1 + double(x2 - x1) * (y - y1) / (y2 - y1))) <= 0.5001);
        }
    }
    // One pixel per step along the main direction: no gaps, no doubles.
    const int steps = alongX ? std::min(std::max(x1, x2), kWidth - 1) - std::min(x1, x2)
                             : std::min(std::max(y1, y2), kHeight - 1) - std::min(y1, y2);
    QCOMPARE(lit, steps + 1);
}

void TestSimDrawing::clearLineErasesIt()
{
    Rig rig;
    rig.send("1E 02 00 00 EF 3F");
    rig.send("1F 00 00 00 EF 3F");
    QVERIFY(!rig.pixel(0, 0));
    QVERIFY(!rig.pixel(239, 63));
    QVERIFY(rig.pixel(239, 0));
    QCOMPARE(rig.litPixels(), kWidth * kHeight - kWidth);
}

void TestSimDrawing::rectangles_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("edge");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<bool>("outside");
    QTest::newRow("outline") << QByteArray() << QByteArray("1E 01 0A 05 14 0F") << true << false
                             << false;
    QTest::newRow("outline, corners swapped")
        << QByteArray() << QByteArray("1E 01 14 0F 0A 05") << true << false << false;
    QTest::newRow("filled") << QByteArray() << QByteArray("1E 02 14 05 0A 0F") << true << true
                            << false;
    QTest::newRow("reversed on blank")
        << QByteArray() << QByteArray("1E 03 0A 05 14 0F") << true << true << false;
    QTest::newRow("reversed on lit") << QByteArray("1E 02 00 00 EF 3F")
                                     << QByteArray("1E 03 0A 0F 14 05") << false << false << true;
    QTest::newRow("clear filled") << QByteArray("1E 02 00 00 EF 3F")
                                  << QByteArray("1F 02 0A 05 14 0F") << false << false << true;
    QTest::newRow("clear outline") << QByteArray("1E 02 00 00 EF 3F")
                                   << QByteArray("1F 01 0A 05 14 0F") << false << true << true;
}

void TestSimDrawing::rectangles()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, command);
    QFETCH(bool, edge);
    QFETCH(bool, inside);
    QFETCH(bool, outside);
    Rig rig;
    rig.send(before.constData());
    rig.send(command.constData());
    // The rectangle spans (10,5) to (20,15).
    for (const auto& [x, y] : {std::pair{10, 5}, {20, 15}, {15, 5}, {10, 10}, {20, 8}})
        QCOMPARE(rig.pixel(x, y), edge);
    for (const auto& [x, y] : {std::pair{11, 6}, {15, 10}, {19, 14}})
        QCOMPARE(rig.pixel(x, y), inside);
    for (const auto& [x, y] : {std::pair{9, 5}, {21, 15}, {15, 4}, {15, 16}, {0, 0}})
        QCOMPARE(rig.pixel(x, y), outside);
}

void TestSimDrawing::circleReachesItsRadius()
{
    Rig rig;
    rig.send("20 14 78 20");
    for (const auto& [x, y] : {std::pair{140, 32}, {120, 12}, {100, 32}, {120, 52}})
        QVERIFY(rig.pixel(x, y));
    QVERIFY(!rig.pixel(120, 32));
    QVERIFY(!rig.pixel(141, 32));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (rig.pixel(x, y))
                QVERIFY(std::abs(std::hypot(x - 120, y - 32) - 20) < 0.75);
    rig.send("21 14 78 20");
    QCOMPARE(rig.litPixels(), 0);
}

void TestSimDrawing::pictureUploadReproducesPicture()
{
    Rig rig;
    rig.send("1E 02 00 00 EF 3F 12 05 06 03"); // a lit screen and the position elsewhere
    Bytes upload = hex("05 00 12 00 06 00");
    std::array<std::uint8_t, kScreenBytes> picture{};
    for (std::size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<std::uint8_t>((i * 37 + i / 240) & 0xFF);
        upload.push_back(0x03);
        upload.push_back(picture[i]);
    }
    rig.send(upload);
    QVERIFY(std::equal(picture.begin(), picture.end(), rig.controller.frame().bytes().begin()));
    // Bit 0 of a data byte is the top row of its page: page 1, column 1 is byte 241.
    for (int bit = 0; bit < 8; ++bit)
        QCOMPARE(rig.pixel(1, 8 + bit), ((picture[241] >> bit) & 1) != 0);
    QCOMPARE(rig.controller.text().page(), 0);
    QCOMPARE(rig.controller.text().column(), 0);
}

void TestSimDrawing::dataBytesWrapToNextPageAndBackToTop()
{
    Rig rig;
    rig.send("06 03 12 EF 03 81 03 FF 06 07 12 EF 03 01 03 80");
    QCOMPARE(rig.controller.frame().byteAt(3, 239), 0x81);
    QCOMPARE(rig.controller.frame().byteAt(4, 0), 0xFF);
    QCOMPARE(rig.controller.frame().byteAt(7, 239), 0x01);
    QCOMPARE(rig.controller.frame().byteAt(0, 0), 0x80);
    QVERIFY(rig.pixel(0, 7) && !rig.pixel(0, 0));
}

void TestSimDrawing::pageCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("litPage0");
    QTest::addColumn<int>("litPage3");
    QTest::addColumn<int>("litPage7");
    // Each starts from a screen whose page 3 holds one lit row and the rest is blank.
    QTest::newRow("clear page 3") << QByteArray("01 03") << 0 << 0 << 0;
    QTest::newRow("clear page 0") << QByteArray("01 00") << 0 << 240 << 0;
    QTest::newRow("clear screen") << QByteArray("01 08") << 0 << 0 << 0;
    QTest::newRow("clear page 9 is ignored") << QByteArray("01 09") << 0 << 240 << 0;
    QTest::newRow("flip page 3") << QByteArray("1D 03") << 0 << 1680 << 0;
    QTest::newRow("flip page 7") << QByteArray("1D 07") << 0 << 240 << 1920;
    QTest::newRow("flip page 3 twice") << QByteArray("1D 03 1D 03") << 0 << 240 << 0;
}

void TestSimDrawing::pageCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(int, litPage0);
    QFETCH(int, litPage3);
    QFETCH(int, litPage7);
    Rig rig;
    rig.send("1E 00 00 1A EF 1A");
    rig.send(command.constData());
    const auto litIn = [&rig](int page) {
        int lit = 0;
        for (int y = page * 8; y < page * 8 + 8; ++y)
            for (int x = 0; x < kWidth; ++x)
                lit += rig.pixel(x, y) ? 1 : 0;
        return lit;
    };
    QCOMPARE(litIn(0), litPage0);
    QCOMPARE(litIn(3), litPage3);
    QCOMPARE(litIn(7), litPage7);
}

void TestSimDrawing::displayModesReverseTheirArea_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reversedAt"); // 1 = reversed, at the probes of the test
    QTest::newRow("normal") << 0 << "0000000";
    QTest::newRow("reverse") << 1 << "1111111";
    QTest::newRow("top normal bottom reverse") << 2 << "0101011";
    QTest::newRow("top reverse bottom normal") << 3 << "1010100";
    QTest::newRow("right reverse left normal") << 4 << "0101100";
    QTest::newRow("diagonal backslash") << 5 << "0110011";
    QTest::newRow("diagonal slash") << 6 << "0101010";
    QTest::newRow("unknown mode keeps the last") << 7 << "0000000";
}

void TestSimDrawing::displayModesReverseTheirArea()
{
    QFETCH(int, mode);
    QFETCH(QString, reversedAt);
    Rig rig;
    rig.send("20 03 05 05"); // a lit ring that the modes must not touch in display RAM
    const FrameBuffer before = rig.controller.frame();
    rig.send(Bytes{0x0B, uint8_t(mode)});
    // Blank probes: top, bottom, left, right, top right, bottom middle, bottom left, chosen
    // so that every mode has its own pattern.
    const std::pair<int, int> probes[] = {{110, 5}, {130, 58}, {10, 24}, {229, 40},
                                          {200, 2}, {100, 60}, {20, 50}};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(rig.controller.shownPixel(probes[i].first, probes[i].second),
                 reversedAt[i] == '1');
    QVERIFY(rig.controller.frame() == before);
    // The ring stays visible against its surroundings in every mode.
    QVERIFY(rig.controller.shownPixel(8, 5) != rig.controller.shownPixel(8, 12));
}

void TestSimDrawing::powerOffShowsNothing()
{
    Rig rig;
    rig.send("1E 02 00 00 EF 3F 0B 01 0D 00");
    QVERIFY(!rig.controller.shownPixel(10, 10));
    QVERIFY(!rig.controller.display().poweredOn);
    rig.send("0D 01");
    QVERIFY(!rig.controller.shownPixel(10, 10)); // lit RAM, reversed
    rig.send("0B 00");
    QVERIFY(rig.controller.shownPixel(10, 10));
}

void TestSimDrawing::everyGlyphHasInkInsideItsCell_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<int>("distinctShapes");
    // Only the source's own look-alikes: the 7-pixel font has no room for accents on
    // capitals, and every font draws the no-break space like the space (not checked here).
    QTest::newRow("7 pix") << 1 << 168;
    QTest::newRow("14 pix") << 2 << 189;
    QTest::newRow("14 pix bold") << 3 << 187;
    QTest::newRow("22 pix") << 4 << 189;
}

void TestSimDrawing::everyGlyphHasInkInsideItsCell()
{
    QFETCH(int, font);
    QFETCH(int, distinctShapes);
    Rig rig;
    const FontArea fonts(rig.controller.flash().fontArea());
    const int width = fonts.advance(font);
    const int height = FontArea::linePages(font) * kPageHeight;
    const int cellHeight = font == 1 ? 7 : font == 4 ? 22 : 14;
    QSet<QByteArray> shapes;
    for (int code = 0x21; code <= 0xFF; ++code) {
        if (code >= 0x7F && code <= 0xA0)
            continue;
        FrameBuffer frame;
        frame.clear();
        fillRectangle(frame, {0, 0}, {kWidth - 1, kHeight - 1}, Ink::Set);
        fonts.drawCharacter(frame, font, uint8_t(code), 8, 8);
        int ink = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool inCell = x >= 8 && x < 8 + width && y >= 8 && y < 8 + height;
                if (!inCell)
                    QVERIFY2(frame.pixel(x, y), "drawing outside the cell");
                else if (frame.pixel(x, y)) {
                    QVERIFY2(y < 8 + cellHeight, "ink below the nominal cell height");
                    ++ink;
                }
            }
        }
        QVERIFY2(ink > 0, qPrintable(QString::number(code, 16)));
        shapes.insert(QByteArray(reinterpret_cast<const char*>(frame.bytes().data()),
                                 int(frame.bytes().size())));
    }
    QCOMPARE(shapes.size(), distinctShapes);
}

void TestSimDrawing::textAdvancesAndWraps_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("linePages");
    QTest::newRow("7 pix") << 1 << 5 << 1;
    QTest::newRow("14 pix") << 2 << 7 << 2;
    QTest::newRow("14 pix bold") << 3 << 7 << 2;
    QTest::newRow("22 pix") << 4 << 10 << 3;
}

void TestSimDrawing::textAdvancesAndWraps()
{
    QFETCH(int, font);
    QFETCH(int, advance);
    QFETCH(int, linePages);
    Rig rig;
    rig.send(Bytes{0x15, uint8_t(font), 0x06, 0x02, 0x12, 0x0A, 0x02, 'H'});
    QCOMPARE(rig.controller.text().column(), 10 + advance);
    QVERIFY(rig.litPixels() > 0);
    // The last cell that fits ends at or before column 239; the next character wraps.
    const int lastFit = kWidth - advance;
    rig.send(Bytes{0x12, uint8_t(lastFit - 1), 0x02, 'W', 0x02, 'W'});
    QCOMPARE(rig.controller.text().page(), (2 + linePages) % kPageCount);
    QCOMPARE(rig.controller.text().column(), advance);
    int inkAtLeft = 0;
    for (int y = (2 + linePages) * 8; y < (2 + 2 * linePages) * 8 && y < kHeight; ++y)
        for (int x = 0; x < advance; ++x)
            inkAtLeft += rig.pixel(x, y) ? 1 : 0;
    QVERIFY(inkAtLeft > 0);
}

void TestSimDrawing::returnAndBackspace()
{
    Rig rig;
    rig.send(Bytes{0x06, 0x01, 0x12, 0x14, 0x02, 'A', 0x02, 'B'});
    const int withTwo = rig.litPixels();
    rig.send(Bytes{0x02, 0x08});
    QCOMPARE(rig.controller.text().column(), 25);
    QVERIFY(rig.litPixels() < withTwo && rig.litPixels() > 0);
    rig.send(Bytes{0x02, 0x0D});
    QCOMPARE(rig.controller.text().page(), 2);
    QCOMPARE(rig.controller.text().column(), 0);
    rig.send(Bytes{0x12, 0x02, 0x02, 0x08});
    QCOMPARE(rig.controller.text().column(), 0);
}

void TestSimDrawing::fontsAreReadFromFlashScreens()
{
    Rig rig;
    rig.send(Bytes{0x02, 'A'});
    const FrameBuffer withDefault = rig.controller.frame();
    // A picture saved over the font screens: text now comes out differently.
    rig.send("01 08 1E 02 00 00 EF 3F 1F 01 00 00 EF 3F 11 01 11 02 11 03 11 04 11 05 01 08");
    rig.send(Bytes{0x02, 'A'});
    QVERIFY(!(rig.controller.frame() == withDefault));
    QCOMPARE(rig.controller.text().column(), 5); // the nominal width of the 7-pixel font
}

QTEST_GUILESS_MAIN(TestSimDrawing)
#include "tst_sim_drawing.moc"
