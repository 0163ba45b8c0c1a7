#pragma once

#include "link/commandsender.h"
#include "link/linkview.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace lumivor::link {
class ComPortTable;
class Connection;
class Dialogs;
class PauseWait;
class ResponseMonitor;
class SerialPort;
} // namespace lumivor::link

namespace lumivor::panels {
class DisplayPanel;
} // namespace lumivor::panels

namespace lumivor::app {

inline const QString applicationTitle = QStringLiteral("Lumivor 240x64");

// The main window "frmSettings": owns the port's users (connection, response
// monitor, sending rule), the timers, the status bar, the menu and every
// panel, arranged on three levels of tabs. The port and the dialogs are handed
// in, so tests can put doubles in their place.
class MainWindow : public QMainWindow, private link::LinkView
{
    Q_OBJECT
public:
    MainWindow(link::SerialPort& port, link::Dialogs& dialogs, const link::ComPortTable& ports,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    link::Connection& connection() { return *connection_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // LinkView
    QString connectCaption() const override;
    void setConnectCaption(const QString& caption) override;
    void setPortChoiceEnabled(bool enabled) override;
    std::optional<int> selectedPortNumber() const override;
    int selectedRateIndex() const override;
    void setLinkStatus(const QString& text) override;
    QString responseText() const override;
    void setResponseText(const QString& text) override;
    void setBufferText(const QString& text) override;
    bool takeOverContrast(int value) override;
    void showContrastValue() override;
    void setControllerId(const QString& text) override;

    void buildMenu();
    void buildStatusBar();
    void buildHiddenBoxes();
    QWidget* buildSettingsTab();
    QWidget* buildModesTab();
    QWidget* buildUtilitiesTab();
    QWidget* buildGraphicTab();
    QWidget* buildCoordinatesTab();
    QWidget* buildTouchAnimationTab();
    QWidget* buildDisplayTab();
    QGroupBox* buildCommunicationFrame();
    QGroupBox* buildChangeBaudRateFrame();
    QGroupBox* buildControllerIdFrame();
    QGroupBox* buildTouchScreenFrame();
    void fillPortList(const link::ComPortTable& ports);
    void selectDefaultRates();
    void showTimeOfDay();

    link::SerialPort& port_;
    link::Dialogs& dialogs_;
    link::CommandSender sender_;
    link::ResponseMonitor* monitor_ = nullptr;
    std::unique_ptr<link::PauseWait> pause_;
    link::Connection* connection_ = nullptr;
    panels::DisplayPanel* display_ = nullptr;

    QComboBox* portList_ = nullptr;        // cbo_mostraporta
    QComboBox* rateList_ = nullptr;        // cboBR
    QComboBox* newRateList_ = nullptr;     // cmbBoudRate
    QPushButton* connectButton_ = nullptr; // cmd_conecta
    QLineEdit* response_ = nullptr;        // Text7
    QPlainTextEdit* buffer_ = nullptr;     // txtBuffer
    QLineEdit* controllerId_ = nullptr;    // txtController_ID
    QProgressBar* progress_ = nullptr;     // ProgressBar1
    std::array<QLabel*, 4> statusPanels_{};
};

} // namespace lumivor::app
