#pragma once

#include "panels/panelcontext.h"
#include "protocol/picture.h"

#include <QGroupBox>
#include <QImage>

class QComboBox;
class QLabel;
class QSlider;

namespace lumivor::panels {

class PacedSend;

// The "Picture" frame (Frame12): a BMP or JPEG file is drawn into a 240 x 64
// preview at its own size from the top-left corner, on the system window
// colour, and "Send" uploads that preview as a full screen: 05 00, 12 00,
// 06 00, then 1920 data bytes (03 b), paced at line speed as a job that holds
// the link, shows its progress and can be cancelled.
//
// Beside it, "On the LCD" shows the 240 x 64 bits "Send" uploads, as the LCD
// shows them (a 1 is a dark pixel). The controller's own rule is the default;
// for photographs a brightness threshold or dithering can be chosen instead.
class PicturePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit PicturePanel(const PanelContext& context, QWidget* parent = nullptr);

    // The preview exactly as it is sent: 240 x 64, the window colour where
    // the picture does not reach.
    QImage canvas() const;
    // The bits Send uploads: the canvas through the chosen conversion.
    QImage screen() const;

    protocol::Conversion conversion() const;
    int threshold() const;
    void setConversion(protocol::Conversion conversion, int threshold);

protected:
    void changeEvent(QEvent* event) override;

private:
    void openFile();
    void send();
    void showPreview();
    QWidget* buildConversionRow();

    PanelContext context_;
    QImage picture_;            // the loaded picture, null until one is loaded
    QLabel* preview_ = nullptr; // picBox
    QLabel* lcd_ = nullptr;     // picLcd: what the LCD will show
    QComboBox* conversion_ = nullptr;
    QSlider* threshold_ = nullptr;
    PacedSend* upload_ = nullptr;
};

// The open dialog's filter: "Bitmap (*.bmp)", "JPEG (*.jpg)", then every
// format this system can read under "All pictures".
QString pictureFileFilter();

} // namespace lumivor::panels
