// lumivor-cli's command line: what is accepted, what is refused and why,
// and the pieces of its output that scripts rely on.
#include "cli/actions.h"
#include "cli/progressdisplay.h"
#include "cli/report.h"
#include "cli/request.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace lumivor::cli;

class CliRequestTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void portsAreReadInOrder();
    void hexBytes_data();
    void hexBytes();
    void textGoesOutInStringsOfAtMost44();
    void fileNamesPerPort();
    void exitStatusIsTheFirstFailure_data();
    void exitStatusIsTheFirstFailure();
    void resultsForPeopleAndScripts();
    void progressLine_data();
    void progressLine();
};

namespace {
QStringList words(const char* line)
{
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}
} // namespace

void CliRequestTest::accepted_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("rateIndex");
    QTest::newRow("ports") << "ports" << int(Command::Ports) << 2;
    QTest::newRow("identify at 57600")
        << "identify -p 1 --rate 57600" << int(Command::Identify) << 7;
    QTest::newRow("id, COM name") << "id --port COM3" << int(Command::Id) << 2;
    QTest::newRow("send") << "send 1E 00 00 00 EF 3F -p 2 --read 200" << int(Command::Send) << 2;
    QTest::newRow("text") << "text Hello --font 4 --page 7 --column 239 -p 1" << int(Command::Text)
                          << 2;
    QTest::newRow("picture") << "picture a.bmp -p 1" << int(Command::Picture) << 2;
    QTest::newRow("flash-save, several ports")
        << "flash-save b-{port}.fls -p 1,2" << int(Command::FlashSave) << 2;
    QTest::newRow("flash-load") << "flash-load b.fls -p 1 --yes" << int(Command::FlashLoad) << 2;
    QTest::newRow("screen-save 6") << "screen-save 6 -p 1" << int(Command::ScreenSave) << 2;
    QTest::newRow("screen-save 5 with --yes")
        << "screen-save 5 -p 1 --yes" << int(Command::ScreenSave) << 2;
    QTest::newRow("screen-load 255") << "screen-load 255 -p 1" << int(Command::ScreenLoad) << 2;
    QTest::newRow("baud") << "baud 115200 -p 1 -r 2400" << int(Command::Baud) << 0;
}

void CliRequestTest::accepted()
{
    QFETCH(QString, line);
    QFETCH(int, command);
    QFETCH(int, rateIndex);
    const ParseOutcome parsed = parseRequest(line.split(u' '));
    QVERIFY2(parsed.request, qPrintable(parsed.error));
    QCOMPARE(int(parsed.request->command), command);
    QCOMPARE(parsed.request->rateIndex, rateIndex);
}

void CliRequestTest::refused_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reason"); // part of the message
    QTest::newRow("nothing to do") << ""
                                   << "say what to do";
    QTest::newRow("unknown command") << "flash -p 1"
                                     << "unknown command \"flash\"";
    QTest::newRow("no port") << "identify"
                             << "--port N";
    QTest::newRow("port 17") << "identify -p 17"
                             << "COM numbers 1 to 16";
    QTest::newRow("port word") << "identify -p modem"
                               << "\"modem\"";
    QTest::newRow("a port twice") << "identify -p 1,COM1"
                                  << "COM1 is given twice";
    QTest::newRow("rate not in the table") << "identify -p 1 --rate 1200"
                                           << "--rate must be one of";
    QTest::newRow("send without bytes") << "send -p 1"
                                        << "at least one argument";
    QTest::newRow("send, odd digits") << "send 1E0 -p 1"
                                      << "hexadecimal bytes";
    QTest::newRow("send, not hex") << "send XY -p 1"
                                   << "hexadecimal bytes";
    QTest::newRow("font 5") << "text a --font 5 -p 1"
                            << "--font takes a whole number from 1 to 4";
    QTest::newRow("page 8") << "text a --page 8 -p 1"
                            << "--page";
    QTest::newRow("column 240") << "text a --column 240 -p 1"
                                << "--column";
    QTest::newRow("text the controller cannot show") << "text €5 -p 1"
                                                     << "cannot show";
    QTest::newRow("two texts") << "text a b -p 1"
                               << "text takes one argument";
    QTest::newRow("screen 0") << "screen-load 0 -p 1"
                              << "1 to 255";
    QTest::newRow("screen 256") << "screen-save 256 -p 1"
                                << "1 to 255";
    QTest::newRow("fonts screen without --yes") << "screen-save 5 -p 1"
                                                << "add --yes";
    QTest::newRow("baud 300") << "baud 300 -p 1"
                              << "the rate must be one of";
    QTest::newRow("several saves into one file") << "flash-save b.fls -p 1,2"
                                                 << "put {port} in the file name";
    QTest::newRow("unknown option") << "identify -p 1 --fast"
                                    << "Unknown option";
    QTest::newRow("ports takes nothing") << "ports 3"
                                         << "ports takes no arguments";
}

void CliRequestTest::refused()
{
    QFETCH(QString, line);
    QFETCH(QString, reason);
    const ParseOutcome parsed = parseRequest(line.split(u' ', Qt::SkipEmptyParts));
    QVERIFY(!parsed.request);
    QVERIFY2(parsed.error.contains(reason, Qt::CaseInsensitive), qPrintable(parsed.error));
}

void CliRequestTest::portsAreReadInOrder()
{
    const ParseOutcome parsed = parseRequest(words("id -p 3,1 --port /dev/ttyUSB0 -p com2"));
    QVERIFY(parsed.request);
    QStringList names;
    for (const PortTarget& port : parsed.request->ports)
        names << port.name();
    QCOMPARE(names, (QStringList{"COM3", "COM1", "/dev/ttyUSB0", "COM2"}));
}

