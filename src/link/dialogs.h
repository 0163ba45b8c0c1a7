#pragma once

#include <QString>

namespace lumivor::link {

// The operator's dialogs: message boxes and the open/save file dialogs.
// The window hands the real ones (Qt message boxes and file dialogs) to
// everything that asks the operator something; tests hand a double that
// answers at once, so no modal loop is needed.
class Dialogs
{
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    // SaveDiscardCancel asks about unsaved edits before they would be lost.
    enum class Buttons { Ok, OkCancel, YesNo, SaveDiscardCancel };
    enum class Answer { Ok, Cancel, Yes, No, Save, Discard };

    virtual ~Dialogs() = default;

    // Shows a message and waits until the operator closes it.
    virtual Answer message(const QString& text, const QString& title, Icon icon,
                           Buttons buttons) = 0;

    // File dialogs. The filter lists "description|pattern" pairs separated by
    // '|', for example "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg". An empty
    // result means the operator cancelled.
    virtual QString openFileName(const QString& filter) = 0;
    virtual QString saveFileName(const QString& filter) = 0;
};

} // namespace lumivor::link
