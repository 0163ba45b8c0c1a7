#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <cstdio>

namespace lumivor::cli {

// Progress on a terminal: one line per port with its percentage, rate and
// time left, redrawn in place at most a few times a second.
class ProgressDisplay
{
public:
    static constexpr int redrawEveryMs = 250;

    ProgressDisplay(QStringList portNames, std::FILE* terminal);

    // A port moved on: `done` of `total` steps, `bytesDone` over the line.
    void update(int port, int done, int total, qint64 bytesDone);
    // A port ended: its line shows the result from now on.
    void finish(int port, const QString& result);
    // Draws what changed, if the last drawing is old enough (or `now`).
    void draw(bool now = false);
    // Takes the lines away again, leaving the cursor where they began.
    void close();

    // One line as it is drawn, for tests.
    static QString progressLine(const QString& name, int done, int total, qint64 bytesDone,
                                double seconds);

private:
    struct Line
    {
        QString name;
        QString text;
        QElapsedTimer started;
    };
    QList<Line> lines_;
    std::FILE* terminal_;
    QElapsedTimer sinceDrawn_;
    bool drawn_ = false;
    bool dirty_ = false;
};

} // namespace lumivor::cli
