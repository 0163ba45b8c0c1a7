// The com<n> links and their owner files: the lowest free number, links of simulators that
// are gone taken back, live simulators' and operators' links left alone, and the owner file
// leaving with the link.
#include "transport/portlink.h"

#include <QTemporaryDir>
#include <QtTest>

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
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

std::string ownerLine(pid_t pid)
{
    return std::to_string(pid) + "\n";
}

struct PortDirectory
{
    QTemporaryDir temporary;
    fs::path path = fs::path(temporary.path().toStdString()) / "ports";

    PortDirectory() { fs::create_directories(path); }
    fs::path link(int number) const { return path / ("com" + std::to_string(number)); }
    fs::path owner(int number) const { return PortLink::ownerFileOf(link(number)); }
};

} // namespace

class TestSimPortLink : public QObject
{
    Q_OBJECT

private slots:
    void linkTakesLowestFreeNumber();
    void ownerFileNamesThisProcessUntilTheLinkGoes();
    void startupReclaimsOnlyLinksOfGoneOwners_data();
    void startupReclaimsOnlyLinksOfGoneOwners();
    void everyGoneOwnersLinkIsReclaimed();
    void chosenNumberHeldByLiveOwnerIsRefused();
    void ownerFileOfAnotherProcessStays();
    void ownerFileFormat_data();
    void ownerFileFormat();
};

void TestSimPortLink::linkTakesLowestFreeNumber()
{
    PortDirectory ports;
    fs::create_symlink("/nonexistent/device", ports.link(1)); // a device that is gone
    fs::create_symlink("/dev/null", ports.link(2));           // an operator's live port
    std::string error;
    {
        std::optional<PortLink> first = PortLink::create(ports.path, "/dev/zero", {}, error);
        QVERIFY(first);
        QCOMPARE(first->number(), 1);
        QCOMPARE(fs::read_symlink(ports.link(1)), fs::path("/dev/zero"));
        std::optional<PortLink> second = PortLink::create(ports.path, "/dev/full", {}, error);
        QVERIFY(second);
        QCOMPARE(second->number(), 3);
        QVERIFY(!PortLink::create(ports.path, "/dev/zero", 2, error));
        QCOMPARE(error, "COM2 is already linked to /dev/null in " + ports.path.string());
        std::optional<PortLink> chosen = PortLink::create(ports.path, "/dev/random", 16, error);
        QVERIFY(chosen);
        QCOMPARE(chosen->number(), 16);
        // Someone else took com3 over: it is not ours to remove any more.
        fs::remove(ports.link(3));
        fs::create_symlink("/dev/urandom", ports.link(3));
    }
    QVERIFY(!fs::is_symlink(ports.link(1)));
    QVERIFY(!fs::is_symlink(ports.link(16)));
    QVERIFY(fs::is_symlink(ports.link(2)));
    QVERIFY(fs::is_symlink(ports.link(3)));
}

void TestSimPortLink::ownerFileNamesThisProcessUntilTheLinkGoes()
{
    PortDirectory ports;
    std::string error;
    {
        std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", {}, error);
        QVERIFY(link);
        QCOMPARE(readFile(ports.owner(1)), ownerLine(getpid()));
        QCOMPARE(PortLink::readOwner(ports.owner(1)), std::optional<pid_t>(getpid()));
        std::optional<PortLink> moved(std::move(link)); // the link goes once, with its owner
    }
    QVERIFY(!fs::is_symlink(ports.link(1)));
    QVERIFY(!fs::exists(ports.owner(1)));
    QVERIFY(fs::is_empty(ports.path)); // no temporary files left either
}

void TestSimPortLink::startupReclaimsOnlyLinksOfGoneOwners_data()
{
    QTest::addColumn<QString>("target");   // empty: no link
    QTest::addColumn<QByteArray>("owner"); // empty: no owner file
    QTest::addColumn<bool>("reclaimed");
    const QByteArray gone = QByteArray::fromStdString(ownerLine(goneProcess()));
    const QByteArray live = QByteArray::fromStdString(ownerLine(getppid()));
    QTest::newRow("gone simulator, device still there") << "/dev/null" << gone << true;
    QTest::newRow("gone simulator, device gone") << "/nonexistent" << gone << true;
    QTest::newRow("gone simulator, owner file only") << QString() << gone << true;
    QTest::newRow("live simulator") << "/dev/null" << live << false;
    QTest::newRow("operator's link") << "/dev/null" << QByteArray() << false;
    QTest::newRow("operator's dangling link") << "/nonexistent" << QByteArray() << true;
    QTest::newRow("owner file not a process id") << "/dev/null" << QByteArray("sim\n") << false;
    QTest::newRow("owner file naming process 0") << "/dev/null" << QByteArray("0\n") << false;
}

