#include "panels/memory/screengrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace lumivor::panels {

using protocol::flashScreenCount;
using protocol::screenHeight;
using protocol::screenWidth;

namespace {

// The virtual controller's lit panel at its usual contrast.
constexpr QRgb lcdGlass = qRgb(186, 208, 64);
constexpr QRgb lcdInk = qRgb(26, 40, 24);
constexpr QRgb lcdGap = qRgb(186 + (255 - 186) * 12 / 100, 208 + (255 - 208) * 12 / 100,
                             64 + (255 - 64) * 12 / 100);
constexpr QRgb differenceColour = qRgb(200, 30, 30);
constexpr QRgb fontColour = qRgb(40, 80, 170);

constexpr int padding = 8; // around a thumbnail, room for the selection frame

bool dotAt(const QByteArray& screen, int x, int y)
{
    const auto byte = static_cast<unsigned char>(
        screen.at((y / protocol::rowsPerPage) * screenWidth + x));
    return (byte >> (y % protocol::rowsPerPage)) & 1;
}

} // namespace

QImage lcdImage(const QByteArray& screenBytes, int zoom)
{
    zoom = std::max(1, zoom);
    QImage image(screenWidth * zoom, screenHeight * zoom, QImage::Format_RGB32);
    const bool gaps = zoom >= 3;
    for (int row = 0; row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        const int y = row / zoom;
        const bool gapRow = gaps && row % zoom == zoom - 1;
        for (int column = 0; column < image.width(); ++column) {
            if (gapRow || (gaps && column % zoom == zoom - 1))
                line[column] = lcdGap;
            else
                line[column] = dotAt(screenBytes, column / zoom, y) ? lcdInk : lcdGlass;
        }
    }
    return image;
}

// ---- LcdView ----

LcdView::LcdView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void LcdView::setScreen(const QByteArray& screenBytes)
{
    screen_ = screenBytes;
    update();
}

int LcdView::zoom() const
{
    return std::max(1, std::min(width() / screenWidth, height() / screenHeight));
}

QSize LcdView::sizeHint() const
{
    return {screenWidth * 2, screenHeight * 2};
}

QSize LcdView::minimumSizeHint() const
{
    return {screenWidth, screenHeight};
}

void LcdView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (screen_.size() != protocol::flashScreenBytes) {
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        return;
    }
    const QImage image = lcdImage(screen_, zoom());
    painter.drawImage((width() - image.width()) / 2, (height() - image.height()) / 2, image);
}

// ---- ScreenGrid ----

ScreenGrid::ScreenGrid(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScreenGrid::setScreens(const protocol::FlashScreens* screens)
{
    screens_ = screens;
    std::fill(thumbnails_.begin(), thumbnails_.end(), QImage());
    update();
}

void ScreenGrid::screenChanged(int screen)
{
    thumbnails_[std::size_t(screen)] = QImage();
    update(cellRect(screen));
}

void ScreenGrid::setDifferences(const QList<protocol::ScreenDifference>& differences)
{
    differingBytes_.fill(0);
    for (const protocol::ScreenDifference& difference : differences)
        differingBytes_[std::size_t(difference.screen)] = difference.bytes;
    update();
}

void ScreenGrid::setSelected(int screen)
{
    screen = std::clamp(screen, 0, flashScreenCount - 1);
    if (screen == selected_)
        return;
    update(cellRect(selected_));
    selected_ = screen;
    update(cellRect(selected_));
    emit screenSelected(screen);
}

QRect ScreenGrid::cellRect(int screen) const
{
    const int captionHeight = fontMetrics().height() + 2;
    const int width = screenWidth + 2 * padding;
    const int height = captionHeight + screenHeight + 2 * padding;
    return {(screen % columns) * width, (screen / columns) * height, width, height};
}

int ScreenGrid::screenAt(QPoint position) const
{
    const QRect first = cellRect(0);
    if (position.x() < 0 || position.y() < 0 || position.x() >= columns * first.width())
        return -1;
    const int screen = position.y() / first.height() * columns + position.x() / first.width();
    return screen < flashScreenCount ? screen : -1;
}

QSize ScreenGrid::sizeHint() const
{
    return {columns * cellRect(0).width(), cellRect(flashScreenCount - 1).bottom() + 1};
}

QString ScreenGrid::caption(int screen) const
{
    QString text = QString::number(screen);
    if (screen == 0)
        text += tr(" - not reachable by store/recall");
    else if (protocol::isFontScreen(screen))
        text += tr(" - fonts");
    if (const int bytes = differingBytes_[std::size_t(screen)])
        text += bytes == 1 ? tr(" - 1 byte differs") : tr(" - %1 bytes differ").arg(bytes);
    return text;
}

const QImage& ScreenGrid::thumbnail(int screen)
{
    QImage& kept = thumbnails_[std::size_t(screen)];
    if (kept.isNull())
        kept = lcdImage(screens_->screen(screen));
    return kept;
}

void ScreenGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    if (!screens_)
        return;
    for (int screen = 0; screen < flashScreenCount; ++screen) {
        const QRect cell = cellRect(screen);
        if (!cell.intersects(event->rect()))
            continue;
        const QRect caption(cell.left() + padding, cell.top() + 2, screenWidth,
                            fontMetrics().height());
        const QRect picture(cell.left() + padding, caption.bottom() + padding, screenWidth,
                            screenHeight);
        const bool differs = differingBytes_[std::size_t(screen)] != 0;
        painter.setPen(differs                          ? QColor(differenceColour)
                       : screen == 0 || protocol::isFontScreen(screen) ? QColor(fontColour)
                                                      : palette().color(QPalette::Text));
        painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter, this->caption(screen));
        painter.drawImage(picture.topLeft(), thumbnail(screen));
        if (differs)
            painter.setPen(QPen(QColor(differenceColour), 2));
        if (screen == selected_)
            painter.setPen(QPen(palette().color(QPalette::Highlight), 4));
        if (differs || screen == selected_)
            painter.drawRect(picture.adjusted(-3, -3, 2, 2));
    }
}

void ScreenGrid::mousePressEvent(QMouseEvent* event)
{
    const int screen = screenAt(event->position().toPoint());
    if (screen >= 0)
        setSelected(screen);
    QWidget::mousePressEvent(event);
}

void ScreenGrid::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Left    ? -1
                     : event->key() == Qt::Key_Right ? 1
                     : event->key() == Qt::Key_Up    ? -columns
                     : event->key() == Qt::Key_Down  ? columns
                                                     : 0;
    if (step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    setSelected(selected_ + step);
}

} // namespace lumivor::panels
