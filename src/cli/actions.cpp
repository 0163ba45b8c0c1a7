#include "cli/actions.h"

#include "cli/texts.h"

#include "link/linkservice.h"
#include "protocol/charactercode.h"
#include "protocol/textcommands.h"

namespace lumivor::cli {

namespace {

constexpr int charactersPerString = 44;
constexpr int sendPollMs = 10;

} // namespace

ExitCode exitCodeOf(link::Job::Outcome outcome)
{
    switch (outcome) {
    case link::Job::Outcome::Finished:
        return ExitCode::Success;
    case link::Job::Outcome::Cancelled:
        return ExitCode::Cancelled;
    case link::Job::Outcome::TimedOut:
        return ExitCode::TimedOut;
    case link::Job::Outcome::Failed:
        break;
    }
    return ExitCode::PortError;
}

WritesAction::WritesAction(link::LinkService& link, QString purpose, QList<link::PacedWrite> writes,
                           QString doneSummary, QObject* parent)
    : Action(parent), writes_(std::move(writes)), doneSummary_(std::move(doneSummary))
{
    writer_ = new link::PacedWriter(link, std::move(purpose), this);
    connect(writer_, &link::Job::progressed, this, &Action::progressed);
    connect(writer_, &link::Job::ended, this,
            [this](link::Job::Outcome outcome, const QString& detail) {
                const ExitCode code = exitCodeOf(outcome);
                emit finished({code, code == ExitCode::Success ? doneSummary_ : detail, {}});
            });
}

void WritesAction::start()
{
    if (!writer_->start(writes_))
        emit finished({ExitCode::PortError, tr("the port is not free"), {}});
}

void WritesAction::cancel()
{
    writer_->cancel();
}

qint64 WritesAction::totalBytes() const
{
    qint64 bytes = 0;
    for (const link::PacedWrite& write : writes_)
        bytes += write.bytes.size();
    return bytes;
}

SendAction::SendAction(link::LinkService& link, QByteArray bytes, int readMs, QObject* parent)
    : Job(link, tr("Sending"), parent), bytes_(std::move(bytes)), readMs_(readMs)
{
    poll_ = clock().createTimer(this);
    poll_->setInterval(std::chrono::milliseconds(sendPollMs));
    connect(poll_, &link::ClockTimer::timeout, this, &SendAction::collect);
}

bool SendAction::start()
{
    if (!begin())
        return false;
    const link::WriteOutcome written = lease().write(bytes_, link::OnFailure::Report);
    if (!written.done()) {
        end(Outcome::Failed, written.error ? lostDetail(*written.error) : QString());
        return true;
    }
    if (readMs_ == 0) {
        end(Outcome::Finished);
        return true;
    }
    until_ = clock().now() + std::chrono::milliseconds(readMs_);
    poll_->start();
    return true;
}

void SendAction::collect()
{
    const link::ReadOutcome read = lease().read(link::OnFailure::Report);
    if (read.failed()) {
        end(Outcome::Failed, lostDetail(*read.error));
        return;
    }
    received_ += read.value;
    if (clock().now() >= until_)
        end(Outcome::Finished);
    else
        poll_->start(std::min(link::Nanoseconds(std::chrono::milliseconds(sendPollMs)),
                              until_ - clock().now()));
}

void SendAction::stopSteps()
{
    poll_->stop();
}

QList<link::PacedWrite> textWrites(const Request& request)
{
    QList<link::PacedWrite> writes;
    if (request.font)
        writes.append({protocol::selectFont(static_cast<protocol::Font>(*request.font)), {}});
    if (request.page)
        writes.append({protocol::setTextPage(*protocol::Page::from(*request.page)), {}});
    if (request.column)
        writes.append({protocol::setTextColumn(*protocol::Column::from(*request.column)), {}});
    for (qsizetype at = 0; at < request.text.size(); at += charactersPerString) {
        const QString piece = request.text.mid(at, charactersPerString);
        QByteArray bytes;
        for (const QChar character : piece)
            bytes.append(static_cast<char>(protocol::singleByteCode(character).value_or('?')));
        QByteArray string = protocol::stringStart(static_cast<std::uint8_t>(bytes.at(0)));
        string += bytes.mid(1) + protocol::stringEnd();
        writes.append({string, {}});
    }
    return writes;
}

QString describeBytes(const QByteArray& bytes)
{
    QString printable;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        printable += (code >= 0x20 && code < 0x7f) ? QChar(code) : QChar(u'.');
    }
    return QString::fromLatin1(bytes.toHex(' ').toUpper()) + QStringLiteral("  \"") + printable +
           QLatin1Char('"');
}

QString escapedText(const QString& text)
{
    QString escaped;
    for (const QChar character : text) {
        const char16_t code = character.unicode();
        if (character == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (code < 0x20 || (code >= 0x7f && code < 0xa0))
            escaped += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        else
            escaped += character;
    }
    return escaped;
}

} // namespace lumivor::cli
