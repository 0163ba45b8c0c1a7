#pragma once

#include <QString>

#include <optional>

namespace lumivor::link {

// What the connection and the response monitor read and write on the window.
// The window implements it over its controls ("Connect" button, the two lists,
// status panel 1, the response boxes, the contrast scroll bar).
class LinkView
{
public:
    virtual ~LinkView() = default;

    // The caption of the Connect button is the one record of the link state.
    virtual QString connectCaption() const = 0;
    virtual void setConnectCaption(const QString& caption) = 0;
    // Enables or disables the COM port list and the "Baud Rate" list together.
    virtual void setPortChoiceEnabled(bool enabled) = 0;
    // The number of the selected COM port entry; nullopt when none is selected.
    virtual std::optional<int> selectedPortNumber() const = 0;
    // The selected index of the "Baud Rate" list; -1 when none is selected.
    virtual int selectedRateIndex() const = 0;
    // Status panel 1.
    virtual void setLinkStatus(const QString& text) = 0;
    // The "Controller response" box and the hidden holding box.
    virtual QString responseText() const = 0;
    virtual void setResponseText(const QString& text) = 0;
    virtual void setBufferText(const QString& text) = 0;
    // Sets the contrast scroll bar (whose change handler sends 10 vv while the
    // port is open); false when the value lies outside its range.
    virtual bool takeOverContrast(int value) = 0;
    // Shows the contrast scroll bar's value in its mirror box.
    virtual void showContrastValue() = 0;
    // The "Controller ID" box.
    virtual void setControllerId(const QString& text) = 0;
};

} // namespace lumivor::link
