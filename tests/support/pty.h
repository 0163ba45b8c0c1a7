#pragma once

#include <QByteArray>
#include <QString>

namespace lumivor::testing {

// A pseudo-terminal pair for tests: the slave path stands in for a serial
// device, the test plays the controller on the master side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }

    // Writes all bytes to the master side (what the "controller" sends).
    bool write(const QByteArray& bytes);
    // Reads from the master side until `count` bytes came or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs);
    // Whatever has arrived on the master side, without waiting.
    QByteArray readAvailable() { return read(1 << 20, 0); }

    // Bytes that reached the slave side and wait there to be read.
    int waitingAtSlave() const;

    // Writes all bytes to the master side while the event loop runs, for more
    // than the terminal holds at once; false when the reader did not take them
    // within `timeoutMs`.
    bool writeWhileProcessingEvents(const QByteArray& bytes, int timeoutMs);

    // The controller vanishes: both ends of the terminal close, so a port
    // still open on the slave sees a hang-up (and the device path goes away).
    void hangUp();

private:
    int master_ = -1;
    int slave_ = -1; // kept open so the master never sees a hang-up
    QString slavePath_;
};

} // namespace lumivor::testing
