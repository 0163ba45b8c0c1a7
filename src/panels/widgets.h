#pragma once

#include "protocol/arguments.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QComboBox;
class QScrollBar;
class QSlider;

namespace lumivor::link {
class LinkService;
} // namespace lumivor::link

namespace lumivor::panels {

// Small factories for the controls every panel uses, so each control gets its
// name and its usual settings in one place.

// A captioned frame.
QGroupBox* makeFrame(const char* name, const QString& caption);
// A disabled box that mirrors a scroll bar's value as decimal text ("0").
QLineEdit* makeMirrorBox(const char* name);
// A horizontal scroll bar stepping by 1 on arrows and track clicks, whose
// value changes only when the thumb is released.
QScrollBar* makeScrollBar(const char* name, int minimum, int maximum);
// A push button with an optional tooltip.
QPushButton* makeButton(const char* name, const QString& caption,
                        const QString& toolTip = QString());
// A push button that shows its caption on two lines, balanced at the blank
// nearest the middle; its text stays the caption as written.
QPushButton* makeWrappingButton(const char* name, const QString& caption);

// Makes every click of the button send, through the one sending rule, the
// command `build` makes at that moment (only while the port is open and no
// operation holds the link).
void sendOnClick(QAbstractButton* button, link::LinkService& link,
                 std::function<QByteArray()> build);

// A label with its name.
QLabel* makeLabel(const char* name, const QString& caption);

// The picture conversion's choices, as the picture panel and the flash image
// window both offer them: the rule (cboConversion, each item's data the
// protocol::Conversion) and the threshold (sldThreshold, off until the
// threshold rule is chosen; the caller wires that).
QComboBox* makeConversionBox();
QSlider* makeThresholdSlider();

// The page a 0..7 scroll bar stands at, and the column of a 0..239 one.
protocol::Page pageOf(const QScrollBar* bar);
protocol::Column columnOf(const QScrollBar* bar);

} // namespace lumivor::panels
