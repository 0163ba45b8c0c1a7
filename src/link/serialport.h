#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <stdexcept>

namespace lumivor::link {

// Error numbers of the port object. They follow the numbering operators know
// from the Windows serial control, so a number on the "Critical Error" message
// means the same on every platform.
enum class PortErrorCode : int {
    InvalidPropertyValue = 380, // a settings text or port number that cannot be used
    PortOpenNotAllowed = 8000,  // operation not valid while the port is open
    InvalidPortNumber = 8002,   // no such port, or no port selected
    PortAlreadyOpen = 8005,     // opening a port that is already open
    HardwareUnavailable = 8010, // held by another program, locked, or no permission
    CommStateFailed = 8015,     // the line settings could not be applied
    PortNotOpen = 8018,         // reading or writing while the port is closed
    ReadFailed = 8020,          // the device failed while reading
    WriteFailed = 8021,         // the device failed or stalled while writing
};

// An error raised by the port object: a number and a description text, both
// shown to the operator.
class SerialPortError : public std::runtime_error
{
public:
    SerialPortError(PortErrorCode code, const QString& description)
        : std::runtime_error(description.toStdString()), code_(code), description_(description)
    {}

    int number() const { return static_cast<int>(code_); }
    PortErrorCode code() const { return code_; }
    QString description() const { return description_; }

private:
    PortErrorCode code_;
    QString description_;
};

// The one serial port of the console. Every operation may throw SerialPortError;
// only the link service calls them, and it turns every error into a result.
//
// Received data is handled as bytes: each received byte is one element of the
// QByteArray, in arrival order (bytes 0x00 and 0x80-0xFF included). The port
// holds at most receiveBufferBytes unread bytes, like the receive buffer of a
// UART driver: what arrives beyond that while nobody reads is lost, so a
// chattering controller cannot make the console's memory grow.
class SerialPort
{
public:
    using FailureWatcher = std::function<void(const SerialPortError&)>;
    using ArrivalWatcher = std::function<void()>;

    // Enough for a whole flash block (480 characters) several times over.
    static constexpr int receiveBufferBytes = 4096;

    virtual ~SerialPort() = default;

    // Number n of the port "COMn"; may only be set while the port is closed.
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;

    // Line settings "rate,parity,data bits,stop bits", for example "9600,N,8,1".
    virtual void setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    // true opens the port, false closes it.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    // Writes one command sequence; every byte has been handed to the operating
    // system when it returns.
    virtual void output(const QByteArray& bytes) = 0;

    // Everything received and not yet read, in arrival order; empties the
    // receive buffer. Empty when nothing is waiting.
    virtual QByteArray input() = 0;

    // Number of received bytes waiting to be read.
    virtual int inBufferCount() = 0;

    // Returns once every byte written has left the machine. Closing a port
    // restores its old line settings at once, so a command that must go out
    // at the current rate (the baud-rate command) is drained first.
    virtual void drain() = 0;

    // Called from the event loop, once per failure, when the open port fails
    // or hangs up on its own (an adapter pulled, the other end of a
    // pseudo-terminal closed) while nobody is reading or writing it.
    virtual void setFailureWatcher(FailureWatcher watcher) = 0;

    // Called from the event loop when bytes have arrived, so a reader that
    // waits for them can look at once instead of on its next tick. A port
    // that cannot tell never calls it; readers still look on their own.
    virtual void setArrivalWatcher(ArrivalWatcher watcher) = 0;
};

} // namespace lumivor::link
