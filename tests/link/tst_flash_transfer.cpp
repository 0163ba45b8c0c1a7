// The flash transfer engine without a window, where a manual clock tells
// what the window cannot: each wait's exact time limit, the pacing of a
// write, and the protocol errors of a read. Whole transfers, cancels and
// port failures are tested through the window (tst_flash_panel).
#include "fakeserialport.h"
#include "flashcontroller.h"
#include "link/flashtransfer.h"
#include "link/linkservice.h"
#include "manualclock.h"
#include "protocol/flashimage.h"

#include <QTest>

using namespace lumivor;
using link::Job;
using testing::FlashController;

namespace {

struct MemorySink final : link::FlashSink
{
    std::optional<QString> begin() override { return std::nullopt; }
    std::optional<QString> store(int, QByteArrayView text) override
    {
        blocks.append(text.toByteArray());
        return std::nullopt;
    }
    std::optional<QString> finish() override { return std::nullopt; }
    void abandon() override { abandoned = true; }

    QList<QByteArray> blocks;
    bool abandoned = false;
};

struct MemorySource final : link::FlashSource
{
    explicit MemorySource(QByteArray text) : text(std::move(text)) {}
    protocol::FlashConversion load() override { return protocol::decodeFlashFile(text); }
    QByteArray text;
};

// A link on the port double at a rate, open, and a job's end recorded.
struct Rig
{
    explicit Rig(int rate = 115200)
    {
        port.setSettings(QStringLiteral("%1,N,8,1").arg(rate));
        port.setPortOpen(true);
    }

    void watch(Job& job)
    {
        QObject::connect(&job, &Job::ended, &job, [this](Job::Outcome outcome, const QString& d) {
            ++ends;
            this->outcome = outcome;
            detail = d;
        });
    }
    // Steps the clock in 1 ms until the job has ended (or the limit passed).
    bool runToEnd(const Job& job, int limitMs)
    {
        return clock.advanceUntil([&] { return !job.isRunning(); }, limitMs);
    }

    testing::ManualClock clock;
    testing::FakeSerialPort port;
    link::LinkService link{port, clock};
    int ends = 0;
    Job::Outcome outcome = Job::Outcome::Finished;
    QString detail;
};

} // namespace

class FlashTransferTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void writeWaitsForTheFirstReadyByteBeforeAnyData();
    void writePacesItsBytesAtTheLineRate();
    void silentControllerEndsTheTransferAtItsTimeLimit_data();
    void silentControllerEndsTheTransferAtItsTimeLimit();
    void charactersAfterABlockAndBefore29EndTheRead();
    void aWaitEndsAsSoonAsThePortTellsOfArrivals();
};

void FlashTransferTest::writeWaitsForTheFirstReadyByteBeforeAnyData()
{
    Rig rig;
    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashWrite write(rig.link);
    QVERIFY(write.start(source).started());
    rig.clock.advance(2000);
    QCOMPARE(rig.port.writes, (QList<QByteArray>{QByteArray("\x29\x02")}));
    rig.port.queueInput(">");
    rig.clock.advance(2);
    QVERIFY(rig.port.writes.size() > 1);
    QCOMPARE(rig.port.writes.at(1), QByteArray("\xff"));
    write.cancel();
}

// Byte i of a block goes out no earlier than the line has carried the i
// bytes before it (less the pacing lead), so the transmit buffer never
// holds more than the lead's worth; the block takes its line time.
void FlashTransferTest::writePacesItsBytesAtTheLineRate()
{
    Rig rig(9600);
    FlashController controller(rig.port);
    QList<link::Nanoseconds> writtenAt;
    rig.port.onOutput = [&](const QByteArray& bytes) {
        writtenAt.append(rig.clock.now());
        controller.heard(bytes);
    };
    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashWrite write(rig.link);
    QVERIFY(write.start(source).started());
    QVERIFY(rig.clock.advanceUntil([&] { return write.blocksDone() == 2; }, 5000));
    write.cancel();

    for (int block = 0; block < 2; ++block) {
        const int first = 1 + block * 240;
        const link::Nanoseconds start = writtenAt.at(first);
        for (int i = 0; i < 240; ++i) {
            const link::Nanoseconds due = start + link::lineTime(i, 9600);
            QVERIFY2(writtenAt.at(first + i) >= due - link::flashPacingLead,
                     qPrintable(QStringLiteral("block %1 byte %2").arg(block).arg(i)));
            QVERIFY2(writtenAt.at(first + i) <= due + link::flashPacingLead,
                     qPrintable(QStringLiteral("block %1 byte %2").arg(block).arg(i)));
        }
    }
}

