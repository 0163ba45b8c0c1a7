#include "fakeserialport.h"

namespace lumivor::testing {

using link::PortErrorCode;
using link::SerialPortError;

void FakeSerialPort::setCommPort(int number)
{
    if (open_)
        throw SerialPortError(PortErrorCode::PortOpenNotAllowed,
                              QStringLiteral("Operation not valid while the port is opened"));
    commPort_ = number;
}

void FakeSerialPort::setPortOpen(bool open)
{
    if (open && open_)
        throw SerialPortError(PortErrorCode::PortAlreadyOpen, QStringLiteral("Port already open"));
    if (open && openFailure_) {
        const SerialPortError error = *openFailure_;
        openFailure_.reset();
        throw error;
    }
    if (open) {
        ++openCount;
        inbox_.clear();
    } else if (open_) {
        ++closeCount;
    }
    open_ = open;
}

void FakeSerialPort::output(const QByteArray& bytes)
{
    if (!open_)
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              QStringLiteral("Operation valid only when the port is open"));
    if (writeFailure_)
        throw *writeFailure_;
    writes.append(bytes);
    if (onOutput)
        onOutput(bytes);
}

void FakeSerialPort::hangUp(const SerialPortError& error)
{
    readFailure_ = error;
    writeFailure_ = error;
    if (watcher_)
        watcher_(error);
}

QByteArray FakeSerialPort::input()
{
    if (!open_)
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              QStringLiteral("Operation valid only when the port is open"));
    if (readFailure_)
        throw *readFailure_;
    QByteArray taken;
    taken.swap(inbox_);
    return taken;
}

int FakeSerialPort::inBufferCount()
{
    if (!open_)
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              QStringLiteral("Operation valid only when the port is open"));
    return static_cast<int>(inbox_.size());
}

} // namespace lumivor::testing
