// The flash transfer jobs on the port double and the manual clock: whole
// transfers with the file side, the pacing of a write, each wait's time
// limit and the protocol errors of a read.
#include "flashcontroller.h"
#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "linkrig.h"
#include "protocol/flashimage.h"
#include "testsuite.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivor;
using link::Job;
using link::Nanoseconds;
using testing::Ends;
using testing::FlashController;
using testing::LinkRig;

namespace {

// The file side in memory: a sink that keeps each block, a source with the sample image.
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
    protocol::FlashConversion load() override
    {
        return protocol::decodeFlashFile(testing::sampleFlashImage().toHex());
    }
};

bool runToEnd(LinkRig& rig, const Job& job, int limitMs)
{
    return rig.clock.advanceUntil([&] { return !job.isRunning(); }, limitMs);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class FlashTransferTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // While block N+1 is awaited, the .part on disk holds blocks 0..N, so a
    // crash loses at most the block in hand; a longer .part left from before is
    // started afresh; the good backup is replaced only after the last block.
    void aReadHandsEachBlockToTheSystemAndReplacesTheTargetAtTheEnd()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("backup.fls"));
        QVERIFY(writeFile(target + QStringLiteral(".part"),
                          QByteArray(protocol::flashFileBytes + 480, 'z')));
        QVERIFY(writeFile(target, "an older backup"));

        LinkRig rig;
        rig.openAt(115200);
        FlashController controller(rig.port);
        link::FlashRead read(rig.link);
        const Ends ends(read);
        QStringList mismatches;
        rig.port.onOutput = [&](const QByteArray& bytes) {
            const qint64 onDisk = QFileInfo(target + QStringLiteral(".part")).size();
            if (bytes == QByteArray("\x29") && onDisk != qint64(read.blocksDone()) * 480)
                mismatches << QStringLiteral("%1 on disk after block %2")
                                  .arg(onDisk)
                                  .arg(read.blocksDone());
            if (read.blocksDone() < protocol::flashBlockCount &&
                contents(target) != "an older backup")
                mismatches << QStringLiteral("target changed at block %1").arg(read.blocksDone());
            controller.heard(bytes);
        };
        link::FlashPartFile file(target);
        QVERIFY(read.start(file).started());
        QVERIFY(runToEnd(rig, read, 60'000));

        QCOMPARE(ends.outcomes, QList<Job::Outcome>{Job::Outcome::Finished});
        QCOMPARE(mismatches.mid(0, 3), QStringList());
        QCOMPARE(rig.port.writes.size(), 1 + protocol::flashBlockCount); // 29 01, a 29 after each
        QCOMPARE(contents(target), controller.text);
        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    }

    // Byte i of a block goes out when the line has carried the i bytes before
    // it (within the pacing lead); no ready byte is awaited after the last
    // block; the job says "finished" only after draining the port.
    void aWriteIsPacedAndFinishesOnlyOnceItsLastBytesHaveLeft()
    {
        LinkRig rig;
        rig.openAt(115200);
        FlashController controller(rig.port);
        int offPace = 0;
        Nanoseconds blockStarted{0};
        rig.port.onOutput = [&](const QByteArray& bytes) {
            const int inBlock = int(controller.received.size() % protocol::flashBlockBytes);
            if (controller.writing && inBlock == 0)
                blockStarted = rig.clock.now();
            const Nanoseconds due = blockStarted + link::lineTime(inBlock, 115200);
            if (controller.writing && (rig.clock.now() < due - link::flashPacingLead ||
                                       rig.clock.now() > due + link::flashPacingLead))
                ++offPace;
            controller.heard(bytes);
        };
        link::FlashWrite write(rig.link);
        Ends ends(write);
        QList<qsizetype> drainsAtTheEnd;
        connect(&write, &Job::ended, [&] { drainsAtTheEnd = rig.port.drains; });
        MemorySource source;
        QVERIFY(write.start(source).started());
        QVERIFY(runToEnd(rig, write, 60'000));

        QCOMPARE(ends.outcomes, QList<Job::Outcome>{Job::Outcome::Finished});
        QCOMPARE(controller.received, testing::sampleFlashImage());
        QCOMPARE(offPace, 0);
        QCOMPARE(drainsAtTheEnd, QList<qsizetype>{rig.port.writes.size()});
    }

    void aSilentControllerEndsTheTransferAtItsTimeLimit_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<int>("awaitedBytes"); // sent before the wait and awaited in it
        QTest::addColumn<QString>("detail");
        QTest::newRow("the first block")
            << true << 0 << false << 2 + 480 << "The controller sent nothing for 3.5 s.";
        QTest::newRow("half of block 6")
            << true << 5 << true << 1 + 480
            << "The controller sent only 200 of the 480 characters of the block within 3.5 s.";
        QTest::newRow("the ready byte after block 3")
            << false << 3 << false << 240 + 1 << "The controller sent no ready byte within 3.3 s.";
    }

    // Each wait is allowed the line time of what was sent just before it and of
    // what it awaits, plus the 3 s margin, counted from the first byte sent.
    void aSilentControllerEndsTheTransferAtItsTimeLimit()
    {
        QFETCH(bool, reading);
        QFETCH(int, silentAt);
        QFETCH(bool, partial);
        QFETCH(int, awaitedBytes);
        QFETCH(QString, detail);
        LinkRig rig;
        rig.openAt(9600);
        FlashController controller(rig.port);
        (partial ? controller.partialAtBlock : controller.silentAtBlock) = silentAt;
        QList<Nanoseconds> writtenAt;
        rig.port.onOutput = [&](const QByteArray& bytes) {
            writtenAt.append(rig.clock.now());
            controller.heard(bytes);
        };
        MemorySink sink;
        MemorySource source;
        link::FlashRead read(rig.link);
        link::FlashWrite write(rig.link);
        Job& job = reading ? static_cast<Job&>(read) : static_cast<Job&>(write);
        const Ends ends(job);
        QVERIFY(reading ? read.start(sink).started() : write.start(source).started());
        QVERIFY(runToEnd(rig, job, 60'000));

        const Nanoseconds waitStart =
            reading ? writtenAt.back() : writtenAt.at(1 + (silentAt - 1) * 240);
        const Nanoseconds late = rig.clock.now() - (waitStart + link::lineTime(awaitedBytes, 9600) +
                                                    link::flashWaitMargin);
        QVERIFY2(late >= Nanoseconds(0) && late <= std::chrono::milliseconds(1),
                 qPrintable(QString::number(late.count())));
        QCOMPARE(ends.outcomes, QList<Job::Outcome>{Job::Outcome::TimedOut});
        QCOMPARE(ends.details, QStringList{detail});
        QCOMPARE(reading ? read.blocksDone() : write.blocksDone(), silentAt);
        QCOMPARE(sink.blocks.size(), reading ? silentAt : 0);
        QVERIFY(!rig.link.isBusy());
    }

    // A block is exactly 480 characters: one more, whether it comes with the
    // block or after it and before the next 29, belongs to no block and ends
    // the read; what was stored stays, nothing more is asked.
    void charactersBeyondABlockEndTheRead_data()
    {
        QTest::addColumn<bool>("withTheBlock");
        QTest::newRow("with block 11") << true;
        QTest::newRow("after block 10, before its 29") << false;
    }

    void charactersBeyondABlockEndTheRead()
    {
        QFETCH(bool, withTheBlock);
        LinkRig rig;
        rig.openAt(115200);
        FlashController controller(rig.port);
        link::FlashRead read(rig.link);
        const Ends ends(read);
        if (withTheBlock)
            controller.surplusAtBlock = 10;
        else
            connect(&read, &Job::progressed, [&](int done) {
                if (done == 10)
                    rig.port.queueInput("0");
            });
        MemorySink sink;
        QVERIFY(read.start(sink).started());
        QVERIFY(runToEnd(rig, read, 10'000));
        QCOMPARE(ends.outcomes, QList<Job::Outcome>{Job::Outcome::Failed});
        QCOMPARE(ends.details,
                 QStringList{"The controller sent 481 characters where a block holds 480."});
        QCOMPARE(read.trouble(), link::FlashTrouble::Protocol);
        QCOMPARE(sink.blocks.size(), 10);
        QCOMPARE(rig.port.writes.count(QByteArray("\x29")), withTheBlock ? 10 : 9);
        QVERIFY(sink.abandoned);
    }
};

LUMIVOR_TEST(FlashTransferTest)
#include "tst_flash_transfer.moc"
