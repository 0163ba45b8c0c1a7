// One port's session of lumivor-cli in this process, on a pseudo-terminal
// where the test plays the controller and a manual clock: what the exit
// status says, and the last command's way out before the port closes.
#include "cli/portsession.h"
#include "link/comports.h"
#include "manualclock.h"
#include "protocol/flashimage.h"
#include "pty.h"
#include "testsuite.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <termios.h>

using namespace lumivor;
using cli::ExitCode;

namespace {

// lumivor-cli with these arguments on the terminal, found by the detection.
struct SessionRig
{
    explicit SessionRig(QStringList arguments, const QByteArray& detectionReply = "64")
    {
        const cli::ParseOutcome parsed =
            cli::parseRequest(arguments << QStringLiteral("-p") << controller.slavePath());
        if (!parsed.request)
            return;
        session = std::make_unique<cli::PortSession>(*parsed.request, parsed.request->ports.first(),
                                                     ports, clock);
        session->start();
        if (controller.read(2, 3000) != QByteArray("ID") || !controller.write(detectionReply))
            return;
        // On its way to the console's side without the event loop, so the
        // console finds it where the clock says it looks.
        for (int ms = 0; ms < 3000 && controller.waitingAtSlave() < detectionReply.size(); ++ms)
            QThread::msleep(1);
        detected = true;
    }
    // The first `count` bytes the console sends after the detection, while
    // the clock runs.
    QByteArray heard(int count)
    {
        QByteArray bytes;
        clock.advanceUntil(
            [&] {
                QCoreApplication::processEvents();
                bytes += controller.readAvailable();
                return bytes.size() >= count;
            },
            1000);
        return bytes;
    }
    // The rate the line runs at now.
    speed_t lineSpeed() const
    {
        QFile device(controller.slavePath());
        termios line{};
        if (!device.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ||
            ::tcgetattr(device.handle(), &line) != 0)
            return 0;
        return ::cfgetospeed(&line);
    }

    testing::PseudoTerminal controller;
    QTemporaryDir noLinks;
    link::ComPortTable ports = link::ComPortTable::probe(noLinks.path(), {});
    testing::ManualClock clock;
    std::unique_ptr<cli::PortSession> session;
    bool detected = false;
};

} // namespace

class CliSessionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Closing the port sets its old rate again at once: a command the controller
    // takes after that would be garbage to it. So once the session is done, the
    // line still runs at the command's rate until the controller has had time.
    void theLastCommandIsTakenAtItsRateBeforeThePortCloses()
    {
        SessionRig rig({"send", "10", "2A", "--rate", "57600"});
        QVERIFY(rig.detected);
        QVERIFY(rig.clock.advanceUntil([&] { return rig.session->isDone(); }, 2000));
        QCOMPARE(rig.controller.read(2, 3000), QByteArray("\x10\x2a"));
        QCOMPARE(rig.lineSpeed(), speed_t(B57600));
        QCOMPARE(rig.session->result().code, ExitCode::Success);
        QSignalSpy finished(rig.session.get(), &cli::PortSession::finished);
        QVERIFY(rig.clock.advanceUntil([&] { return !finished.isEmpty(); }, 1000));
        QVERIFY(rig.lineSpeed() != speed_t(B57600)); // closed: the old rate is back
    }

    // 29 01 goes out and nothing comes back: the wait's limit ends the backup
    // with the time-out status, not as a port error.
    void aControllerSilentInATransferIsATimeOut()
    {
        QTemporaryDir dir;
        SessionRig rig({"flash-save", dir.filePath(QStringLiteral("backup.fls"))});
        QVERIFY(rig.detected);
        QVERIFY(rig.clock.advanceUntil([&] { return rig.session->isDone(); }, 5000));
        QCOMPARE(rig.controller.read(2, 3000), QByteArray("\x29\x01"));
        QCOMPARE(rig.session->result().code, ExitCode::TimedOut);
        QVERIFY2(rig.session->result().summary.contains(QStringLiteral("sent nothing for 3.5 s")),
                 qPrintable(rig.session->result().summary));
    }

    void identifyReportsOnlyWhatTheReplyCarries_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("summary");
        QTest::newRow("settings after '!'") << QByteArray("64,12!") << "\"64,12!\", contrast 12";
        QTest::newRow("no '!': no settings") << QByteArray("64,12") << "\"64,12\"";
        QTest::newRow("a NUL and a tab shown, not cut") << QByteArray("6\0"
                                                                      "4\t!",
                                                                      5)
                                                        << "\"6\\x004\\x09!\"";
    }

    // A reply without "!" carries no contrast; what the controller sent is shown
    // whole, its control bytes escaped.
    void identifyReportsOnlyWhatTheReplyCarries()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, summary);
        SessionRig rig({"identify"}, reply);
        QVERIFY(rig.detected);
        QVERIFY(rig.clock.advanceUntil([&] { return rig.session->isDone(); }, 2000));
        QCOMPARE(rig.session->result().code, ExitCode::Success);
        QCOMPARE(rig.session->result().summary, QStringLiteral("controller found: ") + summary);
    }

    // Once 0F nn has gone out the controller runs at the new rate, cancelled or
    // not: the result says so, and how to reach it.
    void aCancelledRateChangeSaysWhereTheControllerIs()
    {
        for (const bool sent : {false, true}) {
            SessionRig rig({"baud", "115200"});
            QVERIFY(rig.detected);
            if (sent)
                QCOMPARE(rig.heard(2).at(0), '\x0f');
            rig.session->cancel();
            QVERIFY(rig.clock.advanceUntil([&] { return rig.session->isDone(); }, 3000));
            QCOMPARE(rig.session->result().code, ExitCode::Cancelled);
            const QString summary = rig.session->result().summary;
            QVERIFY2(summary.contains(sent ? "now runs at 115200 baud; reach it with --rate 115200"
                                           : "nothing was sent") &&
                         !summary.contains("cancelled"),
                     qPrintable(summary));
        }
    }

    // A controller inside its flash write takes every byte as data until 2 s pass
    // without one: a cancelled write ends only once that time has passed, so the
    // next command is not written into the flash.
    void aCancelledFlashWriteWaitsTheControllerOut()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("image.fls"));
        QFile file(path);
        const QByteArray text =
            protocol::encodeFlashImage(QByteArray(protocol::flashImageBytes, '\0')).bytes();
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        SessionRig rig({"flash-load", path, "--yes"});
        QVERIFY(rig.detected);
        QCOMPARE(rig.heard(2).size(), 2); // the write has begun
        rig.session->cancel();
        rig.clock.advance(2000);
        QVERIFY(!rig.session->isDone());
        QVERIFY(rig.clock.advanceUntil([&] { return rig.session->isDone(); }, 1000));
        QCOMPARE(rig.session->result().code, ExitCode::Cancelled);
    }
};

LUMIVOR_TEST(CliSessionTest)
#include "tst_cli_session.moc"
