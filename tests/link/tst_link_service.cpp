// The link service: the sending rule, the exclusive lease and what it keeps
// off the port, failure policies, jobs' ends, and the paced writer's schedule.
#include "link/job.h"
#include "link/linkservice.h"
#include "link/pacedwriter.h"
#include "link/responsemonitor.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace lumivor;
using link::Job;
using link::LinkService;
using link::OnFailure;
using link::PortErrorCode;
using link::SerialPortError;
using testing::WindowFixture;

namespace {

const QByteArray beep("\x23\x01", 2);

// A job that writes one byte every 10 ms, so many times; or, told to await an
// answer, writes one byte and waits up to 100 ms for an answer that never comes.
class ScriptedJob final : public Job
{
public:
    ScriptedJob(LinkService& link, int writes, bool awaitAnswer = false)
        : Job(link, QStringLiteral("The test operation")), writes_(writes),
          awaitAnswer_(awaitAnswer)
    {
        timer_ = clock().createTimer(this);
        timer_->setInterval(std::chrono::milliseconds(10));
        connect(timer_, &link::ClockTimer::timeout, this, &ScriptedJob::step);
    }

    bool start()
    {
        if (!begin())
            return false;
        timer_->start();
        return true;
    }

    QList<std::pair<Outcome, QString>> ends;

private:
    void step()
    {
        const auto written = lease().write(QByteArray(1, 'j'), OnFailure::Report);
        if (written.failed()) {
            end(Outcome::Failed, written.error->description());
            return;
        }
        if (++done_ == writes_) {
            end(Outcome::Finished);
            return;
        }
        if (awaitAnswer_)
            awaitWithin(std::chrono::milliseconds(100)); // and the controller stays silent
        else
            timer_->start();
    }
    void stopSteps() override { timer_->stop(); }

    link::ClockTimer* timer_ = nullptr;
    int writes_ = 0;
    int done_ = 0;
    bool awaitAnswer_ = false;
};

QList<std::pair<Job::Outcome, QString>>* recordEnds(ScriptedJob& job)
{
    QObject::connect(&job, &Job::ended, &job, [&job](Job::Outcome outcome, const QString& detail) {
        job.ends.append({outcome, detail});
    });
    return &job.ends;
}

} // namespace

class LinkServiceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sendingRule_data();
    void sendingRule();
    void aLeaseKeepsEveryOtherUserOffThePort();
    void theLinkIsFreeAfterEveryEnd_data();
    void theLinkIsFreeAfterEveryEnd();
    void aPortFailingUnderAnOperationIsReportedOnceByTheOperation();
    void disconnectAsksBeforeStoppingAnOperation_data();
    void disconnectAsksBeforeStoppingAnOperation();
    void closingTheWindowAsksBeforeStoppingAnOperation_data();
    void closingTheWindowAsksBeforeStoppingAnOperation();
    void pacedSchedule_data();
    void pacedSchedule();
    void pacedWriterKeepsToTheLineTime_data();
    void pacedWriterKeepsToTheLineTime();
};

void LinkServiceTest::sendingRule_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("leased");
    QTest::addColumn<bool>("builderDeclines");
    QTest::addColumn<bool>("written");
    QTest::newRow("open and free") << true << false << false << true;
    QTest::newRow("port closed") << false << false << false << false;
    QTest::newRow("an operation holds the link") << true << true << false << false;
    QTest::newRow("a value that cannot be encoded") << true << false << true << false;
}

void LinkServiceTest::sendingRule()
{
    QFETCH(bool, open);
    QFETCH(bool, leased);
    QFETCH(bool, builderDeclines);
    QFETCH(bool, written);
    WindowFixture f;
    f.port.setPortOpen(open);
    LinkService& link = f.window->link();
    auto lease = leased ? link.lease(QStringLiteral("x"), {}, {}) : nullptr;
    bool built = false;
    const bool sent = link.send([&]() -> std::optional<QByteArray> {
        built = true;
        return builderDeclines ? std::nullopt : std::optional(beep);
    });
    QCOMPARE(sent, written);
    QCOMPARE(f.port.writes.isEmpty(), !written);
    QCOMPARE(built, open && !leased); // nothing is built unless it could go out
    QVERIFY(f.dialogs.messages.isEmpty());
}

