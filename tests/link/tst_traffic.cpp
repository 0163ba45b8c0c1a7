// What the traffic view lists: every opening, write and read of the port with
// its time in milliseconds since the first opening, and a bounded log.
#include "fakeserialport.h"
#include "link/traffic.h"
#include "manualclock.h"
#include "testsuite.h"

#include <QTest>

using namespace lumivor;
using link::TrafficLog;
using link::TrafficRecord;

class TrafficTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Times count from the first opening, not from each: a reconnect is listed
    // with its settings, and the times after it go on from where they were.
    void aReconnectIsMarkedAndTimesNeverRunBackwards()
    {
        testing::FakeSerialPort port;
        testing::ManualClock clock;
        TrafficLog log;
        link::PortTap tap(port, clock, log);
        clock.advance(1000); // the console ran a while before the first Connect
        tap.setCommPort(1);
        tap.setSettings(QStringLiteral("9600,N,8,1"));
        tap.setPortOpen(true);
        clock.advance(5);
        tap.output(QByteArray("\x28\x00", 2));
        tap.setPortOpen(false);
        clock.advance(100);
        tap.setSettings(QStringLiteral("57600,N,8,1"));
        tap.setPortOpen(true);
        port.queueInput("64!");
        QCOMPARE(tap.input(), QByteArray("64!"));

        QStringList lines;
        for (std::size_t i = 0; i < log.size(); ++i)
            lines << TrafficLog::line(log.at(i)).trimmed();
        QCOMPARE(lines,
                 (QStringList{"0.000 ms  --  opened COM1 9600,N,8,1", "5.000 ms  TX  28 00  |(.|",
                              "105.000 ms  --  opened COM1 57600,N,8,1",
                              "105.000 ms  RX  36 34 21  |64!|"}));
    }

    void theLogKeepsTheLatestRecords()
    {
        TrafficLog log(3);
        for (int i = 0; i < 5; ++i)
            log.append({std::chrono::milliseconds(i), TrafficRecord::Direction::Sent, "x", 0});
        QCOMPARE(log.size(), std::size_t(3));
        QCOMPARE(log.oldestSerial(), quint64(2));
        QCOMPARE(log.nextSerial(), quint64(5));
        QVERIFY(!log.find(1) && log.find(2) && !log.find(5));
        QCOMPARE(log.find(4)->at, link::Nanoseconds(std::chrono::milliseconds(4)));
    }
};

LUMIVOR_TEST(TrafficTest)
#include "tst_traffic.moc"
