#include "link/serialdevice.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif
#endif

namespace lumivor::link {

namespace {

#ifdef Q_OS_LINUX
bool filedUnderTtyClass(unsigned major, unsigned minor)
{
    const QString subsystem = QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major).arg(minor);
    return QFileInfo(QFileInfo(subsystem).canonicalFilePath()).fileName() == QLatin1String("tty");
}

bool isSerialTerminalNumber(unsigned major, unsigned minor)
{
    constexpr unsigned firstPtySlaveMajor = 136;
    constexpr unsigned lastPtySlaveMajor = 143;
    constexpr unsigned ttyAuxMajor = 5;         // /dev/tty, /dev/console, /dev/ptmx
    constexpr unsigned virtualConsoleMajor = 4; // shared with the UARTs /dev/ttyS*
    constexpr unsigned firstUartMinor = 64;
    if (major >= firstPtySlaveMajor && major <= lastPtySlaveMajor)
        return true;
    if (major == ttyAuxMajor && minor <= 2)
        return false;
    if (major == virtualConsoleMajor && minor < firstUartMinor)
        return false;
    return filedUnderTtyClass(major, minor);
}
#endif

} // namespace

DeviceKind deviceKind(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return DeviceKind::Missing;
    if (!S_ISCHR(info.st_mode))
        return DeviceKind::NotSerial;
#ifdef Q_OS_LINUX
    if (!isSerialTerminalNumber(major(info.st_rdev), minor(info.st_rdev)))
        return DeviceKind::NotSerial;
#endif
    return DeviceKind::SerialTerminal;
#else
    return path.isEmpty() ? DeviceKind::Missing : DeviceKind::SerialTerminal;
#endif
}

bool isCharacterDevice(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool processExists(qint64 pid)
{
#ifdef Q_OS_UNIX
    if (pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(pid);
    return true; // no owner files on Windows
#endif
}

std::optional<quint64> processStartTime(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.readAll();
    // The command name (field 2) is in parentheses and may hold blanks; the
    // start time is the 20th field after it.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 1).simplified().split(' ');
    bool ok = false;
    const quint64 start = fields.value(19).toULongLong(&ok);
    return ok ? std::optional<quint64>(start) : std::nullopt;
}

} // namespace lumivor::link
