#include "transport/exclusivefile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin {

int createExclusively(const std::filesystem::path& path, mode_t mode)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST || attempt > 0)
            return fd;
        struct stat leftover
        {
        };
        if (::lstat(path.c_str(), &leftover) != 0 || !S_ISREG(leftover.st_mode) ||
            ::unlink(path.c_str()) != 0) {
            errno = EEXIST;
            return -1;
        }
    }
    return -1;
}

} // namespace kestrin
