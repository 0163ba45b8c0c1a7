#pragma once

#include <QString>

#include <optional>

namespace lumivor::link {

// A program that holds a serial device through its lock file.
struct PortHolder
{
    qint64 pid = 0;
    QString appName;  // may be empty
    QString hostName; // the machine that wrote the lock
};

// The program that holds `device` by a lock file (the uucp-style "LCK.."
// file that Qt's serial port takes) in one of the lock directories, when a
// lock names one that is still running, or one on another machine, which
// cannot be checked. Only reads files. Always empty on Windows, where the
// system itself refuses a second opener.
std::optional<PortHolder> portHolder(const QString& device);

} // namespace lumivor::link
