#include "panels/graphics/picturepanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "link/pictureupload.h"
#include "panels/graphics/pacedsend.h"
#include "panels/widgets.h"
#include "protocol/picture.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivor::panels {

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
    showPreview();

    auto* open = makeButton("Command6", tr("Open File"));
    auto* send = makeButton("Command5", tr("Send"));
    connect(open, &QPushButton::clicked, this, &PicturePanel::openFile);
    connect(send, &QPushButton::clicked, this, &PicturePanel::send);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addStretch();
    buttons->addWidget(send);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->addStretch(); // the buttons stay right under the preview
}

// The system window colour is the palette's Base (the background of text
// boxes and lists), not its Window (the face of dialogs and buttons).
QImage PicturePanel::canvas() const
{
    return protocol::canvasFromPicture(picture_, palette().color(QPalette::Base));
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
    const QImage picture = protocol::readPicture(path);
    if (picture.isNull())
        return; // not a picture: the preview keeps what it showed
    picture_ = picture;
    showPreview();
}

void PicturePanel::send()
{
    if (!context_.link.canSend())
        return;
    upload_->start(link::pictureUploadWrites(protocol::packCanvas(canvas())));
}

void PicturePanel::showPreview()
{
    preview_->setPixmap(QPixmap::fromImage(canvas()));
}

} // namespace lumivor::panels
