#pragma once

#include "protocol/flashscreens.h"

#include <QImage>
#include <QList>
#include <QWidget>

#include <array>

namespace lumivor::panels {

// A screen's 1,920 bytes as the LCD shows them: a dark dot for every 1 on
// the lit yellow-green panel, each dot zoom x zoom pixels with a thin gap
// between dots from zoom 3 on (the virtual controller's look).
QImage lcdImage(const QByteArray& screenBytes, int zoom = 1);

// One screen at the largest whole zoom its room allows (at least 1), centred.
class LcdView : public QWidget
{
    Q_OBJECT
public:
    explicit LcdView(QWidget* parent = nullptr);

    // A null screen shows the empty frame.
    void setScreen(const QByteArray& screenBytes);
    QByteArray screen() const { return screen_; }
    int zoom() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QByteArray screen_;
};

// All 256 screens of a flash image as LCD thumbnails in numbered cells, two
// to a row: screen 0 marked as beyond the store and recall commands, screens
// 1-5 as the fonts', and the screens that differ from a compared image with
// how many bytes do. A click selects a screen. Each thumbnail is drawn once
// and kept until its screen changes.
class ScreenGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int columns = 2;

    explicit ScreenGrid(QWidget* parent = nullptr);

    // The image to show; it must outlive the grid or be replaced.
    void setScreens(const protocol::FlashScreens* screens);
    void screenChanged(int screen);
    void setDifferences(const QList<protocol::ScreenDifference>& differences);
    int differingBytes(int screen) const { return differingBytes_[std::size_t(screen)]; }
    void setSelected(int screen);
    int selected() const { return selected_; }
    QRect cellRect(int screen) const;
    int screenAt(QPoint position) const;

    QSize sizeHint() const override;

signals:
    void screenSelected(int screen);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString caption(int screen) const;
    const QImage& thumbnail(int screen);

    const protocol::FlashScreens* screens_ = nullptr;
    std::array<QImage, protocol::flashScreenCount> thumbnails_; // null until drawn
    std::array<int, protocol::flashScreenCount> differingBytes_{};
    int selected_ = 0;
};

} // namespace lumivor::panels
