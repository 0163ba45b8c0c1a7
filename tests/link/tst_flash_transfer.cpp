// The flash transfer engine without a window: the whole exchange against a
// scripted controller on the port double, its time limits on a manual clock,
// its pacing, and every way it can end early.
#include "fakeserialport.h"
#include "flashcontroller.h"
#include "link/flashtransfer.h"
#include "link/linkservice.h"
#include "manualclock.h"
#include "protocol/flashimage.h"

#include <QTest>

using namespace lumivor;
using link::FlashStart;
using link::Job;
using testing::FlashController;

namespace {

// The file side in memory, failing on demand.
struct MemorySink final : link::FlashSink
{
    std::optional<QString> begin() override
    {
        begun = !beginFailure;
        return beginFailure;
    }
    std::optional<QString> store(int block, QByteArrayView text) override
    {
        if (block == failStoreAt)
            return QStringLiteral("The disk is full.");
        if (block != blocks.size())
            return QStringLiteral("Block %1 came out of order.").arg(block);
        blocks.append(text.toByteArray());
        return std::nullopt;
    }
    std::optional<QString> finish() override
    {
        finished = !finishFailure;
        return finishFailure;
    }
    void abandon() override { abandoned = true; }

    QByteArray text() const { return blocks.join(); }

    QList<QByteArray> blocks;
    bool begun = false, finished = false, abandoned = false;
    std::optional<QString> beginFailure, finishFailure;
    int failStoreAt = -1;
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

QList<QByteArray> readRequests(int blocks)
{
    QList<QByteArray> writes{QByteArray("\x29\x01")};
    for (int i = 0; i < blocks; ++i)
        writes.append(QByteArray("\x29"));
    return writes;
}

} // namespace

class FlashTransferTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readStoresEveryBlockAndAsksAfterEachOneTheLastIncluded();
    void writeSendsEveryByteAsItsOwnWriteAfterEachReadyByte();
    void aWrittenImageIsTheOneThatWasRead();
    void writeWaitsForTheFirstReadyByteBeforeAnyData();
    void writePacesItsBytesAtTheLineRate();
    void silentControllerEndsTheTransferAtItsTimeLimit_data();
    void silentControllerEndsTheTransferAtItsTimeLimit();
    void readEndsOnCharactersThatBelongToNoBlock_data();
    void readEndsOnCharactersThatBelongToNoBlock();
    void readEndsOnABlockThatIsNotFlashData();
    void fileSideFailuresEndTheRead();
    void cancelStopsAtOnceAndSendsNothingMore_data();
    void cancelStopsAtOnceAndSendsNothingMore();
    void portFailureEndsTheTransferWithItsError_data();
    void portFailureEndsTheTransferWithItsError();
    void refusedStartsSendNothingAndKeepTheLinkFree();
    void stoppedMessagesSayWhatWhereAndWhichBlock();
};

