// Connecting: the detection and its time-out, the error paths, the response
// poll and its settle step, Get ID and the baud-rate change, on the port
// double and the manual clock.
#include "link/baudratechange.h"
#include "link/controllerid.h"
#include "linkrig.h"
#include "testsuite.h"

#include <QSignalSpy>
#include <QTest>

using namespace lumivor;
using link::Dialogs;
using link::LinkState;
using link::PortErrorCode;
using link::SerialPortError;
using testing::LinkRig;

namespace {
const QByteArray identificationQuery("\x49\x44", 2);
const QByteArray idQuery("\x28\x00", 2);
} // namespace

class ConnectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void detectionReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("contrast"); // -1: none taken over
        QTest::addColumn<bool>("polls");   // the response poll runs 500 ms later
        QTest::newRow("settings with contrast 40")
            << QByteArray("KESTRIN 240x64,40!v1.0") << 40 << true;
        QTest::newRow("no comma: the whole reply is the contrast")
            << QByteArray("77!") << 77 << true;
        QTest::newRow("contrast 255, a comma in the rest")
            << QByteArray("240x64,255!a,b") << 255 << true;
        QTest::newRow("contrast above 255 is skipped") << QByteArray("240x64,300!") << -1 << true;
        QTest::newRow("an answer without settings") << QByteArray("KESTRIN 240x64") << -1 << false;
        QTest::newRow("the first chunk holds only a 6") << QByteArray("6") << -1 << false;
    }

    // The query goes out at the chosen rate; the reply is read every 50 ms.
    void detectionReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, contrast);
        QFETCH(bool, polls);
        LinkRig rig;
        rig.view.rateIndex = 7;
        rig.answer("ID", reply);
        rig.connection.toggle();
        QCOMPARE(rig.port.writes, QList<QByteArray>{identificationQuery});
        rig.clock.advance(49);
        QCOMPARE(rig.link.state(), LinkState::Detecting);
        rig.clock.advance(1);
        QCOMPARE(rig.link.state(), LinkState::Connected);
        QCOMPARE(rig.view.status, QStringLiteral("Connected: COM1 57600,N,8,1"));
        QCOMPARE(rig.port.settings(), QStringLiteral("57600,N,8,1"));
        QCOMPARE(rig.view.contrast.value_or(-1), contrast);
        QCOMPARE(rig.view.response, polls ? QString() : QString::fromLatin1(reply));
        QCOMPARE(rig.connection.baudChangePrompt().isEmpty(), !polls);
        rig.clock.advance(499);
        QVERIFY(!rig.polling());
        rig.clock.advance(1);
        QCOMPARE(rig.polling(), polls);
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    // The click returns at once; 1500 ms after the query the port is closed
    // and then the operator told, once; the box keeps what part of an answer came.
    void noAnswerTimesOutAfterExactly1500ms()
    {
        LinkRig rig;
        rig.answer("ID", "KESTR");
        bool closedWhileShown = false;
        rig.dialogs.whileShown = [&](const auto&) { closedWhileShown = !rig.port.portOpen(); };
        rig.connection.toggle();
        rig.clock.advance(1499);
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(rig.port.portOpen());
        rig.clock.advance(1);
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages.first().text, QStringLiteral("Controller not found"));
        QVERIFY(closedWhileShown);
        QCOMPARE(rig.link.state(), LinkState::Disconnected);
        QVERIFY(rig.view.choiceEnabled);
        QCOMPARE(rig.view.response, QStringLiteral("KESTR"));
        QVERIFY(!rig.anyTimerOfTheLink());
        rig.clock.advance(5000);
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.port.writes, QList<QByteArray>{identificationQuery});
    }

    // A port in use, or none chosen: the error with its number, nothing written.
    void aPortThatCannotBeOpenedTakesTheErrorPath()
    {
        for (const bool chosen : {true, false}) {
            LinkRig rig;
            if (!chosen)
                rig.view.portNumber.reset();
            rig.port.failNextOpen(SerialPortError(PortErrorCode::HardwareUnavailable,
                                                  QStringLiteral("Device or resource busy")));
            rig.connection.toggle();
            rig.clock.advance(2000);
            QCOMPARE(rig.dialogs.messages.size(), 1);
            QCOMPARE(rig.dialogs.messages.first().text,
                     chosen ? QStringLiteral("Can't open the selected COM Port.\nError code: 8010\n"
                                             "Description: Device or resource busy")
                            : QStringLiteral("Can't open the selected COM Port.\nError code: 8002\n"
                                             "Description: No COM port is selected."));
            QVERIFY(rig.view.choiceEnabled);
            QVERIFY(!rig.port.portOpen());
            QVERIFY(rig.port.writes.isEmpty());
        }
    }

    // The adapter pulled during the detection or while connected, found by the
    // port itself, by a read or by a write: one "connection lost" message, no
    // "Controller not found" after it, no timer left running, later sends silent.
    void aPortFailingWhileConnectedIsToldOnce_data()
    {
        QTest::addColumn<bool>("detecting");
        QTest::addColumn<QString>("how");
        QTest::newRow("hang-up during the detection") << true << QStringLiteral("hang-up");
        QTest::newRow("read fails during the detection") << true << QStringLiteral("read");
        QTest::newRow("hang-up while polling") << false << QStringLiteral("hang-up");
        QTest::newRow("the poll's read fails") << false << QStringLiteral("read");
        QTest::newRow("an operator's command fails") << false << QStringLiteral("write");
    }

    void aPortFailingWhileConnectedIsToldOnce()
    {
        QFETCH(bool, detecting);
        QFETCH(QString, how);
        LinkRig rig;
        rig.view.controllerId = QStringLiteral("KT24064");
        if (detecting) {
            rig.connection.toggle();
            rig.clock.advance(100);
        } else {
            rig.connectWithPoll();
        }
        const SerialPortError failure(PortErrorCode::WriteFailed, QStringLiteral("gone"));
        if (how == QStringLiteral("hang-up")) {
            rig.port.hangUp(failure);
        } else if (how == QStringLiteral("read")) {
            rig.port.failReads(failure);
        } else {
            rig.port.failWrites(failure);
            QVERIFY(!rig.link.send(QByteArray("\x10\x32", 2)));
        }
        rig.clock.advance(3000);
        QVERIFY(!rig.link.send(QByteArray("\x10\x3c", 2)));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages.first().text,
                 QStringLiteral("The connection to the selected COM Port was lost.\n"
                                "Error code: 8021\nDescription: gone"));
        QVERIFY(!rig.port.portOpen());
        QCOMPARE(rig.link.state(), LinkState::Disconnected);
        QCOMPARE(rig.view.controllerId, QStringLiteral("N/A"));
        QVERIFY(rig.view.choiceEnabled);
        QVERIFY(!rig.anyTimerOfTheLink());
    }

    // Disconnect (during the settle step) and closing the window (during the
    // detection) close the port without writing and leave no timer to fire on it.
    void disconnectAndShutDownSendNothingAndStopEveryTimer()
    {
        for (const bool shutDown : {false, true}) {
            LinkRig rig;
            rig.answer("ID", "240x64,0!");
            rig.connection.toggle();
            rig.clock.advance(shutDown ? 20 : 50);
            if (shutDown) {
                rig.connection.shutDown();
            } else {
                QVERIFY(rig.timer("Timer3")->isActive());
                rig.connection.toggle();
            }
            QCOMPARE(rig.port.writes, QList<QByteArray>{identificationQuery});
            QVERIFY(!rig.port.portOpen());
            QCOMPARE(rig.link.state(), LinkState::Disconnected);
            QVERIFY(!rig.anyTimerOfTheLink());
            rig.clock.advance(2000);
            QVERIFY(rig.dialogs.messages.isEmpty());
        }
    }

    // Each 250 ms tick shows what came since the last, one character per byte;
    // what the controller still sent after its detection reply is thrown away.
    void thePollShowsEachChunkAndTheSettleStepDiscardsTheRestOfTheReply()
    {
        LinkRig rig;
        rig.connect();
        rig.port.queueInput("rest of the reply");
        rig.clock.advance(500);
        QVERIFY(rig.polling());
        rig.port.queueInput("T 10,20!");
        rig.clock.advance(249);
        QVERIFY(rig.polled.isEmpty());
        rig.clock.advance(1);
        QCOMPARE(rig.polled, QStringList{"T 10,20!"});
        rig.port.queueInput("K 3!");
        rig.port.queueInput(QByteArray("\xe9\x00!", 3));
        rig.clock.advance(2500);
        QCOMPARE(rig.polled.size(), 2);
        QCOMPARE(rig.polled.last(), QStringLiteral("K 3!") + QChar(0xe9) + QChar(0) + u'!');
    }

    void getIdReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("identifier and !") << QByteArray("KT24064!x!") << QStringList{"KT24064"};
        QTest::newRow("only !") << QByteArray("!") << QStringList{"N/A"};
        QTest::newRow("nothing within the pause") << QByteArray() << QStringList{};
        QTest::newRow("the port fails: silently") << QByteArray("fail") << QStringList{};
    }

    // 28 00, then one read 50 ms later; the identifier is the text before "!".
    void getIdReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, ids);
        LinkRig rig;
        rig.connect("KESTRIN 64");
        rig.answer(idQuery, reply);
        if (reply == "fail")
            rig.port.failWrites(
                SerialPortError(PortErrorCode::WriteFailed, QStringLiteral("stalled")));
        link::ControllerIdQuery query(rig.link);
        QStringList read;
        connect(&query, &link::ControllerIdQuery::idRead, [&](const QString& id) { read << id; });
        query.run();
        query.run(); // a second click during the pause sends nothing
        rig.clock.advance(49);
        QVERIFY(read.isEmpty());
        rig.clock.advance(1);
        QCOMPARE(read, ids);
        QCOMPARE(rig.port.writes.count(idQuery), reply == "fail" ? 0 : 1);
        QVERIFY(!rig.link.isBusy());
        QVERIFY(rig.port.portOpen() && rig.dialogs.messages.isEmpty());
    }

    // Asked while the settle step waits, and while the poll runs: the reply is
    // the query's, never shown raw by the poll nor discarded; the poll goes on.
    void thePollDoesNotTakeTheIdReply()
    {
        for (const int afterDetection : {470, 730}) {
            LinkRig rig;
            rig.connect();
            rig.clock.advance(afterDetection); // the next tick falls inside the 50 ms
            rig.answer(idQuery, "KT24064!");
            link::ControllerIdQuery query(rig.link);
            QSignalSpy read(&query, &link::ControllerIdQuery::idRead);
            query.run();
            rig.clock.advance(50);
            QCOMPARE(read.size(), 1);
            QVERIFY(rig.polled.isEmpty());
            QVERIFY(rig.polling());
        }
    }

    // 0F nn at the old rate, drained before the port closes once its line time
    // and the margin have passed; 500 ms in which nothing is sent or opened;
    // then the connect action at the new rate.
    void aConfirmedRateChangeReconnectsAtTheNewRate()
    {
        LinkRig rig;
        rig.connect("64,128!KESTRIN 240x64", true);
        link::BaudRateChange change(rig.link, rig.connection, rig.view, rig.dialogs);
        const qsizetype before = rig.port.writes.size();
        change.run(QStringLiteral("57600"));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.dialogs.messages.first().text,
                 QStringLiteral("Remove jumper #1 from J5 and click OK."));
        QCOMPARE(rig.port.writes.mid(before), QList<QByteArray>{QByteArray("\x0f\x07")});
        rig.clock.advance(22); // 2.1 ms of line time and the 20 ms margin
        QVERIFY(rig.port.portOpen() && rig.port.drains.isEmpty());
        rig.clock.advance(1);
        QCOMPARE(rig.port.drains, QList<qsizetype>{before + 1});
        QVERIFY(!rig.port.portOpen());
        QCOMPARE(rig.view.rateIndex, 7);

        rig.clock.advance(100); // the controller switches: the link is held
        rig.connection.toggle();
        link::ControllerIdQuery query(rig.link);
        query.run();
        QVERIFY(!rig.link.send("x"));
        rig.clock.advance(link::BaudRateChange::switchPauseMs - 102);
        QCOMPARE(rig.port.writes.size(), before + 1);
        QCOMPARE(rig.port.openCount, 1);
        rig.clock.advance(2);
        QCOMPARE(rig.port.settings(), QStringLiteral("57600,N,8,1"));
        QCOMPARE(rig.port.writes.last(), identificationQuery);
        rig.clock.advance(50);
        QCOMPARE(rig.link.state(), LinkState::Connected);
        QCOMPARE(rig.dialogs.messages.size(), 1);
    }

    // Cancelled, a typed text that is no rate (said after the question), or the
    // port closed (not even asked): nothing is sent and the link stays as it was.
    void noRateChangeWithoutAConfirmedRate()
    {
        for (const auto& [open, rateText, answer] :
             {std::tuple{true, "57600", Dialogs::Answer::Cancel},
              std::tuple{true, "12345", Dialogs::Answer::Ok},
              std::tuple{false, "57600", Dialogs::Answer::Ok}}) {
            LinkRig rig;
            if (open)
                rig.connectWithPoll();
            const auto writes = rig.port.writes;
            link::BaudRateChange change(rig.link, rig.connection, rig.view, rig.dialogs);
            rig.dialogs.answers = {answer};
            change.run(QString::fromLatin1(rateText));
            rig.clock.advance(2000);
            const bool noRate = answer == Dialogs::Answer::Ok && open;
            QCOMPARE(rig.dialogs.messages.size(), open ? (noRate ? 2 : 1) : 0);
            if (noRate)
                QVERIFY(rig.dialogs.messages.last().text.startsWith(
                    "12345 is not a rate the controller knows"));
            QCOMPARE(rig.port.writes, writes);
            QCOMPARE(rig.port.portOpen(), open);
            QVERIFY(!rig.link.isBusy());
        }
    }
};

LUMIVOR_TEST(ConnectionTest)
#include "tst_connection.moc"
