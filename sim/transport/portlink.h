#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace kestrin {

// The console finds COM ports as symbolic links com1 .. com16 in its port directory,
// $XDG_DATA_HOME/lumivor/ports (by default ~/.local/share/lumivor/ports); a link whose
// target is gone does not count. A PortLink is one such link, removed again when it is
// destroyed.
//
// Beside its link com<n> a simulator keeps the file com<n>.owner: its process id in decimal
// and a newline. A simulator killed outright leaves both behind, and the next one usually
// gets the same pseudo-terminal device, so the link alone would look alive; the owner file
// tells that its process is gone. A link without an owner file is an operator's own mapping
// (to a real serial device, say) and is never taken over while its target exists.
class PortLink
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;

    static std::filesystem::path portDirectory();
    // The owner file that belongs to the link 'link' (com3 -> com3.owner).
    static std::filesystem::path ownerFileOf(const std::filesystem::path& link);
    // The program that made a link: its process id and, where the system tells
    // it, when that process started (so a reused process id is not taken for it).
    struct Owner
    {
        pid_t pid = 0;
        std::optional<unsigned long long> startTime;
    };
    static std::optional<Owner> readOwner(const std::filesystem::path& ownerFile);
    // When a process started, in the system's clock ticks since boot (Linux's
    // /proc/<pid>/stat); nothing where the system does not tell.
    static std::optional<unsigned long long> processStartTime(pid_t pid);

    // First removes every link whose owner process is gone, with its owner file; then links
    // 'target' as com<preferred>, or as the lowest free number when none is given, and writes
    // the owner file naming this process. A dangling link is replaced too.
    static std::optional<PortLink> create(const std::filesystem::path& directory,
                                          const std::string& target, std::optional<int> preferred,
                                          std::string& error);

    PortLink(PortLink&& other) noexcept;
    PortLink& operator=(PortLink&&) = delete;
    PortLink(const PortLink&) = delete;
    ~PortLink();

    int number() const { return number_; }
    const std::filesystem::path& path() const { return path_; }

private:
    PortLink(int number, std::filesystem::path path, std::string target)
        : number_(number), path_(std::move(path)), target_(std::move(target))
    {}

    static bool tryLink(const std::filesystem::path& path, const std::string& target);
    static void reclaimLinksOfGoneOwners(const std::filesystem::path& directory);
    static std::string whyTaken(const std::filesystem::path& directory, int number);

    int number_ = 0;
    std::filesystem::path path_;
    std::string target_;
};

} // namespace kestrin
