// How port numbers map to devices: port links first, then the kernel's
// UARTs, then the other serial devices in name order; only serial terminals
// count, and a number that has lost its link or device opens nothing.
#include "link/comports.h"
#include "link/qtserialport.h"
#include "link/serialdevice.h"
#include "porterrors.h"
#include "pty.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using lumivor::link::ComPortTable;
using lumivor::link::DeviceFilter;
using lumivor::link::DeviceKind;
using lumivor::link::PortErrorCode;
using lumivor::link::QtSerialPort;
using lumivor::link::SerialPortError;
using lumivor::link::SystemSerialPort;
using lumivor::testing::caught;
using lumivor::testing::PseudoTerminal;

class ComPortsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linksUartsAndOtherDevicesGetTheirNumbers();
    void aLinkFollowsItsTargetAtOpenTime();
    void portDirectoryFollowsXdgDataHome();
    void onlySerialTerminalsArePorts_data();
    void onlySerialTerminalsArePorts();
    void aNumberWhoseLinkWentOpensNothing_data();
    void aNumberWhoseLinkWentOpensNothing();
    void aNumberWhoseDeviceWentOpensNothing();
    void aGonePortWritesNothingToItsOldDevice();
    void linksOfEndedOwnersAreNotListed();
    void windowTestsMayMapPortsToTheNullDevice();

private:
    static QString linkPath(const QTemporaryDir& dir, int number)
    {
        return dir.path() + QStringLiteral("/com%1").arg(number);
    }
    static void link(const QTemporaryDir& dir, int number, const QString& target)
    {
        QVERIFY(QFile::link(target, linkPath(dir, number)));
    }
    static void writeOwner(const QTemporaryDir& dir, int number, const QByteArray& text)
    {
        QFile owner(linkPath(dir, number) + QStringLiteral(".owner"));
        QVERIFY(owner.open(QIODevice::WriteOnly | QIODevice::Truncate));
        owner.write(text);
    }
    // The id of a process that has ended.
    static qint64 endedProcess()
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }
};

void ComPortsTest::linksUartsAndOtherDevicesGetTheirNumbers()
{
    PseudoTerminal linked, uart, usbA, usbB, usbC;
    QVERIFY(linked.isValid() && uart.isValid() && usbA.isValid());
    QTemporaryDir dir;
    link(dir, 3, linked.slavePath());
    link(dir, 5, dir.path() + QStringLiteral("/gone")); // target missing: no port
    QFile plain(dir.path() + QStringLiteral("/file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    link(dir, 6, plain.fileName());    // not a character device
    link(dir, 17, linked.slavePath()); // beyond COM16
    QVERIFY(QFile(dir.path() + QStringLiteral("/com8")).open(QIODevice::WriteOnly)); // no link

    const QList<SystemSerialPort> system{
        {QStringLiteral("ttyUSB10"), usbC.slavePath()},
        {QStringLiteral("ttyS0"), uart.slavePath()},         // COM1
        {QStringLiteral("ttyS2"), QStringLiteral("/dev/x")}, // COM3 is taken by its link
        {QStringLiteral("ttyUSB2"), usbB.slavePath()},
        {QStringLiteral("ttyACM0"), linked.slavePath()}, // already COM3 through the link
        {QStringLiteral("ttyUSB1"), usbA.slavePath()},
    };
    const ComPortTable table = ComPortTable::probe(dir.path(), system);

    QCOMPARE(table.presentNumbers(), (QList<int>{1, 2, 3, 4, 5}));
    QCOMPARE(table.devicePath(1), uart.slavePath());
    QCOMPARE(table.devicePath(2), usbA.slavePath());
    QCOMPARE(table.devicePath(3), linked.slavePath());
    QCOMPARE(table.devicePath(4), usbB.slavePath());
    QCOMPARE(table.devicePath(5), usbC.slavePath());
    using lumivor::link::PortOrigin;
    QCOMPARE(table.origin(1), PortOrigin::Uart);
    QCOMPARE(table.origin(2), PortOrigin::OtherDevice);
    QCOMPARE(table.origin(3), PortOrigin::PortLink);
    for (int missing : {6, 7, 8, 16, 17, 0})
        QVERIFY2(!table.portExists(missing), qPrintable(QString::number(missing)));
}

void ComPortsTest::aLinkFollowsItsTargetAtOpenTime()
{
    PseudoTerminal first, second;
    QTemporaryDir dir;
    link(dir, 2, first.slavePath());
    const ComPortTable table = ComPortTable::probe(dir.path(), {});
    QVERIFY(table.portExists(2));

    // The virtual controller restarts on another device.
    QVERIFY(QFile::remove(dir.path() + QStringLiteral("/com2")));
    link(dir, 2, second.slavePath());
    QCOMPARE(table.devicePath(2), second.slavePath());

    // A number linked after start-up is not listed: the probe runs once.
    link(dir, 9, first.slavePath());
    QVERIFY(!table.portExists(9));
}

void ComPortsTest::portDirectoryFollowsXdgDataHome()
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/lumivor-xdg");
    QCOMPARE(lumivor::link::defaultPortDirectory(),
             QStringLiteral("/tmp/lumivor-xdg/lumivor/ports"));
    qputenv("XDG_DATA_HOME", "relative/path"); // not absolute: ignored
    QCOMPARE(lumivor::link::defaultPortDirectory(),
             QDir::homePath() + QStringLiteral("/.local/share/lumivor/ports"));
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(lumivor::link::defaultPortDirectory(),
             QDir::homePath() + QStringLiteral("/.local/share/lumivor/ports"));
    qputenv("XDG_DATA_HOME", saved);
}

void ComPortsTest::onlySerialTerminalsArePorts_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<DeviceKind>("kind");
    QTest::newRow("pseudo-terminal slave") << QString() << DeviceKind::SerialTerminal;
    QTest::newRow("UART") << QStringLiteral("/dev/ttyS0") << DeviceKind::SerialTerminal;
    QTest::newRow("null device") << QStringLiteral("/dev/null") << DeviceKind::NotSerial;
    QTest::newRow("zero device") << QStringLiteral("/dev/zero") << DeviceKind::NotSerial;
    QTest::newRow("controlling terminal") << QStringLiteral("/dev/tty") << DeviceKind::NotSerial;
    QTest::newRow("terminal multiplexer") << QStringLiteral("/dev/ptmx") << DeviceKind::NotSerial;
    QTest::newRow("system console") << QStringLiteral("/dev/console") << DeviceKind::NotSerial;
    QTest::newRow("virtual console 0") << QStringLiteral("/dev/tty0") << DeviceKind::NotSerial;
    QTest::newRow("virtual console 1") << QStringLiteral("/dev/tty1") << DeviceKind::NotSerial;
    QTest::newRow("directory") << QStringLiteral("/dev") << DeviceKind::NotSerial;
    QTest::newRow("nothing") << QStringLiteral("/dev/lumivor-none") << DeviceKind::Missing;
}

