#include "panels/widgets.h"

#include "link/linkservice.h"
#include "protocol/picture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace lumivor::panels {

namespace {

class WrappingButton final : public QPushButton
{
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override
    {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->sizeFromContents(QStyle::CT_PushButton, &option, textSize(), this);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(),
                             text(), QPalette::ButtonText);
    }

private:
    // Two lines, split at the blank nearest the middle of the caption.
    QSize textSize() const
    {
        const QString caption = text();
        const qsizetype middle = caption.size() / 2;
        qsizetype split = caption.lastIndexOf(QLatin1Char(' '), middle);
        const qsizetype after = caption.indexOf(QLatin1Char(' '), middle);
        if (split < 0 || (after >= 0 && after - middle < middle - split))
            split = after;
        const QFontMetrics metrics(font());
        if (split < 0)
            return metrics.size(Qt::TextSingleLine, caption);
        const int width = std::max(metrics.horizontalAdvance(caption.left(split)),
                                   metrics.horizontalAdvance(caption.mid(split + 1)));
        return {width + 2, 2 * metrics.lineSpacing()};
    }
};

} // namespace

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

QPushButton* makeWrappingButton(const char* name, const QString& caption)
{
    auto* button = new WrappingButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void sendOnClick(QAbstractButton* button, link::LinkService& link,
                 std::function<QByteArray()> build)
{
    QObject::connect(button, &QAbstractButton::clicked, button, [&link, build = std::move(build)] {
        link.send([&build] { return std::optional(build()); });
    });
}

QLabel* makeLabel(const char* name, const QString& caption)
{
    auto* label = new QLabel(caption);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QComboBox* makeConversionBox()
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("PicturePanel", text); };
    auto* box = new QComboBox;
    box->setObjectName(QStringLiteral("cboConversion"));
    box->addItem(tr("Exact (any colour but black)"), int(protocol::Conversion::Exact));
    box->addItem(tr("Brightness threshold"), int(protocol::Conversion::Threshold));
    box->addItem(tr("Dithered (photographs)"), int(protocol::Conversion::Dithered));
    return box;
}

QSlider* makeThresholdSlider()
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QStringLiteral("sldThreshold"));
    slider->setRange(1, 255);
    slider->setValue(protocol::defaultThreshold);
    slider->setToolTip(QCoreApplication::translate(
        "PicturePanel", "Pixels darker than this become dark on the LCD"));
    slider->setEnabled(false);
    return slider;
}

// The bars' ranges keep the values inside the types, so the fallback is never taken.
protocol::Page pageOf(const QScrollBar* bar)
{
    return protocol::Page::from(bar->value()).value_or(protocol::Page(0));
}

protocol::Column columnOf(const QScrollBar* bar)
{
    return protocol::Column::from(bar->value()).value_or(protocol::Column(0));
}

} // namespace lumivor::panels
