#include "transport/touchinput.h"

#include "model/geometry.h"
#include "transport/session.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace kestrin {

namespace {

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> found;
    constexpr std::string_view blanks = " \t\r";
    for (std::size_t at = line.find_first_not_of(blanks); at != std::string_view::npos;
         at = line.find_first_not_of(blanks, at)) {
        const std::size_t end = std::min(line.find_first_of(blanks, at), line.size());
        found.push_back(line.substr(at, end - at));
        at = end;
    }
    return found;
}

std::optional<int> numberIn(std::string_view word, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// Quotes at most the start of the line: enough to find it in a script.
void report(const std::string& what, std::string_view line)
{
    constexpr std::size_t quoted = 64;
    std::fprintf(stderr, "kestrin-sim: touch input: %s: \"%.*s%s\"\n", what.c_str(),
                 static_cast<int>(std::min(line.size(), quoted)), line.data(),
                 line.size() > quoted ? "..." : "");
}

} // namespace

std::optional<Point> parseTouchLine(std::string_view line, std::string& error)
{
    error.clear();
    const std::vector<std::string_view> found = words(line);
    if (found.empty())
        return std::nullopt;
    if (found.size() != 3 || found[0] != "touch") {
        error = "expected \"touch X Y\"";
        return std::nullopt;
    }
    const std::optional<int> x = numberIn(found[1], 0, kWidth - 1);
    const std::optional<int> y = numberIn(found[2], 0, kHeight - 1);
    if (!x || !y) {
        error = "X must be a whole number from 0 to " + std::to_string(kWidth - 1) +
                " and Y from 0 to " + std::to_string(kHeight - 1);
        return std::nullopt;
    }
    return Point{*x, *y};
}

TouchInput::TouchInput(Session& session, int fd, QObject* parent)
    : QObject(parent), session_(session), fd_(fd),
      notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &TouchInput::readAvailable);
}

void TouchInput::readAvailable()
{
    char buffer[4096];
    const ssize_t count = ::read(fd_, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        if (count < 0)
            std::fprintf(stderr, "kestrin-sim: touch input: %s\n", std::strerror(errno));
        else if (!skipping_ && !pending_.empty())
            takeLine(pending_); // the last line needs no line feed
        pending_.clear();
        notifier_->setEnabled(false); // the input has ended; the controller goes on
        return;
    }
    take(std::string_view(buffer, static_cast<std::size_t>(count)));
}

void TouchInput::take(std::string_view bytes)
{
    for (;;) {
        const std::size_t end = bytes.find('\n');
        keep(bytes.substr(0, end));
        if (end == std::string_view::npos)
            return;
        if (!skipping_)
            takeLine(pending_);
        pending_.clear();
        skipping_ = false;
        bytes.remove_prefix(end + 1);
    }
}

// Keeps the piece of the current line, unless the line grows too long: then it is
// reported once and skipped up to its end, so nothing grows without bound.
void TouchInput::keep(std::string_view piece)
{
    if (skipping_)
        return;
    if (pending_.size() + piece.size() <= kLongestLine) {
        pending_.append(piece);
        return;
    }
    pending_.append(piece.substr(0, kLongestLine - pending_.size()));
    report("line longer than " + std::to_string(kLongestLine) + " characters skipped", pending_);
    pending_.clear();
    skipping_ = true;
}

void TouchInput::takeLine(std::string_view line)
{
    std::string error;
    if (const std::optional<Point> at = parseTouchLine(line, error))
        session_.touch(*at);
    else if (!error.empty())
        report(error, line);
}

} // namespace kestrin
