#include "transport/portlink.h"
#include "transport/exclusivefile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin {

namespace fs = std::filesystem;

namespace {

// Held while links and owner files are checked, made or removed, so that two simulators
// starting together cannot both take the same number or reclaim each other's fresh link.
// The console only reads the directory and needs no lock.
class DirectoryLock
{
public:
    explicit DirectoryLock(const fs::path& directory)
        : fd_(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~DirectoryLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd_;
};

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

bool isLink(const fs::path& path)
{
    struct stat info
    {
    };
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string readLink(const fs::path& path)
{
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

fs::path linkPath(const fs::path& directory, int number)
{
    return directory / ("com" + std::to_string(number));
}

// "<pid> <start time>": the process id, and when that process started, so
// that a process id the system has given to another program since does not
// keep a link alive.
std::string ownerText()
{
    std::string text = std::to_string(getpid());
    if (const auto start = PortLink::processStartTime(getpid()))
        text += ' ' + std::to_string(*start);
    return text + '\n';
}

bool ownerGone(const PortLink::Owner& owner)
{
    if (kill(owner.pid, 0) != 0 && errno == ESRCH)
        return true;
    const auto start = PortLink::processStartTime(owner.pid);
    return owner.startTime && start && *start != *owner.startTime;
}

// Written under a temporary name and renamed, so that a reader sees the whole file or none.
bool writeOwnerFile(const fs::path& ownerFile, std::string& error)
{
    const fs::path temporary = ownerFile.string() + ".new" + std::to_string(getpid());
    const int fd = createExclusively(temporary, 0644);
    const std::string text = ownerText();
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    const int writeError = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        error = temporary.string() + ": " + std::strerror(writeError);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), ownerFile.c_str()) != 0) {
        error = ownerFile.string() + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
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

fs::path PortLink::ownerFileOf(const fs::path& link)
{
    return link.string() + ".owner";
}

std::optional<unsigned long long> PortLink::processStartTime(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name (field 2) is in parentheses and may hold blanks; the
    // start time is field 22, the 20th after the closing parenthesis.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::size_t at = close + 1;
    for (int field = 3; field < 22 && at != std::string::npos; ++field)
        at = text.find(' ', at + 1);
    if (at == std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long long start = std::strtoull(text.c_str() + at + 1, &end, 10);
    if (end == text.c_str() + at + 1)
        return std::nullopt;
    return start;
}

std::optional<PortLink::Owner> PortLink::readOwner(const fs::path& ownerFile)
{
    std::ifstream in(ownerFile);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // "<pid>" or "<pid> <start time>", then a newline (tolerated missing);
    // anything else is not ours to judge.
    const std::size_t digits = text.find_first_not_of("0123456789");
    const std::size_t end = digits == std::string::npos ? text.size() : digits;
    if (end == 0 || end > 9)
        return std::nullopt;
    Owner owner;
    // Process id 0 would make kill() test our own process group.
    owner.pid = static_cast<pid_t>(std::strtol(text.c_str(), nullptr, 10));
    if (owner.pid <= 0)
        return std::nullopt;
    std::string rest = text.substr(end);
    if (!rest.empty() && rest.back() == '\n')
        rest.pop_back();
    if (rest.empty())
        return owner;
    if (rest.size() < 2 || rest[0] != ' ' ||
        rest.find_first_not_of("0123456789", 1) != std::string::npos)
        return std::nullopt;
    owner.startTime = std::strtoull(rest.c_str() + 1, nullptr, 10);
    return owner;
}

void PortLink::reclaimLinksOfGoneOwners(const fs::path& directory)
{
    for (int number = kFirstPort; number <= kLastPort; ++number) {
        const fs::path link = linkPath(directory, number);
        const fs::path ownerFile = ownerFileOf(link);
        const std::optional<Owner> owner = readOwner(ownerFile);
        if (!owner || !ownerGone(*owner))
            continue;
        if (isLink(link))
            unlink(link.c_str());
        unlink(ownerFile.c_str());
    }
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

std::string PortLink::whyTaken(const fs::path& directory, int number)
{
    const fs::path link = linkPath(directory, number);
    const std::string name = "COM" + std::to_string(number);
    if (const std::optional<Owner> owner = readOwner(ownerFileOf(link)))
        return name + " is served by another kestrin-sim (process " + std::to_string(owner->pid) +
               ") in " + directory.string();
    const std::string target = readLink(link);
    if (!target.empty())
        return name + " is already linked to " + target + " in " + directory.string();
    return name + " is already taken in " + directory.string();
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
    const DirectoryLock lock(directory);
    reclaimLinksOfGoneOwners(directory);
    const int first = preferred.value_or(kFirstPort);
    const int last = preferred.value_or(kLastPort);
    for (int number = first; number <= last; ++number) {
        const fs::path path = linkPath(directory, number);
        if (!tryLink(path, target))
            continue;
        if (!writeOwnerFile(ownerFileOf(path), error)) {
            unlink(path.c_str());
            return std::nullopt;
        }
        return PortLink(number, path, target);
    }
    error = preferred ? whyTaken(directory, *preferred)
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
    if (path_.empty())
        return;
    const DirectoryLock lock(path_.parent_path());
    // Only our own link goes: another controller may have taken the number since. The link
    // goes first, so that no moment shows it without its owner file.
    if (readLink(path_) == target_)
        unlink(path_.c_str());
    const fs::path ownerFile = ownerFileOf(path_);
    if (const std::optional<Owner> owner = readOwner(ownerFile); owner && owner->pid == getpid())
        unlink(ownerFile.c_str());
}

} // namespace kestrin
