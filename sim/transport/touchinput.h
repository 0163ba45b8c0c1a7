#pragma once

#include "model/drawing.h"

#include <QObject>

#include <optional>
#include <string>
#include <string_view>

class QSocketNotifier;

namespace kestrin {

class Session;

// One line of touch input: "touch X Y", a press on the panel at pixel (X, Y), X 0-239
// and Y 0-63, blanks free around the words. A blank line is nothing at all (no point, no
// error); any other line that is not a touch gives no point and says why in `error`.
std::optional<Point> parseTouchLine(std::string_view line, std::string& error);

// Touches read from a file descriptor (standard input with --touch-input), one line
// each, so tests and scripts can touch the screen without the window. A line that is
// not a touch is reported on standard error and skipped; the end of the input ends only
// the reading.
class TouchInput : public QObject
{
    Q_OBJECT

public:
    // A longer line is no touch: it is skipped up to its end without being kept.
    static constexpr std::size_t kLongestLine = 256;

    TouchInput(Session& session, int fd, QObject* parent = nullptr);

private:
    void readAvailable();
    void take(std::string_view bytes);
    void keep(std::string_view piece);
    void takeLine(std::string_view line);

    Session& session_;
    int fd_;
    QSocketNotifier* notifier_;
    std::string pending_;   // the start of a line whose end has not come yet
    bool skipping_ = false; // inside an overlong line
};

} // namespace kestrin
