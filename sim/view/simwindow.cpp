#include "view/simwindow.h"

#include "transport/session.h"
#include "view/lcdwidget.h"

#include <QFontDatabase>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>

namespace kestrin {

namespace {

const char* const kModeNames[kDisplayModeCount] = {"normal",
                                                   "reverse",
                                                   "top normal, bottom reverse",
                                                   "top reverse, bottom normal",
                                                   "right reverse, left normal",
                                                   "diagonal [\\]",
                                                   "diagonal [/]"};

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString touchModeName(const TouchPanel& touch)
{
    if (touch.calibrating())
        return QStringLiteral("calibrating");
    switch (touch.mode()) {
    case TouchMode::Off:
        return QStringLiteral("off");
    case TouchMode::Coordinates:
        return QStringLiteral("coordinates");
    case TouchMode::Keypad:
        return QStringLiteral("keypad");
    case TouchMode::KeypadFlipped:
        return QStringLiteral("keypad with flip");
    }
    return {};
}

QString lineText(const Session& session)
{
    const int own = session.controller().ownRate();
    const int console = session.consoleRate();
    if (console == own)
        return QStringLiteral("%1 baud").arg(own);
    return QStringLiteral("%1 baud, PC port at %2: bytes ignored").arg(own).arg(console);
}

} // namespace

QString describeController(const Session& session)
{
    const Controller& controller = session.controller();
    const DisplaySettings& display = controller.display();
    const TextWriter& text = controller.text();
    const TouchPanel& touch = controller.touchPanel();
    QStringList first{lineText(session), QStringLiteral("display %1").arg(onOff(display.poweredOn)),
                      QStringLiteral("backlight %1").arg(onOff(display.backlightOn)),
                      QStringLiteral("contrast %1").arg(display.contrast),
                      QString::fromLatin1(kModeNames[static_cast<int>(display.mode)])};
    QStringList second{QStringLiteral("font %1, page %2, column %3")
                           .arg(text.font())
                           .arg(text.page())
                           .arg(text.column()),
                       QStringLiteral("touch %1").arg(touchModeName(touch)),
                       QStringLiteral("beep on touch %1").arg(onOff(touch.beepOnTouch()))};
    if (controller.animation().running())
        second
            << QStringLiteral("animating, screen %1").arg(controller.animation().currentScreen());
    const std::string pending = controller.decoder().describePending();
    if (!pending.empty())
        second << QStringLiteral("waiting: ") + QString::fromStdString(pending);
    return first.join(QStringLiteral(" · ")) + '\n' + second.join(QStringLiteral(" · "));
}

SimWindow::SimWindow(Session& session, const QString& portName, int zoom, QWidget* parent)
    : QWidget(parent), session_(session), lcd_(new LcdWidget(session, zoom, this)),
      status_(new QLabel(this)), received_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("kestrin-sim — %1").arg(portName));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    received_->setFont(fixed);
    // Right-aligned and allowed to be narrower than its text: the newest bytes stay visible.
    received_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    received_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    received_->setToolTip(tr("Last bytes received from the PC, newest at the right"));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lcd_, 1);
    layout->addWidget(received_);
    layout->addWidget(status_);
    // A flash write arrives one byte per read: the view catches up at most 50 times a
    // second instead of redrawing for every byte.
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(20);
    connect(&refreshTimer_, &QTimer::timeout, this, &SimWindow::refresh);
    connect(&session, &Session::bytesReceived, this, &SimWindow::showReceived);
    connect(&session, &Session::changed, this, &SimWindow::scheduleRefresh);
    showReceived({});
    refresh();
}

QString SimWindow::receivedText() const
{
    return received_->text();
}

QString SimWindow::statusText() const
{
    return status_->text();
}

void SimWindow::showReceived(const QByteArray& bytes)
{
    lastBytes_.append(bytes);
    if (lastBytes_.size() > kBytesShown)
        lastBytes_.remove(0, lastBytes_.size() - kBytesShown);
    scheduleRefresh();
}

void SimWindow::scheduleRefresh()
{
    if (!refreshTimer_.isActive())
        refreshTimer_.start();
}

void SimWindow::refresh()
{
    lcd_->refresh();
    status_->setText(describeController(session_));
    received_->setText(QStringLiteral("received: ") +
                       QString::fromLatin1(lastBytes_.toHex(' ').toUpper()));
}

} // namespace kestrin
