// How port numbers map to devices: port links first, then the kernel's
// UARTs, then the other serial devices in name order; only serial terminals
// count, and a link owns its number whatever it leads to; a number that has
// lost its link opens nothing.
#include "link/comports.h"
#include "link/serialdevice.h"
#include "porterrors.h"
#include "pty.h"
#include "testsuite.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace lumivor;
using link::ComPortTable;
using link::DeviceKind;
using link::PortErrorCode;
using testing::caught;
using testing::PseudoTerminal;

namespace {

QString linkPath(const QTemporaryDir& dir, int number)
{
    return dir.filePath(QStringLiteral("com%1").arg(number));
}

void mapPort(const QTemporaryDir& dir, int number, const QString& target)
{
    QVERIFY(QFile::link(target, linkPath(dir, number)));
}

void writeOwner(const QTemporaryDir& dir, int number, const QByteArray& text)
{
    QFile owner(linkPath(dir, number) + QStringLiteral(".owner"));
    QVERIFY(owner.open(QIODevice::WriteOnly | QIODevice::Truncate));
    owner.write(text);
}

// The id of a process that has ended.
QByteArray endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return QByteArray::number(child) + '\n';
}

} // namespace

class ComPortsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linksUartsAndOtherDevicesGetTheirNumbers()
    {
        PseudoTerminal linked, uart, usbA, usbB, usbC;
        QVERIFY(linked.isValid() && uart.isValid() && usbA.isValid());
        QTemporaryDir dir;
        mapPort(dir, 3, linked.slavePath());
        mapPort(dir, 5, dir.filePath(QStringLiteral("gone"))); // target missing: no port
        QFile plain(dir.filePath(QStringLiteral("file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        mapPort(dir, 6, plain.fileName());    // not a character device
        mapPort(dir, 17, linked.slavePath()); // beyond COM16

        const ComPortTable table = ComPortTable::probe(
            dir.path(), {
                            {QStringLiteral("ttyUSB10"), usbC.slavePath()},
                            {QStringLiteral("ttyS0"), uart.slavePath()},         // COM1
                            {QStringLiteral("ttyS2"), QStringLiteral("/dev/x")}, // COM3 is linked
                            {QStringLiteral("ttyUSB2"), usbB.slavePath()},
                            {QStringLiteral("ttyACM0"), linked.slavePath()}, // already COM3
                            {QStringLiteral("ttyUSB1"), usbA.slavePath()},
                        });
        // A link owns its number whatever it leads to: 5 and 6 are listed, refused
        // on open, and never handed to another device.
        QCOMPARE(table.presentNumbers(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(table.devicePath(1), uart.slavePath());
        QCOMPARE(table.devicePath(2), usbA.slavePath());
        QCOMPARE(table.devicePath(3), linked.slavePath());
        QCOMPARE(table.devicePath(4), usbB.slavePath());
        QCOMPARE(table.devicePath(7), usbC.slavePath());
        QVERIFY(table.problem(5).endsWith(QStringLiteral("which does not exist")));
        QVERIFY(table.problem(6).endsWith(QStringLiteral("which is not a serial port")));
        QVERIFY(table.problem(1).isEmpty() && table.problem(3).isEmpty());
        QCOMPARE(table.origin(1), link::PortOrigin::Uart);
        QCOMPARE(table.origin(3), link::PortOrigin::PortLink);

        // A link is followed again at every open: the simulator restarted elsewhere.
        QVERIFY(QFile::remove(linkPath(dir, 3)));
        mapPort(dir, 3, usbA.slavePath());
        QCOMPARE(table.deviceToOpen(3), usbA.slavePath());
    }

    // A simulator's link (it keeps an owner file) counts only while its owner
    // lives; a link without a readable owner is an operator's own mapping.
    void linksOfEndedOwnersAreNotListed()
    {
        PseudoTerminal a, b, c, d, e;
        QTemporaryDir dir;
        mapPort(dir, 1, a.slavePath());
        writeOwner(dir, 1, endedProcess());
        mapPort(dir, 2, b.slavePath());
        writeOwner(dir, 2, QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        mapPort(dir, 3, c.slavePath());
        writeOwner(dir, 3, "not a number\n");
        mapPort(dir, 4, d.slavePath());
        // Our own id, but a process that started at another time: the id was reused.
        mapPort(dir, 5, e.slavePath());
        writeOwner(dir, 5, QByteArray::number(QCoreApplication::applicationPid()) + " 1\n");
        QCOMPARE(ComPortTable::probe(dir.path(), {}).presentNumbers(), (QList<int>{2, 3, 4}));
    }

    void onlySerialTerminalsArePorts_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<DeviceKind>("kind");
        QTest::newRow("pseudo-terminal slave") << QString() << DeviceKind::SerialTerminal;
        QTest::newRow("null device") << QStringLiteral("/dev/null") << DeviceKind::NotSerial;
        QTest::newRow("terminal multiplexer")
            << QStringLiteral("/dev/ptmx") << DeviceKind::NotSerial;
        QTest::newRow("virtual console 1") << QStringLiteral("/dev/tty1") << DeviceKind::NotSerial;
        QTest::newRow("nothing") << QStringLiteral("/dev/lumivor-none") << DeviceKind::Missing;
    }

    // A link to anything else is listed but refused on open; window tests map
    // ports to the null device, which only their filter admits.
    void onlySerialTerminalsArePorts()
    {
        QFETCH(QString, target);
        QFETCH(DeviceKind, kind);
        PseudoTerminal pty;
        if (target.isEmpty())
            target = pty.slavePath();
        else if (kind != DeviceKind::Missing && !QFileInfo::exists(target))
            QSKIP("this machine has no such device");
        QCOMPARE(link::deviceKind(target), kind);
        QTemporaryDir dir;
        mapPort(dir, 2, target);
        const ComPortTable table = ComPortTable::probe(dir.path(), {});
        QVERIFY(table.portExists(2));
        QCOMPARE(table.problem(2).isEmpty(), kind == DeviceKind::SerialTerminal);
        const bool characterDevice = kind != DeviceKind::Missing;
        QCOMPARE(ComPortTable::probe(dir.path(), {}, link::DeviceFilter::AnyCharacterDevice)
                     .problem(2)
                     .isEmpty(),
                 characterDevice);
    }

    void aNumberWhoseLinkWentOpensNothing_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link removed") << "remove"
                                      << " is no longer present: the link <link> was removed";
        QTest::newRow("target gone") << "dangle"
                                     << " (the link <link>) leads to <node>, which does not exist";
        QTest::newRow("target not a port")
            << "null"
            << " (the link <link>) leads to /dev/null, which is not a serial port";
        QTest::newRow("owner ended")
            << "owner"
            << " is no longer present: the virtual controller that provided it has ended";
    }

    // The simulator quit (or was killed) after the console started.
    void aNumberWhoseLinkWentOpensNothing()
    {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        PseudoTerminal pty;
        QTemporaryDir dir;
        const QString node = dir.filePath(QStringLiteral("node")); // stands for /dev/pts/N
        QVERIFY(QFile::link(pty.slavePath(), node));
        mapPort(dir, 3, node);
        const ComPortTable table = ComPortTable::probe(dir.path(), {});
        QCOMPARE(table.devicePath(3), pty.slavePath());

        if (change == QStringLiteral("remove")) {
            QVERIFY(QFile::remove(linkPath(dir, 3)));
        } else if (change == QStringLiteral("dangle")) {
            QVERIFY(QFile::remove(node));
        } else if (change == QStringLiteral("null")) {
            QVERIFY(QFile::remove(linkPath(dir, 3)));
            mapPort(dir, 3, QStringLiteral("/dev/null"));
        } else {
            writeOwner(dir, 3, endedProcess());
        }
        QVERIFY(!table.problem(3).isEmpty());
        const link::SerialPortError error = caught([&] { table.deviceToOpen(3); });
        QCOMPARE(error.code(), PortErrorCode::InvalidPortNumber);
        reason.replace(QStringLiteral("<link>"), linkPath(dir, 3))
            .replace(QStringLiteral("<node>"), node);
        QCOMPARE(error.description(), QStringLiteral("COM3") + reason);
        QVERIFY(table.portExists(3)); // still listed: the list is made once
    }
};

LUMIVOR_TEST(ComPortsTest)
#include "tst_com_ports.moc"
