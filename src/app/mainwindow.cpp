#include "app/mainwindow.h"

#include "link/comports.h"
#include "link/connection.h"
#include "link/dialogs.h"
#include "link/pausewait.h"
#include "link/responsemonitor.h"
#include "link/serialport.h"
#include "panels/text/displaypanel.h"
#include "panels/text/textentrypanel.h"
#include "panels/widgets.h"
#include "protocol/rates.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

namespace lumivor::app {

using panels::makeButton;
using panels::makeFrame;

namespace {

QTabWidget* makeTabs(const char* name)
{
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QString::fromLatin1(name));
    return tabs;
}

QLabel* makeLabel(const char* name, const QString& caption)
{
    auto* label = new QLabel(caption);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QComboBox* makeRateList(const char* name, bool editable)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(editable);
    list->addItems(protocol::rates::rateTexts());
    return list;
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

MainWindow::MainWindow(link::SerialPort& port, link::Dialogs& dialogs,
                       const link::ComPortTable& ports, QWidget* parent)
    : QMainWindow(parent), port_(port), dialogs_(dialogs), sender_(port)
{
    setObjectName(QStringLiteral("frmSettings"));
    monitor_ = new link::ResponseMonitor(port_, *this, this);
    pause_ = std::make_unique<link::PauseWait>(monitor_->pauseTick());
    connection_ = new link::Connection(port_, *this, dialogs_, *monitor_, *pause_, this);
    const auto dropLink = [this](const link::SerialPortError& error) {
        connection_->dropLink(error);
    };
    sender_.setFailureHandler(dropLink);
    monitor_->setFailureHandler(dropLink);
    display_ = new panels::DisplayPanel({sender_, dialogs_}, this);

    buildMenu();
    buildHiddenBoxes();
    auto* tabs = makeTabs("SSTab1");
    tabs->addTab(buildSettingsTab(), tr("Settings"));
    tabs->addTab(buildModesTab(), tr("Modes"));
    tabs->addTab(buildUtilitiesTab(), tr("Utilities"));
    setCentralWidget(tabs);
    buildStatusBar();

    // Window load: list the ports, select the first one and 9600 in both
    // rate lists, set the caption. Nothing is opened or sent.
    fillPortList(ports);
    selectDefaultRates();
    setWindowTitle(applicationTitle);
}

MainWindow::~MainWindow() = default;

// Ends the program at once, without sending anything: the timers stop and
// the port closes, so a wait further up the stack sees the closed port and
// ends before the window goes away.
void MainWindow::closeEvent(QCloseEvent* event)
{
    for (QTimer* timer : {&monitor_->detectionTimeout(), &monitor_->poll(), &monitor_->settle(),
                          &monitor_->pauseTick()})
        timer->stop();
    try {
        if (port_.portOpen())
            port_.setPortOpen(false);
    } catch (const link::SerialPortError&) {
    }
    event->accept();
}

void MainWindow::buildMenu()
{
    auto* file = menuBar()->addMenu(tr("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->addSeparator();
    auto* exit = file->addAction(tr("Exit"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("mnuExit"));

    auto* help = menuBar()->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    auto* about = help->addAction(tr("About Lumivor"));
    about->setObjectName(QStringLiteral("mnuAbout"));
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
    statusBar()->addWidget(statusPanels_[0], 3);
    statusBar()->addWidget(statusPanels_[1], 1);
    statusBar()->addWidget(statusPanels_[2], 1);
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, 2047);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(140);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(statusPanels_[3]);
    setLinkStatus(QStringLiteral("Controller Disconnected "));

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

// txtBuffer and Text10 are holding places for received text and transfer
// state; the operator never sees them.
void MainWindow::buildHiddenBoxes()
{
    buffer_ = new QPlainTextEdit(this);
    buffer_->setObjectName(QStringLiteral("txtBuffer"));
    buffer_->hide();
    auto* text10 = new QLineEdit(QStringLiteral("Text10"), this);
    text10->setObjectName(QStringLiteral("Text10"));
    text10->hide();
}

QWidget* MainWindow::buildSettingsTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(buildCommunicationFrame(), 0, 0);
    grid->addWidget(buildChangeBaudRateFrame(), 1, 0);
    grid->addWidget(display_->backlightFrame(), 0, 1);
    grid->addWidget(display_->soundFrame(), 1, 1);
    grid->addWidget(buildControllerIdFrame(), 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return page;
}

QGroupBox* MainWindow::buildCommunicationFrame()
{
    auto* frame = makeFrame("fraCommunication", tr("Communication"));
    portList_ = new QComboBox;
    portList_->setObjectName(QStringLiteral("cbo_mostraporta"));
    rateList_ = makeRateList("cboBR", false);
    connectButton_ = makeButton("cmd_conecta", tr("Connect"));
    connect(connectButton_, &QPushButton::clicked, connection_, &link::Connection::toggle);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(makeLabel("Label1", tr("COM Port")), 0, 0);
    grid->addWidget(portList_, 0, 1);
    grid->addWidget(makeLabel("Label2", tr("Baud Rate")), 1, 0);
    grid->addWidget(rateList_, 1, 1);
    grid->addWidget(connectButton_, 0, 2, 2, 1);
    return frame;
}

QGroupBox* MainWindow::buildChangeBaudRateFrame()
{
    auto* frame = makeFrame("fraChangeBaudRate", tr("Change Baud Rate"));
    newRateList_ = makeRateList("cmbBoudRate", true);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(newRateList_);
    layout->addWidget(makeButton("Command4", tr("OK")));
    return frame;
}

QGroupBox* MainWindow::buildControllerIdFrame()
{
    auto* frame = makeFrame("fraControllerId", tr("Controller ID"));
    controllerId_ = new QLineEdit(QStringLiteral("N/A"));
    controllerId_->setObjectName(QStringLiteral("txtController_ID"));
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(controllerId_, 1);
    layout->addWidget(makeButton("cmdGetID", tr("Get ID")));
    return frame;
}

QWidget* MainWindow::buildModesTab()
{
    auto* tabs = makeTabs("SSTab2");
    tabs->addTab(new panels::TextEntryPanel({sender_, dialogs_}), tr("Text"));
    tabs->addTab(buildGraphicTab(), tr("Graphic"));
    tabs->addTab(buildCoordinatesTab(), tr("Coordinates"));
    return tabs;
}

QWidget* MainWindow::buildGraphicTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(makeFrame("Frame12", tr("Picture")), 0, 0);
    grid->addWidget(makeFrame("Frame4", tr("Pattern")), 0, 1);
    auto* memory = makeFrame("fraMemory", tr("Memory"));
    auto* memoryLayout = new QHBoxLayout(memory);
    memoryLayout->addWidget(makeFrame("Frame25", tr("Screen")));
    memoryLayout->addWidget(makeFrame("fraFlash", tr("Flash")));
    grid->addWidget(memory, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget* MainWindow::buildCoordinatesTab()
{
    return stackedPage({makeFrame("Frame34", tr("Line/Rectangle/Circle/Pixel"))});
}

QWidget* MainWindow::buildUtilitiesTab()
{
    auto* tabs = makeTabs("SSTab3");
    tabs->addTab(buildTouchAnimationTab(), tr("Touch Screen/Animation"));
    tabs->addTab(buildDisplayTab(), tr("Display"));
    return tabs;
}

QWidget* MainWindow::buildTouchAnimationTab()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(buildTouchScreenFrame(), 1);
    layout->addWidget(makeFrame("fraAnimation", tr("Animation")), 1);
    return page;
}

// The "Controller response" box sits inside the touch screen frame, where
// touch reports are expected.
QGroupBox* MainWindow::buildTouchScreenFrame()
{
    auto* frame = makeFrame("fraTouchScreen", tr("Touch Screen"));
    auto* responseFrame = makeFrame("Frame9", tr("Controller response"));
    response_ = new QLineEdit;
    response_->setObjectName(QStringLiteral("Text7"));
    response_->setReadOnly(true);
    response_->setMaxLength(INT_MAX);
    (new QVBoxLayout(responseFrame))->addWidget(response_);
    auto* layout = new QVBoxLayout(frame);
    layout->addStretch();
    layout->addWidget(responseFrame);
    return frame;
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

void MainWindow::fillPortList(const link::ComPortTable& ports)
{
    portList_->clear();
    for (int n = link::ComPortTable::firstNumber; n <= link::ComPortTable::lastNumber; ++n) {
        if (!ports.portExists(n))
            continue;
        portList_->addItem(QString::number(n));
        portList_->setItemData(portList_->count() - 1, ports.devicePath(n), Qt::ToolTipRole);
    }
    portList_->setCurrentIndex(portList_->count() > 0 ? 0 : -1);
}

void MainWindow::selectDefaultRates()
{
    rateList_->setCurrentIndex(protocol::rates::defaultIndex);
    newRateList_->setCurrentIndex(protocol::rates::defaultIndex);
}

QString MainWindow::connectCaption() const
{
    return connectButton_->text();
}

void MainWindow::setConnectCaption(const QString& caption)
{
    connectButton_->setText(caption);
}

void MainWindow::setPortChoiceEnabled(bool enabled)
{
    portList_->setEnabled(enabled);
    rateList_->setEnabled(enabled);
}

std::optional<int> MainWindow::selectedPortNumber() const
{
    if (portList_->currentIndex() < 0)
        return std::nullopt;
    bool ok = false;
    const int number = portList_->currentText().toInt(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

int MainWindow::selectedRateIndex() const
{
    return rateList_->currentIndex();
}

void MainWindow::setLinkStatus(const QString& text)
{
    statusPanels_[0]->setText(text);
}

QString MainWindow::responseText() const
{
    return response_->text();
}

void MainWindow::setResponseText(const QString& text)
{
    response_->setText(text);
}

void MainWindow::setBufferText(const QString& text)
{
    buffer_->setPlainText(text);
}

bool MainWindow::takeOverContrast(int value)
{
    return display_->setContrast(value);
}

void MainWindow::showContrastValue()
{
    display_->showContrastValue();
}

void MainWindow::setControllerId(const QString& text)
{
    controllerId_->setText(text);
}

} // namespace lumivor::app
