#include "simprocess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace lumivor::testing {

SimProcess::SimProcess(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome_.path());
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(QStringLiteral(KESTRIN_SIM_PATH),
                   QStringList{QStringLiteral("--headless")} + arguments);
    if (!process_.waitForStarted(10000))
        return;
    static const QRegularExpression line(QStringLiteral("^kestrin-sim: COM(\\d+) on (\\S+)"));
    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && !output.contains('\n') &&
           process_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        output += process_.readAllStandardOutput();
    const auto match = line.match(QString::fromLocal8Bit(output));
    if (match.hasMatch()) {
        number_ = match.captured(1).toInt();
        device_ = match.captured(2);
    }
}

SimProcess::~SimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            kill();
    }
}

QString SimProcess::portDirectory() const
{
    return dataHome_.path() + QStringLiteral("/lumivor/ports");
}

void SimProcess::touch(int x, int y)
{
    process_.write(QStringLiteral("touch %1 %2\n").arg(x).arg(y).toLatin1());
}

void SimProcess::kill()
{
    process_.kill();
    process_.waitForFinished(5000);
}

} // namespace lumivor::testing
