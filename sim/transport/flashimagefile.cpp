#include "transport/flashimagefile.h"
#include "transport/exclusivefile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin {

namespace {

namespace fs = std::filesystem;

int digitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

std::string systemWords()
{
    return std::strerror(errno);
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The file a path names, its symbolic links followed (the file need not exist).
std::string fileBehindLinks(const std::string& path)
{
    std::error_code ignored;
    const fs::path resolved = fs::weakly_canonical(fs::path(path), ignored);
    return resolved.empty() ? path : resolved.string();
}

} // namespace

std::optional<Flash> readFlashImageFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + " cannot be read as the flash: " + systemWords();
        return std::nullopt;
    }
    std::string text(kFlashSize * 2, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got < text.size()) {
        error = path + " cannot be used as the flash: it holds " + std::to_string(got) +
                " bytes where a flash image has " + std::to_string(text.size()) +
                " hexadecimal digits";
        return std::nullopt;
    }
    Flash flash;
    for (std::size_t offset = 0; offset < text.size(); ++offset) {
        if (digitValue(text[offset]) < 0) {
            error = path + " cannot be used as the flash: at offset " + std::to_string(offset) +
                    " it holds something other than a hexadecimal digit";
            return std::nullopt;
        }
    }
    for (std::size_t byte = 0; byte < kFlashSize; ++byte)
        flash.writeByte(byte, static_cast<std::uint8_t>(digitValue(text[2 * byte]) * 16 +
                                                        digitValue(text[2 * byte + 1])));
    return flash;
}

bool writeFlashImageFile(const std::string& path, const Flash& flash, std::string& error)
{
    const std::string target = fileBehindLinks(path);
    const std::string part = target + ".part";
    struct stat existing
    {
    };
    const bool targetExists = ::stat(target.c_str(), &existing) == 0;
    const int fd = createExclusively(part, 0666);
    if (fd < 0) {
        error = part + " cannot be created: " + systemWords();
        return false;
    }
    std::string text;
    text.reserve(kFlashSize * 2);
    for (int block = 0; block < kFlashBlockCount; ++block)
        text += flash.hexBlock(block);
    bool ok = writeAll(fd, text) &&
              (!targetExists || ::fchmod(fd, existing.st_mode & 07777) == 0) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(part.c_str(), target.c_str()) == 0)
        return true;
    error = target + " cannot be written: " + systemWords();
    ::unlink(part.c_str());
    return false;
}

} // namespace kestrin
