#include "link/comports.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <utility>

#include <sys/stat.h>

namespace lumivor::link {

namespace {

bool isCharacterDevice(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
#endif
}

QList<SystemSerialPort> systemSerialPorts()
{
    QList<SystemSerialPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append({info.portName(), info.systemLocation()});
    return ports;
}

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// "ttyUSB2" before "ttyUSB10": name order as a person reads it, comparing a
// trailing number by its value.
std::pair<QString, qulonglong> nameKey(const QString& name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    return {name.left(digits), name.mid(digits).toULongLong()};
}

void sortByName(QList<SystemSerialPort>& ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return nameKey(a.portName) < nameKey(b.portName);
    });
}

} // namespace

QString defaultPortDirectory()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/lumivor/ports");
}

QString linkedDevice(const QString& portDirectory, int number)
{
    const QString link = portDirectory + QStringLiteral("/com") + QString::number(number);
    const QFileInfo info(link);
    if (!info.isSymLink())
        return {};
    const QString target = canonical(link);
    return isCharacterDevice(target) ? target : QString();
}

ComPortTable ComPortTable::probe()
{
    return probe(defaultPortDirectory(), systemSerialPorts());
}

#ifdef Q_OS_WIN

ComPortTable ComPortTable::probe(const QString& portDirectory,
                                 const QList<SystemSerialPort>& systemPorts)
{
    ComPortTable table;
    table.portDirectory_ = portDirectory;
    for (const SystemSerialPort& port : systemPorts) {
        const QString name = port.portName.toUpper();
        if (!name.startsWith(QStringLiteral("COM")))
            continue;
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (ok && number >= firstNumber && number <= lastNumber)
            table.devices_.insert(number, name);
    }
    return table;
}

QString ComPortTable::devicePath(int number) const
{
    return devices_.value(number);
}

#else

ComPortTable ComPortTable::probe(const QString& portDirectory,
                                 const QList<SystemSerialPort>& systemPorts)
{
    ComPortTable table;
    table.portDirectory_ = portDirectory;
    QList<QString> claimed; // canonical device paths already given a number

    for (int n = firstNumber; n <= lastNumber; ++n) {
        const QString device = linkedDevice(portDirectory, n);
        if (!device.isEmpty()) {
            table.devices_.insert(n, device);
            claimed.append(device);
        }
    }

    QList<SystemSerialPort> others;
    for (const SystemSerialPort& port : systemPorts) {
        if (port.portName.startsWith(QStringLiteral("ttyS"))) {
            bool ok = false;
            const int n = port.portName.mid(4).toInt(&ok) + 1;
            if (ok && n >= firstNumber && n <= lastNumber && !table.devices_.contains(n)) {
                table.devices_.insert(n, port.systemLocation);
                claimed.append(canonical(port.systemLocation));
            }
            continue;
        }
        others.append(port);
    }

    sortByName(others);
    int next = firstNumber;
    for (const SystemSerialPort& port : others) {
        if (claimed.contains(canonical(port.systemLocation)))
            continue;
        while (next <= lastNumber && table.devices_.contains(next))
            ++next;
        if (next > lastNumber)
            break;
        table.devices_.insert(next, port.systemLocation);
        claimed.append(canonical(port.systemLocation));
    }
    return table;
}

QString ComPortTable::devicePath(int number) const
{
    const QString linked = linkedDevice(portDirectory_, number);
    return linked.isEmpty() ? devices_.value(number) : linked;
}

#endif

bool ComPortTable::portExists(int number) const
{
    return devices_.contains(number);
}

QList<int> ComPortTable::presentNumbers() const
{
    return devices_.keys();
}

} // namespace lumivor::link
