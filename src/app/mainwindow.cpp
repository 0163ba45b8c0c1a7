#include "app/mainwindow.h"

#include "about/aboutwindow.h"
#include "about/systeminfo.h"
#include "app/trafficview.h"
#include "link/connection.h"
#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/graphics/coordinatespanel.h"
#include "panels/graphics/patternpanel.h"
#include "panels/graphics/picturepanel.h"
#include "panels/link/linkpanel.h"
#include "panels/memory/flashpanel.h"
#include "panels/memory/flashstudio.h"
#include "panels/memory/screenpanel.h"
#include "panels/panelcontext.h"
#include "panels/text/displaypanel.h"
#include "panels/text/textentrypanel.h"
#include "panels/touch/animationpanel.h"
#include "panels/touch/touchscreenpanel.h"
#include "panels/widgets.h"
#include "product.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumivor::app {

using panels::makeFrame;

namespace {

constexpr QSize comfortableSize(960, 540);
// ProgressBar1 at rest: the flash transfer's range, block 0 to 2047.
constexpr int restingProgressMaximum = 2047;

QTabWidget* makeTabs(const char* name)
{
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QString::fromLatin1(name));
    return tabs;
}

// A tab page in a scroll area of its own: however small the window is made
// (a window manager need not keep to the window's minimum size), each page
// keeps the room its frames ask for and scrolls instead of squeezing them
// into one another.
// It asks for its page's whole preferred size, so the window opens where no
// page needs to scroll (as far as the screen allows).
class PageScrollArea final : public QScrollArea
{
public:
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame, frame);
    }
};

QWidget* scrollable(QWidget* page)
{
    auto* area = new PageScrollArea;
    area->setObjectName(page->objectName().isEmpty() ? QString()
                                                     : page->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(page);
    area->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    return area;
}

// A page whose frames stack from the top, the rest of the height left free.
QWidget* stackedPage(std::initializer_list<QWidget*> frames)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (QWidget* frame : frames)
        layout->addWidget(frame);
    layout->addStretch();
    return page;
}

} // namespace

MainWindow::MainWindow(link::SerialPort& port, link::Dialogs& dialogs, link::ComPortTable& ports,
                       link::Clock& clock, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs),
      tap_(std::make_unique<link::PortTap>(port, clock, traffic_))
{
    setObjectName(QStringLiteral("frmSettings"));
    link_ = new link::LinkService(*tap_, clock, this);
    linkPanel_ = new panels::LinkPanel(*link_, dialogs_, ports, this);
    const panels::PanelContext context{*link_, dialogs_, *this};
    display_ = new panels::DisplayPanel(context, this);
    // The one cross-panel action of the connection: the contrast a detection
    // reports goes to the contrast scroll bar, which sends it back.
    connect(linkPanel_, &panels::LinkPanel::contrastReported, display_,
            &panels::DisplayPanel::takeOverContrast);
    screen_ = new panels::ScreenPanel(context, this);
    flash_ = new panels::FlashPanel(context, this);
    // The ready bytes of a flash write go to the link panel's holding box.
    connect(flash_, &panels::FlashPanel::readyBytesReceived, linkPanel_,
            &panels::LinkPanel::holdReceivedText);
    systemLookup_ = about::makeSystemLookup();
    desktop_ = about::makeDesktopLauncher();

    buildTrafficView(clock);
    buildMenu();
    auto* tabs = makeTabs("SSTab1");
    tabs->addTab(scrollable(buildSettingsTab()), tr("Settings"));
    tabs->addTab(buildModesTab(), tr("Modes"));
    tabs->addTab(buildUtilitiesTab(), tr("Utilities"));
    setCentralWidget(tabs);
    buildStatusBar();
    setWindowTitle(product::title());
    // At its preferred size where a full-HD screen at 200 % (960 x 540) holds
    // it, and never smaller than every frame needs.
    resize(sizeHint().boundedTo(comfortableSize).expandedTo(minimumSizeHint()));
}

MainWindow::~MainWindow() = default;