void TestSimPortLink::startupReclaimsOnlyLinksOfGoneOwners()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, owner);
    QFETCH(bool, reclaimed);
    PortDirectory ports;
    if (!target.isEmpty())
        fs::create_symlink(target.toStdString(), ports.link(1));
    if (!owner.isEmpty())
        writeFile(ports.owner(1), owner.toStdString());
    std::string error;
    std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", {}, error);
    QVERIFY2(link, error.c_str());
    QCOMPARE(link->number(), reclaimed ? 1 : 2);
    QCOMPARE(fs::read_symlink(ports.link(link->number())), fs::path("/dev/zero"));
    QCOMPARE(readFile(ports.owner(link->number())), ownerLine(getpid()));
    if (!reclaimed) {
        QCOMPARE(QString::fromStdString(fs::read_symlink(ports.link(1)).string()), target);
        QCOMPARE(QByteArray::fromStdString(readFile(ports.owner(1))), owner);
    }
}

void TestSimPortLink::everyGoneOwnersLinkIsReclaimed()
{
    PortDirectory ports;
    for (const int number : {1, 3, 7}) {
        fs::create_symlink("/dev/null", ports.link(number));
        writeFile(ports.owner(number), ownerLine(goneProcess()));
    }
    fs::create_symlink("/dev/null", ports.link(2));
    std::string error;
    std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", 5, error);
    QVERIFY2(link, error.c_str());
    for (const int number : {1, 3, 7}) {
        QVERIFY(!fs::is_symlink(ports.link(number)));
        QVERIFY(!fs::exists(ports.owner(number)));
    }
    QVERIFY(fs::is_symlink(ports.link(2)));
}

void TestSimPortLink::chosenNumberHeldByLiveOwnerIsRefused()
{
    PortDirectory ports;
    fs::create_symlink("/dev/null", ports.link(4));
    writeFile(ports.owner(4), ownerLine(getppid()));
    std::string error;
    QVERIFY(!PortLink::create(ports.path, "/dev/zero", 4, error));
    QCOMPARE(error, "COM4 is served by another kestrin-sim (process " + std::to_string(getppid()) +
                        ") in " + ports.path.string());
    QCOMPARE(readFile(ports.owner(4)), ownerLine(getppid()));

    writeFile(ports.owner(4), ownerLine(goneProcess()));
    std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", 4, error);
    QVERIFY2(link, error.c_str());
    QCOMPARE(fs::read_symlink(ports.link(4)), fs::path("/dev/zero"));
}

void TestSimPortLink::ownerFileOfAnotherProcessStays()
{
    PortDirectory ports;
    std::string error;
    {
        std::optional<PortLink> link = PortLink::create(ports.path, "/dev/zero", {}, error);
        QVERIFY(link);
        writeFile(ports.owner(1), ownerLine(getppid()));
    }
    QCOMPARE(readFile(ports.owner(1)), ownerLine(getppid()));
}

void TestSimPortLink::ownerFileFormat_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("pid"); // 0: not an owner
    QTest::newRow("id and newline") << QByteArray("4321\n") << 4321;
    QTest::newRow("newline missing") << QByteArray("4321") << 4321;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("only a newline") << QByteArray("\n") << 0;
    QTest::newRow("two lines") << QByteArray("4321\n12\n") << 0;
    QTest::newRow("sign") << QByteArray("-4321\n") << 0;
    QTest::newRow("blank before") << QByteArray(" 4321\n") << 0;
    QTest::newRow("zero") << QByteArray("0\n") << 0;
    QTest::newRow("too long") << QByteArray("99999999999999999999\n") << 0;
}

void TestSimPortLink::ownerFileFormat()
{
    QFETCH(QByteArray, text);
    QFETCH(int, pid);
    PortDirectory ports;
    writeFile(ports.owner(1), text.toStdString());
    const std::optional<pid_t> expected = pid ? std::optional<pid_t>(pid) : std::nullopt;
    QCOMPARE(PortLink::readOwner(ports.owner(1)), expected);
}

QTEST_GUILESS_MAIN(TestSimPortLink)
#include "tst_sim_portlink.moc"
