// The controller's drawing beyond what the console's commands show in tst_console_meets_sim:
// lines pixel by pixel, what it makes of bytes the console never sends, and text that
// wraps, steps back and comes from the flash.
#include "simtest.h"
#include "testsuite.h"

#include <QtTest>

#include <cmath>

using namespace kestrin;
using simtest::Bytes;
using simtest::Rig;

class TestSimDrawing : public QObject
{
    Q_OBJECT

private slots:
    void lineFollowsItsPath_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("rising, ends swapped") << QPoint(200, 5) << QPoint(10, 50);
        QTest::newRow("steep") << QPoint(100, 0) << QPoint(110, 63);
        QTest::newRow("single point") << QPoint(7, 7) << QPoint(7, 7);
        QTest::newRow("leaves the screen") << QPoint(200, 10) << QPoint(255, 30);
    }
    void lineFollowsItsPath()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        const auto [x1, y1, x2, y2] = std::array{from.x(), from.y(), to.x(), to.y()};
        Rig rig;
        rig.send(Bytes{0x1E, 0x00, uint8_t(x1), uint8_t(y1), uint8_t(x2), uint8_t(y2)});
        QVERIFY(rig.pixel(x1, y1));
        QCOMPARE(rig.pixel(x2, y2), FrameBuffer::onScreen(x2, y2));
        const bool alongX = std::abs(x2 - x1) >= std::abs(y2 - y1);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (!rig.pixel(x, y))
                    continue;
                QVERIFY(x >= std::min(x1, x2) && x <= std::max(x1, x2));
                QVERIFY(y >= std::min(y1, y2) && y <= std::max(y1, y2));
                // Off the ideal line by at most half a pixel across its main direction.
                if (alongX && x1 != x2)
                    QVERIFY(std::abs(y - (y1 + double(y2 - y1) * (x - x1) / (x2 - x1))) <= 0.5001);
                else if (!alongX)
                    QVERIFY(std::abs(x - (x1 + double(x2 - x1) * (y - y1) / (y2 - y1))) <= 0.5001);
            }
        // One pixel per step along the main direction: no gaps, no doubles.
        const int steps = alongX ? std::min(std::max(x1, x2), kWidth - 1) - std::min(x1, x2)
                                 : std::min(std::max(y1, y2), kHeight - 1) - std::min(y1, y2);
        QCOMPARE(rig.litPixels(), steps + 1);
    }

    void bytesTheConsoleNeverSends_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lit");
        QTest::newRow("clearing a reversed rectangle reverses it")
            << QByteArray("1E 02 00 00 EF 3F 1F 03 0A 05 14 0F") << kWidth * kHeight - 121;
        QTest::newRow("reversed twice, corners swapped")
            << QByteArray("1E 03 0A 05 14 0F 1E 03 14 0F 0A 05") << 0;
        QTest::newRow("circle past the edge") << QByteArray("20 0A 00 00") << 15;
        QTest::newRow("clear page 9 is ignored") << QByteArray("1D 03 01 09") << kWidth * 8;
        QTest::newRow("flip page 8 is ignored") << QByteArray("1D 08") << 0;
        QTest::newRow("unknown shape") << QByteArray("1E 04 00 00 EF 3F") << 0;
    }
    void bytesTheConsoleNeverSends()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lit);
        Rig rig;
        rig.send(bytes.constData());
        QVERIFY(rig.idle());
        QCOMPARE(rig.litPixels(), lit);
    }

    void dataBytesWrapToNextPageAndBackToTop()
    {
        Rig rig;
        rig.send("06 03 12 EF 03 81 03 FF 06 07 12 EF 03 01 03 80");
        QCOMPARE(rig.controller.frame().byteAt(3, 239), 0x81);
        QCOMPARE(rig.controller.frame().byteAt(4, 0), 0xFF);
        QCOMPARE(rig.controller.frame().byteAt(7, 239), 0x01);
        QVERIFY(rig.pixel(0, 7) && !rig.pixel(0, 0)); // 0x80 at page 0: bit 7 is the lowest row
    }

    void textAdvancesAndWraps_data()
    {
        QTest::addColumn<int>("font");
        QTest::addColumn<int>("advance");
        QTest::addColumn<int>("linePages");
        QTest::newRow("7 pix") << 1 << 5 << 1;
        QTest::newRow("14 pix") << 2 << 7 << 2;
        QTest::newRow("22 pix") << 4 << 10 << 3;
    }
    void textAdvancesAndWraps()
    {
        QFETCH(int, font);
        QFETCH(int, advance);
        QFETCH(int, linePages);
        Rig rig;
        rig.send(Bytes{0x15, uint8_t(font), 0x06, 0x06, 0x12, 0x0A, 0x02, 'H'});
        QCOMPARE(rig.controller.text().column(), 10 + advance);
        // The last cell that fits ends at column 239; the next character wraps, past the
        // last page to the top.
        rig.send(Bytes{0x12, uint8_t(kWidth - advance - 1), 0x02, 'W', 0x02, 'W'});
        const int nextLine = (6 + linePages) % kPageCount;
        QCOMPARE(rig.controller.text().page(), nextLine);
        QCOMPARE(rig.controller.text().column(), advance);
        QVERIFY(rig.litPixels(nextLine * 8, nextLine * 8 + 7) > 0);
    }

    void returnAndBackspace()
    {
        Rig rig;
        rig.send("06 01 12 14 02 41 02 42");
        const int withTwo = rig.litPixels();
        rig.send("02 08");
        QCOMPARE(rig.controller.text().column(), 25);
        QVERIFY(rig.litPixels() < withTwo && rig.litPixels() > 0);
        rig.send("02 0D");
        QCOMPARE(rig.controller.text().page(), 2);
        QCOMPARE(rig.controller.text().column(), 0);
        rig.send("12 02 02 08");
        QCOMPARE(rig.controller.text().column(), 0);
    }

    void fontsAreReadFromFlashScreens()
    {
        Rig rig;
        rig.send("02 41");
        const FrameBuffer withShippedFonts = rig.controller.frame();
        // A picture stored over the font screens: text comes out differently.
        rig.send("01 08 1E 02 00 00 EF 3F 1F 01 00 00 EF 3F 11 01 11 02 11 03 11 04 11 05 01 08");
        rig.send("02 41");
        QVERIFY(!(rig.controller.frame() == withShippedFonts));
        QCOMPARE(rig.controller.text().column(), 5); // the nominal width of the 7-pixel font
    }
};

LUMIVOR_TEST(TestSimDrawing)
#include "tst_sim_drawing.moc"