void FlashTransferTest::readStoresEveryBlockAndAsksAfterEachOneTheLastIncluded()
{
    Rig rig(9600);
    FlashController controller(rig.port);
    link::FlashRead read(rig.link);
    rig.watch(read);
    QList<int> progress;
    connect(&read, &Job::progressed, [&](int done, int total) {
        QCOMPARE(total, 2048);
        progress.append(done);
    });
    MemorySink sink;

    QVERIFY(read.start(sink).started());
    QVERIFY(rig.link.isBusy());
    QVERIFY(rig.port.writes.isEmpty()); // the request goes out from the event loop
    QVERIFY(rig.runToEnd(read, 60'000));

    QCOMPARE(rig.outcome, Job::Outcome::Finished);
    QCOMPARE(rig.ends, 1);
    QCOMPARE(rig.port.writes, readRequests(2048));
    QCOMPARE(sink.blocks.size(), 2048);
    QVERIFY(sink.text() == controller.text);
    QVERIFY(sink.finished);
    QCOMPARE(progress.size(), 2048);
    QCOMPARE(progress.front(), 1);
    QCOMPARE(progress.back(), 2048);
    QVERIFY(!rig.link.isBusy());
}

void FlashTransferTest::writeSendsEveryByteAsItsOwnWriteAfterEachReadyByte()
{
    Rig rig;
    FlashController controller(rig.port);
    controller.ready = QByteArray(">\r", 2);
    const QByteArray image = testing::sampleFlashImage(7);
    MemorySource source(image.toHex());
    link::FlashWrite write(rig.link);
    rig.watch(write);
    QByteArrayList ready;
    qint64 lastOffset = -1;
    connect(&write, &link::FlashWrite::readyReceived, [&](const QByteArray& b) { ready << b; });
    connect(&write, &link::FlashWrite::fileOffsetReached, [&](qint64 k) { lastOffset = k; });

    QVERIFY(write.start(source).started());
    QVERIFY(rig.runToEnd(write, 120'000));

    QCOMPARE(rig.outcome, Job::Outcome::Finished);
    QCOMPARE(rig.port.writes.size(), 1 + protocol::flashImageBytes);
    QCOMPARE(rig.port.writes.front(), QByteArray("\x29\x02"));
    bool everyWriteOneByte = true;
    for (qsizetype i = 1; i < rig.port.writes.size(); ++i)
        everyWriteOneByte = everyWriteOneByte && rig.port.writes.at(i).size() == 1;
    QVERIFY(everyWriteOneByte);
    QVERIFY(controller.received == image);
    // A ready byte before each block, none awaited after the last.
    QCOMPARE(ready.size(), 2048);
    QCOMPARE(ready.front(), QByteArray(">\r", 2));
    QCOMPARE(lastOffset, qint64(983'038));
    QCOMPARE(write.bytesSent(), protocol::flashImageBytes);
}

// The pairs "ff", "0a" and "a0" are in the sample's first block, so the round
// trip also checks that they go out as FF, 0A and A0.
void FlashTransferTest::aWrittenImageIsTheOneThatWasRead()
{
    Rig rig;
    const QByteArray image = testing::sampleFlashImage(3);
    FlashController controller(rig.port, image);
    link::FlashRead read(rig.link);
    MemorySink sink;
    QVERIFY(read.start(sink).started());
    QVERIFY(rig.runToEnd(read, 60'000));

    rig.port.writes.clear();
    MemorySource source(sink.text());
    link::FlashWrite write(rig.link);
    rig.watch(write);
    QVERIFY(write.start(source).started());
    QVERIFY(rig.runToEnd(write, 120'000));
    QCOMPARE(rig.outcome, Job::Outcome::Finished);
    QCOMPARE(rig.port.writes.mid(1, 3),
             (QList<QByteArray>{QByteArray("\xff"), QByteArray("\x0a"), QByteArray("\xa0")}));
    QVERIFY(controller.received == image);
}

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
        QVERIFY(!sink.finished);
    }
    QVERIFY(!rig.link.isBusy());
}

void FlashTransferTest::readEndsOnCharactersThatBelongToNoBlock_data()
{
    QTest::addColumn<bool>("afterTheRead");
    QTest::newRow("with the block") << false;
    QTest::newRow("after the block, before 29") << true;
}

void FlashTransferTest::readEndsOnCharactersThatBelongToNoBlock()
{
    QFETCH(bool, afterTheRead);
    Rig rig;
    FlashController controller(rig.port);
    link::FlashRead read(rig.link);
    rig.watch(read);
    if (afterTheRead)
        connect(&read, &Job::progressed, [&](int done) {
            if (done == 10)
                rig.port.queueInput("0");
        });
    else
        controller.surplusAtBlock = 9;
    MemorySink sink;
    QVERIFY(read.start(sink).started());
    QVERIFY(rig.runToEnd(read, 10'000));
    QCOMPARE(rig.outcome, Job::Outcome::Failed);
    QCOMPARE(rig.detail,
             QStringLiteral("The controller sent 481 characters where a block holds 480."));
    QCOMPARE(sink.blocks.size(), afterTheRead ? 10 : 9);
    QCOMPARE(rig.port.writes, readRequests(9)); // no 29 after the faulty block
    QVERIFY(sink.abandoned);
}

void FlashTransferTest::readEndsOnABlockThatIsNotFlashData()
{
    Rig rig;
    FlashController controller(rig.port);
    controller.text[protocol::blockOffset(4) + 17] = 'G';
    link::FlashRead read(rig.link);
    rig.watch(read);
    MemorySink sink;
    QVERIFY(read.start(sink).started());
    QVERIFY(rig.runToEnd(read, 10'000));
    QCOMPARE(rig.outcome, Job::Outcome::Failed);
    QVERIFY2(rig.detail.startsWith(QStringLiteral("The controller sent a block that is not flash "
                                                  "data: at offset 17 the block holds \"G\"")),
             qPrintable(rig.detail));
    QCOMPARE(sink.blocks.size(), 4);
}

void FlashTransferTest::fileSideFailuresEndTheRead()
{
    {
        Rig rig;
        FlashController controller(rig.port);
        link::FlashRead read(rig.link);
        MemorySink sink;
        sink.beginFailure = QStringLiteral("/x/a.fls.part cannot be created (No such directory).");
        const FlashStart started = read.start(sink);
        QCOMPARE(started.status, FlashStart::Status::FileRefused);
        QCOMPARE(started.reason, *sink.beginFailure);
        rig.clock.advance(100);
        QVERIFY(rig.port.writes.isEmpty());
        QVERIFY(!rig.link.isBusy());
    }
    {
        Rig rig;
        FlashController controller(rig.port);
        link::FlashRead read(rig.link);
        rig.watch(read);
        MemorySink sink;
        sink.failStoreAt = 100;
        QVERIFY(read.start(sink).started());
        QVERIFY(rig.runToEnd(read, 10'000));
        QCOMPARE(rig.outcome, Job::Outcome::Failed);
        QCOMPARE(rig.detail, QStringLiteral("The disk is full."));
        QCOMPARE(read.blocksDone(), 100);
        QCOMPARE(rig.port.writes.size(), 101);
    }
    {
        Rig rig;
        FlashController controller(rig.port);
        link::FlashRead read(rig.link);
        rig.watch(read);
        MemorySink sink;
        sink.finishFailure = QStringLiteral("/x/a.fls.part could not replace /x/a.fls.");
        QVERIFY(read.start(sink).started());
        QVERIFY(rig.runToEnd(read, 60'000));
        QCOMPARE(rig.outcome, Job::Outcome::Failed);
        QCOMPARE(rig.detail, *sink.finishFailure);
        QCOMPARE(rig.port.writes, readRequests(2048));
    }
}

void FlashTransferTest::cancelStopsAtOnceAndSendsNothingMore_data()
{
    QTest::addColumn<bool>("reading");
    QTest::newRow("read") << true;
    QTest::newRow("write, within a block") << false;
}

void FlashTransferTest::cancelStopsAtOnceAndSendsNothingMore()
{
    QFETCH(bool, reading);
    Rig rig(9600);
    FlashController controller(rig.port);
    MemorySink sink;
    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashRead read(rig.link);
    link::FlashWrite write(rig.link);
    Job& job = reading ? static_cast<Job&>(read) : static_cast<Job&>(write);
    rig.watch(job);
    QVERIFY(reading ? read.start(sink).started() : write.start(source).started());
    QVERIFY(rig.clock.advanceUntil([&] { return rig.port.writes.size() > 300; }, 60'000));

    job.cancel();
    const qsizetype written = rig.port.writes.size();
    rig.clock.advance(10'000);
    QCOMPARE(rig.port.writes.size(), written);
    QCOMPARE(rig.outcome, Job::Outcome::Cancelled);
    QCOMPARE(rig.detail, QString());
    QCOMPARE(rig.ends, 1);
    QVERIFY(!rig.link.isBusy());
    if (reading) {
        QVERIFY(sink.abandoned);
        QCOMPARE(sink.blocks.size(), read.blocksDone());
    } else {
        QVERIFY(write.bytesSent() % 240 != 0);
    }
}

void FlashTransferTest::portFailureEndsTheTransferWithItsError_data()
{
    QTest::addColumn<bool>("reading");
    QTest::addColumn<bool>("whileIdle"); // the port hangs up between two steps
    QTest::newRow("read: a poll fails") << true << false;
    QTest::newRow("read: hang-up between steps") << true << true;
    QTest::newRow("write: a byte fails") << false << false;
    QTest::newRow("write: hang-up between steps") << false << true;
}

void FlashTransferTest::portFailureEndsTheTransferWithItsError()
{
    QFETCH(bool, reading);
    QFETCH(bool, whileIdle);
    Rig rig;
    FlashController controller(rig.port);
    MemorySink sink;
    MemorySource source(testing::sampleFlashImage().toHex());
    link::FlashRead read(rig.link);
    link::FlashWrite write(rig.link);
    Job& job = reading ? static_cast<Job&>(read) : static_cast<Job&>(write);
    rig.watch(job);
    bool operationReports = false;
    int drops = 0;
    connect(&rig.link, &link::LinkService::dropped, [&](const link::SerialPortError&, bool r) {
        ++drops;
        operationReports = r;
    });
    QVERIFY(reading ? read.start(sink).started() : write.start(source).started());
    QVERIFY(rig.clock.advanceUntil([&] { return rig.port.writes.size() > 40; }, 60'000));

    const link::SerialPortError error(link::PortErrorCode::ReadFailed,
                                      QStringLiteral("Error reading comm device"));
    if (whileIdle) {
        rig.port.hangUp(error);
    } else {
        rig.port.failReads(error);
        rig.port.failWrites(error);
    }
    QVERIFY(rig.runToEnd(job, 5000));
    QCOMPARE(rig.outcome, Job::Outcome::Failed);
    QCOMPARE(rig.detail,
             QStringLiteral("The port failed (error 8020: Error reading comm device)."));
    QCOMPARE(rig.ends, 1);
    QCOMPARE(drops, 1);
    QVERIFY(operationReports); // the transfer tells the operator, not the link
    QVERIFY(!rig.port.portOpen());
}

void FlashTransferTest::refusedStartsSendNothingAndKeepTheLinkFree()
{
    Rig rig;
    MemorySink sink;
    link::FlashRead read(rig.link);
    link::FlashWrite write(rig.link);

    // An image that would not load completely: refused with the codec's
    // reason and offset, before the link is even taken.
    QByteArray text = testing::sampleFlashImage().toHex();
    text[5000] = '\n';
    MemorySource bad(text);
    const FlashStart refused = write.start(bad);
    QCOMPARE(refused.status, FlashStart::Status::FileRefused);
    QVERIFY2(
        refused.reason.startsWith(QStringLiteral("At offset 5000 the file holds a line break")),
        qPrintable(refused.reason));
    MemorySource shortFile(text.left(1000));
    QCOMPARE(write.start(shortFile).status, FlashStart::Status::FileRefused);

    // The link held by another operation, then the port closed.
    link::FlashRead other(rig.link);
    MemorySink otherSink;
    QVERIFY(other.start(otherSink).started());
    MemorySource good(testing::sampleFlashImage().toHex());
    QCOMPARE(write.start(good).status, FlashStart::Status::LinkRefused);
    QCOMPARE(read.start(sink).status, FlashStart::Status::LinkRefused);
    QVERIFY(!sink.begun); // no part file for a read that cannot start
    other.cancel();
    rig.port.writes.clear();
    rig.port.setPortOpen(false);
    QCOMPARE(read.start(sink).status, FlashStart::Status::LinkRefused);
    QCOMPARE(write.start(good).status, FlashStart::Status::LinkRefused);
    rig.clock.advance(100);
    QVERIFY(rig.port.writes.isEmpty());
}

void FlashTransferTest::stoppedMessagesSayWhatWhereAndWhichBlock()
{
    QCOMPARE(link::flashReadStoppedText(
                 Job::Outcome::TimedOut, QStringLiteral("The controller sent nothing for 3.0 s."),
                 36, QStringLiteral("/h/u/b.fls.part"), QStringLiteral("/h/u/b.fls"), true),
             QStringLiteral("The flash memory transfer stopped at block 37 of 2048: the "
                            "controller sent nothing for 3.0 s.\nThe 36 blocks received so far "
                            "are in /h/u/b.fls.part; /h/u/b.fls was not changed."));
    QCOMPARE(link::flashReadStoppedText(Job::Outcome::Cancelled, QString(), 0,
                                        QStringLiteral("/n.fls.part"), QStringLiteral("/n.fls"),
                                        false),
             QStringLiteral("The flash memory transfer stopped at block 1 of 2048: you cancelled "
                            "it.\nNothing was received; /n.fls.part is empty; /n.fls was not "
                            "created."));
    const QString write = link::flashWriteStoppedText(
        Job::Outcome::Failed, QStringLiteral("The port failed (error 8021: gone)."), 2047,
        2047 * 240 + 5, QStringLiteral("/b.fls"));
    QVERIFY2(write.startsWith(QStringLiteral("The flash memory transfer stopped at block 2048 of "
                                             "2048: the port failed (error 8021: gone).\n")),
             qPrintable(write));
    QVERIFY2(write.contains(QLocale().toString(2047 * 240 + 5)), qPrintable(write));
    QCOMPARE(link::flashFileRefusedText(QStringLiteral("/b.fls"),
                                        QStringLiteral("At offset 3 the file holds a blank.")),
             QStringLiteral("/b.fls cannot be loaded into the controller: at offset 3 the file "
                            "holds a blank.\nNothing was sent."));
}

QTEST_GUILESS_MAIN(FlashTransferTest)
#include "tst_flash_transfer.moc"
