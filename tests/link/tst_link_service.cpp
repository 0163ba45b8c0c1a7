// The link service: the lease and what it keeps off the port, the ends of a
// job and who reports a failure, and the paced writer's schedule.
#include "link/pacedwriter.h"
#include "linkrig.h"
#include "testsuite.h"

#include <QSignalSpy>
#include <QTest>

using namespace lumivor;
using link::Job;
using link::OnFailure;
using link::PortErrorCode;
using link::SerialPortError;
using testing::Ends;
using testing::LinkRig;

namespace {

const QByteArray beep("\x23\x01", 2);

// An operation: 100 one-byte writes, each as the line at 9600 baud has carried the last.
struct Operation : link::PacedWriter
{
    explicit Operation(link::LinkService& link)
        : PacedWriter(link, QStringLiteral("The test operation"))
    {}
    bool start() { return PacedWriter::start(QList<link::PacedWrite>(100, {"j", {}})); }
};

} // namespace

class LinkServiceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void whileAnOperationHoldsTheLinkNobodyElseGetsThrough_data();
    void whileAnOperationHoldsTheLinkNobodyElseGetsThrough();
    void theLinkIsFreeAfterEveryEnd_data();
    void theLinkIsFreeAfterEveryEnd();
    void disconnectAsksBeforeStoppingAnOperation();
    void pacedWritesKeepToTheLineAndItsPauses_data();
    void pacedWritesKeepToTheLineAndItsPauses();
};

// The operator's commands, the detection and the poll, and a second
// operation are refused as with a closed port while one operation holds the
// link, and get through once it lets go.
void LinkServiceTest::whileAnOperationHoldsTheLinkNobodyElseGetsThrough_data()
{
    QTest::addColumn<QString>("caller");
    QTest::newRow("an operator's command") << QStringLiteral("send");
    QTest::newRow("the detection's write") << QStringLiteral("write");
    QTest::newRow("the poll's read") << QStringLiteral("read");
    QTest::newRow("a second operation") << QStringLiteral("lease");
}

void LinkServiceTest::whileAnOperationHoldsTheLinkNobodyElseGetsThrough()
{
    QFETCH(QString, caller);
    LinkRig rig;
    rig.port.setPortOpen(true);
    rig.port.queueInput("T:1,2!");
    const auto attempt = [&] {
        if (caller == QStringLiteral("send"))
            return rig.link.send(beep);
        if (caller == QStringLiteral("write"))
            return rig.link.write(beep, OnFailure::DropLink).done();
        if (caller == QStringLiteral("read"))
            return rig.link.read(OnFailure::DropLink).value == QByteArray("T:1,2!");
        return rig.link.lease(QStringLiteral("another"), {}, {}) != nullptr;
    };
    auto lease = rig.link.lease(QStringLiteral("The test operation"), {}, {});
    QVERIFY(lease);
    QVERIFY(!attempt());
    QVERIFY(rig.port.writes.isEmpty());
    QCOMPARE(rig.port.inBufferCount(), 6);
    QVERIFY(rig.link.isBusy() && rig.link.isOpen());

    lease.reset();
    QVERIFY(!rig.link.isBusy());
    QVERIFY(attempt());
}

void LinkServiceTest::theLinkIsFreeAfterEveryEnd_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<Job::Outcome>("outcome");
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("finished") << QStringLiteral("finish") << Job::Outcome::Finished << true;
    QTest::newRow("cancelled") << QStringLiteral("cancel") << Job::Outcome::Cancelled << true;
    QTest::newRow("its write failed") << QStringLiteral("write") << Job::Outcome::Failed << false;
    QTest::newRow("the port hung up between steps")
        << QStringLiteral("hang-up") << Job::Outcome::Failed << false;
}

