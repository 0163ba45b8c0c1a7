#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

namespace lumivor::about {

// Where the operating system keeps its system-information program, asked
// through a small lookup so the decision steps below run with fakes on every
// platform.
class SystemLookup
{
public:
    virtual ~SystemLookup() = default;
    // A string value under HKEY_LOCAL_MACHINE, as the registry query reported
    // it (its terminating NUL included when the query counted one); nothing
    // when the key or the value cannot be read. Windows only.
    virtual std::optional<QByteArray> machineRegistryString(const QString& keyPath,
                                                            const QString& valueName) = 0;
    // Whether a file exists at the path and is neither hidden nor a system file.
    virtual bool isVisibleFile(const QString& path) = 0;
    // The full path of a program found on PATH, or an empty text.
    virtual QString findProgram(const QString& name) = 0;
};

// Starts things on the desktop: a program as its own process (not waited
// for), and a web address in the operator's browser.
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;
    virtual bool startDetached(const QString& program) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
};

enum class Platform { Windows, Other };
Platform currentPlatform();

// The programs tried on Linux and other systems without the Windows one, in
// this order: information centres first (closest to System Information),
// then the desktops' system monitors.
QStringList systemInfoPrograms();

// The text of a registry string value: the reported characters, less one if
// the last of them is a NUL (a value that is only a NUL gives an empty text).
QString registryText(const QByteArray& data);

// The program System Information would start, or nothing when none is to be
// found. Windows: the MSINFO "PATH" value as it stands (not tested for
// existence), else MSINFO32.EXE in the "Shared Tools Location" folder when
// that file exists. Elsewhere: the first of systemInfoPrograms() on PATH.
std::optional<QString> findSystemInfo(Platform platform, SystemLookup& lookup);

// Finds and starts System Information; false when it is unavailable (none
// found, or the found one could not be started): the caller tells the
// operator "System Information Is Unavailable At This Time".
bool startSystemInfo(Platform platform, SystemLookup& lookup, DesktopLauncher& launcher);

// The real lookup and launcher of this machine.
std::unique_ptr<SystemLookup> makeSystemLookup();
std::unique_ptr<DesktopLauncher> makeDesktopLauncher();

} // namespace lumivor::about
