#pragma once

#include <QByteArray>
#include <QString>

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

// The one serial port of the console. Every operation may throw SerialPortError.
//
// Received data is handled as bytes: each received byte is one element of the
// QByteArray, in arrival order (bytes 0x00 and 0x80-0xFF included).
class SerialPort
{
public:
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
};

} // namespace lumivor::link