// Ends the program at once, without sending anything. A running operation is
// stopped first, if the operator agrees; otherwise the window stays.
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (studio_ && !studio_->close()) { // it asks about its own transfer and unsaved edits
        event->ignore();
        return;
    }
    if (!linkPanel_->connection().stopOperationBefore(tr("exit"))) {
        event->ignore();
        return;
    }
    linkPanel_->connection().shutDown();
    event->accept();
}

void MainWindow::savePreferences(QSettings& settings) const
{
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("picture/conversion"), int(picture_->conversion()));
    settings.setValue(QStringLiteral("picture/threshold"), picture_->threshold());
}

void MainWindow::restorePreferences(const QSettings& settings)
{
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    picture_->setConversion(
        protocol::Conversion(settings.value(QStringLiteral("picture/conversion"), 0).toInt()),
        settings.value(QStringLiteral("picture/threshold"), protocol::defaultThreshold).toInt());
}

void MainWindow::buildMenu()
{
    auto* file = menuBar()->addMenu(tr("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    auto* studio = file->addAction(tr("Flash image..."), this, &MainWindow::showFlashStudio);
    studio->setObjectName(QStringLiteral("mnuFlashImage"));
    file->addSeparator();
    auto* exit = file->addAction(tr("Exit"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("mnuExit"));

    auto* view = menuBar()->addMenu(tr("View"));
    view->setObjectName(QStringLiteral("mnuView"));
    QAction* traffic = trafficView_->toggleViewAction();
    traffic->setObjectName(QStringLiteral("mnuTraffic"));
    traffic->setText(tr("Traffic"));
    view->addAction(traffic);

    auto* help = menuBar()->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    auto* about = help->addAction(tr("About Lumivor"), this, &MainWindow::showAbout);
    about->setObjectName(QStringLiteral("mnuAbout"));
}

// Off by default: the operator opens it from "View".
void MainWindow::buildTrafficView(link::Clock& clock)
{
    trafficView_ = new TrafficView(traffic_, clock, dialogs_, this);
    addDockWidget(Qt::BottomDockWidgetArea, trafficView_);
    trafficView_->hide();
}

// One About window at a time: a second request brings it forward. Its
// picture unlocks the fonts' screens of the screen panel.
void MainWindow::showAbout()
{
    if (about_) {
        about_->raise();
        about_->activateWindow();
        return;
    }
    about_ = new about::AboutWindow(*systemLookup_, *desktop_, dialogs_, this);
    connect(about_, &about::AboutWindow::pictureDoubleClicked, screen_,
            &panels::ScreenPanel::unlockFontScreens);
    about_->show();
}

// One flash image window at a time, with the panels' seams; a second
// request brings it forward.
void MainWindow::showFlashStudio()
{
    if (studio_) {
        studio_->raise();
        studio_->activateWindow();
        return;
    }
    studio_ = new panels::FlashStudio({*link_, dialogs_, *this}, this);
    studio_->show();
}

void MainWindow::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    for (std::size_t i = 0; i < statusPanels_.size(); ++i) {
        auto* panel = new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(60);
        statusPanels_[i] = panel;
    }
    // Panel 2 is never written; panel 3 carries progress texts and gets room.
    statusBar()->addWidget(statusPanels_[0], 3);
    statusBar()->addWidget(statusPanels_[1], 0);
    statusBar()->addWidget(statusPanels_[2], 2);
    cancel_ = new QToolButton;
    cancel_->setObjectName(QStringLiteral("cmdCancelOperation"));
    cancel_->setText(tr("Cancel"));
    cancel_->setToolTip(tr("Stop the running operation (Esc)"));
    cancel_->hide();
    connect(cancel_, &QToolButton::clicked, this, &MainWindow::cancelOperation);
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, &MainWindow::cancelOperation);
    statusBar()->addPermanentWidget(cancel_);
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, restingProgressMaximum);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(140);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(statusPanels_[3]);
    statusPanels_[0]->setText(tr("Controller Disconnected "));
    connect(linkPanel_, &panels::LinkPanel::statusChanged, statusPanels_[0], &QLabel::setText);

    auto* clock = new QTimer(this);
    clock->setObjectName(QStringLiteral("clockTimer"));
    connect(clock, &QTimer::timeout, this, &MainWindow::showTimeOfDay);
    clock->start(1000);
    showTimeOfDay();
}

