#include "link/qtserialport.h"

#include <climits>
#ifndef Q_OS_WIN
#include <termios.h>
#endif
#include <optional>

namespace lumivor::link {

namespace {

SerialPortError invalidSettings(const QString& settings)
{
    return SerialPortError(PortErrorCode::InvalidPropertyValue,
                           QStringLiteral("Invalid property value: settings \"%1\"").arg(settings));
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
    return QStringLiteral(" (to use serial ports, add your user to the dialout group, "
                          "for example: sudo usermod -aG dialout $USER, then log in again)");
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

// QSerialPort would otherwise take in everything that arrives while nobody
// reads; bounded, the rest waits in the operating system's buffer.
QtSerialPort::QtSerialPort(Resolver resolver) : resolver_(std::move(resolver))
{
    port_.setReadBufferSize(receiveBufferBytes);
}

QtSerialPort::~QtSerialPort()
{
    if (port_.isOpen())
        port_.close();
}

void QtSerialPort::setCommPort(int number)
{
    if (port_.isOpen())
        throw SerialPortError(PortErrorCode::PortOpenNotAllowed,
                              QStringLiteral("Operation not valid while the port is opened"));
    if (number < 1 || number > 255)
        throw SerialPortError(PortErrorCode::InvalidPortNumber,
                              QStringLiteral("Invalid Port Number"));
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
    else if (port_.isOpen())
        port_.close();
}

void QtSerialPort::open()
{
    if (port_.isOpen())
        throw SerialPortError(PortErrorCode::PortAlreadyOpen, QStringLiteral("Port already open"));
    const QString device = resolver_(commPort_);
    if (device.isEmpty())
        throw SerialPortError(
            PortErrorCode::InvalidPortNumber,
            QStringLiteral("Invalid Port Number: COM%1 is not present").arg(commPort_));
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
}

SerialPortError QtSerialPort::openError() const
{
    const QString text =
        port_.errorString() + QStringLiteral(" (") + port_.portName() + QStringLiteral(")");
    switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
        return SerialPortError(PortErrorCode::InvalidPortNumber, text);
    case QSerialPort::PermissionError:
        return SerialPortError(PortErrorCode::HardwareUnavailable, text + permissionHint());
    default:
        return SerialPortError(PortErrorCode::HardwareUnavailable, text);
    }
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
                              QStringLiteral("Could not set comm state: ") + port_.errorString());
}

void QtSerialPort::requireOpen() const
{
    if (!port_.isOpen())
        throw SerialPortError(PortErrorCode::PortNotOpen,
                              QStringLiteral("Operation valid only when the port is open"));
}

void QtSerialPort::output(const QByteArray& bytes)
{
    requireOpen();
    if (port_.write(bytes) != bytes.size())
        throw SerialPortError(PortErrorCode::WriteFailed, port_.errorString());
    // QSerialPort buffers writes until the event loop runs; push them to the
    // operating system now, so a caller that blocks afterwards loses nothing.
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(writeTimeoutMs))
            throw SerialPortError(PortErrorCode::WriteFailed,
                                  QStringLiteral("Write failed: ") + port_.errorString());
    }
}

// Moves whatever the operating system holds into the port's buffer without
// waiting, so a reader sees bytes even when no event loop ran since they came.
void QtSerialPort::pullPendingBytes()
{
    if (!port_.waitForReadyRead(0) && port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
    const auto error = port_.error();
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        throw SerialPortError(PortErrorCode::ReadFailed,
                              QStringLiteral("Error reading comm device: ") + port_.errorString());
}

QByteArray QtSerialPort::input()
{
    requireOpen();
    pullPendingBytes();
    return port_.readAll();
}

int QtSerialPort::inBufferCount()
{
    requireOpen();
    pullPendingBytes();
    return static_cast<int>(std::min<qint64>(port_.bytesAvailable(), INT_MAX));
}

void QtSerialPort::drain()
{
    requireOpen();
    port_.flush();
#ifndef Q_OS_WIN
    ::tcdrain(port_.handle());
#endif
}

} // namespace lumivor::link
