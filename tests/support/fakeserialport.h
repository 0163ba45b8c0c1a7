#pragma once

#include "link/serialport.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

namespace lumivor::testing {

// A port double: records every write as its own chunk, so a test can assert
// "one write of 1E 00 00 00 EF 3F"; lets a test queue received bytes (now or
// in answer to a write); can be told to fail opening or writing.
class FakeSerialPort final : public link::SerialPort
{
public:
    void setCommPort(int number) override;
    int commPort() const override { return commPort_; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    QString settings() const override { return settings_; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return open_; }
    void output(const QByteArray& bytes) override;
    QByteArray input() override;
    int inBufferCount() override;
    void drain() override { ++drainCount; }
    void setFailureWatcher(FailureWatcher watcher) override { watcher_ = std::move(watcher); }
    // The double never tells of arrivals by itself (readers look on their
    // ticks); a test may tell with announceArrival().
    void setArrivalWatcher(ArrivalWatcher watcher) override
    {
        arrivalWatcher_ = std::move(watcher);
    }
    void announceArrival()
    {
        if (arrivalWatcher_)
            arrivalWatcher_();
    }

    // The device fails on its own (an adapter pulled): the watcher hears of it.
    void hangUp(const link::SerialPortError& error);

    // Bytes the "controller" sends; they wait until input() takes them. Like
    // the real port, it holds at most receiveBufferBytes; the rest is lost.
    void queueInput(const QByteArray& bytes)
    {
        inbox_.append(bytes.left(receiveBufferBytes - inbox_.size()));
    }
    // Called after each write with its bytes (to answer a query, say).
    std::function<void(const QByteArray&)> onOutput;

    void failNextOpen(const link::SerialPortError& error) { openFailure_ = error; }
    void failWrites(const link::SerialPortError& error) { writeFailure_ = error; }
    void failReads(const link::SerialPortError& error) { readFailure_ = error; }

    QList<QByteArray> writes; // every output() call, in order
    int openCount = 0;
    int closeCount = 0;
    int drainCount = 0;

private:
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    bool open_ = false;
    QByteArray inbox_;
    FailureWatcher watcher_;
    ArrivalWatcher arrivalWatcher_;
    std::optional<link::SerialPortError> openFailure_;
    std::optional<link::SerialPortError> writeFailure_;
    std::optional<link::SerialPortError> readFailure_;
};

} // namespace lumivor::testing