// While an operation runs, other panels' buttons, a second operation, Get
// ID and the response poll all leave the port alone; afterwards they work
// again and the poll resumes.
void LinkServiceTest::aLeaseKeepsEveryOtherUserOffThePort()
{
    WindowFixture f;
    f.connectWithPoll();
    LinkService& link = f.window->link();
    ScriptedJob job(link, 1000);
    QVERIFY(job.start());
    QVERIFY(link.isBusy());
    QVERIFY(!f.timer("Timer2")->isActive());
    const qsizetype before = f.port.writes.size();

    f.click("Command28"); // Beep
    f.click("cmdGetID");
    ScriptedJob second(link, 1);
    QVERIFY(!second.start());
    QVERIFY(!link.lease(QStringLiteral("y"), {}, {}));
    f.port.queueInput("T:1,2!");
    f.clock.advance(300);
    QCOMPARE(f.port.writes.size(), before + 30); // only the job's own bytes
    for (qsizetype i = before; i < f.port.writes.size(); ++i)
        QCOMPARE(f.port.writes.at(i), QByteArray("j"));
    QCOMPARE(f.text("Text7"), QString()); // the poll took nothing

    job.cancel();
    QVERIFY(!link.isBusy());
    QVERIFY(f.timer("Timer2")->isActive());
    f.clock.advance(250);
    QCOMPARE(f.text("Text7"), QStringLiteral("T:1,2!"));
    f.click("Command28");
    QCOMPARE(f.port.writes.last(), beep);
}

void LinkServiceTest::theLinkIsFreeAfterEveryEnd_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<Job::Outcome>("outcome");
    QTest::addColumn<bool>("stillConnected");
    QTest::newRow("finished") << QStringLiteral("finish") << Job::Outcome::Finished << true;
    QTest::newRow("cancelled") << QStringLiteral("cancel") << Job::Outcome::Cancelled << true;
    QTest::newRow("timed out") << QStringLiteral("silence") << Job::Outcome::TimedOut << true;
    QTest::newRow("its write failed") << QStringLiteral("write") << Job::Outcome::Failed << false;
    QTest::newRow("the port hung up between steps")
        << QStringLiteral("hang-up") << Job::Outcome::Failed << false;
}

void LinkServiceTest::theLinkIsFreeAfterEveryEnd()
{
    QFETCH(QString, how);
    QFETCH(Job::Outcome, outcome);
    QFETCH(bool, stillConnected);
    WindowFixture f;
    f.connectWithPoll();
    LinkService& link = f.window->link();
    ScriptedJob job(link, 5, how == QStringLiteral("silence"));
    const auto* ends = recordEnds(job);
    QSignalSpy busy(&link, &LinkService::busyChanged);
    QVERIFY(job.start());
    const SerialPortError failure(PortErrorCode::WriteFailed, QStringLiteral("gone"));
    if (how == QStringLiteral("finish") || how == QStringLiteral("silence"))
        f.clock.advance(how == QStringLiteral("finish") ? 50 : 15);
    else if (how == QStringLiteral("cancel"))
        job.cancel();
    else if (how == QStringLiteral("write"))
        f.port.failWrites(failure);
    else
        f.port.hangUp(failure);
    f.clock.advance(200);

    QCOMPARE(ends->size(), 1);
    QCOMPARE(ends->first().first, outcome);
    QVERIFY(!job.isRunning());
    QVERIFY(!link.isBusy());
    QCOMPARE(busy.size(), 2);
    QCOMPARE(link.isOpen(), stillConnected);
    QCOMPARE(f.timer("Timer2")->isActive(), stillConnected);
    // The operation reports a failure itself: the link adds no message.
    QVERIFY(f.dialogs.messages.isEmpty());
    f.clock.advance(1000);
    QCOMPARE(ends->size(), 1);
}

void LinkServiceTest::aPortFailingUnderAnOperationIsReportedOnceByTheOperation()
{
    WindowFixture f;
    f.connectWithPoll();
    ScriptedJob job(f.window->link(), 100);
    const auto* ends = recordEnds(job);
    QVERIFY(job.start());
    f.clock.advance(25);
    f.port.hangUp(SerialPortError(PortErrorCode::ReadFailed, QStringLiteral("hung up")));
    QCOMPARE(ends->size(), 1);
    QCOMPARE(ends->first().first, Job::Outcome::Failed);
    QVERIFY(ends->first().second.contains(QStringLiteral("hung up")));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void LinkServiceTest::disconnectAsksBeforeStoppingAnOperation_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("Yes: stopped and disconnected") << true;
    QTest::newRow("No: nothing changes") << false;
}

void LinkServiceTest::disconnectAsksBeforeStoppingAnOperation()
{
    QFETCH(bool, stop);
    WindowFixture f;
    f.connectWithPoll();
    ScriptedJob job(f.window->link(), 100);
    const auto* ends = recordEnds(job);
    QVERIFY(job.start());
    f.clock.advance(25);
    f.dialogs.answers = {stop ? link::Dialogs::Answer::Yes : link::Dialogs::Answer::No};
    f.click("cmd_conecta");

    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("The test operation is still running.\nStop it and disconnect? "));
    QCOMPARE(f.dialogs.messages.first().buttons, link::Dialogs::Buttons::YesNo);
    QCOMPARE(job.isRunning(), !stop);
    QCOMPARE(f.port.portOpen(), !stop);
    QCOMPARE(f.text("cmd_conecta"),
             stop ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
    QCOMPARE(f.find<QComboBox>("cbo_mostraporta")->isEnabled(), stop);
    const qsizetype writes = f.port.writes.size();
    f.clock.advance(50);
    QCOMPARE(f.port.writes.size(), writes + (stop ? 0 : 5));
    if (stop) {
        QCOMPARE(ends->size(), 1);
        QCOMPARE(ends->first().first, Job::Outcome::Cancelled);
    }
}

