#include "transport/portlink.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin {

namespace fs = std::filesystem;

namespace {

bool isDanglingLink(const fs::path& path)
{
    struct stat linkInfo
    {
    };
    struct stat targetInfo
    {
    };
    return lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode) &&
           stat(path.c_str(), &targetInfo) != 0 && errno == ENOENT;
}

std::string readLink(const fs::path& path)
{
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

fs::path PortLink::portDirectory()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home ? home : "/tmp") / ".local" / "share";
    }
    return base / "lumivor" / "ports";
}

bool PortLink::tryLink(const fs::path& path, const std::string& target)
{
    if (symlink(target.c_str(), path.c_str()) == 0)
        return true;
    if (errno != EEXIST || !isDanglingLink(path))
        return false;
    unlink(path.c_str());
    return symlink(target.c_str(), path.c_str()) == 0;
}

std::optional<PortLink> PortLink::create(const fs::path& directory, const std::string& target,
                                         std::optional<int> preferred, std::string& error)
{
    std::error_code made;
    fs::create_directories(directory, made);
    if (made) {
        error = directory.string() + ": " + made.message();
        return std::nullopt;
    }
    const int first = preferred.value_or(kFirstPort);
    const int last = preferred.value_or(kLastPort);
    for (int number = first; number <= last; ++number) {
        const fs::path path = directory / ("com" + std::to_string(number));
        if (tryLink(path, target))
            return PortLink(number, path, target);
    }
    error = preferred
                ? "COM" + std::to_string(*preferred) + " is already linked in " + directory.string()
                : "COM1 to COM16 are all linked in " + directory.string();
    return std::nullopt;
}

PortLink::PortLink(PortLink&& other) noexcept
    : number_(other.number_), path_(std::move(other.path_)), target_(std::move(other.target_))
{
    other.path_.clear();
}

PortLink::~PortLink()
{
    // Only our own link goes: another controller may have taken the number since.
    if (!path_.empty() && readLink(path_) == target_)
        unlink(path_.c_str());
}

} // namespace kestrin
