// How port numbers map to devices: port links first, then the kernel's
// UARTs, then the other serial devices in name order.
#include "link/comports.h"
#include "pty.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using lumivor::link::ComPortTable;
using lumivor::link::SystemSerialPort;
using lumivor::testing::PseudoTerminal;

class ComPortsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linksUartsAndOtherDevicesGetTheirNumbers();
    void aLinkFollowsItsTargetAtOpenTime();
    void portDirectoryFollowsXdgDataHome();

private:
    static void link(const QTemporaryDir& dir, int number, const QString& target)
    {
        QVERIFY(QFile::link(target, dir.path() + QStringLiteral("/com%1").arg(number)));
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

QTEST_GUILESS_MAIN(ComPortsTest)
#include "tst_com_ports.moc"
