#pragma once

#include "link/linkview.h"

#include <QObject>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lumivor::link {
class BaudRateChange;
class ComPortTable;
class Connection;
class ControllerIdQuery;
class Dialogs;
class LinkService;
} // namespace lumivor::link

namespace lumivor::panels {

// The link's own frames on the "Settings" tab: "Communication" (port, rate,
// Connect), "Change Baud Rate" and "Controller ID", plus the "Controller
// response" frame (Text7) that the main window hands to the panel that hosts
// it, and the hidden holding box txtBuffer. It shows what the connection, the
// response poll, Get ID and the baud-rate change do.
class LinkPanel : public QObject, private link::LinkView
{
    Q_OBJECT
public:
    LinkPanel(link::LinkService& link, link::Dialogs& dialogs, link::ComPortTable& ports,
              QObject* parent = nullptr);
    ~LinkPanel() override;

    QGroupBox* communicationFrame() const { return communicationFrame_; }
    QGroupBox* baudRateFrame() const { return baudRateFrame_; }
    QGroupBox* controllerIdFrame() const { return controllerIdFrame_; }
    QGroupBox* responseFrame() const { return responseFrame_; }

    link::Connection& connection() const { return *connection_; }

    // Puts text the controller sent outside the response poll (the ready
    // bytes of a flash write) into the holding box txtBuffer.
    void holdReceivedText(const QString& text);

signals:
    // Status panel 1.
    void statusChanged(const QString& text);
    // A detection reply reported the controller's contrast.
    void contrastReported(int value);

private:
    QGroupBox* buildCommunicationFrame();
    QGroupBox* buildBaudRateFrame();
    QGroupBox* buildControllerIdFrame();
    QGroupBox* buildResponseFrame();
    void fillPortList();
    void probePortsAgain();
    void showReceivedText();

    // LinkView
    void setConnectCaption(const QString& caption) override;
    void focusConnect() override;
    void setPortChoiceEnabled(bool enabled) override;
    std::optional<int> selectedPortNumber() const override;
    int selectedRateIndex() const override;
    void selectRateIndex(int index) override;
    void setLinkStatus(const QString& text) override;
    void setResponseText(const QString& text) override;
    void takeOverContrast(int value) override;
    void setControllerId(const QString& text) override;

    link::LinkService& link_;
    link::ComPortTable& ports_;
    link::Connection* connection_ = nullptr;
    link::ControllerIdQuery* idQuery_ = nullptr;
    link::BaudRateChange* baudChange_ = nullptr;

    QGroupBox* communicationFrame_ = nullptr;
    QGroupBox* baudRateFrame_ = nullptr;
    QGroupBox* controllerIdFrame_ = nullptr;
    QGroupBox* responseFrame_ = nullptr;
    QComboBox* portList_ = nullptr;        // cbo_mostraporta
    QComboBox* rateList_ = nullptr;        // cboBR
    QComboBox* newRateList_ = nullptr;     // cmbBoudRate
    QPushButton* connectButton_ = nullptr; // cmd_conecta
    QLineEdit* controllerId_ = nullptr;    // txtController_ID
    QLineEdit* response_ = nullptr;        // Text7
    QPlainTextEdit* buffer_ = nullptr;     // txtBuffer
};

} // namespace lumivor::panels
