#include "panels/link/linkpanel.h"

#include "link/baudratechange.h"
#include "link/comports.h"
#include "link/connection.h"
#include "link/controllerid.h"
#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "panels/widgets.h"
#include "protocol/rates.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivor::panels {

namespace {

// The COM port list, which looks for ports again each time it opens.
class PortList final : public QComboBox
{
public:
    std::function<void()> beforePopup;

    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

QComboBox* makeRateList(const char* name, bool editable)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(editable);
    list->addItems(protocol::rates::rateTexts());
    list->setCurrentIndex(protocol::rates::defaultIndex);
    return list;
}

} // namespace

LinkPanel::LinkPanel(link::LinkService& link, link::Dialogs& dialogs, link::ComPortTable& ports,
                     QObject* parent)
    : QObject(parent), link_(link), ports_(ports)
{
    connection_ = new link::Connection(link, *this, dialogs, this);
    idQuery_ = new link::ControllerIdQuery(link, this);
    baudChange_ = new link::BaudRateChange(link, *connection_, *this, dialogs, this);

    communicationFrame_ = buildCommunicationFrame();
    baudRateFrame_ = buildBaudRateFrame();
    controllerIdFrame_ = buildControllerIdFrame();
    responseFrame_ = buildResponseFrame();
    showReceivedText();
}

LinkPanel::~LinkPanel() = default;

// What the response poll and Get ID read goes to the boxes.
void LinkPanel::showReceivedText()
{
    const link::ResponseMonitor& monitor = link_.monitor();
    connect(&monitor, &link::ResponseMonitor::received, this, [this](const QString& chunk) {
        buffer_->setPlainText(chunk);
        response_->setText(chunk.right(link::ResponseMonitor::shownCharacters));
    });
    connect(&monitor, &link::ResponseMonitor::discarded, buffer_, &QPlainTextEdit::clear);
    connect(idQuery_, &link::ControllerIdQuery::responseCleared, response_, &QLineEdit::clear);
    connect(idQuery_, &link::ControllerIdQuery::idRead, this, [this](const QString& id) {
        response_->setText(id);
        controllerId_->setText(id);
    });
}

QGroupBox* LinkPanel::buildCommunicationFrame()
{
    auto* frame = makeFrame("fraCommunication", tr("Communication"));
    auto* portList = new PortList;
    portList->beforePopup = [this] { probePortsAgain(); };
    portList_ = portList;
    portList_->setObjectName(QStringLiteral("cbo_mostraporta"));
    rateList_ = makeRateList("cboBR", false);
    connectButton_ = makeButton("cmd_conecta", tr("Connect"));
    connect(connectButton_, &QPushButton::clicked, connection_, &link::Connection::toggle);
    fillPortList();

    auto* grid = new QGridLayout(frame);
    grid->addWidget(makeLabel("Label1", tr("COM Port")), 0, 0);
    grid->addWidget(portList_, 0, 1);
    grid->addWidget(makeLabel("Label2", tr("Baud Rate")), 1, 0);
    grid->addWidget(rateList_, 1, 1);
    grid->addWidget(connectButton_, 0, 2, 2, 1);
    return frame;
}

QGroupBox* LinkPanel::buildBaudRateFrame()
{
    auto* frame = makeFrame("fraChangeBaudRate", tr("Change Baud Rate"));
    newRateList_ = makeRateList("cmbBoudRate", true);
    auto* ok = makeButton("Command4", tr("OK"));
    connect(ok, &QPushButton::clicked, this,
            [this] { baudChange_->run(newRateList_->currentText()); });
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(newRateList_);
    layout->addWidget(ok);
    return frame;
}

QGroupBox* LinkPanel::buildControllerIdFrame()
{
    auto* frame = makeFrame("fraControllerId", tr("Controller ID"));
    controllerId_ = new QLineEdit(tr("N/A"));
    controllerId_->setObjectName(QStringLiteral("txtController_ID"));
    auto* getId = makeButton("cmdGetID", tr("Get ID"));
    connect(getId, &QPushButton::clicked, idQuery_, &link::ControllerIdQuery::run);
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(controllerId_, 1);
    layout->addWidget(getId);
    return frame;
}

// Text7 shows the latest text the controller sent; txtBuffer, a holding
// place the operator never sees, lives with it.
QGroupBox* LinkPanel::buildResponseFrame()
{
    auto* frame = makeFrame("Frame9", tr("Controller response"));
    response_ = new QLineEdit;
    response_->setObjectName(QStringLiteral("Text7"));
    response_->setReadOnly(true);
    buffer_ = new QPlainTextEdit(frame);
    buffer_->setObjectName(QStringLiteral("txtBuffer"));
    buffer_->hide();
    (new QVBoxLayout(frame))->addWidget(response_);
    return frame;
}

void LinkPanel::fillPortList()
{
    portList_->clear();
    for (int n : ports_.presentNumbers()) {
        portList_->addItem(QString::number(n));
        portList_->setItemData(portList_->count() - 1, ports_.devicePath(n), Qt::ToolTipRole);
    }
    portList_->setCurrentIndex(portList_->count() > 0 ? 0 : -1);
}

// Adapters come and go while the console runs: opening the list looks again,
// keeping the chosen port when it is still there. Never while connected (the
// list is disabled then anyway) or while an operation holds the link.
void LinkPanel::probePortsAgain()
{
    if (link_.state() != link::LinkState::Disconnected || link_.isBusy())
        return;
    const std::optional<int> chosen = selectedPortNumber();
    ports_.refresh();
    fillPortList();
    if (chosen) {
        const int index = portList_->findText(QString::number(*chosen));
        if (index >= 0)
            portList_->setCurrentIndex(index);
    }
}

void LinkPanel::holdReceivedText(const QString& text)
{
    buffer_->setPlainText(text);
}

void LinkPanel::setConnectCaption(const QString& caption)
{
    connectButton_->setText(caption);
}

void LinkPanel::focusConnect()
{
    connectButton_->setFocus();
}

void LinkPanel::setPortChoiceEnabled(bool enabled)
{
    portList_->setEnabled(enabled);
    rateList_->setEnabled(enabled);
}

std::optional<int> LinkPanel::selectedPortNumber() const
{
    if (portList_->currentIndex() < 0)
        return std::nullopt;
    bool ok = false;
    const int number = portList_->currentText().toInt(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

int LinkPanel::selectedRateIndex() const
{
    return rateList_->currentIndex();
}

void LinkPanel::selectRateIndex(int index)
{
    rateList_->setCurrentIndex(index);
}

void LinkPanel::setLinkStatus(const QString& text)
{
    emit statusChanged(text);
}

void LinkPanel::setResponseText(const QString& text)
{
    response_->setText(text);
}

void LinkPanel::takeOverContrast(int value)
{
    emit contrastReported(value);
}

void LinkPanel::setControllerId(const QString& text)
{
    controllerId_->setText(text);
}

} // namespace lumivor::panels
