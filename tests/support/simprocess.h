#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace lumivor::testing {

// kestrin-sim running headless in a private XDG_DATA_HOME, so neither the
// operator's own port links nor another test's are seen or touched.
class SimProcess
{
public:
    // Starts it with the extra arguments (e.g. --line-timing) and waits up to
    // 10 s for its "kestrin-sim: COM<n> on <device>" line.
    explicit SimProcess(const QStringList& arguments = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool isRunning() const { return number_ > 0 && process_.state() == QProcess::Running; }
    int comNumber() const { return number_; }
    QString devicePath() const { return device_; }
    // The directory the console probes for com<n> links.
    QString portDirectory() const;
    QString dataHome() const { return dataHome_.path(); }

    // Ends it at once, as a pulled cable or a crash would (SIGKILL).
    void kill();
    // A finger on the touch screen at panel pixel (x, y); needs --touch-input.
    void touch(int x, int y);

private:
    QTemporaryDir dataHome_;
    QProcess process_;
    int number_ = 0;
    QString device_;
};

} // namespace lumivor::testing
