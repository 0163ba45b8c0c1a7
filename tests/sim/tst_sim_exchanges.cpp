// The controller's decoder (strings typed in pieces, exchanges the console gave up, line
// rates, commands split anywhere, random bytes), its touch reports and animation.
#include "simtest.h"
#include "testsuite.h"

#include <QtTest>

#include <random>

using namespace kestrin;
using simtest::Bytes;
using simtest::hex;
using simtest::Rig;

class TestSimExchanges : public QObject
{
    Q_OBJECT

private slots:
    void stringTypedInPieces_data()
    {
        // What the console sends in String mode, one piece per key press, and the same
        // text as Put character commands, which must leave the same picture.
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QByteArray>("sameAs");
        using Pieces = QList<QByteArray>;
        QTest::newRow("starts with &") << Pieces{"26 26", "0D"} << QByteArray("02 26");
        QTest::newRow("backspace")
            << Pieces{"26 41", "42", "08", "43", "0D"} << QByteArray("02 41 02 43");
        QTest::newRow("unterminated, then a new string")
            << Pieces{"26 41", "42", "26 43", "0D"} << QByteArray("02 41 02 42 02 43");
        QTest::newRow("control byte ends it and runs")
            << Pieces{"26 41", "42", "12 64 02 5A"} << QByteArray("02 41 02 42 12 64 02 5A");
        QByteArray fortyFive = "26 41", sameAs = "02 41";
        for (int i = 1; i < 45; ++i)
            fortyFive += " 42", sameAs += " 02 42";
        QTest::newRow("cut at 45, the next key opens a string")
            << Pieces{fortyFive, "26 43", "0D"} << (sameAs + " 02 43");
    }
    void stringTypedInPieces()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, sameAs);
        Rig typed, reference;
        for (const QByteArray& piece : pieces) {
            typed.wait(2000); // typed by hand: no time-out
            typed.send(piece.constData());
        }
        reference.send(sameAs.constData());
        QVERIFY(typed.controller.frame() == reference.controller.frame());
        QCOMPARE(typed.controller.text().column(), reference.controller.text().column());
        QVERIFY(typed.idle());
    }

    void abandonedExchangesEnd_data()
    {
        QTest::addColumn<QByteArray>("abandoned");
        QTest::addColumn<int>("silence");
        QTest::addColumn<int>("bytesAnswered"); // reply bytes of the abandoned exchange
        QTest::newRow("half a command") << QByteArray("1E 00 05") << 500 << 0;
        QTest::newRow("pixel string") << QByteArray("0A 05 01 01 02") << 30000 << 0;
        QTest::newRow("flash read") << QByteArray("29 01 29") << 5000 << 960;
        QTest::newRow("flash write") << QByteArray("29 02 01 02 03") << 2000 << 1;
        QTest::newRow("flash read, other command at once") << QByteArray("29 01") << 0 << 480;
    }
    void abandonedExchangesEnd()
    {
        QFETCH(QByteArray, abandoned);
        QFETCH(int, silence);
        QFETCH(int, bytesAnswered);
        Rig rig;
        rig.send(abandoned.constData());
        QCOMPARE(int(rig.reply().size()), bytesAnswered);
        if (silence > 0) {
            rig.wait(silence - 1);
            QVERIFY(!rig.idle());
        }
        rig.wait(1);
        rig.send("28 00");
        QCOMPARE(rig.reply(), std::string("KT24064!"));
    }

    void answersWholeQueriesAtItsOwnRate()
    {
        Rig rig;
        rig.send("49 28 00 28 01"); // an I, then a command; the identifier, wrong argument
        QCOMPARE(rig.reply(), std::string("KT24064!"));
        rig.sendAt(19200, "28 00 01 08");
        QVERIFY(rig.reply().empty());
        // 0F 03 switches to 14400 at once: what follows in the same write came at 9600.
        rig.sendAt(9600, "1E 02 00 00 EF 3F 0F 03 28 00");
        QVERIFY(rig.reply().empty());
        QVERIFY(rig.pixel(100, 30));
        rig.sendAt(14400, "0F 09 28 00"); // no such rate: it stays
        QCOMPARE(rig.reply(), std::string("KT24064!"));
    }

    // Every command family in one script; fed whole, split in two anywhere, and byte by
    // byte, it must leave the same controller behind.
    void splitAnywhereDecodesAsWhole()
    {
        const Bytes script =
            hex("15 02 06 01 12 0A 02 41 26 42 43 0D 15 04 26 26 44 26 45 0D 1E 00 00 00 EF 3F "
                "1F 01 0A 05 14 0F 1E 03 01 01 30 30 20 14 78 20 21 05 78 20 0A 02 05 06 07 08 "
                "03 AA 03 55 1D 07 0B 05 10 40 09 00 0D 00 0D 01 23 02 05 01 1C 02 25 3F 1E 3F "
                "11 0C 01 03 08 0C 49 44 28 00 29 01 29 29 0F 02 99 29 02");
        const auto run = [&script](std::size_t cut, bool byteByByte) {
            auto rig = std::make_unique<Rig>();
            Bytes bytes = script;
            bytes.insert(bytes.end(), 300, 0x5A); // a block and a bit of flash write
            if (byteByByte) {
                for (const std::uint8_t byte : bytes)
                    rig->send(Bytes{byte});
            } else {
                rig->send(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)));
                rig->send(Bytes(bytes.begin() + std::ptrdiff_t(cut), bytes.end()));
            }
            return rig;
        };
        const auto whole = run(0, false);
        const std::string wholeReply = whole->reply();
        QVERIFY(wholeReply.starts_with("64,64!KESTRIN 240x64KT24064!"));
        QCOMPARE(wholeReply.size(), std::size_t{20 + 8 + 3 * 480 + 2});
        QVERIFY(wholeReply.ends_with(">>")); // a ready byte before each of the two blocks
        QCOMPARE(int(whole->controller.flash().bytes()[299]), 0x5A);
        for (std::size_t cut = 1; cut <= script.size() + 1; ++cut) {
            const auto other = run(cut, cut > script.size());
            QVERIFY2(other->controller.frame() == whole->controller.frame(),
                     qPrintable(QString::number(cut)));
            QCOMPARE(other->reply(), wholeReply);
            QCOMPARE(other->controller.text().column(), whole->controller.text().column());
            QCOMPARE(other->controller.display().contrast, whole->controller.display().contrast);
            QVERIFY(std::ranges::equal(other->controller.flash().bytes(),
                                       whole->controller.flash().bytes()));
        }
    }

    // Random bytes in random pieces, uniform or from the command codes: the controller
    // neither crashes nor grows, and answers again after the documented recovery (0D, then
    // 30 s of silence).
    void randomBytesThenRecovery()
    {
        static constexpr std::uint8_t kBusyBytes[] = {0x01, 0x02, 0x03, 0x05, 0x06, 0x08, 0x0A,
                                                      0x0B, 0x0D, 0x0F, 0x15, 0x19, 0x1B, 0x1D,
                                                      0x1E, 0x20, 0x23, 0x26, 0x29, 0x41, 0x00};
        for (const bool commandBytesOnly : {false, true}) {
            std::mt19937 random(commandBytesOnly ? 7 : 20240601);
            Rig rig;
            for (std::size_t fed = 0; fed < 512 * 1024;) {
                Bytes chunk(1 + random() % 4096);
                for (std::uint8_t& byte : chunk)
                    byte = commandBytesOnly ? kBusyBytes[random() % std::size(kBusyBytes)]
                                            : std::uint8_t(random());
                rig.send(chunk); // at whatever rate the controller has switched to
                rig.wait(int(random() % 40));
                QVERIFY(rig.reply().size() <= Controller::kOutputLimit);
                fed += chunk.size();
            }
            rig.send("0D");
            rig.wait(30'000);
            QVERIFY(rig.idle());
            rig.reply();
            rig.send("28 00");
            QCOMPARE(rig.reply(), std::string("KT24064!"));
        }
    }
};

