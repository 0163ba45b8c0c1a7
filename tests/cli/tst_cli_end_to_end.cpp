// The lumivor-cli executable against virtual controllers (kestrin-sim,
// headless) over pseudo-terminals: one run per user path, and the exit
// status when something is missing, cannot be read or cannot be written.
#include "protocol/flashscreens.h"
#include "protocol/picture.h"
#include "simprocess.h"
#include "testsuite.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using lumivor::testing::SimProcess;

namespace {

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs lumivor-cli with the port links of `sim`, so COM numbers are the
// simulator's own and never the machine's; `meanwhile` acts while it runs,
// `inTheChild` in its process before it starts.
CliRun runCli(const QStringList& arguments, const SimProcess& sim,
              const std::function<void(QProcess&)>& meanwhile = {},
              const std::function<void()>& inTheChild = {}, int limitMs = 30'000)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), sim.dataHome());
    cli.setProcessEnvironment(environment);
    if (inTheChild)
        cli.setChildProcessModifier(inTheChild);
    cli.start(QStringLiteral(LUMIVOR_CLI_PATH), arguments);
    if (meanwhile && cli.waitForStarted())
        meanwhile(cli);
    CliRun run;
    if (!cli.waitForFinished(limitMs)) {
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

} // namespace

class CliEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->isRunning());
    }

    void identifyAsJsonAndThePortList()
    {
        const CliRun run = runCli({"identify", "--json", "-p", com()}, *sim);
        QCOMPARE(run.status, 0);
        const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(document.value("exitCode").toInt(), 0);
        const QJsonObject port = document.value("ports").toArray().at(0).toObject();
        QCOMPARE(port.value("contrast").toInt(), 128);
        QCOMPARE(port.value("reply").toString(), QStringLiteral("64,128!KESTRIN 240x64"));
        QCOMPARE(port.value("device").toString(), sim->devicePath());

        const CliRun list = runCli({"ports"}, *sim);
        QCOMPARE(list.status, 0);
        QVERIFY2(list.out.contains(QRegularExpression(
                     QStringLiteral("COM%1 +%2 +port link").arg(com(), sim->devicePath()))),
                 qPrintable(list.out));
    }

    // The others are served; the status is the first failure's. The missing
    // ports are paths that cannot exist, whatever the machine or other tests hold.
    void aMissingControllerDoesNotStopTheOthers()
    {
        const CliRun run =
            runCli({"identify", "-p", com() + ",/dev/lumivor-no-such-port,/dev/null"}, *sim);
        QCOMPARE(run.status, 4);
        const QStringList lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).contains(": ok: controller found"), qPrintable(run.out));
        QVERIFY2(lines.at(1).startsWith("/dev/lumivor-no-such-port: port error: ") &&
                     lines.at(1).contains("lumivor-cli ports"),
                 qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2),
                 QStringLiteral("/dev/null: port error: /dev/null is not a serial port "
                                "(\"lumivor-cli ports\" lists the ports there are)"));
    }

    // The controller switches to 115200 and is found there, not at 9600; a
    // picture goes out at the new rate.
    void changesTheRateAndSendsAPictureThere()
    {
        SimProcess own;
        const QString port = QString::number(own.comNumber());
        const CliRun change = runCli({"baud", "115200", "-p", port}, own);
        QCOMPARE(change.status, 0);
        QVERIFY2(change.out.contains("the controller now runs at 115200 baud"),
                 qPrintable(change.out));
        const CliRun oldRate = runCli({"identify", "-p", port}, own);
        QCOMPARE(oldRate.status, 3);
        QVERIFY2(oldRate.out.contains(
                     "no answer: nothing answered the identification query at 9600 baud"),
                 qPrintable(oldRate.out));

        QTemporaryDir files;
        QImage picture(320, 100, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const QString bmp = files.filePath(QStringLiteral("picture.BMP"));
        QVERIFY(picture.save(bmp, "BMP"));
        const CliRun sent = runCli({"picture", bmp, "-p", port, "--rate", "115200"}, own);
        QCOMPARE(sent.status, 0);
        QVERIFY2(sent.out.contains(": ok: picture sent"), qPrintable(sent.out + sent.err));
    }

    // Nothing reaches a controller from a command line, a file that cannot be
    // used or a backup target that can never be written: each is refused before
    // any port opens, so there is no result line; with --json the refusal is JSON.
    void refusedBeforeAnyPortOpens_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a wrong command line")
            << QStringList{"screen-save", "3"} << 2
            << "lumivor-cli: screens 1-5 hold the controller's fonts";
        QTest::newRow("a file that is no picture")
            << QStringList{"picture", "notes.jpg"} << 5 << "notes.jpg is not a picture";
        QTest::newRow("a flash file that would not load")
            << QStringList{"flash-load", "short.fls", "--yes"} << 5
            << "short.fls cannot be loaded into the controller";
        QTest::newRow("a backup into a folder")
            << QStringList{"flash-save", "."} << 8 << "is a folder, not a file. Nothing was read.";
        QTest::newRow("a backup into no folder") << QStringList{"flash-save", "none/backup.fls"}
                                                 << 8 << "none does not exist. Nothing was read.";
        QTest::newRow("a backup with no name")
            << QStringList{"flash-save", ""} << 8 << "No file name was given. Nothing was read.";
        QTest::newRow("a wrong command line, as JSON")
            << QStringList{"screen-save", "3", "--json"} << 2
            << "screens 1-5 hold the controller's fonts";
    }

    void refusedBeforeAnyPortOpens()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("notes.jpg"), "not a picture"));
        QVERIFY(writeFile(dir.filePath("short.fls"), QByteArray(1000, 'f')));
        for (QString& argument : arguments)
            argument = argument.contains(u'.') ? dir.filePath(argument) : argument;
        const bool json = arguments.contains("--json");
        const CliRun run = runCli(arguments << QStringLiteral("-p") << com(), *sim);
        QCOMPARE(run.status, status);
        if (json) {
            const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8()).object();
            QCOMPARE(document.value("exitCode").toInt(), status);
            QVERIFY2(document.value("error").toString().contains(reason), qPrintable(run.out));
            return;
        }
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    }

    // Ctrl-C or SIGTERM stops a backup as the console's Cancel does: the blocks so
    // far stay in the .part file and a good backup of the same name is not touched.
    void ctrlCDuringABackupLeavesTheTargetUntouched_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("status"); // the shell's code for each
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Ctrl-C") << int(SIGINT) << 130 << ": cancelled: ";
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143 << ": terminated: ";
    }

    void ctrlCDuringABackupLeavesTheTargetUntouched()
    {
        QFETCH(int, signalNumber);
        QFETCH(int, status);
        QFETCH(QString, outcome);
        SimProcess slow({"--line-timing"}); // a real line's pace: half a second per block at 9600
        QTemporaryDir dir;
        const QString target = dir.filePath("good.fls");
        QVERIFY(writeFile(target, QByteArray(983040, 'a')));
        const CliRun run =
            runCli({"flash-save", target, "-p", QString::number(slow.comNumber())}, slow,
                   [&](QProcess& cli) {
                       QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target + ".part").size() >= 480, 20000);
                       ::kill(static_cast<pid_t>(cli.processId()), signalNumber);
                   });
        QCOMPARE(run.status, status);
        QVERIFY2(run.out.contains(outcome) && run.out.contains(target + ".part") &&
                     !run.out.contains("cancelled: cancelled"),
                 qPrintable(run.out));
        QCOMPARE(fileContents(target), QByteArray(983040, 'a'));
        QVERIFY(QFileInfo(target + ".part").size() % 480 == 0);
    }

    // The system refuses to let the .part grow beyond ten blocks (as a full
    // disk would): the backup ends as a file that cannot be written, with the
    // system's own reason, not as the controller's fault.
    void aBackupThatCannotBeWrittenSaysWhy()
    {
        SimProcess own;
        QTemporaryDir dir;
        const QString target = dir.filePath("backup.fls");
        const CliRun run =
            runCli({"flash-save", target, "-p", QString::number(own.comNumber())}, own, {}, [] {
                ::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the program
                const rlimit limit{10 * 480, 10 * 480};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        QCOMPARE(run.status, 8);
        QVERIFY2(run.out.contains(": cannot write: ") && run.out.contains(target + ".part") &&
                     run.out.contains("File too large"),
                 qPrintable(run.out));
        QVERIFY(!QFile::exists(target));
    }
    void cleanupTestCase() { sim.reset(); }

private:
    QString com() const { return QString::number(sim->comNumber()); }
    std::unique_ptr<SimProcess> sim; // at 9600 throughout
};

LUMIVOR_TEST(CliEndToEndTest)

// The long run, with the CTest label "long" (CI runs it; ./test does not): a full
// load and read-back over a real port at 115200, about a minute and a half.
class CliFlashEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // From pictures to the controller's screens: an image built by flash-build,
    // written and read back (--verify) into a simulator whose flash cell at screen
    // 7 is worn, so the verify names that screen; screen 20 recalled and stored
    // again as 200 holds the picture's dithered conversion dot for dot (the
    // simulator writes its flash back to its --flash file when it ends).
    void aBuiltImageIsVerifiedAndRecalledDotForDot()
    {
        if (!qEnvironmentVariableIsSet("LUMIVOR_LONG_TESTS"))
            QSKIP("the long run: ctest -L long");
        QTemporaryDir dir;
        const QString flash = dir.filePath("sim.fls");
        const QString image = dir.filePath("built.fls");
        QVERIFY(writeFile(flash, QByteArray(983040, '0')));
        QImage picture(240, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 240; ++x)
                picture.setPixel(x, y, qRgb(x, 255 - 4 * y, (x * y) % 256));
        QVERIFY(picture.save(dir.filePath("ramp.png")));
        QVERIFY(writeFile(dir.filePath("screens.txt"), "7 ramp.png\n20 ramp.png --dither\n"));

        const int worn = 7 * 1920 + 100;
        auto own = std::make_unique<SimProcess>(
            QStringList{"--flash", flash, "--flash-fault", QString::number(worn)});
        QVERIFY(own->isRunning());
        const CliRun build =
            runCli({"flash-build", dir.filePath("screens.txt"), "-o", image}, *own);
        QVERIFY2(build.status == 0, qPrintable(build.out + build.err));
        const QString port = QString::number(own->comNumber());
        QCOMPARE(runCli({"baud", "115200", "-p", port}, *own).status, 0);
        const QStringList fast{"-p", port, "--rate", "115200"};
        const CliRun load = runCli(QStringList{"flash-load", image, "--verify", "--yes"} + fast,
                                   *own, {}, {}, 150'000);
        QCOMPARE(load.status, 10);
        QVERIFY2(load.out.contains("differs from the image in screen 7 (1 byte)"),
                 qPrintable(load.out));
        QCOMPARE(runCli(QStringList{"screen-load", "20"} + fast, *own).status, 0);
        QCOMPARE(runCli(QStringList{"screen-save", "200"} + fast, *own).status, 0);
        own.reset(); // SIGTERM: the simulator writes its flash back

        const QByteArray written = QByteArray::fromHex(fileContents(flash));
        using namespace lumivor::protocol;
        const QByteArray dithered =
            packCanvas(convertCanvas(canvasFromPicture(picture, Qt::white), Conversion::Dithered));
        QCOMPARE(written.mid(20 * 1920, 1920), dithered);
        QCOMPARE(written.mid(200 * 1920, 1920), dithered);
        QCOMPARE(differingScreens(written, QByteArray::fromHex(fileContents(image))).size(), 2);
    }
};

LUMIVOR_TEST(CliFlashEndToEndTest)
#include "tst_cli_end_to_end.moc"
