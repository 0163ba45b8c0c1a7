#pragma once

#include <QByteArray>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace kestrin {

class LcdWidget;
class Session;

// The live view: the LCD, a line with the controller's settings and what it is waiting
// for, and a strip with the last bytes the console sent, in hexadecimal.
class SimWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kBytesShown = 64;

    SimWindow(Session& session, const QString& portName, int zoom, QWidget* parent = nullptr);

    LcdWidget* lcd() const { return lcd_; }
    QString receivedText() const;
    QString statusText() const;

private:
    void showReceived(const QByteArray& bytes);
    void scheduleRefresh();
    void refresh();

    Session& session_;
    LcdWidget* lcd_;
    QLabel* status_;
    QLabel* received_;
    QByteArray lastBytes_;
    QTimer refreshTimer_;
};

// The settings line of the view, from the controller's state.
QString describeController(const Session& session);

} // namespace kestrin