class TestSimTouch : public QObject
{
    Q_OBJECT

private slots:
    void touchReports_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<unsigned>("beeps");
        const auto row = [](const char* name, const char* setup, QPoint at, const char* report,
                            unsigned beeps = 0) {
            QTest::newRow(name) << QByteArray(setup) << at << QByteArray(report) << beeps;
        };
        row("off at the start", "", {10, 10}, "");
        row("coordinates, corner", "05 01", {239, 63}, "T:239,63!");
        row("keypad top right", "1C 01", {239, 0}, "K:06!");
        row("keypad middle row", "1C 01", {45, 30}, "K:08!");
        row("keypad bottom right", "1C 01", {239, 63}, "K:18!");
        row("flipped middle row", "1C 02", {45, 30}, "K:11!");
        row("keypad, then coordinates", "1C 01 05 01", {7, 8}, "T:7,8!");
        row("masked key is silent", "1C 01 25 1F 3F 3F", {0, 0}, "");
        row("mask follows the key, not the place", "1C 02 25 1F 3F 3F", {239, 63}, "");
        row("beep on touch", "05 01 23 02", {50, 20}, "T:50,20!", 1);
        row("masked key does not beep", "1C 01 23 02 25 00 00 00", {50, 20}, "");
        row("touch off does not beep", "23 02", {50, 20}, "");
    }
    void touchReports()
    {
        QFETCH(QByteArray, setup);
        QFETCH(QPoint, at);
        QFETCH(QByteArray, report);
        QFETCH(unsigned, beeps);
        Rig rig;
        rig.send(setup.constData());
        rig.touch(at.x(), at.y());
        QCOMPARE(QByteArray::fromStdString(rig.reply()), report);
        QCOMPARE(rig.controller.beepCount(), beeps);
    }

    void animationStepsThroughScreens_data()
    {
        QTest::addColumn<QByteArray>("run");
        QTest::addColumn<QList<int>>("screens"); // shown at once, then after each delay
        QTest::addColumn<int>("delayMs");
        QTest::newRow("up, 30 ms") << QByteArray("1B 03 06 08") << QList<int>{6, 7, 8, 6} << 30;
        QTest::newRow("down, 1 s") << QByteArray("1B 64 09 07") << QList<int>{9, 8, 7, 9} << 1000;
        QTest::newRow("delay 0 counts as 1")
            << QByteArray("1B 00 06 07") << QList<int>{6, 7, 6} << 10;
    }
    void animationStepsThroughScreens()
    {
        QFETCH(QByteArray, run);
        QFETCH(QList<int>, screens);
        QFETCH(int, delayMs);
        Rig rig;
        rig.wait(12345);
        rig.send(run.constData());
        for (const int screen : screens) {
            QCOMPARE(rig.controller.animation().currentScreen(), screen);
            QVERIFY(std::ranges::equal(rig.controller.frame().bytes(),
                                       rig.controller.flash().screen(screen)));
            rig.wait(delayMs - 1);
            QCOMPARE(rig.controller.animation().currentScreen(), screen); // not yet
            rig.wait(1);
        }
        // Steps missed while nobody looked are skipped, not replayed one by one.
        rig.wait(3 * delayMs);
        QCOMPARE(rig.controller.nextDeadline(), std::optional<Millis>(rig.now + delayMs));
    }
};

LUMIVOR_TEST(TestSimExchanges)
LUMIVOR_TEST(TestSimTouch)
#include "tst_sim_exchanges.moc"
