#pragma once

#include "link/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace lumivor::app {

// The operator's real dialogs: Qt message boxes and file dialogs, owned by the
// window they are shown over.
class QtDialogs final : public link::Dialogs
{
public:
    void setOwner(QWidget* owner) { owner_ = owner; }

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    QString openFileName(const QString& filter) override;
    QString saveFileName(const QString& filter) override;

private:
    QPointer<QWidget> owner_;
};

// Turns a filter of "description|pattern" pairs ("Flash (*.fls)|*.fls|") into
// Qt's form ("Flash (*.fls)").
QString qtFileFilter(const QString& pairs);

} // namespace lumivor::app
