#include "panels/graphics/picturepanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "link/pictureupload.h"
#include "panels/graphics/pacedsend.h"
#include "panels/widgets.h"
#include "protocol/picture.h"
#include "protocol/picturefile.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace lumivor::panels {

namespace {
constexpr QRgb lcdInk = 0xff1f2a17;
constexpr QRgb lcdGlass = 0xffb7c98f;
} // namespace

QString pictureFileFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QStringLiteral("Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|") +
           QObject::tr("All pictures") + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(")|") + patterns.join(QLatin1Char(';'));
}

PicturePanel::PicturePanel(const PanelContext& context, QWidget* parent)
    : QGroupBox(tr("Picture"), parent), context_(context)
{
    setObjectName(QStringLiteral("Frame12"));
    upload_ = new PacedSend(context_, tr("The picture upload"), tr("Picture upload"), this);

    preview_ = new QLabel;
    preview_->setObjectName(QStringLiteral("picBox"));
    preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    preview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int border = 2 * preview_->frameWidth();
    preview_->setFixedSize(protocol::screenWidth + border, protocol::screenHeight + border);

    auto* open = makeButton("Command6", tr("Open File"));
    auto* send = makeButton("Command5", tr("Send"));
    connect(open, &QPushButton::clicked, this, &PicturePanel::openFile);
    connect(send, &QPushButton::clicked, this, &PicturePanel::send);

    lcd_ = new QLabel;
    lcd_->setObjectName(QStringLiteral("picLcd"));
    lcd_->setToolTip(tr("What the LCD will show: the bits Send uploads"));
    lcd_->setFixedSize(preview_->size());
    lcd_->setFrameStyle(preview_->frameStyle());
    auto* conversionRow = buildConversionRow();

    // The picture and what the LCD will show side by side; the buttons under
    // the picture, the conversion under the LCD.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addStretch();
    buttons->addWidget(send);
    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel("lblLcd", tr("On the LCD:")), 0, 1);
    grid->addWidget(preview_, 1, 0);
    grid->addWidget(lcd_, 1, 1);
    grid->addLayout(buttons, 2, 0);
    grid->addWidget(conversionRow, 2, 1);
    grid->setRowStretch(3, 1); // the buttons stay right under the preview
    showPreview();
}

// The system window colour is the palette's Base (the background of text
// boxes and lists), not its Window (the face of dialogs and buttons).
QImage PicturePanel::canvas() const
{
    return protocol::canvasFromPicture(picture_, palette().color(QPalette::Base));
}

QImage PicturePanel::screen() const
{
    return protocol::convertCanvas(canvas(), conversion(), threshold());
}

protocol::Conversion PicturePanel::conversion() const
{
    return static_cast<protocol::Conversion>(conversion_->currentData().toInt());
}

int PicturePanel::threshold() const
{
    return threshold_->value();
}

void PicturePanel::setConversion(protocol::Conversion conversion, int threshold)
{
    threshold_->setValue(threshold);
    const int index = conversion_->findData(int(conversion));
    conversion_->setCurrentIndex(index >= 0 ? index : 0);
}

QWidget* PicturePanel::buildConversionRow()
{
    conversion_ = makeConversionBox();
    threshold_ = makeThresholdSlider();
    connect(conversion_, &QComboBox::currentIndexChanged, this, [this] {
        threshold_->setEnabled(conversion() == protocol::Conversion::Threshold);
        showPreview();
    });
    connect(threshold_, &QSlider::valueChanged, this, &PicturePanel::showPreview);

    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(conversion_, 1);
    layout->addWidget(threshold_, 1);
    return row;
}

void PicturePanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        showPreview();
    QGroupBox::changeEvent(event);
}

void PicturePanel::openFile()
{
    const QString path = context_.dialogs.openFileName(pictureFileFilter());
    if (path.isEmpty())
        return;
    const protocol::PictureRead picture = protocol::readPicture(path);
    if (!picture.ok()) {
        // The preview keeps what it showed; the operator hears why.
        context_.dialogs.message(picture.problem, tr("Open File"), link::Dialogs::Icon::Exclamation,
                                 link::Dialogs::Buttons::Ok);
        return;
    }
    picture_ = picture.image;
    showPreview();
}

void PicturePanel::send()
{
    if (!context_.link.canSend())
        return;
    upload_->start(link::pictureUploadWrites(protocol::packCanvas(screen())));
}

// The LCD's colours: a 1 is a dark pixel on the lit panel.
void PicturePanel::showPreview()
{
    preview_->setPixmap(QPixmap::fromImage(canvas()));
    if (!lcd_ || !conversion_)
        return;
    const QImage bits = screen();
    QImage lcd(bits.size(), QImage::Format_RGB32);
    for (int y = 0; y < bits.height(); ++y) {
        const uchar* in = bits.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(lcd.scanLine(y));
        for (int x = 0; x < bits.width(); ++x)
            out[x] = in[x] ? lcdInk : lcdGlass;
    }
    lcd_->setPixmap(QPixmap::fromImage(lcd));
}

} // namespace lumivor::panels
