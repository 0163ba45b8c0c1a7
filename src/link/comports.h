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

// The console names its ports by number, COM1 to COM16, on every platform.
//
// On Linux a number n is resolved in this order:
//  1. a symbolic link "com<n>" in the port directory whose target is a
//     character device that exists (a virtual controller or the operator maps
//     a port this way, like a DOS device map);
//  2. the kernel's UART /dev/ttyS<n-1> when the system reports it as present;
//  3. the numbers still free go, lowest first, to the other serial devices the
//     system reports, in name order.
// On Windows the number n is simply the port "COM<n>".
//
// The table is built once, at start-up (the probe of COM1 to COM16).
class ComPortTable
{
public:
    static constexpr int firstNumber = 1;
    static constexpr int lastNumber = 16;

    // Probes with the operator's port directory and the system's serial ports.
    static ComPortTable probe();
    // Probes with an explicit port directory and device list (tests use this).
    static ComPortTable probe(const QString& portDirectory,
                              const QList<SystemSerialPort>& systemPorts);

    // Whether COM<number> was present at the probe. Nothing is opened.
    bool portExists(int number) const;
    // The present numbers in ascending order.
    QList<int> presentNumbers() const;
    // The device to open for COM<number>. A port link is followed again, so a
    // virtual controller that was restarted on another device is still found;
    // empty when the number resolves to nothing.
    QString devicePath(int number) const;

private:
    QString portDirectory_;
    QMap<int, QString> devices_; // number -> device path, as probed
};

// $XDG_DATA_HOME/lumivor/ports, by default ~/.local/share/lumivor/ports.
QString defaultPortDirectory();

// The device a "com<n>" link in the port directory points to, when the link
// exists and its target is a character device; empty otherwise.
QString linkedDevice(const QString& portDirectory, int number);

} // namespace lumivor::link
