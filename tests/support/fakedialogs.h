#pragma once

#include "link/dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace lumivor::testing {

// A dialogs double: records every message and answers at once, so the code
// under test never enters a modal loop.
class FakeDialogs final : public link::Dialogs
{
public:
    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    QString openFileName(const QString& filter) override { return fileName(filter); }
    QString saveFileName(const QString& filter) override { return fileName(filter); }

    // Answers given in turn; when none is queued: Ok, Yes for Yes/No.
    QList<Answer> answers;
    // Runs while a message is "shown" (to act inside the modal wait).
    std::function<void(const Message&)> whileShown;
    QList<Message> messages;

    QStringList fileNames; // handed out in turn; none left = cancelled
    QStringList filters;   // the filter of every file dialog asked for

private:
    QString fileName(const QString& filter);
};

} // namespace lumivor::testing
