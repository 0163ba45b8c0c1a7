// Touch screen reports, keypad and key mask, beeps, calibration and the animation.
#include "simtest.h"

#include <QtTest>

using namespace kestrin;
using simtest::Bytes;
using simtest::Rig;

class TestSimTouch : public QObject
{
    Q_OBJECT

private slots:
    void touchReports_data();
    void touchReports();
    void beeps_data();
    void beeps();
    void calibrationShowsTargetsAndMapsTouches_data();
    void calibrationShowsTargetsAndMapsTouches();
    void animationStepsThroughScreens_data();
    void animationStepsThroughScreens();
    void clearScreenStopsAnimation();
};

void TestSimTouch::touchReports_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("off by default") << QByteArray() << 10 << 10 << QByteArray();
    QTest::newRow("coordinates") << QByteArray("05 01") << 120 << 32 << QByteArray("T:120,32!");
    QTest::newRow("coordinates, corner")
        << QByteArray("05 01") << 239 << 63 << QByteArray("T:239,63!");
    QTest::newRow("off again") << QByteArray("05 01 05 00") << 10 << 10 << QByteArray();
    QTest::newRow("keypad top left") << QByteArray("1C 01") << 0 << 0 << QByteArray("K:01!");
    QTest::newRow("keypad top right") << QByteArray("1C 01") << 239 << 0 << QByteArray("K:06!");
    QTest::newRow("keypad middle row") << QByteArray("1C 01") << 45 << 30 << QByteArray("K:08!");
    QTest::newRow("keypad bottom right") << QByteArray("1C 01") << 239 << 63 << QByteArray("K:18!");
    QTest::newRow("flipped top left") << QByteArray("1C 02") << 0 << 0 << QByteArray("K:18!");
    QTest::newRow("flipped middle row") << QByteArray("1C 02") << 45 << 30 << QByteArray("K:11!");
    QTest::newRow("keypad, then coordinates")
        << QByteArray("1C 01 05 01") << 7 << 8 << QByteArray("T:7,8!");
    QTest::newRow("masked key is silent")
        << QByteArray("1C 01 25 1F 3F 3F") << 0 << 0 << QByteArray();
    QTest::newRow("neighbour of masked key")
        << QByteArray("1C 01 25 1F 3F 3F") << 45 << 0 << QByteArray("K:02!");
    QTest::newRow("bottom right masked")
        << QByteArray("1C 01 25 3F 3F 3E") << 239 << 63 << QByteArray();
    QTest::newRow("mask follows the key, not the place")
        << QByteArray("1C 02 25 1F 3F 3F") << 239 << 63 << QByteArray();
    QTest::newRow("all masked") << QByteArray("1C 01 25 00 00 00") << 100 << 30 << QByteArray();
}

void TestSimTouch::touchReports()
{
    QFETCH(QByteArray, setup);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QByteArray, report);
    Rig rig;
    rig.send(setup.constData());
    rig.controller.touch({x, y}, rig.now);
    QCOMPARE(QByteArray::fromStdString(rig.reply()), report);
    QCOMPARE(rig.controller.beepCount(), 0u); // beep on touch is off by default
}

void TestSimTouch::beeps_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<bool>("touch");
    QTest::addColumn<unsigned>("beeps");
    QTest::newRow("beep") << QByteArray("23 01 23 01") << false << 2u;
    QTest::newRow("beep on touch") << QByteArray("05 01 23 02") << true << 1u;
    QTest::newRow("beep on touch switched off") << QByteArray("05 01 23 02 23 03") << true << 0u;
    QTest::newRow("masked key does not beep")
        << QByteArray("1C 01 23 02 25 00 00 00") << true << 0u;
    QTest::newRow("touch off does not beep") << QByteArray("23 02") << true << 0u;
}

void TestSimTouch::beeps()
{
    QFETCH(QByteArray, setup);
    QFETCH(bool, touch);
    QFETCH(unsigned, beeps);
    Rig rig;
    rig.send(setup.constData());
    if (touch)
        rig.controller.touch({50, 20}, rig.now);
    QCOMPARE(rig.controller.beepCount(), beeps);
}

