#include "link/pausewait.h"

#include <QCoreApplication>
#include <QTimer>

namespace lumivor::link {

void PauseWait::wait()
{
    tick_.start();
    // Blocks in the event loop rather than spinning: the tick (or whatever
    // stops the timer, such as closing the window) is itself an event.
    while (tick_.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace lumivor::link
