#pragma once

#include "link/serialport.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

namespace lumivor::testing {

// A port double: records every write as its own chunk, so a test can assert
// "one write of 1E 00 00 00 EF 3F"; lets a test queue received bytes (now or
// in answer to a write); fails opening, writing or reading, or hangs up, on
// demand. It never tells of arrivals: readers look on their own ticks.
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
    void drain() override { drains.append(writes.size()); }
    void setFailureWatcher(FailureWatcher watcher) override { watcher_ = std::move(watcher); }
    void setArrivalWatcher(ArrivalWatcher) override {}

    // The device fails on its own (an adapter pulled): the watcher hears of it.
    void hangUp(const link::SerialPortError& error);
    // Bytes the "controller" sends; they wait until input() takes them. Like
    // the real port, it holds at most receiveBufferBytes; the rest is lost.
    void queueInput(const QByteArray& bytes)
    {
        inbox_.append(bytes.left(receiveBufferBytes - inbox_.size()));
    }
    void failNextOpen(const link::SerialPortError& error) { openFailure_ = error; }
    void failWrites(const link::SerialPortError& error) { writeFailure_ = error; }
    void failReads(const link::SerialPortError& error) { readFailure_ = error; }

    std::function<void(const QByteArray&)> onOutput; // called after each write with its bytes
    QList<QByteArray> writes;                        // every output() call, in order
    QList<qsizetype> drains;                         // at each drain, how many writes had been made
    int openCount = 0;

private:
    void requireOpen() const;

    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    bool open_ = false;
    QByteArray inbox_;
    FailureWatcher watcher_;
    std::optional<link::SerialPortError> openFailure_, writeFailure_, readFailure_;
};

} // namespace lumivor::testing
