#pragma once

#include "link/serialport.h"

#include <QSerialPort>

#include <functional>

namespace lumivor::link {

// The real port: QSerialPort, 8N1 by default, no flow control, the rate from
// the settings text. The port number is turned into a device by the resolver
// (the COM port table) when the port is opened.
class QtSerialPort final : public SerialPort
{
public:
    using Resolver = std::function<QString(int number)>;

    explicit QtSerialPort(Resolver resolver);
    ~QtSerialPort() override;

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

    // How long a write may wait for the device to take its bytes.
    static constexpr int writeTimeoutMs = 2000;

private:
    void open();
    void applyLineSettings();
    void requireOpen() const;
    void pullPendingBytes();
    SerialPortError openError() const;

    Resolver resolver_;
    FailureWatcher watcher_;
    QSerialPort port_;
    int commPort_ = 1;
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

} // namespace lumivor::link
