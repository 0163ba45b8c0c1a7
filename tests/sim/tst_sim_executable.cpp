// The com<n> links with their owner files, and the kestrin-sim executable itself: its
// start-up line, its clean-up on signals, the port of a killed simulator taken back, and
// a start where there may be no display.
#include "testsuite.h"
#include "transport/portlink.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrin;
namespace fs = std::filesystem;

namespace {

// The id of a process that has ended and been reaped.
pid_t goneProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

struct PortDirectory
{
    QTemporaryDir temporary;
    fs::path path = fs::path(temporary.path().toStdString()) / "lumivor/ports";

    PortDirectory() { fs::create_directories(path); }
    fs::path link(int number) const { return path / ("com" + std::to_string(number)); }
    fs::path owner(int number) const { return PortLink::ownerFileOf(link(number)); }
    void write(int number, const std::string& text) const { std::ofstream(owner(number)) << text; }
    void write(int number, pid_t pid) const { write(number, std::to_string(pid) + "\n"); }
    std::optional<pid_t> ownerOf(int number) const
    {
        const auto read = PortLink::readOwner(owner(number));
        return read ? std::optional<pid_t>(read->pid) : std::nullopt;
    }
};

// The test's environment without any display: no X, no Wayland, no Qt platform. A private
// runtime directory keeps Qt's complaint about a missing one out of what stderr shows.
QProcessEnvironment withoutDisplay(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("XDG_DATA_HOME", home);
    environment.insert("XDG_RUNTIME_DIR", home); // made with mode 0700
    return environment;
}

// Starts the simulator and gives its start-up line ("kestrin-sim: COM1 on /dev/pts/3").
QString start(QProcess& simulator, const QProcessEnvironment& environment,
              const QStringList& arguments = {"--headless"})
{
    simulator.setProcessEnvironment(environment);
    simulator.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), arguments);
    const QDeadlineTimer deadline(20000);
    while (!simulator.canReadLine() && simulator.state() != QProcess::NotRunning &&
           !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    return QString::fromUtf8(simulator.readLine()).trimmed();
}

} // namespace

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    // Links left by other simulators, by operators, or by someone who took ours over.
    void linkTakesTheLowestFreeNumberAndGoesWithItsOwner()
    {
        PortDirectory ports;
        fs::create_symlink("/nonexistent/device", ports.link(1)); // a device that is gone
        fs::create_symlink("/dev/null", ports.link(2));           // an operator's live port
        std::string error;
        {
            std::optional<PortLink> first = PortLink::create(ports.path, "/dev/zero", {}, error);
            QVERIFY2(first && first->number() == 1, error.c_str());
            QCOMPARE(fs::read_symlink(ports.link(1)), fs::path("/dev/zero"));
            QCOMPARE(ports.ownerOf(1), std::optional<pid_t>(getpid()));
            std::optional<PortLink> moved(std::move(first)); // it goes once, with its owner
            std::optional<PortLink> second = PortLink::create(ports.path, "/dev/full", {}, error);
            QVERIFY(second && second->number() == 3);
            QVERIFY(!PortLink::create(ports.path, "/dev/zero", 2, error));
            QCOMPARE(error, "COM2 is already linked to /dev/null in " + ports.path.string());
            fs::create_symlink("/dev/null", ports.link(4)); // a live simulator's
            ports.write(4, getppid());
            QVERIFY(!PortLink::create(ports.path, "/dev/zero", 4, error));
            QCOMPARE(error, "COM4 is served by another kestrin-sim (process " +
                                std::to_string(getppid()) + ") in " + ports.path.string());
            // Someone else took com3 over: it is not ours to remove any more.
            fs::remove(ports.link(3));
            fs::create_symlink("/dev/urandom", ports.link(3));
            ports.write(3, getppid());
        }
        QVERIFY(!fs::is_symlink(ports.link(1)) && !fs::exists(ports.owner(1)));
        QVERIFY(fs::is_symlink(ports.link(2)) && fs::is_symlink(ports.link(3)));
        QVERIFY(fs::is_symlink(ports.link(4)) && fs::exists(ports.owner(4)));
        QCOMPARE(ports.ownerOf(3), std::optional<pid_t>(getppid()));
    }

    void reclaimsOnlyLinksOfGoneOwners_data()
    {
        QTest::addColumn<QString>("target");   // empty: no link
        QTest::addColumn<QByteArray>("owner"); // empty: no owner file
        QTest::addColumn<bool>("reclaimed");
        const QByteArray gone = QByteArray::number(goneProcess()) + "\n";
        QTest::newRow("gone simulator, device still there") << "/dev/null" << gone << true;
        QTest::newRow("gone simulator, owner file only") << QString() << gone << true;
        const QByteArray parent = QByteArray::number(getppid());
        const QByteArray started =
            QByteArray::number(PortLink::processStartTime(getppid()).value_or(0));
        QTest::newRow("live simulator") << "/dev/null" << parent << false;
        QTest::newRow("live simulator, its start time")
            << "/dev/null" << parent + ' ' + started << false;
        // The id was reused: the process holding it now started at another time.
        QTest::newRow("reused process id") << "/dev/null" << parent + ' ' + started + '7' << true;
        QTest::newRow("operator's link") << "/dev/null" << QByteArray() << false;
        QTest::newRow("owner file not a process id") << "/dev/null" << QByteArray("sim\n") << false;
    }
    void reclaimsOnlyLinksOfGoneOwners()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, owner);
        QFETCH(bool, reclaimed);
        PortDirectory ports;
        if (!target.isEmpty())
            fs::create_symlink(target.toStdString(), ports.link(1));
        if (!owner.isEmpty())
            ports.write(1, owner.toStdString());
        std::string error;
        std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", {}, error);
        QVERIFY2(link, error.c_str());
        QCOMPARE(link->number(), reclaimed ? 1 : 2);
        QCOMPARE(ports.ownerOf(link->number()), std::optional<pid_t>(getpid()));
        if (!reclaimed)
            QCOMPARE(fs::read_symlink(ports.link(1)), fs::path(target.toStdString()));
    }

    void ownerFileFormat()
    {
        PortDirectory ports;
        const std::pair<const char*, pid_t> files[] = {
            {"4321\n", 4321}, {"4321", 4321}, {"4321 8812\n", 4321},
            {"4321 \n", 0},   {"", 0},        {"4321\n12\n", 0},
            {"-4321\n", 0},   {"0\n", 0},     {"99999999999999999999\n", 0}};
        for (const auto& [text, pid] : files) {
            ports.write(1, text);
            QCOMPARE(ports.ownerOf(1), pid ? std::optional<pid_t>(pid) : std::nullopt);
        }
    }

    // Headless or with a window wherever Qt has a platform to draw on, it serves its port
    // until a signal ends it, and then takes its link and owner file away.
    void servesItsPortUntilSignalled_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        QTest::newRow("headless, SIGTERM") << int(SIGTERM) << QStringList{"--headless"} << "";
        QTest::newRow("window by -platform, SIGINT")
            << int(SIGINT) << QStringList{"-platform", "offscreen"} << "";
        QTest::newRow("window by QT_QPA_PLATFORM, SIGTERM")
            << int(SIGTERM) << QStringList() << "offscreen";
    }
    void servesItsPortUntilSignalled()
    {
        QFETCH(int, signalNumber);
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        PortDirectory ports;
        QProcess simulator;
        QProcessEnvironment environment = withoutDisplay(ports.temporary.path());
        if (!platform.isEmpty())
            environment.insert("QT_QPA_PLATFORM", platform);
        const QString line = start(simulator, environment, arguments);
        QCOMPARE(line,
                 "kestrin-sim: COM1 on " + QString::fromStdString(fs::read_symlink(ports.link(1))));
        QCOMPARE(ports.ownerOf(1), std::optional<pid_t>(simulator.processId()));
        QSerialPort port(QString::fromStdString(ports.link(1)));
        port.setBaudRate(9600);
        QVERIFY(port.open(QIODevice::ReadWrite));
        port.write(QByteArray::fromHex("2800"));
        QByteArray reply;
        QTRY_COMPARE((reply += port.readAll()), QByteArray("KT24064!"));
        port.close();
        ::kill(pid_t(simulator.processId()), signalNumber);
        QVERIFY(simulator.waitForFinished(10000));
        QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
        QCOMPARE(simulator.exitCode(), 0);
        QVERIFY(!fs::is_symlink(ports.link(1)));
        QVERIFY(!fs::exists(ports.owner(1)));
    }

    // A simulator killed outright leaves its link and owner file behind, usually to the
    // device the next one gets; the next one takes the number back.
    void killedSimulatorsPortIsTakenBack()
    {
        PortDirectory ports;
        QProcess killed, next;
        QVERIFY(
            start(killed, withoutDisplay(ports.temporary.path())).startsWith("kestrin-sim: COM1"));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));
        QVERIFY(fs::is_symlink(ports.link(1)) && fs::exists(ports.owner(1)));
        QVERIFY(
            start(next, withoutDisplay(ports.temporary.path())).startsWith("kestrin-sim: COM1"));
        QCOMPARE(ports.ownerOf(1), std::optional<pid_t>(next.processId()));
        next.terminate();
        QVERIFY(next.waitForFinished(10000));
    }

    // Where there is no display: help all the same, or one clear sentence instead of Qt's
    // abort about platform plugins; nothing is registered for the console to find.
    void withoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("display"); // DISPLAY, when set
        const QString noDisplay = "kestrin-sim: no graphical display is available here; run "
                                  "it with --headless, or under a virtual display: xvfb-run "
                                  "-a kestrin-sim";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: " << QString() << "";
        QTest::newRow("a window") << QStringList{"--line-timing"} << 2 << QString() << noDisplay
                                  << "";
        QTest::newRow("a window on a display nobody serves")
            << QStringList{"--line-timing"} << 2 << QString() << noDisplay << ":97";
        QTest::newRow("a bad option, before the display")
            << QStringList{"--com", "99"} << 2 << QString()
            << "kestrin-sim: --com takes a number from 1 to 16"
            << "";
    }
    void withoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, display);
        if (!display.isEmpty() && QFileInfo::exists("/tmp/.X11-unix/X" + display.mid(1)))
            QSKIP("this machine serves that display");
        PortDirectory ports;
        QProcess simulator;
        QProcessEnvironment environment = withoutDisplay(ports.temporary.path());
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        const QString line = start(simulator, environment, arguments);
        QVERIFY(simulator.state() == QProcess::NotRunning || simulator.waitForFinished(10000));
        QCOMPARE(simulator.exitCode(), exitCode);
        QVERIFY2(out.isEmpty() ? line.isEmpty() : line.startsWith(out), qPrintable(line));
        QCOMPARE(QString::fromLocal8Bit(simulator.readAllStandardError()).trimmed(), err);
        QVERIFY(fs::is_empty(ports.path));
    }

    // A --flash file that is no flash image is refused with its reason before anything is
    // registered, and is left as it was.
    void refusesAFlashFileThatIsNoImage_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("short") << QByteArray(1000, 'a') << "it holds 1000 bytes where";
        QTest::newRow("not hexadecimal")
            << QByteArray(5, '0') + 'x' + QByteArray(983040, '0') << "at offset 5";
    }
    void refusesAFlashFileThatIsNoImage()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        PortDirectory ports;
        const std::string file = ports.temporary.filePath("image.fls").toStdString();
        std::ofstream(file, std::ios::binary) << contents.toStdString();
        QProcess simulator;
        start(simulator, withoutDisplay(ports.temporary.path()),
              {"--headless", "--flash", QString::fromStdString(file)});
        QVERIFY(simulator.state() == QProcess::NotRunning || simulator.waitForFinished(10000));
        QVERIFY(simulator.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(simulator.readAllStandardError());
        QVERIFY2(err.contains(reason), qPrintable(err));
        QVERIFY(fs::is_empty(ports.path));
        QCOMPARE(fs::file_size(file), std::uintmax_t(contents.size()));
    }
};

LUMIVOR_TEST(TestSimExecutable)
#include "tst_sim_executable.moc"