void ComPortsTest::onlySerialTerminalsArePorts()
{
    QFETCH(QString, target);
    QFETCH(DeviceKind, kind);
    PseudoTerminal pty;
    if (target.isEmpty())
        target = pty.slavePath();
    else if (kind != DeviceKind::Missing && !QFileInfo::exists(target))
        QSKIP("this machine has no such device");
    QCOMPARE(lumivor::link::deviceKind(target), kind);

    QTemporaryDir dir;
    link(dir, 2, target);
    const ComPortTable table = ComPortTable::probe(dir.path(), {});
    QCOMPARE(table.portExists(2), kind == DeviceKind::SerialTerminal);
    const QTemporaryDir noLinks;
    const ComPortTable reported =
        ComPortTable::probe(noLinks.path(), {{QStringLiteral("ttyUSB0"), target}});
    QCOMPARE(reported.portExists(1), kind == DeviceKind::SerialTerminal);
}

void ComPortsTest::aNumberWhoseLinkWentOpensNothing_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::newRow("link removed") << QStringLiteral("remove")
                                  << QStringLiteral("the link <link> was removed");
    QTest::newRow("target gone") << QStringLiteral("dangle")
                                 << QStringLiteral(
                                        "the link <link> points to <node>, which no longer exists");
    QTest::newRow("target not a port")
        << QStringLiteral("null")
        << QStringLiteral("the link <link> points to /dev/null, which is not a serial port");
    QTest::newRow("owner ended") << QStringLiteral("owner")
                                 << QStringLiteral(
                                        "the virtual controller that provided it has ended");
}

// The simulator quit (or was killed) after the console started.
void ComPortsTest::aNumberWhoseLinkWentOpensNothing()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("node")); // stands for /dev/pts/N
    QVERIFY(QFile::link(pty.slavePath(), node));
    link(dir, 3, node);
    const ComPortTable table = ComPortTable::probe(dir.path(), {});
    QCOMPARE(table.devicePath(3), pty.slavePath());

    if (change == QStringLiteral("remove")) {
        QVERIFY(QFile::remove(linkPath(dir, 3)));
    } else if (change == QStringLiteral("dangle")) {
        QVERIFY(QFile::remove(node));
    } else if (change == QStringLiteral("null")) {
        QVERIFY(QFile::remove(linkPath(dir, 3)));
        link(dir, 3, QStringLiteral("/dev/null"));
    } else {
        writeOwner(dir, 3, QByteArray::number(endedProcess()) + '\n');
    }
    QCOMPARE(table.devicePath(3), QString());
    const SerialPortError error = caught([&] { table.deviceToOpen(3); });
    QCOMPARE(error.code(), PortErrorCode::InvalidPortNumber);
    reason.replace(QStringLiteral("<link>"), linkPath(dir, 3))
        .replace(QStringLiteral("<node>"), node);
    QCOMPARE(error.description(), QStringLiteral("COM3 is no longer present: ") + reason);
    QVERIFY(table.portExists(3)); // still listed: the list is made once
}