void CliRequestTest::hexBytes_data()
{
    QTest::addColumn<QString>("tokens");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("pairs") << "1E 00 00 00 EF 3F" << QByteArray("\x1e\x00\x00\x00\xef\x3f", 6);
    QTest::newRow("run together") << "1e0000" << QByteArray("\x1e\x00\x00", 3);
    QTest::newRow("0x prefix") << "0x28 0x00" << QByteArray("\x28\x00", 2);
    QTest::newRow("odd length") << "123" << QByteArray();
    QTest::newRow("not hex") << "GG" << QByteArray();
}

void CliRequestTest::hexBytes()
{
    QFETCH(QString, tokens);
    QFETCH(QByteArray, bytes);
    const auto parsed = parseHexBytes(tokens.split(u' '));
    QCOMPARE(parsed.value_or(QByteArray()), bytes);
}

// A 45th character ends a string by itself; a 0D after it would then start a
// display-power command. So strings carry 44 characters and their 0D.
void CliRequestTest::textGoesOutInStringsOfAtMost44()
{
    Request request;
    request.text = QString(50, u'x');
    request.font = 2;
    request.page = 3;
    request.column = 200;
    const auto writes = textWrites(request);
    QCOMPARE(writes.size(), 5);
    QCOMPARE(writes.at(0).bytes, QByteArray("\x15\x02"));
    QCOMPARE(writes.at(1).bytes, QByteArray("\x06\x03"));
    QCOMPARE(writes.at(2).bytes, QByteArray("\x12\xc8"));
    QCOMPARE(writes.at(3).bytes, QByteArray("\x26") + QByteArray(44, 'x') + "\x0d");
    QCOMPARE(writes.at(4).bytes, QByteArray("\x26") + QByteArray(6, 'x') + "\x0d");
}

void CliRequestTest::fileNamesPerPort()
{
    Request request;
    request.file = QStringLiteral("backup-{port}.fls");
    QCOMPARE(request.fileFor({3, {}}), QStringLiteral("backup-COM3.fls"));
    QCOMPARE(request.fileFor({0, QStringLiteral("/dev/ttyUSB0")}),
             QStringLiteral("backup-_dev_ttyUSB0.fls"));
}

void CliRequestTest::exitStatusIsTheFirstFailure_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<int>("status");
    QTest::newRow("all fine") << QList<int>{0, 0, 0} << 0;
    QTest::newRow("one without answer") << QList<int>{0, 3, 0} << 3;
    QTest::newRow("first failure counts") << QList<int>{0, 4, 3} << 4;
    QTest::newRow("cancelled") << QList<int>{130} << 130;
}

void CliRequestTest::exitStatusIsTheFirstFailure()
{
    QFETCH(QList<int>, codes);
    QFETCH(int, status);
    QList<PortResult> results;
    for (int code : codes)
        results.append(PortResult{{1, {}}, {}, ExitCode(code), {}, {}, 0});
    QCOMPARE(int(overallExitCode(results)), status);
}

void CliRequestTest::resultsForPeopleAndScripts()
{
    const PortResult found{{3, {}},
                           QStringLiteral("/dev/pts/4"),
                           ExitCode::Success,
                           QStringLiteral("ID KT24064"),
                           QJsonObject{{QStringLiteral("id"), QStringLiteral("KT24064")}},
                           0.05};
    const PortResult silent{{4, {}}, QString(), ExitCode::NoAnswer, QStringLiteral("nothing"),
                            {},      1.5};
    QCOMPARE(resultLine(found), QStringLiteral("COM3 (/dev/pts/4): ok: ID KT24064"));
    QCOMPARE(resultLine(silent), QStringLiteral("COM4: no answer: nothing"));

    const QJsonObject document =
        resultDocument(QStringLiteral("id"), {found, silent}, ExitCode::NoAnswer).object();
    QCOMPARE(document.value(QStringLiteral("exitCode")).toInt(), 3);
    const QJsonArray ports = document.value(QStringLiteral("ports")).toArray();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0)[QStringLiteral("id")].toString(), QStringLiteral("KT24064"));
    QCOMPARE(ports.at(0)[QStringLiteral("ok")].toBool(), true);
    QCOMPARE(ports.at(1)[QStringLiteral("port")].toString(), QStringLiteral("COM4"));
    QCOMPARE(ports.at(1)[QStringLiteral("outcome")].toString(), QStringLiteral("no answer"));
}

void CliRequestTest::progressLine_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("line");
    QTest::newRow("a quarter after 10 s")
        << 512 << 2048 << qint64(122880) << 10.0 << " 25%  12288 bytes/s  30 s left";
    QTest::newRow("minutes left") << 100 << 2048 << qint64(24000) << 24.0
                                  << "  5%  1000 bytes/s  7:48 left";
    QTest::newRow("nothing yet") << 0 << 2048 << qint64(0) << 0.5 << "  0%";
    QTest::newRow("done") << 1923 << 1923 << qint64(3846) << 4.0 << "100%  962 bytes/s";
}

void CliRequestTest::progressLine()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(qint64, bytes);
    QFETCH(double, seconds);
    QFETCH(QString, line);
    QCOMPARE(ProgressDisplay::progressLine(QStringLiteral("COM1"), done, total, bytes, seconds),
             line);
}

QTEST_GUILESS_MAIN(CliRequestTest)
#include "tst_cli_request.moc"
