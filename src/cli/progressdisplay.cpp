#include "cli/progressdisplay.h"

#include "cli/texts.h"

namespace lumivor::cli {

namespace {

QString duration(double seconds)
{
    const auto whole = static_cast<qint64>(seconds + 0.5);
    return whole >= 60
               ? QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'))
               : QStringLiteral("%1 s").arg(whole);
}

} // namespace

ProgressDisplay::ProgressDisplay(QStringList portNames, std::FILE* terminal) : terminal_(terminal)
{
    for (const QString& name : portNames) {
        Line line{name, tr("finding the controller"), {}};
        line.started.start();
        lines_.append(line);
    }
    sinceDrawn_.start();
}

QString ProgressDisplay::progressLine(const QString& name, int done, int total, qint64 bytesDone,
                                      double seconds)
{
    Q_UNUSED(name);
    const double fraction = total > 0 ? double(done) / total : 0.0;
    QString text = QStringLiteral("%1%").arg(qRound(fraction * 100), 3);
    if (seconds > 0 && bytesDone > 0)
        text += tr("  %1 bytes/s").arg(qRound64(double(bytesDone) / seconds));
    if (fraction > 0 && fraction < 1)
        text += tr("  %1 left").arg(duration(seconds * (1 - fraction) / fraction));
    return text;
}

void ProgressDisplay::update(int port, int done, int total, qint64 bytesDone)
{
    Line& line = lines_[port];
    line.text = progressLine(line.name, done, total, bytesDone,
                             static_cast<double>(line.started.nsecsElapsed()) / 1e9);
    dirty_ = true;
    draw();
}

void ProgressDisplay::finish(int port, const QString& result)
{
    lines_[port].text = result;
    dirty_ = true;
    draw(true);
}

void ProgressDisplay::draw(bool now)
{
    if (!dirty_ || (!now && drawn_ && sinceDrawn_.elapsed() < redrawEveryMs))
        return;
    if (drawn_)
        std::fprintf(terminal_, "\x1b[%dA", int(lines_.size())); // back to the first line
    for (const Line& line : lines_)
        std::fprintf(terminal_, "\r\x1b[K%s: %s\n", qPrintable(line.name), qPrintable(line.text));
    std::fflush(terminal_);
    drawn_ = true;
    dirty_ = false;
    sinceDrawn_.restart();
}

// The lines go again: the results follow on standard output.
void ProgressDisplay::close()
{
    if (drawn_)
        std::fprintf(terminal_, "\x1b[%dA\x1b[J", int(lines_.size()));
    std::fflush(terminal_);
    drawn_ = false;
}

} // namespace lumivor::cli
