// The lumivor-cli executable against virtual controllers (kestrin-sim,
// headless) over pseudo-terminals: each command end to end, several
// controllers at once, and the exit status when something is missing.
#include "simprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using lumivor::testing::SimProcess;

namespace {

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// Starts lumivor-cli with the port links of `sim` (if any).
void startCli(QProcess& cli, const QStringList& arguments, const SimProcess* sim)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (sim)
        environment.insert(QStringLiteral("XDG_DATA_HOME"), sim->dataHome());
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(LUMIVOR_CLI_PATH), arguments);
}

// Runs lumivor-cli with the port links of `sim` (if any) and waits for it.
CliRun runCli(const QStringList& arguments, const SimProcess* sim = nullptr, int timeoutMs = 30000)
{
    QProcess cli;
    startCli(cli, arguments, sim);
    CliRun run;
    if (!cli.waitForFinished(timeoutMs)) {
        cli.kill();
        cli.waitForFinished();
        return run;
    }
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString com(const SimProcess& sim)
{
    return QString::number(sim.comNumber());
}

} // namespace

class CliEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listsThePorts();
    void commands_data();
    void commands();
    void identifyAsJson();
    void changesTheRateAndFindsTheControllerThere();
    void threeControllersAtOnce();
    void aMissingControllerDoesNotStopTheOthers();
    void aWrongCommandLineSaysWhyAndDoesNothing();
    void sendsAPictureAndRefusesAFileThatIsNone();
    void flashRoundTripOnThreeControllersAtOnce();
    void ctrlCDuringASaveLeavesTheTargetUntouched();
    void aFlashFileThatWouldNotLoadIsRefusedBeforeAnyPortOpens();
};

void CliEndToEndTest::listsThePorts()
{
    SimProcess sim;
    QVERIFY(sim.isRunning());
    const CliRun run = runCli({QStringLiteral("ports")}, &sim);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("COM%1").arg(sim.comNumber())), qPrintable(run.out));
    QVERIFY2(run.out.contains(sim.devicePath()), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("port link")), qPrintable(run.out));
}

void CliEndToEndTest::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("result"); // part of the result line
    QTest::newRow("identify") << QStringList{"identify"}
                              << "ok: controller found: \"64,128!KESTRIN 240x64\", contrast 128";
    QTest::newRow("id") << QStringList{"id"} << "ok: ID KT24064";
    QTest::newRow("send and read the ID")
        << QStringList{"send", "28", "00", "--read", "300"} << "read 8: 4B 54 32 34 30 36 34 21";
    QTest::newRow("send a line") << QStringList{"send", "1E00", "00", "00", "EF", "3F"}
                                 << "ok: sent 6 bytes";
    QTest::newRow("text") << QStringList{"text", "Hello", "--font", "3", "--page", "2"}
                          << "ok: text written";
    QTest::newRow("screen-save") << QStringList{"screen-save", "200"}
                                 << "ok: the shown picture was stored as screen 200";
    QTest::newRow("screen-load") << QStringList{"screen-load", "7"} << "ok: screen 7 is shown";
}

void CliEndToEndTest::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    SimProcess sim;
    QVERIFY(sim.isRunning());
    const CliRun run = runCli(arguments + QStringList{QStringLiteral("--port"), com(sim)}, &sim);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(result), qPrintable(run.out + run.err));
    QVERIFY2(run.out.startsWith(QStringLiteral("COM%1 (%2): ").arg(com(sim), sim.devicePath())),
             qPrintable(run.out));
}

void CliEndToEndTest::identifyAsJson()
{
    SimProcess sim;
    const CliRun run = runCli({"identify", "--json", "-p", com(sim)}, &sim);
    QCOMPARE(run.status, 0);
    const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(document.value("exitCode").toInt(), 0);
    const QJsonObject port = document.value("ports").toArray().at(0).toObject();
    QCOMPARE(port.value("contrast").toInt(), 128);
    QCOMPARE(port.value("reply").toString(), QStringLiteral("64,128!KESTRIN 240x64"));
    QCOMPARE(port.value("device").toString(), sim.devicePath());
}

void CliEndToEndTest::changesTheRateAndFindsTheControllerThere()
{
    SimProcess sim;
    const CliRun change = runCli({"baud", "57600", "-p", com(sim)}, &sim);
    QCOMPARE(change.status, 0);
    QVERIFY2(change.out.contains("the controller now runs at 57600 baud"), qPrintable(change.out));
    const CliRun oldRate = runCli({"identify", "-p", com(sim)}, &sim);
    QCOMPARE(oldRate.status, 3);
    QVERIFY2(oldRate.out.contains("no answer: no controller answered at 9600 baud"),
             qPrintable(oldRate.out));
    QCOMPARE(runCli({"identify", "-p", com(sim), "--rate", "57600"}, &sim).status, 0);
}

void CliEndToEndTest::threeControllersAtOnce()
{
    SimProcess a, b, c;
    QVERIFY(a.isRunning() && b.isRunning() && c.isRunning());
    const QString ports = QStringList{a.devicePath(), b.devicePath(), c.devicePath()}.join(',');
    const CliRun run = runCli({"id", "--port", ports});
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), a.devicePath() + QStringLiteral(": ok: ID KT24064"));
    QCOMPARE(lines.at(1), b.devicePath() + QStringLiteral(": ok: ID KT24064"));
    QCOMPARE(lines.at(2), c.devicePath() + QStringLiteral(": ok: ID KT24064"));
}

