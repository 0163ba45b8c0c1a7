#pragma once

namespace kestrin {

// The rate the console configured on the line, in bits per second, read through the
// pseudo-terminal master (termios requests on the master act on the slave's settings);
// 0 if it cannot be read. Exact for every rate, including 14400 and 28800, which are set
// as arbitrary rates and have no termios speed constant.
int configuredLineRate(int masterFd);

} // namespace kestrin