void LinkServiceTest::closingTheWindowAsksBeforeStoppingAnOperation_data()
{
    disconnectAsksBeforeStoppingAnOperation_data();
}

void LinkServiceTest::closingTheWindowAsksBeforeStoppingAnOperation()
{
    QFETCH(bool, stop);
    WindowFixture f;
    f.connectWithPoll();
    f.window->show();
    ScriptedJob job(f.window->link(), 100);
    QVERIFY(job.start());
    f.dialogs.answers = {stop ? link::Dialogs::Answer::Yes : link::Dialogs::Answer::No};
    QCOMPARE(f.window->close(), stop);
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("The test operation is still running.\nStop it and exit? "));
    QCOMPARE(job.isRunning(), !stop);
    QCOMPARE(f.port.portOpen(), !stop);
}

void LinkServiceTest::pacedSchedule_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QList<qint64>>("dueUs"); // microseconds, rounded down
    // 05 00 with 100 ms after it, 12 00 with 10 ms, then two data bytes.
    QTest::newRow("2400") << 2400 << QList<qint64>{0, 108333, 126666, 135000};
    QTest::newRow("9600") << 9600 << QList<qint64>{0, 102083, 114166, 116250};
    QTest::newRow("115200") << 115200 << QList<qint64>{0, 100173, 110347, 110520};
}

void LinkServiceTest::pacedSchedule()
{
    QFETCH(int, rate);
    QFETCH(QList<qint64>, dueUs);
    using std::chrono::milliseconds;
    const QList<link::PacedWrite> writes{{QByteArray("\x05\x00", 2), milliseconds(100)},
                                         {QByteArray("\x12\x00", 2), milliseconds(10)},
                                         {QByteArray("\x03\xff"), {}},
                                         {QByteArray("\x03\x01"), {}}};
    const auto due = link::pacedSchedule(writes, rate);
    QCOMPARE(due.size(), std::size_t(4));
    for (std::size_t i = 0; i < due.size(); ++i)
        QCOMPARE(std::chrono::duration_cast<std::chrono::microseconds>(due[i]).count(),
                 dueUs.at(static_cast<qsizetype>(i)));
}

// Each write goes out at its moment, never before it and within a tick after
// it, so a screen's 1923 writes take their line time and not more.
void LinkServiceTest::pacedWriterKeepsToTheLineTime_data()
{
    QTest::addColumn<QString>("settings");
    QTest::newRow("2400") << QStringLiteral("2400,N,8,1");
    QTest::newRow("9600") << QStringLiteral("9600,N,8,1");
    QTest::newRow("115200") << QStringLiteral("115200,N,8,1");
}

void LinkServiceTest::pacedWriterKeepsToTheLineTime()
{
    QFETCH(QString, settings);
    WindowFixture f;
    f.port.setSettings(settings);
    f.port.setPortOpen(true);
    LinkService& link = f.window->link();
    QList<link::PacedWrite> writes{{QByteArray("\x05\x00", 2), std::chrono::milliseconds(100)}};
    for (int i = 0; i < 1920; ++i)
        writes.append({QByteArray("\x03") + char(i), {}});
    const auto due = link::pacedSchedule(writes, link.bitsPerSecond());
    QList<link::Nanoseconds> at;
    f.port.onOutput = [&](const QByteArray&) { at.append(f.clock.now()); };
    link::PacedWriter writer(link, QStringLiteral("The upload"));
    QSignalSpy ended(&writer, &Job::ended);
    QVERIFY(writer.start(writes));
    QVERIFY(f.clock.advanceUntil([&] { return !ended.isEmpty(); }, 20000));

    QCOMPARE(at.size(), writes.size());
    for (qsizetype i = 0; i < at.size(); ++i) {
        const auto lateness = at.at(i) - due[static_cast<std::size_t>(i)];
        QVERIFY2(lateness >= link::Nanoseconds(0) && lateness < std::chrono::milliseconds(1),
                 qPrintable(QStringLiteral("write %1 off by %2 ns").arg(i).arg(lateness.count())));
    }
    QCOMPARE(ended.first().at(0).value<Job::Outcome>(), Job::Outcome::Finished);
    QCOMPARE(f.port.writes.size(), writes.size());
    QVERIFY(!link.isBusy());
}

QTEST_MAIN(LinkServiceTest)
#include "tst_link_service.moc"
