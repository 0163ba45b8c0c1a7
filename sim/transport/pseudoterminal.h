#pragma once

#include <string>

namespace kestrin {

// A pseudo-terminal pair. The controller reads and writes the master; the console opens
// the slave's device path as if it were a serial port. A slave descriptor stays open here
// for the whole life of the pair, so that the master never sees a hang-up when the console
// closes its port.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens the pair with the line raw at 9600 baud; on failure tells why in 'error'.
    bool open(std::string& error);

    int masterFd() const { return master_; }
    const std::string& devicePath() const { return devicePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string devicePath_;
};

} // namespace kestrin
