#include "link/traffic.h"

namespace lumivor::link {

void TrafficLog::append(TrafficRecord record)
{
    record.serial = nextSerial_++;
    records_.push_back(std::move(record));
    while (records_.size() > capacity_)
        records_.pop_front();
}

void TrafficLog::clear()
{
    records_.clear();
}

const TrafficRecord* TrafficLog::find(quint64 serial) const
{
    if (serial < oldestSerial() || serial >= nextSerial_)
        return nullptr;
    return &records_[std::size_t(serial - oldestSerial())];
}

QString TrafficLog::line(const TrafficRecord& record)
{
    const double ms = static_cast<double>(record.at.count()) / 1e6;
    QString printable;
    printable.reserve(record.bytes.size());
    for (const char byte : record.bytes) {
        const auto code = static_cast<unsigned char>(byte);
        printable += (code >= 0x20 && code < 0x7f) ? QChar(code) : QChar(u'.');
    }
    if (record.direction == TrafficRecord::Direction::Opened)
        return QStringLiteral("%1 ms  --  opened %2").arg(ms, 12, 'f', 3).arg(printable);
    const bool sent = record.direction == TrafficRecord::Direction::Sent;
    return QStringLiteral("%1 ms  %2  %3  |%4|")
        .arg(ms, 12, 'f', 3)
        .arg(sent ? QStringLiteral("TX") : QStringLiteral("RX"))
        .arg(QString::fromLatin1(record.bytes.toHex(' ').toUpper()), printable);
}

PortTap::PortTap(SerialPort& port, Clock& clock, TrafficLog& log)
    : port_(port), clock_(clock), log_(log)
{}

void PortTap::setPortOpen(bool open)
{
    port_.setPortOpen(open);
    if (!open)
        return;
    if (!firstOpenedAt_)
        firstOpenedAt_ = clock_.now(); // times count from the first connect
    record(TrafficRecord::Direction::Opened,
           QStringLiteral("COM%1 %2").arg(port_.commPort()).arg(port_.settings()).toLatin1());
}

void PortTap::output(const QByteArray& bytes)
{
    port_.output(bytes);
    record(TrafficRecord::Direction::Sent, bytes);
}

QByteArray PortTap::input()
{
    QByteArray bytes = port_.input();
    if (!bytes.isEmpty())
        record(TrafficRecord::Direction::Received, bytes);
    return bytes;
}

void PortTap::record(TrafficRecord::Direction direction, const QByteArray& bytes)
{
    log_.append({clock_.now() - firstOpenedAt_.value_or(clock_.now()), direction, bytes, 0});
}

} // namespace lumivor::link
