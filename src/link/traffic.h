#pragma once

#include "link/clock.h"
#include "link/serialport.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

namespace lumivor::link {

// One write or one read chunk as it passed the port.
struct TrafficRecord
{
    // Opened marks each opening of the port, with its name and settings as
    // the bytes, so a list that spans a reconnect explains itself.
    enum class Direction { Sent, Received, Opened };

    Nanoseconds at{0}; // since the port was first opened
    Direction direction = Direction::Sent;
    QByteArray bytes;
    quint64 serial = 0; // counts every record since start, dropped ones too
};

// The latest records, at most `capacity` of them: the oldest go first, so
// however long the console runs, the log's memory stays bounded.
class TrafficLog
{
public:
    static constexpr std::size_t defaultCapacity = 100'000;

    explicit TrafficLog(std::size_t capacity = defaultCapacity) : capacity_(capacity) {}

    void append(TrafficRecord record);
    void clear();

    std::size_t size() const { return records_.size(); }
    const TrafficRecord& at(std::size_t i) const { return records_[i]; }
    // Records are numbered from the start (serial); a view keeps serials,
    // not positions, since positions move as the oldest records go.
    // The serial the next record gets, and the oldest one still held (the
    // next one when none is).
    quint64 nextSerial() const { return nextSerial_; }
    quint64 oldestSerial() const
    {
        return records_.empty() ? nextSerial_ : records_.front().serial;
    }
    // The record with this serial, or nullptr when it is gone or yet to come.
    const TrafficRecord* find(quint64 serial) const;

    // One line of a log: "   12.345 ms  TX  1E 00 00 00 EF 3F  |......?|",
    // or "  512.000 ms  --  opened COM1 9600,N,8,1".
    static QString line(const TrafficRecord& record);

private:
    std::size_t capacity_;
    std::deque<TrafficRecord> records_;
    quint64 nextSerial_ = 0;
};

// A tap on the port seam: passes every call through to the real port and
// records every write and every non-empty read, and each opening of the port,
// with the time since the port was first opened (times never run backwards
// across a reconnect). What the traffic view shows is therefore what really
// went through the port, whichever part of the console caused it. A record
// shares the bytes of the chunk (no copy), so the tap costs next to nothing
// even during a flash transfer.
class PortTap final : public SerialPort
{
public:
    PortTap(SerialPort& port, Clock& clock, TrafficLog& log);

    void setCommPort(int number) override { port_.setCommPort(number); }
    int commPort() const override { return port_.commPort(); }
    void setSettings(const QString& settings) override { port_.setSettings(settings); }
    QString settings() const override { return port_.settings(); }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return port_.portOpen(); }
    void output(const QByteArray& bytes) override;
    QByteArray input() override;
    int inBufferCount() override { return port_.inBufferCount(); }
    void drain() override { port_.drain(); }
    void setFailureWatcher(FailureWatcher watcher) override
    {
        port_.setFailureWatcher(std::move(watcher));
    }
    void setArrivalWatcher(ArrivalWatcher watcher) override
    {
        port_.setArrivalWatcher(std::move(watcher));
    }

private:
    void record(TrafficRecord::Direction direction, const QByteArray& bytes);

    SerialPort& port_;
    Clock& clock_;
    TrafficLog& log_;
    std::optional<Nanoseconds> firstOpenedAt_;
};

} // namespace lumivor::link
