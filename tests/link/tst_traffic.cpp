// The traffic log and the tap on the port seam: every write and read in
// order with its direction and time, a bounded ring, and the view that
// catches up a few times a second and saves the log.
#include "app/trafficview.h"
#include "link/linkservice.h"
#include "link/traffic.h"
#include "windowfixture.h"

#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivor;
using link::TrafficLog;
using link::TrafficRecord;
using testing::WindowFixture;

class TrafficTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theTapRecordsWritesAndReadsInOrder();
    void theRingDropsTheOldestPastItsBound();
    void aLineShowsTimeDirectionHexAndText_data();
    void aLineShowsTimeDirectionHexAndText();
    void theViewCatchesUpOnItsTickAndShowsTheNewest();
    void pauseHoldsTheViewAndClearEmptiesIt();
    void saveLogWritesEveryHeldLine();
};

void TrafficTest::theTapRecordsWritesAndReadsInOrder()
{
    WindowFixture f;
    f.window->findChild<app::TrafficView*>()->show();
    f.answerIdentification("240x64,0!");
    f.clock.advance(1000); // times count from the connect, not from start-up
    f.connectAndDetect();
    f.click("Command28"); // Beep
    const TrafficLog& traffic = f.window->trafficLog();
    QCOMPARE(traffic.size(), std::size_t(3));
    QCOMPARE(traffic.at(0).direction, TrafficRecord::Direction::Sent);
    QCOMPARE(traffic.at(0).bytes, QByteArray("ID"));
    QCOMPARE(traffic.at(0).at, link::Nanoseconds(0));
    QCOMPARE(traffic.at(1).direction, TrafficRecord::Direction::Received);
    QCOMPARE(traffic.at(1).bytes, QByteArray("240x64,0!"));
    QCOMPARE(traffic.at(1).at, link::Nanoseconds(std::chrono::milliseconds(50)));
    QCOMPARE(traffic.at(2).direction, TrafficRecord::Direction::Sent);
    QCOMPARE(traffic.at(2).bytes, QByteArray("\x23\x01"));
    QVERIFY(traffic.at(0).serial < traffic.at(1).serial);
}

void TrafficTest::theRingDropsTheOldestPastItsBound()
{
    TrafficLog log(3);
    for (char c = 'a'; c <= 'e'; ++c)
        log.append({{}, TrafficRecord::Direction::Sent, QByteArray(1, c), 0});
    QCOMPARE(log.size(), std::size_t(3));
    QCOMPARE(log.at(0).bytes, QByteArray("c"));
    QCOMPARE(log.at(2).bytes, QByteArray("e"));
    QCOMPARE(log.nextSerial(), quint64(5));
    QCOMPARE(log.oldestSerial(), quint64(2));
    QVERIFY(!log.find(1)); // gone
    QCOMPARE(log.find(2)->bytes, QByteArray("c"));
    QCOMPARE(log.find(4)->bytes, QByteArray("e"));
    QVERIFY(!log.find(5)); // yet to come
}

void TrafficTest::aLineShowsTimeDirectionHexAndText_data()
{
    QTest::addColumn<qint64>("us");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("a line command")
        << qint64(12345) << true << QByteArray("\x1e\x00\x00\x00\xef\x3f", 6)
        << "      12.345  TX  1E 00 00 00 EF 3F  |.....?|";
    QTest::newRow("a touch report") << qint64(2000000) << false << QByteArray("T:1,2!")
                                    << "    2000.000  RX  54 3A 31 2C 32 21  |T:1,2!|";
}

void TrafficTest::aLineShowsTimeDirectionHexAndText()
{
    QFETCH(qint64, us);
    QFETCH(bool, sent);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    const TrafficRecord record{
        std::chrono::microseconds(us),
        sent ? TrafficRecord::Direction::Sent : TrafficRecord::Direction::Received, bytes, 0};
    QCOMPARE(TrafficLog::line(record), line);
}

namespace {

QStringList shownLines(const WindowFixture& f)
{
    const QAbstractItemModel* model = f.find<QListView>("lstTraffic")->model();
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

} // namespace

// The list learns on each tick how many lines came; however many, it only
// ever formats what it shows, and it holds what the log holds.
void TrafficTest::theViewCatchesUpOnItsTickAndShowsTheNewest()
{
    WindowFixture f;
    f.window->show();
    f.window->findChild<app::TrafficView*>()->show();
    f.port.setPortOpen(true);
    f.click("Command28");
    QVERIFY(shownLines(f).isEmpty()); // nothing shown before the tick
    f.clock.advance(app::TrafficView::refreshMs);
    QCOMPARE(shownLines(f).size(), 1);
    QVERIFY(shownLines(f).first().endsWith(QStringLiteral("TX  23 01  |#.|")));

    const int flood = int(TrafficLog::defaultCapacity) + 500;
    for (int i = 0; i < flood; ++i)
        f.window->link().send(QByteArray(1, char(i)));
    f.clock.advance(app::TrafficView::refreshMs);
    const QStringList lines = shownLines(f);
    QCOMPARE(lines.size(), int(TrafficLog::defaultCapacity));
    QCOMPARE(f.window->trafficLog().size(), TrafficLog::defaultCapacity);
    QVERIFY(lines.last().endsWith(
        QStringLiteral("TX  %1  |.|").arg(QString::number((flood - 1) & 0xff, 16).toUpper())));
}

void TrafficTest::pauseHoldsTheViewAndClearEmptiesIt()
{
    WindowFixture f;
    f.window->show();
    f.window->findChild<app::TrafficView*>()->show();
    f.port.setPortOpen(true);
    f.click("cmdTrafficPause");
    f.click("Command28");
    f.clock.advance(500);
    QVERIFY(shownLines(f).isEmpty());
    QCOMPARE(f.window->trafficLog().size(), std::size_t(1)); // still recorded
    f.click("cmdTrafficPause");
    f.clock.advance(app::TrafficView::refreshMs);
    QCOMPARE(shownLines(f).size(), 1);
    QVERIFY(shownLines(f).first().contains(QStringLiteral("TX  23 01")));
    f.click("cmdTrafficClear");
    QVERIFY(shownLines(f).isEmpty());
    QCOMPARE(f.window->trafficLog().size(), std::size_t(0));
    f.click("Command13");
    f.clock.advance(app::TrafficView::refreshMs);
    QCOMPARE(shownLines(f).size(), 1);
    QVERIFY(shownLines(f).first().contains(QStringLiteral("TX  09 01")));
}

void TrafficTest::saveLogWritesEveryHeldLine()
{
    WindowFixture f;
    f.window->findChild<app::TrafficView*>()->show();
    f.port.setPortOpen(true);
    f.click("Command28");
    f.click("Command13");
    QTemporaryDir dir;
    const QString name = dir.path() + QStringLiteral("/traffic.txt");
    f.dialogs.fileNames = {name};
    f.click("cmdTrafficSave");
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList saved = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(saved.size(), 2);
    QVERIFY(saved.at(0).contains(QStringLiteral("TX  23 01")));
    QVERIFY(saved.at(1).contains(QStringLiteral("TX  09 01")));
    QVERIFY(f.dialogs.messages.isEmpty());

    f.dialogs.fileNames = {dir.path() + QStringLiteral("/no/such/folder/log.txt")};
    f.click("cmdTrafficSave");
    QCOMPARE(f.dialogs.messages.size(), 1);
    QVERIFY(
        f.dialogs.messages.first().text.startsWith(QStringLiteral("The log could not be saved")));
}

QTEST_MAIN(TrafficTest)
#include "tst_traffic.moc"
