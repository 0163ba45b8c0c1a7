#include "panels/text/textentrypanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/widgets.h"
#include "protocol/charactercode.h"
#include "protocol/textcommands.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumivor::panels {

namespace {

constexpr std::uint8_t enterCode = 0x0D;

QRadioButton* makeOption(const char* name, const QString& caption, const QString& toolTip)
{
    auto* option = new QRadioButton(caption);
    option->setObjectName(QString::fromLatin1(name));
    option->setToolTip(toolTip);
    return option;
}

// A scroll bar and its mirror box; each change also moves the focus to `ok`,
// so Enter or Space then sends the new value.
void mirrorInto(QScrollBar* bar, QLineEdit* mirror, QPushButton* ok)
{
    QObject::connect(bar, &QScrollBar::valueChanged, mirror, [mirror, ok](int value) {
        mirror->setText(QString::number(value));
        ok->setFocus();
    });
}

} // namespace

std::optional<std::uint8_t> typedCharacterCode(const QKeyEvent& event)
{
    // Delete is an editing key; some systems still attach 0x7F to it.
    if (event.key() == Qt::Key_Delete)
        return std::nullopt;
    const QString text = event.text();
    if (text.size() != 1)
        return std::nullopt;
    return protocol::singleByteCode(text.at(0));
}

TextEntryPanel::TextEntryPanel(const PanelContext& context, QWidget* parent)
    : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("TextTab"));
    auto* lower = new QHBoxLayout;
    lower->addWidget(buildModeOptions());
    lower->addStretch();
    lower->addWidget(buildFontFrame());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildStartFrame());
    layout->addWidget(buildInputFrame(), 1);
    layout->addLayout(lower);
}

QWidget* TextEntryPanel::buildStartFrame()
{
    auto* frame = makeFrame("Frame6", tr("Start"));
    startHeading_ = new QLabel(tr("Page"));
    startHeading_->setObjectName(QStringLiteral("Label8"));
    auto* pageMirror = makeMirrorBox("Text3");
    page_ = makeScrollBar("HScroll3", 0, 7);
    auto* pageOk = makeButton("Command2", tr("OK"), tr("0x06 + Value from 0x00 to 0x07"));
    columnMirror_ = makeMirrorBox("Text4");
    column_ = makeScrollBar("HScroll4", 0, 239);
    auto* columnOk = makeButton("Command3", tr("OK"), tr("0x12 + Value from 0x00 to 0x7F"));

    mirrorInto(page_, pageMirror, pageOk);
    mirrorInto(column_, columnMirror_, columnOk);
    sendOnClick(pageOk, context_.link, [this] { return protocol::setTextPage(pageOf(page_)); });
    sendOnClick(columnOk, context_.link,
                [this] { return protocol::setTextColumn(columnOf(column_)); });

    auto* grid = new QGridLayout(frame);
    grid->addWidget(startHeading_, 0, 0, 1, 6);
    int column = 0;
    for (QWidget* control : {static_cast<QWidget*>(pageMirror), static_cast<QWidget*>(page_),
                             static_cast<QWidget*>(pageOk), static_cast<QWidget*>(columnMirror_),
                             static_cast<QWidget*>(column_), static_cast<QWidget*>(columnOk)})
        grid->addWidget(control, 1, column++);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    // The heading follows the column box wherever the layout puts it, and never
    // widens the frame itself.
    startHeading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    columnMirror_->installEventFilter(this);
    return frame;
}

QWidget* TextEntryPanel::buildInputFrame()
{
    auto* frame = makeFrame("Frame1", tr("Input Text"));
    input_ = new QPlainTextEdit;
    input_->setObjectName(QStringLiteral("txtString"));
    input_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    input_->installEventFilter(this);
    (new QVBoxLayout(frame))->addWidget(input_);
    return frame;
}

QWidget* TextEntryPanel::buildModeOptions()
{
    characterMode_ = makeOption("optChar", tr("Character"), tr("0x02 + ASCII"));
    stringMode_ = makeOption("optString", tr("String"), tr("0x26 + ASCII String + 0x0D "));
    characterMode_->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(characterMode_);
    group->addButton(stringMode_);
    // Selecting "String" starts a fresh string with the next key.
    connect(stringMode_, &QRadioButton::toggled, this, [this](bool selected) {
        if (selected)
            stringCount_ = 0;
    });

    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(characterMode_);
    layout->addWidget(stringMode_);
    return box;
}

QWidget* TextEntryPanel::buildFontFrame()
{
    static constexpr const char* names[] = {"Option1", "Option2", "Option3", "Option19"};
    auto* frame = makeFrame("Frame3", tr("Font"));
    auto* layout = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(this);
    for (std::size_t i = 0; i < protocol::allFonts.size(); ++i) {
        const protocol::Font font = protocol::allFonts[i];
        auto* option = makeOption(
            names[i], protocol::fontCaption(font),
            QStringLiteral("0x15 + 0x%1").arg(static_cast<int>(font), 2, 16, QLatin1Char('0')));
        option->setChecked(font == protocol::Font::Pix7); // shown, not sent, at start
        group->addButton(option);
        layout->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this, font](bool selected) {
            if (selected)
                context_.link.send(protocol::selectFont(font));
        });
    }
    return frame;
}

bool TextEntryPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == input_ && event->type() == QEvent::KeyPress) {
        if (const auto code = typedCharacterCode(*static_cast<QKeyEvent*>(event)))
            keyTyped(*code);
    } else if (watched == columnMirror_ &&
               (event->type() == QEvent::Move || event->type() == QEvent::Show)) {
        alignStartHeading();
    }
    return QWidget::eventFilter(watched, event); // the key still lands in the box
}

void TextEntryPanel::keyTyped(std::uint8_t code)
{
    if (!context_.link.canSend())
        return; // nothing sent, the string counter left alone
    if (characterMode_->isChecked())
        context_.link.send(protocol::putCharacter(code));
    else
        sendStringCharacter(code);
}

// The first character opens a string with 26; Enter ends it; after 45
// characters the operator is told, and the next key opens a new string.
void TextEntryPanel::sendStringCharacter(std::uint8_t code)
{
    context_.link.send(stringCount_ == 0 ? protocol::stringStart(code)
                                         : protocol::stringByte(code));
    if (code == enterCode) {
        stringCount_ = 0;
        return;
    }
    if (++stringCount_ == protocol::stringCharacterLimit) {
        context_.dialogs.message(tr("You reached the buffer limit of 45 characters."), tr("Alert"),
                                 link::Dialogs::Icon::Information, link::Dialogs::Buttons::Ok);
        stringCount_ = 0;
    }
}

// One heading label reads "Page" over the page controls and "Column" over the
// column controls, padded with blanks to where the column box starts.
void TextEntryPanel::alignStartHeading()
{
    const QFontMetrics metrics(startHeading_->font());
    const int columnStart = columnMirror_->x() - startHeading_->x();
    const int blank = std::max(1, metrics.horizontalAdvance(QLatin1Char(' ')));
    const int blanks = std::max(1, (columnStart - metrics.horizontalAdvance(tr("Page"))) / blank);
    startHeading_->setText(tr("Page") + QString(blanks, QLatin1Char(' ')) + tr("Column"));
}

} // namespace lumivor::panels
