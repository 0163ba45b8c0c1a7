#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace lumivor::link {

// A serial device the operating system reports (on Linux, what
// QSerialPortInfo lists: /dev/ttyS0, /dev/ttyUSB0, ...).
struct SystemSerialPort
{
    QString portName;       // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
};

// Which devices may stand for a port.
enum class DeviceFilter {
    SerialTerminals,    // only serial terminals (see deviceKind()): the console itself
    AnyCharacterDevice, // any character device: window tests that map ports to /dev/null
};

// How the probe found a port's device.
enum class PortOrigin {
    PortLink,    // a "com<n>" link in the port directory
    Uart,        // the kernel's UART /dev/ttyS<n-1>
    OtherDevice, // another serial device, numbered in name order
    SystemName,  // the system's own name "COM<n>" (Windows)
};

// The console names its ports by number, COM1 to COM16, on every platform.
//
// On Linux a number n is resolved in this order:
//  1. a symbolic link "com<n>" in the port directory (a virtual controller or
//     the operator maps a port this way, like a DOS device map). The link owns
//     its number whatever it leads to: one that leads to no serial port is
//     listed and refused when opened, never replaced by another device. A
//     link with an owner file "com<n>.owner" beside it, naming the program
//     that made it (a virtual controller writes one), is stale once that
//     program has ended: its number is then not listed;
//  2. the kernel's UART /dev/ttyS<n-1> when the system reports it as present;
//  3. the numbers still free go, lowest first, to the other serial devices the
//     system reports, in name order.
// On Windows the number n is simply the port "COM<n>".
//
// Which numbers exist is decided once, at start-up (the probe of COM1 to
// COM16). Which device a number opens is decided again at every open: a
// number found through a link follows that link as it is then, and one found
// as a device must still be that serial device. A number whose link or device
// has gone opens nothing, never whatever held that device before.
class ComPortTable
{
public:
    static constexpr int firstNumber = 1;
    static constexpr int lastNumber = 16;

    // Probes with the operator's port directory and the system's serial ports.
    static ComPortTable probe();
    // Probes with an explicit port directory and device list (tests use this).
    static ComPortTable probe(const QString& portDirectory,
                              const QList<SystemSerialPort>& systemPorts,
                              DeviceFilter filter = DeviceFilter::SerialTerminals);

    // Probes again as this table was probed: the same port directory and
    // device filter, and the system's serial ports as they are now (or the
    // same explicit list). Adapters plugged in since then get their numbers.
    void refresh();

    // Whether COM<number> was present at the probe. Nothing is opened.
    bool portExists(int number) const;
    // The present numbers in ascending order.
    QList<int> presentNumbers() const;
    // How the probe found a present number's device.
    PortOrigin origin(int number) const;
    // The device COM<number> stands for now (a link is followed again, even
    // one that leads to no serial port); empty when it stands for none. Never
    // throws: fit for a tooltip.
    QString devicePath(int number) const;
    // The same for opening the port: throws SerialPortError (InvalidPortNumber)
    // that tells the operator why the port cannot be opened.
    QString deviceToOpen(int number) const;
    // Why COM<number> cannot be opened now; empty when it can be tried.
    QString problem(int number) const;

private:
    struct Entry
    {
        QString device; // as probed
        PortOrigin origin = PortOrigin::OtherDevice;
    };
    struct Resolution
    {
        QString device;  // empty when the number stands for nothing now
        QString problem; // why, for the operator
    };
    Resolution resolve(int number) const;

    QString portDirectory_;
    DeviceFilter filter_ = DeviceFilter::SerialTerminals;
    QList<SystemSerialPort> systemPorts_; // the explicit list probed with
    bool asksSystem_ = false;             // probed with the system's own list
    QMap<int, Entry> entries_;            // number -> what the probe found
};

// $XDG_DATA_HOME/lumivor/ports, by default ~/.local/share/lumivor/ports.
QString defaultPortDirectory();

} // namespace lumivor::link