void MainWindow::showTimeOfDay()
{
    statusPanels_[3]->setText(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
}

QWidget* MainWindow::buildSettingsTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(linkPanel_->communicationFrame(), 0, 0);
    grid->addWidget(linkPanel_->baudRateFrame(), 1, 0);
    grid->addWidget(display_->backlightFrame(), 0, 1);
    grid->addWidget(display_->soundFrame(), 1, 1);
    grid->addWidget(linkPanel_->controllerIdFrame(), 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* MainWindow::buildModesTab()
{
    auto* tabs = makeTabs("SSTab2");
    tabs->addTab(scrollable(new panels::TextEntryPanel({*link_, dialogs_, *this})), tr("Text"));
    tabs->addTab(scrollable(buildGraphicTab()), tr("Graphic"));
    tabs->addTab(scrollable(buildCoordinatesTab()), tr("Coordinates"));
    return tabs;
}

QWidget* MainWindow::buildGraphicTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    picture_ = new panels::PicturePanel({*link_, dialogs_, *this});
    grid->addWidget(picture_, 0, 0);
    grid->addWidget(new panels::PatternPanel({*link_, dialogs_, *this}), 0, 1);
    auto* memory = makeFrame("fraMemory", tr("Memory"));
    auto* memoryLayout = new QHBoxLayout(memory);
    memoryLayout->addWidget(screen_->frame());
    memoryLayout->addWidget(flash_->frame());
    grid->addWidget(memory, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget* MainWindow::buildCoordinatesTab()
{
    return stackedPage({new panels::CoordinatesPanel({*link_, dialogs_, *this})});
}

QWidget* MainWindow::buildUtilitiesTab()
{
    auto* tabs = makeTabs("SSTab3");
    tabs->addTab(scrollable(buildTouchAnimationTab()), tr("Touch Screen/Animation"));
    tabs->addTab(scrollable(buildDisplayTab()), tr("Display"));
    return tabs;
}

QWidget* MainWindow::buildTouchAnimationTab()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(buildTouchScreenFrame(), 1);
    auto* animation = new panels::AnimationPanel({*link_, dialogs_, *this}, this);
    layout->addWidget(animation->frame(), 1);
    return page;
}

// The "Controller response" frame sits inside the touch screen frame, where
// touch reports are expected.
QGroupBox* MainWindow::buildTouchScreenFrame()
{
    auto* touch =
        new panels::TouchScreenPanel({*link_, dialogs_, *this}, linkPanel_->responseFrame(), this);
    return touch->frame();
}

QWidget* MainWindow::buildDisplayTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(display_->screenFrame(), 0, 0);
    grid->addWidget(display_->modeFrame(), 0, 1);
    grid->addWidget(display_->contrastFrame(), 1, 0);
    grid->addWidget(display_->pageFrame(), 1, 1);
    grid->setRowStretch(2, 1);
    return page;
}

void MainWindow::operationStarted(std::function<void()> cancel)
{
    cancelOperation_ = std::move(cancel);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cancel_->setVisible(static_cast<bool>(cancelOperation_));
    escape_->setEnabled(static_cast<bool>(cancelOperation_));
}

void MainWindow::setProgressRange(int maximum)
{
    progress_->setRange(0, maximum);
}

void MainWindow::setProgress(int value)
{
    progress_->setValue(value);
}

void MainWindow::setProgressText(const QString& text)
{
    statusPanels_[2]->setText(text);
}

void MainWindow::operationEnded()
{
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    cancelOperation_ = nullptr;
    cancel_->hide();
    escape_->setEnabled(false);
    progress_->setRange(0, restingProgressMaximum); // as laid out, whatever the last range
    progress_->setValue(0);
}

// Copied first: cancelling ends the operation, which clears the callback.
void MainWindow::cancelOperation()
{
    if (const std::function<void()> cancel = cancelOperation_)
        cancel();
}

} // namespace lumivor::app
