#include "fakedialogs.h"

namespace lumivor::testing {

link::Dialogs::Answer FakeDialogs::message(const QString& text, const QString& title, Icon icon,
                                           Buttons buttons)
{
    const Message shown{text, title, icon, buttons};
    messages.append(shown);
    if (whileShown)
        whileShown(shown);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QString FakeDialogs::openFileName(const QString& filter)
{
    filters.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString FakeDialogs::saveFileName(const QString& filter)
{
    filters.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

} // namespace lumivor::testing
