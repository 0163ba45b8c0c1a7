#include "view/lcdwidget.h"

#include "transport/session.h"
#include "view/lcdrenderer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kestrin {

namespace {

const QColor kBezelColour(48, 50, 52);
const QColor kBeepColour(236, 160, 32);
const QColor kOverlayColour(40, 90, 200, 90);
constexpr int kFlashMs = 150;
constexpr int kTouchMarkMs = 300;

} // namespace

LcdWidget::LcdWidget(Session& session, int zoom, QWidget* parent)
    : QWidget(parent), session_(session), preferredZoom_(std::max(1, zoom)),
      beepsShown_(session.controller().beepCount())
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    flash_.setSingleShot(true);
    flash_.setInterval(kFlashMs);
    connect(&flash_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    touchMarkTimer_.setSingleShot(true);
    touchMarkTimer_.setInterval(kTouchMarkMs);
    connect(&touchMarkTimer_, &QTimer::timeout, this, [this] {
        touchMark_.reset();
        update();
    });
}

QSize LcdWidget::sizeHint() const
{
    return {kWidth * preferredZoom_ + 2 * kBezel, kHeight * preferredZoom_ + 2 * kBezel};
}

QSize LcdWidget::minimumSizeHint() const
{
    return {kWidth + 2 * kBezel, kHeight + 2 * kBezel};
}

int LcdWidget::zoom() const
{
    const int across = (width() - 2 * kBezel) / kWidth;
    const int down = (height() - 2 * kBezel) / kHeight;
    return std::max(1, std::min(across, down));
}

QRect LcdWidget::panelRect() const
{
    const QSize size(kWidth * zoom(), kHeight * zoom());
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void LcdWidget::refresh()
{
    const unsigned beeps = session_.controller().beepCount();
    if (beeps != beepsShown_) {
        beepsShown_ = beeps;
        startBeepFlash();
    }
    update();
}

void LcdWidget::startBeepFlash()
{
    QApplication::beep();
    flash_.start();
}

void LcdWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), flashing() ? kBeepColour : kBezelColour);
    const QRect panel = panelRect();
    painter.drawImage(panel.topLeft(), renderPanel(session_.controller(), zoom()));
    paintKeypad(painter, panel);
    paintTouchMark(painter, panel);
}

void LcdWidget::paintKeypad(QPainter& painter, const QRect& panel) const
{
    const TouchPanel& touch = session_.controller().touchPanel();
    const bool keypad =
        touch.mode() == TouchMode::Keypad || touch.mode() == TouchMode::KeypadFlipped;
    if (!keypad || touch.calibrating())
        return;
    const bool flipped = touch.mode() == TouchMode::KeypadFlipped;
    painter.setPen(QPen(kOverlayColour, 1, Qt::DashLine));
    for (int row = 0; row < TouchPanel::kKeyRows; ++row) {
        for (int column = 0; column < TouchPanel::kKeyColumns; ++column) {
            const QRect key(panel.left() + panel.width() * column / TouchPanel::kKeyColumns,
                            panel.top() + panel.height() * row / TouchPanel::kKeyRows,
                            panel.width() / TouchPanel::kKeyColumns,
                            panel.height() / TouchPanel::kKeyRows);
            const Point centre{(key.center().x() - panel.left()) / zoom(),
                               (key.center().y() - panel.top()) / zoom()};
            if (!touch.keyEnabled(TouchPanel::keyAt(centre, flipped)))
                painter.fillRect(key, QBrush(kOverlayColour, Qt::BDiagPattern));
            painter.drawRect(key.adjusted(0, 0, -1, -1));
        }
    }
}

void LcdWidget::paintTouchMark(QPainter& painter, const QRect& panel) const
{
    if (!touchMark_)
        return;
    const QPointF at(panel.left() + (touchMark_->x + 0.5) * zoom(),
                     panel.top() + (touchMark_->y + 0.5) * zoom());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kOverlayColour);
    painter.drawEllipse(at, 3.0 * zoom(), 3.0 * zoom());
}

void LcdWidget::mousePressEvent(QMouseEvent* event)
{
    const QRect panel = panelRect();
    const QPoint position = event->position().toPoint();
    if (!panel.contains(position))
        return;
    const Point at{(position.x() - panel.left()) / zoom(), (position.y() - panel.top()) / zoom()};
    touchMark_ = at;
    touchMarkTimer_.start();
    session_.touch(at);
}

} // namespace kestrin