void ComPortsTest::aNumberWhoseDeviceWentOpensNothing()
{
    PseudoTerminal pty;
    QTemporaryDir dir;
    const QString adapter = dir.filePath(QStringLiteral("ttyUSB0")); // stands for /dev/ttyUSB0
    QVERIFY(QFile::link(pty.slavePath(), adapter));
    const ComPortTable table =
        ComPortTable::probe(dir.path(), {{QStringLiteral("ttyUSB0"), adapter}});
    QCOMPARE(table.deviceToOpen(1), adapter);

    QVERIFY(QFile::remove(adapter)); // unplugged
    QCOMPARE(table.devicePath(1), QString());
    SerialPortError error = caught([&] { table.deviceToOpen(1); });
    QCOMPARE(error.code(), PortErrorCode::InvalidPortNumber);
    QCOMPARE(error.description(),
             QStringLiteral("COM1 is no longer present: %1 was removed").arg(adapter));

    QVERIFY(QFile::link(QStringLiteral("/dev/null"), adapter)); // the name now means another thing
    error = caught([&] { table.deviceToOpen(1); });
    QCOMPARE(error.description(),
             QStringLiteral("COM1 is no longer present: %1 is not a serial port").arg(adapter));

    QCOMPARE(caught([&] { table.deviceToOpen(9); }).description(),
             QStringLiteral("Invalid Port Number: COM9 is not present"));
}

// The terminal the simulator had is someone else's now: Connect must not
// write the identification query into it.
void ComPortsTest::aGonePortWritesNothingToItsOldDevice()
{
    PseudoTerminal terminal;
    QTemporaryDir dir;
    link(dir, 3, terminal.slavePath());
    const ComPortTable table = ComPortTable::probe(dir.path(), {});
    QVERIFY(QFile::remove(linkPath(dir, 3))); // the simulator quit

    QtSerialPort port([&](int number) { return table.deviceToOpen(number); });
    port.setCommPort(3);
    const SerialPortError error = caught([&] { port.setPortOpen(true); });
    QCOMPARE(error.code(), PortErrorCode::InvalidPortNumber);
    QVERIFY2(error.description().startsWith(QStringLiteral("COM3 is no longer present")),
             qPrintable(error.description()));
    QVERIFY(!port.portOpen());
}

void ComPortsTest::linksOfEndedOwnersAreNotListed()
{
    PseudoTerminal a, b, c, d;
    QTemporaryDir dir;
    link(dir, 1, a.slavePath());
    writeOwner(dir, 1, QByteArray::number(endedProcess()) + '\n');
    link(dir, 2, b.slavePath());
    writeOwner(dir, 2, QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    link(dir, 3, c.slavePath());
    writeOwner(dir, 3, "not a number\n"); // proves nothing: an operator's own file
    link(dir, 4, d.slavePath());          // no owner file: an operator's own mapping

    const ComPortTable table = ComPortTable::probe(dir.path(), {});
    QCOMPARE(table.presentNumbers(), (QList<int>{2, 3, 4}));
    QCOMPARE(table.deviceToOpen(2), b.slavePath());
}

// What the window tests' fixture calls: it maps ports to /dev/null and
// never opens them.
void ComPortsTest::windowTestsMayMapPortsToTheNullDevice()
{
    QTemporaryDir dir;
    link(dir, 1, QStringLiteral("/dev/null"));
    link(dir, 3, QStringLiteral("/dev/null"));
    link(dir, 4, dir.filePath(QStringLiteral("gone")));
    const ComPortTable table =
        ComPortTable::probe(dir.path(), {}, DeviceFilter::AnyCharacterDevice);
    QCOMPARE(table.presentNumbers(), (QList<int>{1, 3}));
    QCOMPARE(table.devicePath(3), QStringLiteral("/dev/null"));
    QCOMPARE(ComPortTable::probe(dir.path(), {}).presentNumbers(), QList<int>());
}

QTEST_GUILESS_MAIN(ComPortsTest)
#include "tst_com_ports.moc"
