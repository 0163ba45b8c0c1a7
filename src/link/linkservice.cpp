#include "link/linkservice.h"

#include "link/responsemonitor.h"

namespace lumivor::link {

LinkService::LinkService(SerialPort& port, Clock& clock, QObject* parent)
    : QObject(parent), port_(port), clock_(clock)
{
    monitor_ = new ResponseMonitor(*this, this);
    // The port tells of a failure on an idle port from the event loop, never
    // from inside a caller's read or write, so dropping here is safe. The
    // port may outlive the service, or the other way round.
    port_.setFailureWatcher([self = QPointer<LinkService>(this)](const SerialPortError& error) {
        if (self)
            self->dropLink(error, nullptr);
    });
    port_.setArrivalWatcher([self = QPointer<LinkService>(this)] {
        if (self)
            QMetaObject::invokeMethod(self, &LinkService::bytesArrived, Qt::QueuedConnection);
    });
}

LinkService::~LinkService()
{
    if (lease_)
        lease_->revoked_ = true;
}

QString LinkService::busyWith() const
{
    return lease_ ? lease_->purpose() : QString();
}

int LinkService::bitsPerSecond() const
{
    return port_.settings().section(QLatin1Char(','), 0, 0).trimmed().toInt();
}

bool LinkService::send(const QByteArray& bytes)
{
    return send([&bytes]() -> std::optional<QByteArray> { return bytes; });
}

bool LinkService::send(const Builder& build)
{
    if (!canSend())
        return false;
    const std::optional<QByteArray> bytes = build();
    return bytes && writePort(*bytes, OnFailure::DropLink, nullptr).done();
}

WriteOutcome LinkService::write(const QByteArray& bytes, OnFailure policy)
{
    return writePort(bytes, policy, nullptr);
}

ReadOutcome LinkService::read(OnFailure policy)
{
    return readPort(policy, nullptr);
}

template<typename T>
LinkOutcome<T> LinkService::failed(const SerialPortError& error, OnFailure policy,
                                   const LinkLease* caller)
{
    if (policy != OnFailure::Silent)
        dropLink(error, caller);
    LinkOutcome<T> outcome;
    outcome.status = LinkOutcome<T>::Status::Failed;
    outcome.error = error;
    return outcome;
}

// One call on the port under the sending rule: refused while the port is
// closed or another holds the link; a port error becomes a failed outcome
// handled by the policy.
template<typename T, typename Call>
LinkOutcome<T> LinkService::callPort(OnFailure policy, const LinkLease* caller, Call call)
{
    if (!isOpen() || !heldBy(caller))
        return {};
    try {
        return {LinkOutcome<T>::Status::Done, call(), {}};
    } catch (const SerialPortError& error) {
        return failed<T>(error, policy, caller);
    }
}

WriteOutcome LinkService::writePort(const QByteArray& bytes, OnFailure policy,
                                    const LinkLease* caller)
{
    return callPort<Written>(policy, caller, [&] {
        port_.output(bytes);
        return Written{};
    });
}

ReadOutcome LinkService::readPort(OnFailure policy, const LinkLease* caller)
{
    return callPort<QByteArray>(policy, caller, [this] { return port_.input(); });
}

CountOutcome LinkService::countPort(OnFailure policy, const LinkLease* caller)
{
    return callPort<int>(policy, caller, [this] { return port_.inBufferCount(); });
}

void LinkService::drainPort(OnFailure policy, const LinkLease* caller)
{
    callPort<Written>(policy, caller, [this] {
        port_.drain();
        return Written{};
    });
}

std::unique_ptr<LinkLease> LinkService::lease(const QString& purpose, std::function<void()> stop,
                                              std::function<void(const SerialPortError&)> lost)
{
    if (!canSend())
        return nullptr;
    std::unique_ptr<LinkLease> lease(
        new LinkLease(*this, purpose, std::move(stop), std::move(lost)));
    lease_ = lease.get();
    emit busyChanged(true);
    return lease;
}

void LinkService::release(const LinkLease* lease)
{
    if (lease_ != lease)
        return;
    lease_ = nullptr;
    emit busyChanged(false);
}

bool LinkService::stopOperation()
{
    if (lease_) {
        // Copied: the operation releases (and may destroy) its lease inside.
        const std::function<void()> stop = lease_->stop_;
        if (stop)
            stop();
    }
    return !isBusy();
}

std::optional<SerialPortError> LinkService::open(int portNumber, const QString& settings)
{
    try {
        port_.setCommPort(portNumber);
        if (!settings.isEmpty())
            port_.setSettings(settings);
        if (!port_.portOpen())
            port_.setPortOpen(true);
        return std::nullopt;
    } catch (const SerialPortError& error) {
        return error;
    }
}

void LinkService::setState(LinkState state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state);
    if (state == LinkState::Connected)
        emit connected();
    else if (state == LinkState::Disconnected)
        emit disconnected();
}

// Closing restores the port's old line settings at once, so what is still on
// its way out leaves first, at the rate it was written at. Closing a port
// that failed may fail again; it is closed as far as it can be.
void LinkService::close()
{
    try {
        if (port_.portOpen()) {
            port_.drain();
            port_.setPortOpen(false);
        }
    } catch (const SerialPortError&) {
        try {
            port_.setPortOpen(false);
        } catch (const SerialPortError&) {
        }
    }
    setState(LinkState::Disconnected);
}

// The operation that holds the link is told after the link is down and the
// owner has been told, and only when it did not hear of the failure from its
// own call.
void LinkService::dropLink(const SerialPortError& error, const LinkLease* caller)
{
    if (!isOpen() && state_ == LinkState::Disconnected)
        return; // already down: the operator hears of it once
    LinkLease* holder = std::exchange(lease_, nullptr);
    std::function<void(const SerialPortError&)> tellHolder;
    if (holder) {
        holder->revoked_ = true;
        if (holder != caller)
            tellHolder = holder->lost_;
    }
    close();
    if (holder)
        emit busyChanged(false);
    emit dropped(error, holder != nullptr);
    if (tellHolder)
        tellHolder(error);
}

LinkLease::LinkLease(LinkService& service, QString purpose, std::function<void()> stop,
                     std::function<void(const SerialPortError&)> lost)
    : service_(&service), purpose_(std::move(purpose)), stop_(std::move(stop)),
      lost_(std::move(lost))
{}

LinkLease::~LinkLease()
{
    if (service_)
        service_->release(this);
}

bool LinkLease::isValid() const
{
    return service_ && !revoked_;
}

WriteOutcome LinkLease::write(const QByteArray& bytes, OnFailure policy)
{
    return isValid() ? service_->writePort(bytes, policy, this) : WriteOutcome{};
}

ReadOutcome LinkLease::read(OnFailure policy)
{
    return isValid() ? service_->readPort(policy, this) : ReadOutcome{};
}

CountOutcome LinkLease::bytesWaiting(OnFailure policy)
{
    return isValid() ? service_->countPort(policy, this) : CountOutcome{};
}

void LinkLease::drain(OnFailure policy)
{
    if (isValid())
        service_->drainPort(policy, this);
}

} // namespace lumivor::link
