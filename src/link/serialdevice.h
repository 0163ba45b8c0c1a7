#pragma once

#include <optional>

#include <QString>

namespace lumivor::link {

// What a device path stands for, as far as opening it as a port goes.
enum class DeviceKind {
    Missing,       // nothing there (or a link that points nowhere)
    NotSerial,     // something that is not a serial terminal: /dev/null, a file, /dev/tty
    SerialTerminal // a UART, a USB adapter, a pseudo-terminal slave
};

// Classifies `path`, following links, by stat() and sysfs alone: nothing is
// opened, so looking at a real port raises none of its control lines.
//
// On Linux a serial terminal is a character device that is either a Unix98
// pseudo-terminal slave (majors 136-143) or one the kernel files under its
// "tty" class (/sys/dev/char/<major>:<minor>/subsystem), except the
// controlling terminal /dev/tty (5,0), the system console /dev/console (5,1),
// the pseudo-terminal multiplexer /dev/ptmx (5,2) and the virtual consoles
// /dev/tty0 to /dev/tty63 (major 4, minor below 64): those are tty devices
// but no line to a controller. On other Unix systems every character device
// counts. On Windows ports are names ("COM3"), never paths: always a terminal.
DeviceKind deviceKind(const QString& path);

// Whether `path` (links followed) is a character device of any kind.
bool isCharacterDevice(const QString& path);

// Whether a process with this id exists. One we may not signal (EPERM) exists.
bool processExists(qint64 pid);
// When a process started, in the system's clock ticks since boot (Linux's
// /proc/<pid>/stat, field 22); nothing where the system does not tell.
std::optional<quint64> processStartTime(qint64 pid);

} // namespace lumivor::link
