#pragma once

#include "cli/actions.h"
#include "cli/headlesslink.h"
#include "cli/request.h"
#include "link/connection.h"
#include "link/linkservice.h"
#include "link/qtserialport.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

namespace lumivor::link {
class ComPortTable;
} // namespace lumivor::link

namespace lumivor::cli {

struct PortResult
{
    PortTarget port;
    QString device;
    ExitCode code = ExitCode::Success;
    QString summary;
    QJsonObject details;
    double seconds = 0;
};

// One controller: its own port, link service and connection, all on the
// one thread with the others, so every port keeps its own line speed. It
// finds the controller as the console's Connect does, waits until the rest
// of the detection reply has passed, runs the command's action and closes
// the port again.
class PortSession : public QObject
{
    Q_OBJECT
public:
    PortSession(const Request& request, const PortTarget& target, const link::ComPortTable& ports,
                link::Clock& clock, QObject* parent = nullptr);
    ~PortSession() override;

    void start();
    // Ctrl-C: ends what runs now as the console's Cancel does.
    void cancel();
    bool isDone() const { return done_; }
    const PortResult& result() const { return result_; }
    qint64 totalBytes() const { return action_ ? action_->totalBytes() : 0; }

signals:
    void progressed(lumivor::cli::PortSession* session, int done, int total);
    void finished(lumivor::cli::PortSession* session);

private:
    void detected();
    void connectionFailed(link::Connection::Failure failure,
                          const std::optional<link::SerialPortError>& error);
    void settleStep();
    void act();
    std::unique_ptr<Action> makeAction();
    void finish(const ActionResult& result);
    void closeAndReport();

    Request request_;
    link::Clock& clock_;
    link::QtSerialPort port_;
    HeadlessView view_;
    HeadlessDialogs dialogs_;
    // Members, in this order: the link goes before its port, the connection
    // before its link.
    link::LinkService link_;
    link::Connection connection_;
    link::ClockTimer* settle_ = nullptr;
    link::ClockTimer* close_ = nullptr;
    link::Nanoseconds settleStarted_{0};
    link::Nanoseconds lastHeard_{0};
    QString reply_;
    std::unique_ptr<Action> action_;
    QElapsedTimer elapsed_;
    PortResult result_;
    bool acting_ = false;
    bool done_ = false;
};

} // namespace lumivor::cli
