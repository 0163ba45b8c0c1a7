#pragma once

#include "model/drawing.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace kestrin {

class Session;

// The LCD in its bezel. The panel is drawn at the largest whole zoom that fits (3 at the
// start); a mouse press on it is a touch. A beep flashes the bezel and sounds the system
// beep; in keypad mode a faint grid shows the 6 x 3 keys, masked keys hatched.
class LcdWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kBezel = 14;
    static constexpr int kDefaultZoom = 3;

    explicit LcdWidget(Session& session, int zoom = kDefaultZoom, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    int zoom() const;
    QRect panelRect() const;
    bool flashing() const { return flash_.isActive(); }

    // Called whenever the controller may have changed.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void paintKeypad(QPainter& painter, const QRect& panel) const;
    void paintTouchMark(QPainter& painter, const QRect& panel) const;
    void startBeepFlash();

    Session& session_;
    int preferredZoom_;
    unsigned beepsShown_ = 0;
    QTimer flash_;
    QTimer touchMarkTimer_;
    std::optional<Point> touchMark_;
};

} // namespace kestrin
