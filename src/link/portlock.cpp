#include "link/portlock.h"

#include "link/serialdevice.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

namespace lumivor::link {

namespace {

// Where serial lock files live; Qt writes to the first of these it may write
// to, and another program may have used another, so each one is looked at.
const char* const lockDirectories[] = {
    "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock",
};

std::optional<PortHolder> lockHolder(const QString& lockPath)
{
    if (!QFileInfo::exists(lockPath))
        return std::nullopt;
    PortHolder holder;
    QLockFile lock(lockPath);
    if (!lock.getLockInfo(&holder.pid, &holder.hostName, &holder.appName) || holder.pid <= 0)
        return std::nullopt;
    const bool here = holder.hostName.isEmpty() || holder.hostName == QSysInfo::machineHostName();
    if (here && !processExists(holder.pid))
        return std::nullopt; // a stale lock: the next opener takes it over
    return holder;
}

// "LCK.." and the device path as given, without a leading "/dev/", every '/'
// turned into '_' ("/dev/pts/4" -> "LCK..pts_4"): the name Qt 6 uses.
QString lockFileName(const QString& device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

std::optional<PortHolder> portHolder(const QString& device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return std::nullopt;
#else
    const QString name = lockFileName(device);
    for (const char* directory : lockDirectories) {
        if (auto holder = lockHolder(QLatin1String(directory) + QLatin1Char('/') + name))
            return holder;
    }
    return std::nullopt;
#endif
}

} // namespace lumivor::link
