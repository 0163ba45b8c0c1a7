#include "link/qtserialport.h"

#include "link/serialdevice.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace lumivor::link {

namespace {

// Texts the operator reads: translatable, like the rest of the console's.
QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::link::QtSerialPort", text);
}

SerialPortError invalidSettings(const QString& settings)
{
    return SerialPortError(PortErrorCode::InvalidPropertyValue,
                           tr("Invalid property value: settings \"%1\"").arg(settings));
}

std::optional<QSerialPort::Parity> parityOf(const QString& letter)
{
    switch (letter.size() == 1 ? letter.at(0).toUpper().toLatin1() : '?') {
    case 'N':
        return QSerialPort::NoParity;
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

QString permissionHint()
{
#ifdef Q_OS_WIN
    return {};
#else
    return tr(" (to use serial ports, add your user to the dialout group, "
              "for example: sudo usermod -aG dialout $USER, then log in again)");
#endif
}

QString inUseText(const OpenFailure& failure)
{
    QString text = failure.port + tr(" is in use by another program");
    if (!failure.holder)
        return text;
    const PortHolder& holder = *failure.holder;
    QString who = tr("process %1").arg(holder.pid);
    if (!holder.appName.isEmpty())
        who.prepend(holder.appName + QStringLiteral(", "));
    return text + tr(" (") + who + tr(")");
}

SerialPortError permissionFailure(const OpenFailure& failure)
{
    if (failure.holder || failure.accessible) // a lock, or an exclusive open (EBUSY)
        return SerialPortError(PortErrorCode::HardwareUnavailable, inUseText(failure));
    const QString denied = failure.port + tr(": permission denied");
    return SerialPortError(PortErrorCode::HardwareUnavailable,
                           failure.superuser ? denied : denied + permissionHint());
}

bool accessibleForReadAndWrite(const QString& device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    return true;
#endif
}

bool runningAsSuperuser()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

LineSettings parseLineSettings(const QString& settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        throw invalidSettings(settings);

    LineSettings line;
    bool rateOk = false;
    line.rate = parts[0].trimmed().toInt(&rateOk);
    const auto parity = parityOf(parts[1].trimmed());
    const int dataBits = parts[2].trimmed().toInt();
    const QString stop = parts[3].trimmed();
    if (!rateOk || line.rate <= 0 || !parity || dataBits < 5 || dataBits > 8)
        throw invalidSettings(settings);
    line.parity = *parity;
    line.dataBits = static_cast<QSerialPort::DataBits>(dataBits);
    if (stop == QStringLiteral("1"))
        line.stopBits = QSerialPort::OneStop;
    else if (stop == QStringLiteral("1.5"))
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QStringLiteral("2"))
        line.stopBits = QSerialPort::TwoStop;
    else
        throw invalidSettings(settings);
    return line;
}

SerialPortError describeOpenFailure(const OpenFailure& failure)
{
    switch (failure.error) {
    case QSerialPort::DeviceNotFoundError:
        return SerialPortError(PortErrorCode::InvalidPortNumber,
                               failure.port + tr(" is not present: ") + failure.systemText);
    case QSerialPort::UnsupportedOperationError: // the terminal ioctls failed
        return SerialPortError(PortErrorCode::InvalidPortNumber,
                               failure.device + tr(" is not a serial port"));
    case QSerialPort::PermissionError:
        return permissionFailure(failure);
    default:
        return SerialPortError(PortErrorCode::HardwareUnavailable,
                               failure.systemText + tr(" (") + failure.device + tr(")"));
    }
}

QtSerialPort::QtSerialPort(Resolver resolver) : resolver_(std::move(resolver))
{
    QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] {
        if (takeArrivedBytes() > 0 && arrivalWatcher_)
            arrivalWatcher_();
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { onQtError(error); });
    lineCheck_.setInterval(lineCheckMs);
    QObject::connect(&lineCheck_, &QTimer::timeout, &lineCheck_, [this] { checkLine(); });
}

QtSerialPort::~QtSerialPort()
{
    QObject::disconnect(&port_, nullptr, nullptr, nullptr);
    if (port_.isOpen())
        port_.close();
}

void QtSerialPort::setCommPort(int number)
{
    if (port_.isOpen())
        throw SerialPortError(PortErrorCode::PortOpenNotAllowed,
                              tr("Operation not valid while the port is opened"));
    if (number < 1 || number > 255)
        throw SerialPortError(PortErrorCode::InvalidPortNumber, tr("Invalid Port Number"));
    commPort_ = number;
}