// Ended once, the link released, the poll back where the port stays open;
// a failure is the operation's to report: the link adds no message.
void LinkServiceTest::theLinkIsFreeAfterEveryEnd()
{
    QFETCH(QString, how);
    QFETCH(Job::Outcome, outcome);
    QFETCH(bool, stillOpen);
    LinkRig rig;
    rig.connectWithPoll();
    Operation job(rig.link);
    const Ends ends(job);
    QSignalSpy busy(&rig.link, &link::LinkService::busyChanged);
    QVERIFY(job.start());
    QVERIFY(!rig.polling());
    const SerialPortError failure(PortErrorCode::WriteFailed, QStringLiteral("gone"));
    if (how == QStringLiteral("cancel"))
        job.cancel();
    else if (how == QStringLiteral("write"))
        rig.port.failWrites(failure);
    else if (how == QStringLiteral("hang-up"))
        rig.port.hangUp(failure);
    rig.clock.advance(200);

    QCOMPARE(ends.outcomes, QList<Job::Outcome>{outcome});
    QVERIFY(!job.isRunning() && !rig.link.isBusy());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(rig.link.isOpen(), stillOpen);
    QCOMPARE(rig.polling(), stillOpen);
    QVERIFY(rig.dialogs.messages.isEmpty());
    rig.clock.advance(1000);
    QCOMPARE(ends.outcomes.size(), 1);
}

// Yes stops the operation and disconnects; No changes nothing.
void LinkServiceTest::disconnectAsksBeforeStoppingAnOperation()
{
    for (const bool stop : {true, false}) {
        LinkRig rig;
        rig.connectWithPoll();
        Operation job(rig.link);
        const Ends ends(job);
        QVERIFY(job.start());
        rig.clock.advance(25);
        rig.dialogs.answers = {stop ? link::Dialogs::Answer::Yes : link::Dialogs::Answer::No};
        rig.connection.toggle();
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages.first().text,
                 QStringLiteral("The test operation is still running.\nStop it and disconnect? "));
        QCOMPARE(rig.port.portOpen(), !stop);
        QCOMPARE(ends.outcomes,
                 stop ? QList<Job::Outcome>{Job::Outcome::Cancelled} : QList<Job::Outcome>{});
        const qsizetype writes = rig.port.writes.size();
        rig.clock.advance(50);
        QCOMPARE(rig.port.writes.size() > writes, !stop);
    }
}

// Each write is due when the line has carried the bytes before it plus the
// pauses after them (05 00 with 100 ms after it, 12 00 with 10 ms, then data
// bytes); the writer keeps to that within a tick and never runs ahead.
void LinkServiceTest::pacedWritesKeepToTheLineAndItsPauses_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QList<qint64>>("dueUs"); // the first four, microseconds rounded down
    QTest::newRow("9600") << 9600 << QList<qint64>{0, 102083, 114166, 116250};
    QTest::newRow("115200") << 115200 << QList<qint64>{0, 100173, 110347, 110520};
}

void LinkServiceTest::pacedWritesKeepToTheLineAndItsPauses()
{
    QFETCH(int, rate);
    QFETCH(QList<qint64>, dueUs);
    using std::chrono::milliseconds;
    QList<link::PacedWrite> writes{{QByteArray("\x05\x00", 2), milliseconds(100)},
                                   {QByteArray("\x12\x00", 2), milliseconds(10)}};
    for (int i = 0; i < 1000; ++i)
        writes.append({QByteArray("\x03") + char(i), {}});
    const auto due = link::pacedSchedule(writes, rate);
    for (qsizetype i = 0; i < dueUs.size(); ++i)
        QCOMPARE(std::chrono::duration_cast<std::chrono::microseconds>(due[size_t(i)]).count(),
                 dueUs.at(i));

    LinkRig rig;
    rig.port.setSettings(QStringLiteral("%1,N,8,1").arg(rate));
    rig.port.setPortOpen(true);
    QList<link::Nanoseconds> at;
    rig.port.onOutput = [&](const QByteArray&) { at.append(rig.clock.now()); };
    link::PacedWriter writer(rig.link, QStringLiteral("The upload"));
    const Ends ends(writer);
    QSignalSpy progressed(&writer, &Job::progressed);
    QVERIFY(writer.start(writes));
    QVERIFY(rig.clock.advanceUntil([&] { return !ends.outcomes.isEmpty(); }, 20000));

    QCOMPARE(ends.outcomes, QList<Job::Outcome>{Job::Outcome::Finished});
    QCOMPARE(at.size(), writes.size());
    for (qsizetype i = 0; i < at.size(); ++i) {
        const auto late = at.at(i) - due[size_t(i)];
        QVERIFY2(late >= link::Nanoseconds(0) && late < milliseconds(1),
                 qPrintable(QStringLiteral("write %1 off by %2 ns").arg(i).arg(late.count())));
    }
    QCOMPARE(progressed.last(), (QVariantList{int(writes.size()), int(writes.size())}));
}

LUMIVOR_TEST(LinkServiceTest)
#include "tst_link_service.moc"
