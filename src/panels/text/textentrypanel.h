#pragma once

#include "panels/panelcontext.h"

#include <QWidget>

#include <cstdint>
#include <optional>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace lumivor::panels {

// The "Text" tab: text typed into the input box goes to the controller live,
// key by key, as single characters (02 k) or as strings (26 k ... 0D) of at
// most 45 characters, in the chosen font, from the chosen page and column.
class TextEntryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TextEntryPanel(const PanelContext& context, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildStartFrame();
    QWidget* buildInputFrame();
    QWidget* buildModeOptions();
    QWidget* buildFontFrame();
    void keyTyped(std::uint8_t code);
    void sendStringCharacter(std::uint8_t code);
    void alignStartHeading();

    PanelContext context_;
    int stringCount_ = 0;                   // characters sent since the current string was opened
    QLabel* startHeading_ = nullptr;        // Label8
    QScrollBar* page_ = nullptr;            // HScroll3
    QScrollBar* column_ = nullptr;          // HScroll4
    QLineEdit* columnMirror_ = nullptr;     // Text4
    QPlainTextEdit* input_ = nullptr;       // txtString
    QRadioButton* characterMode_ = nullptr; // optChar
    QRadioButton* stringMode_ = nullptr;    // optString
};

// The character code a key press yields, as the byte it goes out as; nullopt
// for keys that yield no character (arrows, Delete, function keys) and for
// characters the system's single-byte code page cannot encode.
std::optional<std::uint8_t> typedCharacterCode(const QKeyEvent& event);

} // namespace lumivor::panels
