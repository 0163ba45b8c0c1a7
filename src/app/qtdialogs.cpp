#include "app/qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace lumivor::app {

namespace {

QMessageBox::Icon qtIcon(link::Dialogs::Icon icon)
{
    switch (icon) {
    case link::Dialogs::Icon::Information:
        return QMessageBox::Information;
    case link::Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case link::Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case link::Dialogs::Icon::Question:
        return QMessageBox::Question;
    case link::Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void addButtons(QMessageBox& box, link::Dialogs::Buttons buttons)
{
    switch (buttons) {
    case link::Dialogs::Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case link::Dialogs::Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case link::Dialogs::Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case link::Dialogs::Buttons::SaveDiscardCancel:
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Save);
        break;
    }
}

link::Dialogs::Answer answerOf(int button)
{
    switch (button) {
    case QMessageBox::Ok:
        return link::Dialogs::Answer::Ok;
    case QMessageBox::Yes:
        return link::Dialogs::Answer::Yes;
    case QMessageBox::No:
        return link::Dialogs::Answer::No;
    case QMessageBox::Save:
        return link::Dialogs::Answer::Save;
    case QMessageBox::Discard:
        return link::Dialogs::Answer::Discard;
    default:
        return link::Dialogs::Answer::Cancel;
    }
}

// The first pattern of the filter ("*.fls" -> "fls"), for names typed without one.
QString defaultSuffix(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return {};
    const QString pattern = parts.at(1).trimmed();
    return pattern.startsWith(QStringLiteral("*.")) ? pattern.mid(2) : QString();
}

// Picture and flash files are matched by extension whatever its case (a
// camera's "IMG_0001.JPG"). Qt's own file dialog does so; the desktop's on
// Linux (GTK) matches patterns case by case, so Qt's is used there.
QFileDialog::Options fileDialogOptions()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return QFileDialog::DontUseNativeDialog;
#else
    return {};
#endif
}

} // namespace

QString qtFileFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString pattern =
            parts.at(i + 1).trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.isEmpty() && pattern.isEmpty())
            continue;
        filters << (description.contains(QLatin1Char('('))
                        ? description
                        : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

link::Dialogs::Answer QtDialogs::message(const QString& text, const QString& title, Icon icon,
                                         Buttons buttons)
{
    QMessageBox box(qtIcon(icon), title, text, QMessageBox::NoButton, owner_);
    addButtons(box, buttons);
    return answerOf(box.exec());
}

QString QtDialogs::openFileName(const QString& filter)
{
    return QFileDialog::getOpenFileName(owner_, QString(), QString(), qtFileFilter(filter),
                                        nullptr, fileDialogOptions());
}

// Asks before replacing an existing file, and adds the filter's extension to
// a name typed without one.
QString QtDialogs::saveFileName(const QString& filter)
{
    QFileDialog dialog(owner_, QString(), QString(), qtFileFilter(filter));
    dialog.setOptions(fileDialogOptions());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace lumivor::app
