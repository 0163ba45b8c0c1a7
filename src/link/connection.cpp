#include "link/connection.h"

#include "link/dialogs.h"
#include "link/linkview.h"
#include "link/pausewait.h"
#include "link/responsemonitor.h"
#include "protocol/linkcommands.h"
#include "protocol/operatornumber.h"
#include "protocol/rates.h"

#include <QCoreApplication>

namespace lumivor::link {

namespace {
const QString connectCaption = QStringLiteral("Connect");
const QString disconnectCaption = QStringLiteral("Disconnect");
const QString disconnectedStatus = QStringLiteral("Controller Disconnected ");

// A reply counts as an answer as soon as it holds "6" (which "64" contains)
// or "!".
bool isAnswer(const QString& reply)
{
    return reply.contains(QLatin1Char('6')) || reply.contains(QLatin1Char('!'));
}
} // namespace

Connection::Connection(SerialPort& port, LinkView& view, Dialogs& dialogs, ResponseMonitor& monitor,
                       PauseWait& pause, QObject* parent)
    : QObject(parent), port_(port), view_(view), dialogs_(dialogs), monitor_(monitor), pause_(pause)
{
    connect(&monitor_.detectionTimeout(), &QTimer::timeout, this, &Connection::detectionTimedOut);
}

QString Connection::portErrorMessage(const QString& lead, const SerialPortError& error)
{
    return lead + QStringLiteral("\nError code: ") + QString::number(error.number()) +
           QStringLiteral("\nDescription: ") + error.description();
}

void Connection::toggle()
{
    view_.setPortChoiceEnabled(false);
    try {
        if (view_.connectCaption() == disconnectCaption)
            disconnectBranch();
        else
            connectBranch();
    } catch (const SerialPortError& error) {
        errorPath(error);
    }
}

void Connection::setPortSettings()
{
    const QString settings = protocol::rates::settingsText(view_.selectedRateIndex());
    if (!settings.isEmpty())
        port_.setSettings(settings);
}

void Connection::disconnectBranch()
{
    monitor_.stopReading();
    closePort();
    view_.setConnectCaption(connectCaption);
    view_.setPortChoiceEnabled(true);
    view_.setLinkStatus(disconnectedStatus);
    view_.setControllerId(QStringLiteral("N/A"));
}

void Connection::connectBranch()
{
    const std::optional<int> number = view_.selectedPortNumber();
    if (!number)
        throw SerialPortError(PortErrorCode::InvalidPortNumber,
                              QStringLiteral("No COM port is selected."));
    port_.setCommPort(*number);
    setPortSettings();
    if (!port_.portOpen())
        port_.setPortOpen(true);
    view_.setResponseText(QString());
    monitor_.detectionTimeout().start();
    port_.output(protocol::identify());

    if (!detect(++attempt_))
        return; // the time-out closed the port and reported, or a newer attempt took over
    monitor_.detectionTimeout().stop();
    view_.setConnectCaption(disconnectCaption);
    view_.setLinkStatus(QStringLiteral("Connected: COM") + QString::number(port_.commPort()) +
                        QStringLiteral(" ") + port_.settings());
    if (view_.responseText().contains(QLatin1Char('!')))
        takeOverSettings();
}

// Reads after every pause until the reply shows a controller. Returns false
// when the port closed meanwhile (the time-out, or the window closing), or
// when a click inside a wait closed it and started a newer attempt, which
// then owns the port and the reply.
bool Connection::detect(int attempt)
{
    for (;;) {
        QCoreApplication::processEvents();
        pause_.wait();
        if (!port_.portOpen() || attempt != attempt_)
            return false;
        view_.setResponseText(view_.responseText() + receivedText(port_.input()));
        if (monitor_.detectionTimeout().isActive() && isAnswer(view_.responseText()))
            return true;
    }
}

// The reply is "head,contrast!rest". Each step that cannot be done is skipped
// silently; the connection counts as made all the same.
void Connection::takeOverSettings()
{
    QString reply = view_.responseText();
    view_.setResponseText(QString());
    const QStringList fields = reply.split(QLatin1Char(','));
    if (fields.size() > 1)
        reply = fields.at(1);
    const auto contrast = protocol::readOperatorByte(reply.split(QLatin1Char('!')).first());
    if (contrast.ok())
        view_.takeOverContrast(contrast.value());
    view_.showContrastValue();
    monitor_.settle().start();
    baudChangePrompt_ = QStringLiteral("Remove jumper #1 from J5 and click OK.");
}

void Connection::errorPath(const SerialPortError& error)
{
    view_.setPortChoiceEnabled(true);
    dialogs_.message(portErrorMessage(QStringLiteral("Can't open the selected COM Port."), error),
                     QStringLiteral("Critical Error"), Dialogs::Icon::Critical,
                     Dialogs::Buttons::Ok);
}

void Connection::detectionTimedOut()
{
    monitor_.detectionTimeout().stop();
    view_.setLinkStatus(disconnectedStatus);
    monitor_.stopReading();
    closePort();
    view_.setConnectCaption(connectCaption);
    view_.setPortChoiceEnabled(true);
    view_.setLinkStatus(QStringLiteral("Controller Disconnected"));
    dialogs_.message(QStringLiteral("Controller not found"), QStringLiteral("Demo mode"),
                     Dialogs::Icon::Information, Dialogs::Buttons::Ok);
}

// The same end state as a press of "Disconnect", then one message; a
// detection that was waiting sees the closed port and ends.
void Connection::dropLink(const SerialPortError& error)
{
    monitor_.detectionTimeout().stop();
    disconnectBranch();
    dialogs_.message(portErrorMessage(QStringLiteral("The connection to the selected COM Port "
                                                     "was lost."),
                                      error),
                     QStringLiteral("Critical Error"), Dialogs::Icon::Critical,
                     Dialogs::Buttons::Ok);
}

// Closing a port that failed may fail again; it is closed as far as it can be.
void Connection::closePort()
{
    try {
        if (port_.portOpen())
            port_.setPortOpen(false);
    } catch (const SerialPortError&) {
    }
}

} // namespace lumivor::link