void QtSerialPort::setSettings(const QString& settings)
{
    parseLineSettings(settings); // refuse before anything changes
    settings_ = settings;
    if (port_.isOpen())
        applyLineSettings();
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open)
        this->open();
    else
        close();
}

void QtSerialPort::open()
{
    if (port_.isOpen())
        throw SerialPortError(PortErrorCode::PortAlreadyOpen, tr("Port already open"));
    const QString device = resolver_(commPort_); // may throw: the number opens nothing now
    if (device.isEmpty())
        throw SerialPortError(PortErrorCode::InvalidPortNumber,
                              tr("Invalid Port Number: %1 is not present").arg(portName()));
    // Refused before opening: opening /dev/ptmx would make a new terminal, and
    // opening a console or /dev/tty would take over a terminal that is not ours.
    switch (deviceKind(device)) {
    case DeviceKind::Missing:
        throw SerialPortError(
            PortErrorCode::InvalidPortNumber,
            pathName_.isEmpty() ? tr("%1 is not present: %2 does not exist").arg(portName(), device)
                                : tr("%1 does not exist").arg(device));
    case DeviceKind::NotSerial:
        throw SerialPortError(PortErrorCode::InvalidPortNumber,
                              device + tr(" is not a serial port"));
    case DeviceKind::SerialTerminal:
        break;
    }
    device_ = device;
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite))
        throw openError();
    try {
        applyLineSettings();
    } catch (...) {
        port_.close();
        throw;
    }
    // Bytes the device held from before this session are not the controller's answer.
    port_.clear(QSerialPort::AllDirections);
    port_.clearError();
    startWatching();
}

void QtSerialPort::startWatching()
{
    ++session_;
    received_.clear();
    lostBytes_ = 0;
    failure_.reset();
#ifdef Q_OS_UNIX
    lineCheck_.start();
#endif
}

void QtSerialPort::close()
{
    lineCheck_.stop();
    ++session_; // a failure report still queued belongs to the session that ends here
    if (port_.isOpen())
        port_.close();
    failure_.reset();
    received_.clear();
}

QString QtSerialPort::portName() const
{
    return pathName_.isEmpty() ? QStringLiteral("COM%1").arg(commPort_) : pathName_;
}

// "COM3 (/dev/pts/4)", or the path alone for a port opened by its path.
QString QtSerialPort::portLabel() const
{
    return pathName_.isEmpty() ? QStringLiteral("%1 (%2)").arg(portName(), device_) : pathName_;
}

SerialPortError QtSerialPort::openError() const
{
    OpenFailure failure;
    failure.port = portLabel();
    failure.device = device_;
    failure.error = port_.error();
    failure.systemText = port_.errorString();
    if (failure.error == QSerialPort::PermissionError) {
        failure.holder = portHolder(failure.device);
        failure.accessible = accessibleForReadAndWrite(failure.device);
        failure.superuser = runningAsSuperuser();
    }
    return describeOpenFailure(failure);
}

// Applies the rate and framing of the settings text. Control-line ioctls that a
// pseudo-terminal does not support are not needed here: no flow control.
void QtSerialPort::applyLineSettings()
{
    const LineSettings line = parseLineSettings(settings_);
    const bool applied = port_.setBaudRate(line.rate) && port_.setParity(line.parity) &&
                         port_.setDataBits(line.dataBits) && port_.setStopBits(line.stopBits) &&
                         port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        throw SerialPortError(PortErrorCode::CommStateFailed,
                              tr("Could not set comm state: ") + port_.errorString());
}

void QtSerialPort::requireUsable() const
{
    if (!port_.isOpen())
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              tr("Operation valid only when the port is open"));
    if (failure_)
        throw *failure_;
}

void QtSerialPort::output(const QByteArray& bytes)
{
    requireUsable();
    const auto writeFailed = [this] {
        if (failure_)
            return *failure_;
        return SerialPortError(PortErrorCode::WriteFailed,
                               tr("Write failed: ") + port_.errorString());
    };
    if (port_.write(bytes) != bytes.size())
        throw writeFailed();
    // QSerialPort buffers writes until the event loop runs; push them to the
    // operating system now, so a caller that blocks afterwards loses nothing.
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(writeTimeoutMs))
            throw writeFailed();
    }
}

