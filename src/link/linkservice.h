#pragma once

#include "link/clock.h"
#include "link/serialport.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace lumivor::link {

class LinkLease;
class ResponseMonitor;

enum class LinkState {
    Disconnected, // the port is closed (or open only for a detection that failed to start)
    Detecting,    // the port is open and the identification query awaits its answer
    Connected,    // a controller answered
};

// What a failing port call leads to, chosen by the caller for each call.
enum class OnFailure {
    DropLink, // close the port, back to Disconnected, the operator is told once
    Silent,   // the caller ends quietly (Get ID); the link stays as it is
    Report,   // the operation holding the link is told and reports it itself;
              // the link is closed without a message of its own
};

// The result of one call on the link: done, refused (the port is closed or
// another operation holds the link: the sending rule's silent no-op), or
// failed with the port's error.
template<typename T> struct LinkOutcome
{
    enum class Status { Done, Refused, Failed };

    Status status = Status::Refused;
    T value{};
    std::optional<SerialPortError> error;

    bool done() const { return status == Status::Done; }
    bool failed() const { return status == Status::Failed; }
};

struct Written
{
};
using WriteOutcome = LinkOutcome<Written>;
using ReadOutcome = LinkOutcome<QByteArray>;
using CountOutcome = LinkOutcome<int>;

// The one serial link of the console, between every user of the port and the
// port itself. It holds the link state, keeps the one sending rule (write only
// while the port is open and nobody holds the link), turns port errors into
// results with a failure policy per call, and lends the link exclusively to
// one operation at a time (a lease): while an operation holds it, every
// other sender, the response poll and a detection are refused silently,
// exactly as with a closed port.
class LinkService : public QObject
{
    Q_OBJECT
public:
    using Builder = std::function<std::optional<QByteArray>()>;

    LinkService(SerialPort& port, Clock& clock, QObject* parent = nullptr);
    ~LinkService() override;

    Clock& clock() const { return clock_; }
    ResponseMonitor& monitor() const { return *monitor_; }

    LinkState state() const { return state_; }
    bool isOpen() const { return port_.portOpen(); }
    bool isBusy() const { return lease_ != nullptr; }
    // What an operator's command may do now: the port is open and free.
    bool canSend() const { return isOpen() && !isBusy(); }
    // What the lease holder said it is doing ("The flash memory transfer").
    QString busyWith() const;
    // The port number and line settings in use ("9600,N,8,1"), and its rate.
    int portNumber() const { return port_.commPort(); }
    QString settings() const { return port_.settings(); }
    int bitsPerSecond() const;

    // The sending rule for an operator's command: written as one write while
    // the port is open and free; a failing port drops the link. True when
    // written. The builder runs only when the bytes can go out, and may
    // decline (an operator value that cannot be encoded).
    bool send(const QByteArray& bytes);
    bool send(const Builder& build);

    // Calls for the link layer's own readers and writers (the detection, the
    // response poll): refused while an operation holds the link.
    WriteOutcome write(const QByteArray& bytes, OnFailure policy);
    ReadOutcome read(OnFailure policy);

    // Exclusive use of the link for one operation, or nullptr when the port
    // is closed or another operation holds it. `stop` is called when the
    // operator stops the operation (Disconnect, closing the window): it must
    // end the operation then and there. `lost` is called when the port fails
    // while the operation holds it but is not calling it.
    std::unique_ptr<LinkLease> lease(const QString& purpose, std::function<void()> stop,
                                     std::function<void(const SerialPortError&)> lost);
    // Stops the operation that holds the link, if any; true when the link is
    // free afterwards.
    bool stopOperation();

    // Opening and closing, for the connection: sets the port number and line
    // settings (refused while open, as the port object does) and opens the
    // port unless it is open already. The error, if any, is returned.
    std::optional<SerialPortError> open(int portNumber, const QString& settings);
    void setState(LinkState state);
    // Closes the port once what was written has left (errors closing a
    // failed port are ignored) and goes to Disconnected.
    void close();

signals:
    void stateChanged(lumivor::link::LinkState state);
    void connected();
    void disconnected();
    // The port failed while in use. When an operation held the link it tells
    // the operator itself (operationReports), otherwise the link's owner does.
    void dropped(const lumivor::link::SerialPortError& error, bool operationReports);
    void busyChanged(bool busy);
    // Bytes have arrived: a reader waiting for them may look now. Delivered
    // from the event loop, never from inside a port call.
    void bytesArrived();

private:
    friend class LinkLease;
    WriteOutcome writePort(const QByteArray& bytes, OnFailure policy, const LinkLease* caller);
    ReadOutcome readPort(OnFailure policy, const LinkLease* caller);
    CountOutcome countPort(OnFailure policy, const LinkLease* caller);
    void drainPort(OnFailure policy, const LinkLease* caller);
    template<typename T>
    LinkOutcome<T> failed(const SerialPortError& error, OnFailure policy, const LinkLease* caller);
    template<typename T, typename Call>
    LinkOutcome<T> callPort(OnFailure policy, const LinkLease* caller, Call call);
    bool heldBy(const LinkLease* caller) const { return lease_ == caller; }
    void release(const LinkLease* lease);
    void dropLink(const SerialPortError& error, const LinkLease* caller);

    SerialPort& port_;
    Clock& clock_;
    ResponseMonitor* monitor_ = nullptr;
    LinkState state_ = LinkState::Disconnected;
    LinkLease* lease_ = nullptr;
};

// The exclusive use of the link by one operation, for as long as the lease
// lives. Its calls go to the port whatever other senders are refused; a lease
// that was revoked (the port failed or was closed under it) refuses them too.
class LinkLease
{
public:
    ~LinkLease();
    LinkLease(const LinkLease&) = delete;
    LinkLease& operator=(const LinkLease&) = delete;

    bool isValid() const;
    QString purpose() const { return purpose_; }

    WriteOutcome write(const QByteArray& bytes, OnFailure policy);
    ReadOutcome read(OnFailure policy);
    CountOutcome bytesWaiting(OnFailure policy);
    // Waits until the written bytes have left the machine.
    void drain(OnFailure policy);

private:
    friend class LinkService;
    LinkLease(LinkService& service, QString purpose, std::function<void()> stop,
              std::function<void(const SerialPortError&)> lost);

    QPointer<LinkService> service_;
    QString purpose_;
    std::function<void()> stop_;
    std::function<void(const SerialPortError&)> lost_;
    bool revoked_ = false;
};

} // namespace lumivor::link
