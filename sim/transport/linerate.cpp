// Kept in a file of its own: <asm/termbits.h> defines struct termios2 and clashes with
// <termios.h>, which the rest of the transport uses.
#include "transport/linerate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kestrin {

int configuredLineRate(int masterFd)
{
    struct termios2 settings
    {
    };
    if (ioctl(masterFd, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<int>(settings.c_ospeed);
}

} // namespace kestrin
