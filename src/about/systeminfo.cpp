#include "about/systeminfo.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace lumivor::about {

namespace {

const QString msinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString sharedToolsKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

std::optional<QString> findOnWindows(SystemLookup& lookup)
{
    if (const auto path = lookup.machineRegistryString(msinfoKey, QStringLiteral("PATH")))
        return registryText(*path);
    const auto folder = lookup.machineRegistryString(sharedToolsKey, QStringLiteral("MSINFO"));
    if (!folder)
        return std::nullopt;
    const QString path = registryText(*folder) + QStringLiteral("\\MSINFO32.EXE");
    if (!lookup.isVisibleFile(path))
        return std::nullopt;
    return path;
}

std::optional<QString> findOnPath(SystemLookup& lookup)
{
    for (const QString& program : systemInfoPrograms()) {
        const QString path = lookup.findProgram(program);
        if (!path.isEmpty())
            return path;
    }
    return std::nullopt;
}

class MachineLookup final : public SystemLookup
{
public:
    std::optional<QByteArray> machineRegistryString(const QString& keyPath,
                                                    const QString& valueName) override;
    bool isVisibleFile(const QString& path) override;
    QString findProgram(const QString& name) override
    {
        return QStandardPaths::findExecutable(name);
    }
};

#ifdef Q_OS_WIN
// Opened with the access the lookup has always asked for (0x2003F), read into
// 1024 characters, closed on every path.
std::optional<QByteArray> MachineLookup::machineRegistryString(const QString& keyPath,
                                                               const QString& valueName)
{
    constexpr REGSAM access = 0x2003F;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.toLocal8Bit().constData(), 0, access, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG queried = RegQueryValueExA(key, valueName.toLocal8Bit().constData(), nullptr, &type,
                                          reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (queried != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return QByteArray(buffer, static_cast<qsizetype>(size));
}

bool MachineLookup::isVisibleFile(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}
#else
std::optional<QByteArray> MachineLookup::machineRegistryString(const QString&, const QString&)
{
    return std::nullopt;
}

bool MachineLookup::isVisibleFile(const QString& path)
{
    const QFileInfo file(path);
    return file.isFile() && !file.isHidden();
}
#endif

class MachineLauncher final : public DesktopLauncher
{
public:
    bool startDetached(const QString& program) override
    {
        return !program.isEmpty() && QProcess::startDetached(program, {});
    }
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

} // namespace

Platform currentPlatform()
{
#ifdef Q_OS_WIN
    return Platform::Windows;
#else
    return Platform::Other;
#endif
}

QStringList systemInfoPrograms()
{
    return {QStringLiteral("hardinfo2"),
            QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("plasma-systemmonitor"),
            QStringLiteral("ksysguard"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lshw-gtk")};
}

QString registryText(const QByteArray& data)
{
    const QByteArray text = data.endsWith('\0') ? data.chopped(1) : data;
    return QString::fromLocal8Bit(text);
}

std::optional<QString> findSystemInfo(Platform platform, SystemLookup& lookup)
{
    return platform == Platform::Windows ? findOnWindows(lookup) : findOnPath(lookup);
}

bool startSystemInfo(Platform platform, SystemLookup& lookup, DesktopLauncher& launcher)
{
    const std::optional<QString> program = findSystemInfo(platform, lookup);
    return program && !program->isEmpty() && launcher.startDetached(*program);
}

std::unique_ptr<SystemLookup> makeSystemLookup()
{
    return std::make_unique<MachineLookup>();
}

std::unique_ptr<DesktopLauncher> makeDesktopLauncher()
{
    return std::make_unique<MachineLauncher>();
}

} // namespace lumivor::about
