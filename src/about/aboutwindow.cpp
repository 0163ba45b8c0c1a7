#include "about/aboutwindow.h"

#include "about/aboutpicture.h"
#include "about/systeminfo.h"
#include "link/dialogs.h"
#include "panels/widgets.h"
#include "product.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace lumivor::about {

using panels::makeButton;
using panels::makeLabel;

AboutWindow::AboutWindow(SystemLookup& lookup, DesktopLauncher& launcher, link::Dialogs& dialogs,
                         QWidget* parent)
    : QDialog(parent), lookup_(lookup), launcher_(launcher), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("About %1").arg(product::title()));

    auto* title = makeLabel("lblTitle", product::title());
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(9.75);
    title->setFont(titleFont);
    auto* version = makeLabel("lblVersion", tr("Version %1").arg(product::versionText()));

    picture_ = makeLabel("Picture1", QString());
    picture_->setPixmap(aboutPicture());
    picture_->setFixedSize(aboutPictureWidth, aboutPictureHeight);
    picture_->installEventFilter(this);
    webAddress_ = buildWebAddress();

    auto* symbol = makeLabel("Label1", QStringLiteral("\u00a9"));
    auto* notice = makeLabel("Label3", tr("Copyright 2026 the Lumivor developers."));
    auto* rights = makeLabel("Label4", tr("Lumivor is free to use with any Kestrin controller."));
    auto* warranty = makeLabel("Label2", tr("It comes without warranty of any kind: back up the "
                                            "controller's flash before changing it."));
    warranty->setWordWrap(true);

    auto* ok = makeButton("cmdOK", tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* sysInfo = makeButton("cmdSysInfo", tr("&System Info..."));
    sysInfo->setAutoDefault(false);
    connect(sysInfo, &QPushButton::clicked, this, &AboutWindow::startSystemInfo);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addWidget(webAddress_);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture_, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* noticeRow = new QHBoxLayout;
    noticeRow->addWidget(symbol);
    noticeRow->addWidget(notice, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto* bottom = new QHBoxLayout;
    auto* legal = new QVBoxLayout;
    legal->addLayout(noticeRow);
    legal->addWidget(rights);
    legal->addWidget(warranty);
    bottom->addLayout(legal, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

// The project's address, underlined in the system highlight colour with the hand
// cursor; a click opens it in the browser.
QLabel* AboutWindow::buildWebAddress()
{
    auto* label = makeLabel("Label5", product::homepage());
    QFont font = label->font();
    font.setUnderline(true);
    font.setPointSizeF(9.75);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Highlight));
    label->setPalette(colours);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    return label;
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == picture_ && event->type() == QEvent::MouseButtonDblClick) {
        emit pictureDoubleClicked();
        return true;
    }
    if (watched == webAddress_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        launcher_.openUrl(QUrl(product::homepage())); // nothing is reported when it fails
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AboutWindow::startSystemInfo()
{
    if (!about::startSystemInfo(currentPlatform(), lookup_, launcher_))
        dialogs_.message(tr("System Information Is Unavailable At This Time"), product::title(),
                         link::Dialogs::Icon::None, link::Dialogs::Buttons::Ok);
}

} // namespace lumivor::about
