// The rate table: list text, port settings and bits per second of each index.
#include "protocol/rates.h"

#include <QTest>

using namespace lumivor::protocol;

class TestRates : public QObject
{
    Q_OBJECT

private slots:
    void table_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("bitsPerSecond");
        QTest::newRow("first") << 0 << "2400"
                               << "2400,N,8,1" << 2400;
        QTest::newRow("default") << rates::defaultIndex << "9600"
                                 << "9600,N,8,1" << 9600;
        QTest::newRow("14400") << 3 << "14400"
                               << "14400,N,8,1" << 14400;
        QTest::newRow("57600") << 7 << "57600"
                               << "57600,N,8,1" << 57600;
        QTest::newRow("last") << 8 << "115200"
                              << "115200,N,8,1" << 115200;
    }
    void table()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, settings);
        QFETCH(int, bitsPerSecond);
        QCOMPARE(rates::rateText(index), text);
        QCOMPARE(rates::settingsText(index), settings);
        QCOMPARE(rates::bitsPerSecond(index), std::optional<std::int32_t>(bitsPerSecond));
        QCOMPARE(rates::indexOfRateText(text), std::optional<int>(index));
        QCOMPARE(rates::rateTexts().at(index), text);
    }

    void outsideTheTable_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("below") << -1;
        QTest::newRow("above") << rates::count;
    }
    void outsideTheTable()
    {
        QFETCH(int, index);
        QVERIFY(rates::rateText(index).isEmpty());
        QVERIFY(rates::settingsText(index).isEmpty());
        QVERIFY(!rates::bitsPerSecond(index));
    }

    void listHoldsNineRatesAndNothingElse()
    {
        QCOMPARE(rates::rateTexts().size(), 9);
        QVERIFY(!rates::indexOfRateText(QStringLiteral("9601")));
        QVERIFY(!rates::indexOfRateText(QString()));
    }
};

QTEST_GUILESS_MAIN(TestRates)
#include "tst_rates.moc"
