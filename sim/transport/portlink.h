#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestrin {

// The console finds COM ports as symbolic links com1 .. com16 in its port directory,
// $XDG_DATA_HOME/lumivor/ports (by default ~/.local/share/lumivor/ports); a link whose
// target is gone does not count. A PortLink is one such link, removed again when it is
// destroyed.
class PortLink
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;

    static std::filesystem::path portDirectory();

    // Links 'target' as com<preferred>, or as the lowest free number when none is given.
    // A link left behind by a controller that is gone is replaced.
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

    int number_ = 0;
    std::filesystem::path path_;
    std::string target_;
};

} // namespace kestrin