// Moves what the operating system holds into the receive buffer without
// waiting, so a reader sees bytes even when no event loop ran since they came.
void QtSerialPort::pullPendingBytes()
{
    port_.waitForReadyRead(0); // reports a failure through errorOccurred
    if (port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
    takeArrivedBytes();
    if (failure_)
        throw *failure_;
}

// Keeps the oldest bytes up to the receive buffer's size and drops the rest,
// as a UART's receive buffer overflows: Qt's own buffer stays empty however
// long nobody reads.
qsizetype QtSerialPort::takeArrivedBytes()
{
    if (!port_.isOpen())
        return 0;
    const QByteArray arrived = port_.readAll();
    const qsizetype room = receiveBufferBytes - received_.size();
    const qsizetype kept = std::min(room, arrived.size());
    received_.append(arrived.constData(), kept);
    lostBytes_ += arrived.size() - kept;
    return kept;
}

QByteArray QtSerialPort::input()
{
    requireUsable();
    pullPendingBytes();
    return std::exchange(received_, QByteArray());
}

int QtSerialPort::inBufferCount()
{
    requireUsable();
    pullPendingBytes();
    return static_cast<int>(received_.size());
}

void QtSerialPort::drain()
{
    requireUsable();
    port_.flush();
#ifdef Q_OS_UNIX
    while (::tcdrain(port_.handle()) != 0) {
        if (errno != EINTR)
            throw SerialPortError(PortErrorCode::WriteFailed,
                                  tr("Write failed: ") +
                                      QString::fromLocal8Bit(std::strerror(errno)));
    }
#elif defined(Q_OS_WIN)
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(port_.handle())))
        throw SerialPortError(PortErrorCode::WriteFailed, tr("Write failed"));
#endif
}

void QtSerialPort::onQtError(QSerialPort::SerialPortError error)
{
    if (!port_.isOpen() || failure_)
        return;
    const bool writing = error == QSerialPort::WriteError;
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError && !writing)
        return; // a time-out of a zero wait, a control line a pseudo-terminal lacks
    if (!writing && readFoundNothing()) {
        port_.clearError();
        resumeQtReadNotifier();
        return;
    }
    // On a hang-up Qt's text is a stale errno ("No such file or directory").
    const QString cause = lineHungUp() ? QString() : port_.errorString();
    fail(deviceFailure(writing ? PortErrorCode::WriteFailed : PortErrorCode::ReadFailed, cause));
}

// A hang-up that Qt has not reported (its notifier may never fire for one on
// some systems) still ends the session within one check.
void QtSerialPort::checkLine()
{
    if (port_.isOpen() && !failure_ && lineHungUp())
        fail(deviceFailure(PortErrorCode::ReadFailed, QString()));
}

// The device failed with the system's text `cause`, or hung up when there is none.
SerialPortError QtSerialPort::deviceFailure(PortErrorCode code, const QString& cause) const
{
    const QString what = cause.isEmpty()
                             ? tr(" hung up: the device was unplugged or the other end closed it")
                             : tr(" failed: ") + cause;
    return SerialPortError(code, portLabel() + what);
}

// Qt's read notifier and a reader's own look at the port can both be due in
// one turn of the event loop; whichever comes second finds the bytes gone and
// reads nothing, which Qt reports as a read error with a stale system text.
// With the line up that is no failure. (On Windows reads never race so.)
bool QtSerialPort::readFoundNothing() const
{
#ifdef Q_OS_UNIX
    return !lineHungUp();
#else
    return false;
#endif
}

// Qt turns its read notifier off after such a read when the stale text is
// "try again"; the port is fine, so it goes back on.
void QtSerialPort::resumeQtReadNotifier()
{
    const auto notifiers = port_.findChildren<QSocketNotifier*>();
    for (QSocketNotifier* notifier : notifiers)
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(true);
}

bool QtSerialPort::lineHungUp() const
{
#ifdef Q_OS_UNIX
    pollfd line{port_.handle(), 0, 0}; // hang-up and error are reported unasked
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

// Records the failure so every later operation raises it, stops the spin of a
// dead handle, and tells the watcher once, from the event loop: the watcher
// may close the port, which must not happen inside Qt's own signal (the
// notifier that emitted it would be deleted in its own activation).
void QtSerialPort::fail(const SerialPortError& error)
{
    if (failure_)
        return;
    failure_ = error;
    silenceQtNotifiers();
    lineCheck_.stop();
    const quint64 session = session_;
    QMetaObject::invokeMethod(
        &port_,
        [this, session, error] {
            if (session == session_ && watcher_)
                watcher_(error);
        },
        Qt::QueuedConnection);
}

// A hung-up handle stays readable for ever and every read of it fails, so
// Qt's read notifier would fire without pause until the port is closed.
// Disabling it (not deleting it: this may run inside its activation) stops
// that; closing the port removes it, and opening again makes a working one.
void QtSerialPort::silenceQtNotifiers()
{
    const auto notifiers = port_.findChildren<QSocketNotifier*>();
    for (QSocketNotifier* notifier : notifiers)
        notifier->setEnabled(false);
}

} // namespace lumivor::link
