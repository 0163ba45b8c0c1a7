#include "link/comports.h"

#include "link/serialdevice.h"
#include "link/serialport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <utility>

namespace lumivor::link {

namespace {

// Texts the operator reads: translatable, like the rest of the console's.
QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::link::ComPortTable", text);
}

QList<SystemSerialPort> systemSerialPorts()
{
    QList<SystemSerialPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append({info.portName(), info.systemLocation()});
    return ports;
}

#ifndef Q_OS_WIN

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

// How a device counts under the table's filter: with AnyCharacterDevice,
// every character device passes as a terminal.
DeviceKind kindUnder(const QString& path, DeviceFilter filter)
{
    const DeviceKind kind = deviceKind(path);
    if (filter == DeviceFilter::SerialTerminals || kind != DeviceKind::NotSerial)
        return kind;
    return isCharacterDevice(path) ? DeviceKind::SerialTerminal : DeviceKind::NotSerial;
}

// What the link com<n> of the port directory stands for now.
struct PortLinkState
{
    enum Kind { Absent, Usable, OwnerEnded, Dangling, NotSerial } kind = Absent;
    QString path;   // the link
    QString target; // the device it leads to, or its text when it leads nowhere
};

// A link's owner file holds the process id of the program that made the
// link and, from newer simulators, when that process started. The program is
// gone when no such process exists, or when the process of that id started at
// another time (the system gave the id to another program since). A file
// that holds no number proves nothing, and the link counts as usual.
bool ownerHasEnded(const QString& linkPath)
{
    QFile owner(linkPath + QStringLiteral(".owner"));
    if (!owner.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> fields = owner.read(64).simplified().split(' ');
    bool isNumber = false;
    const qint64 pid = fields.value(0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0)
        return false;
    if (!processExists(pid))
        return true;
    bool hasStart = false;
    const quint64 start = fields.value(1).toULongLong(&hasStart);
    const std::optional<quint64> running = processStartTime(pid);
    return hasStart && running && *running != start;
}

PortLinkState examineLink(const QString& portDirectory, int number, DeviceFilter filter)
{
    PortLinkState state;
    state.path = portDirectory + QStringLiteral("/com") + QString::number(number);
    const QFileInfo link(state.path);
    if (!link.isSymLink())
        return state;
    if (ownerHasEnded(state.path)) {
        state.kind = PortLinkState::OwnerEnded;
        return state;
    }
    state.target = link.exists() ? canonical(state.path) : link.symLinkTarget();
    switch (kindUnder(state.target, filter)) {
    case DeviceKind::Missing:
        state.kind = PortLinkState::Dangling;
        break;
    case DeviceKind::NotSerial:
        state.kind = PortLinkState::NotSerial;
        break;
    case DeviceKind::SerialTerminal:
        state.kind = PortLinkState::Usable;
        break;
    }
    return state;
}

// Why a number whose link is not usable opens nothing. The link owns its
// number all the same: no other device ever stands in for it.
QString whyLinkIsUnusable(int number, const PortLinkState& link)
{
    switch (link.kind) {
    case PortLinkState::OwnerEnded:
        return tr("COM%1 is no longer present: the virtual controller that provided it has ended")
            .arg(number);
    case PortLinkState::Dangling:
        return tr("COM%1 (the link %2) leads to %3, which does not exist")
            .arg(number)
            .arg(link.path, link.target);
    case PortLinkState::NotSerial:
        return tr("COM%1 (the link %2) leads to %3, which is not a serial port")
            .arg(number)
            .arg(link.path, link.target);
    case PortLinkState::Absent:
    case PortLinkState::Usable:
        break;
    }
    return tr("COM%1 is no longer present: the link %2 was removed").arg(number).arg(link.path);
}

QString whyDeviceIsGone(int number, const QString& device, DeviceKind kind)
{
    const QString gone = tr("COM%1 is no longer present: ").arg(number);
    return kind == DeviceKind::Missing ? gone + tr("%1 was removed").arg(device)
                                       : gone + tr("%1 is not a serial port").arg(device);
}

#endif

} // namespace

QString defaultPortDirectory()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/lumivor/ports");
}

ComPortTable ComPortTable::probe()
{
    ComPortTable table = probe(defaultPortDirectory(), systemSerialPorts());
    table.asksSystem_ = true;
    return table;
}

void ComPortTable::refresh()
{
    const bool asksSystem = asksSystem_;
    *this = probe(portDirectory_, asksSystem ? systemSerialPorts() : systemPorts_, filter_);
    asksSystem_ = asksSystem;
}

