#include "pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace lumivor::testing {

PseudoTerminal::PseudoTerminal()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return;
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    termios raw{};
    if (slave_ >= 0 && ::tcgetattr(slave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

void PseudoTerminal::hangUp()
{
    for (int* end : {&slave_, &master_})
        if (*end >= 0)
            ::close(std::exchange(*end, -1));
}

bool PseudoTerminal::write(const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0 && errno != EINTR)
            return false;
        done += std::max<ssize_t>(n, 0);
    }
    return true;
}

QByteArray PseudoTerminal::read(int count, int timeoutMs)
{
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    do {
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, std::max(0, int(timeoutMs - clock.elapsed()))) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0)
            received.append(chunk, n);
    } while (received.size() < count && clock.elapsed() < timeoutMs);
    return received;
}

int PseudoTerminal::waitingAtSlave() const
{
    int count = 0;
    return slave_ >= 0 && ::ioctl(slave_, FIONREAD, &count) == 0 ? count : -1;
}

// Never blocks the loop on a full terminal: the reader runs in this thread.
bool PseudoTerminal::writeWhileProcessingEvents(const QByteArray& bytes, int timeoutMs)
{
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        pollfd room{master_, POLLOUT, 0};
        ::poll(&room, 1, 1);
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
        done += std::max<ssize_t>(n, 0);
    }
    ::fcntl(master_, F_SETFL, flags);
    return done == bytes.size();
}

} // namespace lumivor::testing