void FlashTransferTest::silentControllerEndsTheTransferAtItsTimeLimit_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("silentAt");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<int>("awaitedBytes"); // sent before the wait and awaited in it
    QTest::addColumn<QString>("detail");
    QTest::newRow("first block at 9600")
        << true << 9600 << 0 << false << 2 + 480 << "The controller sent nothing for 3.5 s.";
    QTest::newRow("block 37 at 115200")
        << true << 115200 << 36 << false << 1 + 480 << "The controller sent nothing for 3.0 s.";
    QTest::newRow("half a block at 9600")
        << true << 9600 << 5 << true << 1 + 480
        << "The controller sent only 200 of the 480 characters of the block within 3.5 s.";
    QTest::newRow("first ready byte at 9600") << false << 9600 << 0 << false << 2 + 1
                                              << "The controller sent no ready byte within 3.0 s.";
    QTest::newRow("ready byte after block 3 at 9600")
        << false << 9600 << 3 << false << 240 + 1
        << "The controller sent no ready byte within 3.3 s.";
}

// Each wait is allowed the line time of what was sent just before it and of
// what it awaits, plus the fixed margin, counted from the first byte sent.
void FlashTransferTest::silentControllerEndsTheTransferAtItsTimeLimit()
{
    QFETCH(bool, reading);
    QFETCH(int, rate);
    QFETCH(int, silentAt);
    QFETCH(bool, partial);
    QFETCH(int, awaitedBytes);
    QFETCH(QString, detail);
    Rig rig(rate);
    FlashController controller(rig.port);
    (partial ? controller.partialAtBlock : controller.silentAtBlock) = silentAt;
    QList<link::Nanoseconds> writtenAt;
    rig.port.onOutput = [&](const QByteArray& bytes) {
        writtenAt.append(rig.clock.now());
        controller.heard(bytes);
    };
    MemorySink sink;
    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashRead read(rig.link);
    link::FlashWrite write(rig.link);
    Job& job = reading ? static_cast<Job&>(read) : static_cast<Job&>(write);
    rig.watch(job);
    QVERIFY(reading ? read.start(sink).started() : write.start(source).started());
    QVERIFY(rig.runToEnd(job, 60'000));

    const link::Nanoseconds waitStart =
        reading || silentAt == 0 ? writtenAt.back() : writtenAt.at(1 + (silentAt - 1) * 240);
    const link::Nanoseconds limit = link::lineTime(awaitedBytes, rate) + link::flashWaitMargin;
    const link::Nanoseconds late = rig.clock.now() - (waitStart + limit);
    QVERIFY2(late >= link::Nanoseconds(0) && late <= std::chrono::milliseconds(1),
             qPrintable(QString::number(late.count())));
    QCOMPARE(rig.outcome, Job::Outcome::TimedOut);
    QCOMPARE(rig.detail, detail);
    QCOMPARE(rig.ends, 1);
    QCOMPARE(reading ? read.blocksDone() : write.blocksDone(), silentAt);
    if (reading) {
        QCOMPARE(sink.blocks.size(), silentAt);
        QVERIFY(sink.abandoned);
    }
    QVERIFY(!rig.link.isBusy());
}

// A character that arrives after block 10 was taken and before its 29 goes
// out belongs to no block: no 29 follows, block 10 stays the last stored.
void FlashTransferTest::charactersAfterABlockAndBefore29EndTheRead()
{
    Rig rig;
    FlashController controller(rig.port);
    link::FlashRead read(rig.link);
    rig.watch(read);
    connect(&read, &Job::progressed, [&](int done) {
        if (done == 10)
            rig.port.queueInput("0");
    });
    MemorySink sink;
    QVERIFY(read.start(sink).started());
    QVERIFY(rig.runToEnd(read, 10'000));
    QCOMPARE(rig.outcome, Job::Outcome::Failed);
    QCOMPARE(rig.detail,
             QStringLiteral("The controller sent 481 characters where a block holds 480."));
    QCOMPARE(sink.blocks.size(), 10);
    QCOMPARE(rig.port.writes.size(), 10); // 29 01 and nine 29
    QVERIFY(sink.abandoned);
}

// A port that tells of arrivals spares each wait its tick: the block and the
// ready byte are taken with the clock standing still.
void FlashTransferTest::aWaitEndsAsSoonAsThePortTellsOfArrivals()
{
    Rig rig;
    FlashController controller(rig.port);
    MemorySink sink;
    link::FlashRead read(rig.link);
    QVERIFY(read.start(sink).started());
    rig.clock.advance(0); // 29 01 goes out from the event loop
    QCOMPARE(read.blocksDone(), 0);
    rig.port.announceArrival();
    QTRY_COMPARE(read.blocksDone(), 1);
    QCOMPARE(rig.port.writes.last(), QByteArray("\x29"));
    read.cancel();

    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashWrite write(rig.link);
    QVERIFY(write.start(source).started());
    rig.clock.advance(0); // 29 02 out, the ready byte in
    const qsizetype before = rig.port.writes.size();
    rig.port.announceArrival();
    QTRY_VERIFY(rig.port.writes.size() > before); // the block's first bytes
    write.cancel();
}

QTEST_MAIN(FlashTransferTest)
#include "tst_flash_transfer.moc"
