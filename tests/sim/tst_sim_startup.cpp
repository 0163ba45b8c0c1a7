// The executable's start-up where there may be no display: help anywhere, one clear
// sentence instead of Qt's platform abort, clear messages for bad options, and a window
// wherever Qt has a platform to draw on.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kWaitMs = 20000;

// The test's environment without any display: no X, no Wayland, no Qt platform. A private
// runtime directory keeps Qt's complaint about a missing one out of what stderr shows.
QProcessEnvironment withoutDisplay(const QTemporaryDir& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("XDG_DATA_HOME", home.path());
    environment.insert("XDG_RUNTIME_DIR", home.path()); // made with mode 0700
    return environment;
}

struct Finished
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the simulator to its end, which must come by itself.
Finished runToEnd(const QProcessEnvironment& environment, const QStringList& arguments)
{
    QProcess simulator;
    simulator.setProcessEnvironment(environment);
    simulator.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), arguments);
    if (!simulator.waitForFinished(kWaitMs)) {
        simulator.kill();
        simulator.waitForFinished(kWaitMs);
        return {};
    }
    if (simulator.exitStatus() != QProcess::NormalExit)
        return {-2, {}, QString::fromLocal8Bit(simulator.readAllStandardError())};
    return {simulator.exitCode(), QString::fromLocal8Bit(simulator.readAllStandardOutput()),
            QString::fromLocal8Bit(simulator.readAllStandardError())};
}

} // namespace

class TestSimStartup : public QObject
{
    Q_OBJECT

private slots:
    void helpNeedsNoDisplay_data();
    void helpNeedsNoDisplay();
    void refusalsExplainThemselves_data();
    void refusalsExplainThemselves();
    void windowStartsWhereQtHasAPlatform_data();
    void windowStartsWhereQtHasAPlatform();
};

void TestSimStartup::helpNeedsNoDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::newRow("--help") << "--help";
    QTest::newRow("-h") << "-h";
    QTest::newRow("--help with --headless") << "--headless --help";
}

void TestSimStartup::helpNeedsNoDisplay()
{
    QFETCH(QString, option);
    QTemporaryDir dataHome;
    const Finished run = runToEnd(withoutDisplay(dataHome), option.split(' '));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("Usage:") && run.out.contains("--headless") &&
                 run.out.contains("--line-timing"),
             qPrintable(run.out));
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QVERIFY(!QDir(dataHome.path() + "/lumivor/ports").exists("com1"));
}

void TestSimStartup::refusalsExplainThemselves_data()
{
    QTest::addColumn<bool>("display");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString noDisplay =
        "kestrin-sim: no graphical display is available here; run it with --headless, or under "
        "a virtual display: xvfb-run -a kestrin-sim\n";
    const QString badCom = "kestrin-sim: --com takes a number from 1 to 16\n";
    QTest::newRow("no display") << false << QStringList() << 2 << noDisplay;
    QTest::newRow("no display, line timing")
        << false << QStringList{"--line-timing", "--com", "3"} << 2 << noDisplay;
    QTest::newRow("no display, --com 99") << false << QStringList{"--com", "99"} << 2 << badCom;
    QTest::newRow("headless, --com 0")
        << false << QStringList{"--headless", "--com", "0"} << 2 << badCom;
    QTest::newRow("display, --com x") << true << QStringList{"--com", "x"} << 2 << badCom;
    QTest::newRow("no display, unknown option")
        << false << QStringList{"--bogus"} << 1 << "kestrin-sim: Unknown option 'bogus'.\n";
}

void TestSimStartup::refusalsExplainThemselves()
{
    QFETCH(bool, display);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dataHome;
    QProcessEnvironment environment = withoutDisplay(dataHome);
    if (display)
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    const Finished run = runToEnd(environment, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err, message);
    QCOMPARE(run.out, QString());
    // Nothing was registered for the console to find.
    QVERIFY(
        QDir(dataHome.path() + "/lumivor/ports").entryList(QDir::System | QDir::Files).isEmpty());
}

void TestSimStartup::windowStartsWhereQtHasAPlatform_data()
{
    QTest::addColumn<QString>("platformVariable");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("QT_QPA_PLATFORM") << "offscreen" << QStringList();
    QTest::newRow("-platform argument") << QString() << QStringList{"-platform", "offscreen"};
}

void TestSimStartup::windowStartsWhereQtHasAPlatform()
{
    QFETCH(QString, platformVariable);
    QFETCH(QStringList, arguments);
    QTemporaryDir dataHome;
    QProcessEnvironment environment = withoutDisplay(dataHome);
    if (!platformVariable.isEmpty())
        environment.insert("QT_QPA_PLATFORM", platformVariable);
    QProcess simulator;
    simulator.setProcessEnvironment(environment);
    simulator.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), arguments);
    QVERIFY(simulator.waitForStarted(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(simulator.canReadLine() || simulator.state() == QProcess::NotRunning,
                             kWaitMs);
    const QString line = QString::fromUtf8(simulator.readLine());
    QVERIFY2(line.startsWith("kestrin-sim: COM1 on /dev/"),
             qPrintable(line + simulator.readAllStandardError()));
    ::kill(pid_t(simulator.processId()), SIGTERM);
    QVERIFY(simulator.waitForFinished(kWaitMs));
    QCOMPARE(simulator.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimStartup)
#include "tst_sim_startup.moc"
