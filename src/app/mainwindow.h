#pragma once

#include "link/traffic.h"
#include "panels/progressview.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QProgressBar;
class QSettings;
class QShortcut;
class QTabWidget;
class QToolButton;

namespace lumivor::app {
class TrafficView;
} // namespace lumivor::app

namespace lumivor::link {
class Clock;
class ComPortTable;
class Dialogs;
class LinkService;
class SerialPort;
} // namespace lumivor::link

namespace lumivor::panels {
class DisplayPanel;
class FlashPanel;
class FlashStudio;
class LinkPanel;
class PicturePanel;
class ScreenPanel;
} // namespace lumivor::panels

namespace lumivor::about {
class AboutWindow;
class DesktopLauncher;
class SystemLookup;
} // namespace lumivor::about

namespace lumivor::app {

// The main window "frmSettings": the container. It owns the link service,
// the status bar, the menu and every panel, arranges the panels' frames on
// three levels of tabs, shows long operations (it is the panels' progress
// view), and wires the few actions that cross panels: the contrast a
// detection reports goes to the contrast scroll bar. The port, the dialogs
// and the clock are handed in, so tests can put doubles in their place.
class MainWindow : public QMainWindow, private panels::ProgressView
{
    Q_OBJECT
public:
    // The port list is probed again from `ports` whenever the operator opens
    // it while disconnected.
    MainWindow(link::SerialPort& port, link::Dialogs& dialogs, link::ComPortTable& ports,
               link::Clock& clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    link::LinkService& link() const { return *link_; }
    panels::LinkPanel& linkPanel() const { return *linkPanel_; }
    const link::TrafficLog& trafficLog() const { return traffic_; }

    // What is kept between runs: where the window stands and how pictures are
    // converted. Nothing that decides what the console sends by default: every
    // run starts disconnected, on the first port at 9600 baud.
    void savePreferences(QSettings& settings) const;
    void restorePreferences(const QSettings& settings);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // ProgressView
    void operationStarted(std::function<void()> cancel) override;
    void setProgressRange(int maximum) override;
    void setProgress(int value) override;
    void setProgressText(const QString& text) override;
    void operationEnded() override;

    void buildMenu();
    void buildTrafficView(link::Clock& clock);
    void buildStatusBar();
    QWidget* buildSettingsTab();
    QWidget* buildModesTab();
    QWidget* buildUtilitiesTab();
    QWidget* buildGraphicTab();
    QWidget* buildCoordinatesTab();
    QWidget* buildTouchAnimationTab();
    QWidget* buildDisplayTab();
    QGroupBox* buildTouchScreenFrame();
    void showTimeOfDay();
    void cancelOperation();
    void showAbout();
    void showFlashStudio();

    link::Dialogs& dialogs_;
    link::TrafficLog traffic_;
    std::unique_ptr<link::PortTap> tap_; // every byte through the port, for the traffic view
    link::LinkService* link_ = nullptr;
    TrafficView* trafficView_ = nullptr;
    panels::LinkPanel* linkPanel_ = nullptr;
    panels::DisplayPanel* display_ = nullptr;
    panels::PicturePanel* picture_ = nullptr;
    panels::ScreenPanel* screen_ = nullptr;
    panels::FlashPanel* flash_ = nullptr;
    std::unique_ptr<about::SystemLookup> systemLookup_;
    std::unique_ptr<about::DesktopLauncher> desktop_;
    QPointer<about::AboutWindow> about_;
    QPointer<panels::FlashStudio> studio_;

    QProgressBar* progress_ = nullptr; // ProgressBar1
    QToolButton* cancel_ = nullptr;    // the running operation's Cancel control
    QShortcut* escape_ = nullptr;
    std::function<void()> cancelOperation_;
    std::array<QLabel*, 4> statusPanels_{};
};

} // namespace lumivor::app
