// lumivor-cli's command line: one refusal per failure class, the strings of
// a text, and the exit status of several ports.
#include "cli/actions.h"
#include "cli/report.h"
#include "cli/request.h"
#include "testsuite.h"

#include <QTest>

using namespace lumivor::cli;

class CliRequestTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The options of the flash image commands and of picture, as the request keeps them.
    void imageOptions_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("conversion");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QList<int>>("screens");
        QTest::addColumn<bool>("verify");
        const int exact = int(lumivor::protocol::Conversion::Exact);
        QTest::newRow("picture, threshold 0")
            << "picture p.png --threshold 0 -p 1" << int(lumivor::protocol::Conversion::Threshold)
            << 0 << QList<int>{} << false;
        QTest::newRow("picture, dithered")
            << "picture p.png --dither -p 1" << int(lumivor::protocol::Conversion::Dithered) << 128
            << QList<int>{} << false;
        QTest::newRow("ranges, each screen once, no port")
            << "flash-extract a.fls out --screens 8-10,0,9,255" << exact << 128
            << QList<int>{8, 9, 10, 0, 255} << false;
        QTest::newRow("load and verify on two ports")
            << "flash-load a.fls --verify -p 1,2" << exact << 128 << QList<int>{} << true;
    }
    void imageOptions()
    {
        QFETCH(QString, line);
        QFETCH(int, conversion);
        QFETCH(int, threshold);
        QFETCH(QList<int>, screens);
        QFETCH(bool, verify);
        const ParseOutcome parsed = parseRequest(line.split(u' '));
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        QCOMPARE(int(parsed.request->conversion), conversion);
        QCOMPARE(parsed.request->threshold, threshold);
        QCOMPARE(parsed.request->screens, screens);
        QCOMPARE(parsed.request->verify, verify);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason"); // part of the message
        QTest::newRow("nothing to do") << ""
                                       << "say what to do";
        QTest::newRow("unknown command") << "flash -p 1"
                                         << "unknown command \"flash\"";
        QTest::newRow("unknown option") << "identify -p 1 --fast"
                                        << "Unknown option";
        QTest::newRow("an argument too many") << "ports 3"
                                              << "ports takes no arguments";
        QTest::newRow("no port") << "identify"
                                 << "--port N";
        QTest::newRow("port 17") << "identify -p 17"
                                 << "COM numbers 1 to 16";
        QTest::newRow("a port twice") << "identify -p 1,COM1"
                                      << "COM1 is given twice";
        QTest::newRow("rate not in the table") << "identify -p 1 --rate 1200"
                                               << "--rate must be one of";
        QTest::newRow("font 5") << "text a --font 5 -p 1"
                                << "--font takes a whole number from 1 to 4";
        QTest::newRow("odd hexadecimal digits") << "send 1E0 -p 1"
                                                << "hexadecimal bytes";
        QTest::newRow("text the controller cannot show") << "text €5 -p 1"
                                                         << "cannot show";
        QTest::newRow("screen 256") << "screen-load 256 -p 1"
                                    << "1 to 255";
        QTest::newRow("fonts screen 5 without --yes") << "screen-save 5 -p 1"
                                                      << "add --yes";
        QTest::newRow("baud 300") << "baud 300 -p 1"
                                  << "the rate must be one of";
        QTest::newRow("two backups into one file") << "flash-save b.fls -p 1,2"
                                                   << "put {port} in the file name";
        QTest::newRow("two ports, one backup file") << "flash-save b-{port}.fls -p /dev/a -p /dev_a"
                                                    << "would both be backed up into";
        QTest::newRow("a build with nowhere to go") << "flash-build m.txt"
                                                    << "-o IMAGE";
        QTest::newRow("a diff of one file") << "flash-diff a.fls"
                                            << "takes two arguments";
        QTest::newRow("a diff on a port") << "flash-diff a.fls b.fls -p 1"
                                          << "files only";
        QTest::newRow("a range backwards") << "flash-extract a.fls d --screens 20-6"
                                           << "--screens takes";
        QTest::newRow("screen 256 to extract") << "flash-extract a.fls d --screens 250-256"
                                               << "--screens takes";
        QTest::newRow("threshold 256") << "picture p.png --threshold 256 -p 1"
                                       << "from 0 to 255";
        QTest::newRow("threshold and dither") << "picture p.png --threshold 9 --dither -p 1"
                                              << "not both";
        QTest::newRow("dither on a flash load") << "flash-load a.fls --dither -p 1"
                                                << "go with picture";
        QTest::newRow("verify on a backup") << "flash-save a.fls --verify -p 1"
                                            << "--verify goes with flash-load";
    }

    void refused()
    {
        QFETCH(QString, line);
        QFETCH(QString, reason);
        const ParseOutcome parsed = parseRequest(line.split(u' ', Qt::SkipEmptyParts));
        QVERIFY(!parsed.request);
        QVERIFY2(parsed.error.contains(reason, Qt::CaseInsensitive), qPrintable(parsed.error));
    }

    // A 45th character ends a string by itself; a 0D after it would then start a
    // display-power command. So strings carry 44 characters and their 0D.
    void textGoesOutInStringsOfAtMost44()
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

    void theExitStatusIsTheFirstFailure()
    {
        QList<PortResult> results;
        for (const ExitCode code : {ExitCode::Success, ExitCode::PortError, ExitCode::NoAnswer})
            results.append(PortResult{{1, {}}, {}, code, {}, {}, 0});
        QCOMPARE(overallExitCode(results), ExitCode::PortError);
        QCOMPARE(overallExitCode(results.mid(0, 1)), ExitCode::Success);
    }
};

LUMIVOR_TEST(CliRequestTest)
#include "tst_cli_request.moc"
