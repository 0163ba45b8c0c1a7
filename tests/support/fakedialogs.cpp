#include "fakedialogs.h"

namespace lumivor::testing {

link::Dialogs::Answer FakeDialogs::message(const QString& text, const QString& title, Icon icon,
                                           Buttons buttons)
{
    messages.append({text, title, icon, buttons});
    if (whileShown)
        whileShown(messages.constLast());
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QString FakeDialogs::fileName(const QString& filter)
{
    filters.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

} // namespace lumivor::testing
