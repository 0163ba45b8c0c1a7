#include "panels/widgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace lumivor::panels {

QGroupBox* makeFrame(const char* name, const QString& caption)
{
    auto* frame = new QGroupBox(caption);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

QLineEdit* makeMirrorBox(const char* name)
{
    auto* box = new QLineEdit(QStringLiteral("0"));
    box->setObjectName(QString::fromLatin1(name));
    box->setEnabled(false);
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(60);
    return box;
}

QScrollBar* makeScrollBar(const char* name, int minimum, int maximum)
{
    auto* bar = new QScrollBar(Qt::Horizontal);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(minimum, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setTracking(false);
    bar->setMinimumWidth(120);
    return bar;
}

QPushButton* makeButton(const char* name, const QString& caption, const QString& toolTip)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    if (!toolTip.isEmpty())
        button->setToolTip(toolTip);
    return button;
}

} // namespace lumivor::panels