void CliEndToEndTest::aMissingControllerDoesNotStopTheOthers()
{
    SimProcess sim;
    const CliRun run = runCli({"identify", "-p", com(sim) + ",16,/dev/null"}, &sim);
    QCOMPARE(run.status, 4); // the first failure: COM16 is not there
    const QStringList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).contains(": ok: controller found"), qPrintable(run.out));
    QVERIFY2(lines.at(1).startsWith("COM16: port error: ") &&
                 lines.at(1).contains("lumivor-cli ports"),
             qPrintable(lines.at(1)));
    QCOMPARE(lines.at(2), QStringLiteral("/dev/null: port error: /dev/null is not a serial port "
                                         "(\"lumivor-cli ports\" lists the ports there are)"));
}

void CliEndToEndTest::aWrongCommandLineSaysWhyAndDoesNothing()
{
    SimProcess sim;
    const CliRun run = runCli({"screen-save", "3", "-p", com(sim)}, &sim);
    QCOMPARE(run.status, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith("lumivor-cli: screens 1-5 hold the controller's fonts"),
             qPrintable(run.err));
    const CliRun help = runCli({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("Exit status"));
}

void CliEndToEndTest::sendsAPictureAndRefusesAFileThatIsNone()
{
    SimProcess sim;
    QTemporaryDir files;
    QImage picture(320, 100, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QString bmp = files.filePath(QStringLiteral("picture.BMP"));
    QVERIFY(picture.save(bmp, "BMP"));
    const CliRun sent = runCli({"picture", bmp, "-p", com(sim)}, &sim);
    QCOMPARE(sent.status, 0);
    QVERIFY2(sent.out.contains(": ok: picture sent"), qPrintable(sent.out + sent.err));

    const QString notPicture = files.filePath(QStringLiteral("notes.jpg"));
    QVERIFY(writeFile(notPicture, "not a picture"));
    const CliRun refused = runCli({"picture", notPicture, "-p", com(sim)}, &sim);
    QCOMPARE(refused.status, 5);
    QVERIFY(refused.out.isEmpty());
    QVERIFY2(refused.err.contains("cannot be read as a picture"), qPrintable(refused.err));
}

// Back up three controllers at 115200 at once, change a screen on each,
// restore the backups (three loads take about as long as one) and back up
// again: the same bytes come back.
void CliEndToEndTest::flashRoundTripOnThreeControllersAtOnce()
{
    SimProcess a, b, c;
    QVERIFY(a.isRunning() && b.isRunning() && c.isRunning());
    const QString ports = QStringList{a.devicePath(), b.devicePath(), c.devicePath()}.join(',');
    const QStringList fast{"--rate", "115200", "--port", ports};
    QCOMPARE(runCli(QStringList{"baud", "115200", "--port", ports}).status, 0);
    QTemporaryDir dir;
    const QString before = dir.filePath("before-{port}.fls");
    const QString after = dir.filePath("after-{port}.fls");
    QCOMPARE(runCli(QStringList{"flash-save", before} + fast).status, 0);
    QCOMPARE(runCli(QStringList{"send", "1E", "02", "00", "00", "EF", "3F"} + fast).status, 0);
    QCOMPARE(runCli(QStringList{"screen-save", "100"} + fast).status, 0);
    QCOMPARE(runCli(QStringList{"flash-save", after} + fast).status, 0);
    const QString first =
        QString(before).replace("{port}", QString(a.devicePath()).replace('/', '_'));
    const QString changed =
        QString(after).replace("{port}", QString(a.devicePath()).replace('/', '_'));
    QVERIFY(fileContents(first) != fileContents(changed)); // screen 100 did change

    const CliRun restore =
        runCli(QStringList{"flash-load", first, "--yes"} + fast, nullptr, 240000);
    QCOMPARE(restore.status, 0);
    QCOMPARE(restore.out.count(": ok: "), 3);
    QCOMPARE(runCli(QStringList{"flash-save", after} + fast).status, 0);
    for (const SimProcess* sim : {&a, &b, &c}) {
        const QString name = QString(sim->devicePath()).replace('/', '_');
        QCOMPARE(fileContents(QString(after).replace("{port}", name)).size(), 983040);
        QCOMPARE(fileContents(QString(after).replace("{port}", name)), fileContents(first));
        QVERIFY(!QFile::exists(QString(after).replace("{port}", name) + ".part"));
    }
}

// Ctrl-C stops a backup as the console's Cancel does: the blocks so far stay
// in the .part file and a good backup of the same name is not touched.
void CliEndToEndTest::ctrlCDuringASaveLeavesTheTargetUntouched()
{
    SimProcess sim({"--line-timing"}); // a real line's pace: 1 s per block at 9600
    QTemporaryDir dir;
    const QString target = dir.filePath("good.fls");
    QVERIFY(writeFile(target, QByteArray(983040, 'a')));

    QProcess cli;
    startCli(cli, {"flash-save", target, "-p", com(sim)}, &sim);
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target + ".part").size() >= 480, 20000);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(out.contains(": cancelled: ") && out.contains(target + ".part"), qPrintable(out));
    QCOMPARE(fileContents(target), QByteArray(983040, 'a'));
    QVERIFY(QFileInfo(target + ".part").size() % 480 == 0);
}

void CliEndToEndTest::aFlashFileThatWouldNotLoadIsRefusedBeforeAnyPortOpens()
{
    SimProcess sim;
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.fls");
    QVERIFY(writeFile(shortFile, QByteArray(1000, 'f')));
    const CliRun run = runCli({"flash-load", shortFile, "-p", com(sim), "--yes"}, &sim);
    QCOMPARE(run.status, 5);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("cannot be loaded into the controller") &&
                 run.err.contains("Nothing was sent"),
             qPrintable(run.err));
    // The controller was never touched: it answers at once, nothing half written.
    QCOMPARE(runCli({"id", "-p", com(sim)}, &sim).status, 0);
}

QTEST_GUILESS_MAIN(CliEndToEndTest)
#include "tst_cli_end_to_end.moc"