#ifdef Q_OS_WIN

ComPortTable ComPortTable::probe(const QString& portDirectory,
                                 const QList<SystemSerialPort>& systemPorts, DeviceFilter filter)
{
    ComPortTable table;
    table.portDirectory_ = portDirectory;
    table.filter_ = filter;
    table.systemPorts_ = systemPorts;
    for (const SystemSerialPort& port : systemPorts) {
        const QString name = port.portName.toUpper();
        if (!name.startsWith(QStringLiteral("COM")))
            continue;
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (ok && number >= firstNumber && number <= lastNumber)
            table.entries_.insert(number, {name, PortOrigin::SystemName});
    }
    return table;
}

ComPortTable::Resolution ComPortTable::resolve(int number) const
{
    if (!entries_.contains(number))
        return {{}, tr("Invalid Port Number: COM%1 is not present").arg(number)};
    return {entries_.value(number).device, {}};
}

#else

ComPortTable ComPortTable::probe(const QString& portDirectory,
                                 const QList<SystemSerialPort>& systemPorts, DeviceFilter filter)
{
    ComPortTable table;
    table.portDirectory_ = portDirectory;
    table.filter_ = filter;
    table.systemPorts_ = systemPorts;
    QList<QString> claimed; // canonical device paths already given a number
    QList<int> linked;      // numbers a link owns, listed or not

    // A link owns its number whatever it leads to: a link to something that
    // is no serial port is listed (and refused when opened), and one left by
    // a virtual controller that has ended is not; neither number ever goes
    // to another device.
    for (int n = firstNumber; n <= lastNumber; ++n) {
        const PortLinkState link = examineLink(portDirectory, n, filter);
        if (link.kind == PortLinkState::Absent)
            continue;
        linked.append(n);
        if (link.kind == PortLinkState::OwnerEnded)
            continue;
        table.entries_.insert(n, {link.target, PortOrigin::PortLink});
        if (link.kind == PortLinkState::Usable)
            claimed.append(link.target);
    }
    const auto taken = [&](int n) { return table.entries_.contains(n) || linked.contains(n); };

    QList<SystemSerialPort> others;
    for (const SystemSerialPort& port : systemPorts) {
        if (kindUnder(port.systemLocation, filter) != DeviceKind::SerialTerminal)
            continue;
        if (port.portName.startsWith(QStringLiteral("ttyS"))) {
            bool ok = false;
            const int n = port.portName.mid(4).toInt(&ok) + 1;
            if (ok && n >= firstNumber && n <= lastNumber && !taken(n)) {
                table.entries_.insert(n, {port.systemLocation, PortOrigin::Uart});
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
        while (next <= lastNumber && taken(next))
            ++next;
        if (next > lastNumber)
            break;
        table.entries_.insert(next, {port.systemLocation, PortOrigin::OtherDevice});
        claimed.append(canonical(port.systemLocation));
    }
    return table;
}

// A usable link wins, as at the probe. Otherwise a number the probe found
// through a link is gone with it, and one found as a device needs that device.
ComPortTable::Resolution ComPortTable::resolve(int number) const
{
    if (!entries_.contains(number))
        return {{}, tr("Invalid Port Number: COM%1 is not present").arg(number)};
    const Entry entry = entries_.value(number);
    const PortLinkState link = examineLink(portDirectory_, number, filter_);
    if (link.kind == PortLinkState::Usable)
        return {link.target, {}};
    if (entry.origin == PortOrigin::PortLink || link.kind != PortLinkState::Absent)
        return {link.target, whyLinkIsUnusable(number, link)};
    const DeviceKind kind = kindUnder(entry.device, filter_);
    if (kind != DeviceKind::SerialTerminal)
        return {entry.device, whyDeviceIsGone(number, entry.device, kind)};
    return {entry.device, {}};
}

#endif

QString ComPortTable::devicePath(int number) const
{
    return resolve(number).device;
}

QString ComPortTable::deviceToOpen(int number) const
{
    const Resolution resolution = resolve(number);
    if (!resolution.problem.isEmpty())
        throw SerialPortError(PortErrorCode::InvalidPortNumber, resolution.problem);
    return resolution.device;
}

QString ComPortTable::problem(int number) const
{
    return resolve(number).problem;
}

bool ComPortTable::portExists(int number) const
{
    return entries_.contains(number);
}

QList<int> ComPortTable::presentNumbers() const
{
    return entries_.keys();
}

PortOrigin ComPortTable::origin(int number) const
{
    return entries_.value(number).origin;
}

} // namespace lumivor::link