void TestSimTouch::calibrationShowsTargetsAndMapsTouches_data()
{
    QTest::addColumn<QPoint>("firstTouch");
    QTest::addColumn<QPoint>("secondTouch");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<QPoint>("laterTouch");
    QTest::addColumn<QByteArray>("laterReport");
    QTest::newRow("on target") << QPoint(20, 12) << QPoint(219, 51) << QByteArray("C:OK!")
                               << QPoint(100, 30) << QByteArray("T:100,30!");
    QTest::newRow("panel reads 10 pixels right")
        << QPoint(30, 12) << QPoint(229, 51) << QByteArray("C:OK!") << QPoint(110, 30)
        << QByteArray("T:100,30!");
    QTest::newRow("panel reads half size")
        << QPoint(10, 6) << QPoint(110, 26) << QByteArray("C:OK!") << QPoint(60, 16)
        << QByteArray("T:120,32!"); // 119.5 and 31.5, rounded up
    QTest::newRow("touches too close keep the old calibration")
        << QPoint(20, 12) << QPoint(40, 20) << QByteArray("C:ERR!") << QPoint(100, 30)
        << QByteArray("T:100,30!");
}

void TestSimTouch::calibrationShowsTargetsAndMapsTouches()
{
    QFETCH(QPoint, firstTouch);
    QFETCH(QPoint, secondTouch);
    QFETCH(QByteArray, result);
    QFETCH(QPoint, laterTouch);
    QFETCH(QByteArray, laterReport);
    Rig rig;
    rig.send("1E 02 00 00 EF 3F 05 01 19 01");
    // The calibration screen replaces the picture: a cross on the first target.
    QVERIFY(rig.controller.shownPixel(20, 12) && rig.controller.shownPixel(26, 12));
    QVERIFY(!rig.controller.shownPixel(219, 51) && !rig.controller.shownPixel(0, 0));
    rig.controller.touch({firstTouch.x(), firstTouch.y()}, rig.now);
    QVERIFY(rig.reply().empty());
    QVERIFY(rig.controller.shownPixel(219, 51) && !rig.controller.shownPixel(20, 12));
    rig.controller.touch({secondTouch.x(), secondTouch.y()}, rig.now);
    QCOMPARE(QByteArray::fromStdString(rig.reply()), result);
    QVERIFY(rig.controller.shownPixel(0, 0)); // the picture is back
    rig.controller.touch({laterTouch.x(), laterTouch.y()}, rig.now);
    QCOMPARE(QByteArray::fromStdString(rig.reply()), laterReport);
}

void TestSimTouch::animationStepsThroughScreens_data()
{
    QTest::addColumn<QByteArray>("run");
    QTest::addColumn<QList<int>>("screens"); // shown at once, then after each delay
    QTest::addColumn<int>("delayMs");
    QTest::newRow("up, 30 ms") << QByteArray("1B 03 06 08") << QList<int>{6, 7, 8, 6, 7} << 30;
    QTest::newRow("down, 1 s") << QByteArray("1B 64 09 07") << QList<int>{9, 8, 7, 9} << 1000;
    QTest::newRow("one screen") << QByteArray("1B 05 0B 0B") << QList<int>{11, 11} << 50;
    QTest::newRow("delay 0 counts as 1") << QByteArray("1B 00 06 07") << QList<int>{6, 7, 6} << 10;
}

void TestSimTouch::animationStepsThroughScreens()
{
    QFETCH(QByteArray, run);
    QFETCH(QList<int>, screens);
    QFETCH(int, delayMs);
    Rig rig;
    rig.wait(12345);
    rig.send(run.constData());
    for (const int screen : screens) {
        QCOMPARE(rig.controller.animation().currentScreen(), screen);
        QVERIFY(std::equal(rig.controller.frame().bytes().begin(),
                           rig.controller.frame().bytes().end(),
                           rig.controller.flash().screen(screen).begin()));
        rig.wait(delayMs - 1);
        QCOMPARE(rig.controller.animation().currentScreen(), screen); // not yet
        rig.wait(1);
    }
    // Steps missed while nobody looked are skipped, not replayed one by one.
    rig.wait(3 * delayMs);
    QVERIFY(rig.controller.animation().running());
}

void TestSimTouch::clearScreenStopsAnimation()
{
    Rig rig;
    rig.send("1B 03 06 0A");
    QVERIFY(rig.litPixels() > 0); // the demonstration screens are not blank
    rig.wait(30);
    rig.send("01 08");
    QCOMPARE(rig.litPixels(), 0);
    QVERIFY(!rig.controller.animation().running());
    rig.wait(1000);
    QCOMPARE(rig.litPixels(), 0);
    QVERIFY(!rig.controller.nextDeadline());
}

QTEST_GUILESS_MAIN(TestSimTouch)
#include "tst_sim_touch.moc"
