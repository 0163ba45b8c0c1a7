#include "fakeserialport.h"

#include <utility>

namespace lumivor::testing {

using link::PortErrorCode;
using link::SerialPortError;

void FakeSerialPort::requireOpen() const
{
    if (!open_)
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              QStringLiteral("Operation valid only when the port is open"));
}

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
    if (open && openFailure_)
        throw *std::exchange(openFailure_, std::nullopt);
    if (open) {
        ++openCount;
        inbox_.clear();
    }
    open_ = open;
}

void FakeSerialPort::output(const QByteArray& bytes)
{
    requireOpen();
    if (writeFailure_)
        throw *writeFailure_;
    writes.append(bytes);
    if (onOutput)
        onOutput(bytes);
}

void FakeSerialPort::hangUp(const SerialPortError& error)
{
    readFailure_ = writeFailure_ = error;
    if (watcher_)
        watcher_(error);
}

QByteArray FakeSerialPort::input()
{
    requireOpen();
    if (readFailure_)
        throw *readFailure_;
    return std::exchange(inbox_, QByteArray());
}

int FakeSerialPort::inBufferCount()
{
    requireOpen();
    return static_cast<int>(inbox_.size());
}

} // namespace lumivor::testing
