#pragma once

#include <QString>

#include <optional>

namespace lumivor::link {

// What the connection reads and writes on the window: the "Communication"
// frame's lists and button, status panel 1, the response boxes, the
// "Controller ID" box, and the contrast the controller reports.
class LinkView
{
public:
    virtual ~LinkView() = default;

    // The Connect button's caption; the link state itself lives in the link
    // service, the caption only shows it.
    virtual void setConnectCaption(const QString& caption) = 0;
    virtual void focusConnect() = 0;
    // Enables or disables the COM port list and the "Baud Rate" list together.
    virtual void setPortChoiceEnabled(bool enabled) = 0;
    // The number of the selected COM port entry; nullopt when none is selected.
    virtual std::optional<int> selectedPortNumber() const = 0;
    // The selected index of the "Baud Rate" list; -1 when none is selected.
    virtual int selectedRateIndex() const = 0;
    virtual void selectRateIndex(int index) = 0;
    // Status panel 1.
    virtual void setLinkStatus(const QString& text) = 0;
    // Hands the contrast the controller reported to the contrast scroll bar,
    // whose change sends it back while the port is open.
    virtual void takeOverContrast(int value) = 0;
    // The "Controller response" box (Text7).
    virtual void setResponseText(const QString& text) = 0;
    // The "Controller ID" box.
    virtual void setControllerId(const QString& text) = 0;
};

} // namespace lumivor::link
