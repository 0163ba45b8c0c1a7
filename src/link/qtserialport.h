#pragma once

#include "link/portlock.h"
#include "link/serialport.h"

#include <QSerialPort>
#include <QTimer>

#include <functional>
#include <optional>

namespace lumivor::link {

// The real port: QSerialPort, 8N1 by default, no flow control, the rate from
// the settings text. The port number is turned into a device by the resolver
// (the COM port table) every time the port is opened; a resolver may throw
// SerialPortError to say why a number opens nothing.
//
// While open, the port is watched whether or not anyone reads it: what
// arrives is taken from Qt's buffer into a receive buffer of
// receiveBufferBytes, and a hang-up or device failure is reported once to
// the failure watcher, from the event loop.
class QtSerialPort final : public SerialPort
{
public:
    using Resolver = std::function<QString(int number)>;

    explicit QtSerialPort(Resolver resolver);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    void setCommPort(int number) override;
    int commPort() const override { return commPort_; }
    void setSettings(const QString& settings) override;
    QString settings() const override { return settings_; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return port_.isOpen(); }
    void output(const QByteArray& bytes) override;
    QByteArray input() override;
    int inBufferCount() override;
    void drain() override;
    void setFailureWatcher(FailureWatcher watcher) override { watcher_ = std::move(watcher); }
    void setArrivalWatcher(ArrivalWatcher watcher) override
    {
        arrivalWatcher_ = std::move(watcher);
    }

    // How long a write may wait for the device to take its bytes.
    static constexpr int writeTimeoutMs = 2000;
    // How often an open port's handle is checked for a hang-up, in case Qt's
    // own notifier does not report it.
    static constexpr int lineCheckMs = 200;

    // A device path opened by its own name (the command line's --port
    // /dev/ttyUSB0) is called by that name in messages, not "COM<n>".
    void setPathName(const QString& path) { pathName_ = path; }

    // Bytes dropped since the port was opened because the receive buffer was full.
    qint64 lostBytes() const { return lostBytes_; }
    // The Qt port underneath, for tests that watch its buffer and signals.
    const QSerialPort& qtPort() const { return port_; }

private:
    void open();
    void close();
    void startWatching();
    void applyLineSettings();
    void requireUsable() const;
    void pullPendingBytes();
    qsizetype takeArrivedBytes();
    void onQtError(QSerialPort::SerialPortError error);
    void checkLine();
    bool lineHungUp() const;
    bool readFoundNothing() const;
    void resumeQtReadNotifier();
    SerialPortError deviceFailure(PortErrorCode code, const QString& cause) const;
    void fail(const SerialPortError& error);
    void silenceQtNotifiers();
    QString portName() const;
    QString portLabel() const;
    SerialPortError openError() const;

    Resolver resolver_;
    FailureWatcher watcher_;
    ArrivalWatcher arrivalWatcher_;
    QSerialPort port_;
    QTimer lineCheck_;
    QString device_; // the device opened last, as resolved
    QByteArray received_;
    qint64 lostBytes_ = 0;
    std::optional<SerialPortError> failure_;
    quint64 session_ = 0; // counts opens and closes; a stale report is dropped
    int commPort_ = 1;
    QString pathName_; // set for a port opened by its path
    QString settings_ = QStringLiteral("9600,N,8,1");
};

// The parts of a settings text such as "9600,N,8,1".
struct LineSettings
{
    qint32 rate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Parses a settings text; throws SerialPortError (380) when it cannot be used.
LineSettings parseLineSettings(const QString& settings);

// What is known about a failed open, gathered right after it failed.
struct OpenFailure
{
    QString port;   // "COM3 (/dev/pts/4)"
    QString device; // "/dev/pts/4"
    QSerialPort::SerialPortError error = QSerialPort::UnknownError;
    QString systemText;               // Qt's error text
    std::optional<PortHolder> holder; // who holds the device's lock file
    bool accessible = true;           // our permissions allow reading and writing it
    bool superuser = false;           // running as root
};

// The numbered error the operator sees for a failed open: a port held by
// another program is "in use" (by whom, when its lock file tells), a missing
// permission suggests the dialout group (never to root), a device that is no
// serial port says so.
SerialPortError describeOpenFailure(const OpenFailure& failure);

} // namespace lumivor::link
