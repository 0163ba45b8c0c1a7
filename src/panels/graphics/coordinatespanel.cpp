#include "panels/graphics/coordinatespanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/widgets.h"
#include "protocol/operatornumber.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace lumivor::panels {

namespace {

using protocol::Shape;
using protocol::ShapeOperation;

QRadioButton* makeOption(const char* name, const QString& caption)
{
    auto* option = new QRadioButton(caption);
    option->setObjectName(QString::fromLatin1(name));
    return option;
}

// A group of its own for each set of options: a disabled option keeps its
// selection, and choosing another in the same set clears it.
void groupOptions(QObject* owner, std::initializer_list<QRadioButton*> options)
{
    auto* group = new QButtonGroup(owner);
    for (QRadioButton* option : options)
        group->addButton(option);
}

// A free-text box for one coordinate, on the tooltip background colour.
QLineEdit* makeCoordinateBox(const char* name)
{
    auto* box = new QLineEdit(QStringLiteral("0"));
    box->setObjectName(QString::fromLatin1(name));
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::Text, colours.color(QPalette::ToolTipText));
    box->setPalette(colours);
    box->setMaximumWidth(70);
    return box;
}

QString coordinateCaption(int index)
{
    return QObject::tr("Enter Coordinate # %1").arg(index);
}

} // namespace

CoordinatesPanel::CoordinatesPanel(const PanelContext& context, QWidget* parent)
    : QGroupBox(tr("Line/Rectangle/Circle/Pixel"), parent), context_(context)
{
    setObjectName(QStringLiteral("Frame34"));
    place_ = new QStackedWidget;
    for (QGroupBox* frame :
         {buildLineFrame(), buildCircleFrame(), buildCountFrame(), buildPairFrame()})
        place_->addWidget(frame);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildOptions());
    layout->addWidget(place_);
    shapeClicked(ShapeChoice::Line);
}

QWidget* CoordinatesPanel::buildOptions()
{
    auto* options = new QWidget;
    auto* layout = new QHBoxLayout(options);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildShapeOptions());
    layout->addWidget(buildOperationFrame());
    layout->addStretch();
    layout->addWidget(buildFillFrame());
    return options;
}

QWidget* CoordinatesPanel::buildShapeOptions()
{
    line_ = makeOption("Option4", tr("Line"));
    rectangle_ = makeOption("Option5", tr("Rectangle"));
    circle_ = makeOption("Option9", tr("Circle"));
    pixel_ = makeOption("Option12", tr("Pixel"));
    line_->setChecked(true);
    groupOptions(this, {line_, rectangle_, circle_, pixel_});
    const std::pair<QRadioButton*, ShapeChoice> shapes[] = {{line_, ShapeChoice::Line},
                                                            {rectangle_, ShapeChoice::Rectangle},
                                                            {circle_, ShapeChoice::Circle},
                                                            {pixel_, ShapeChoice::Pixel}};
    for (const auto& [option, shape] : shapes)
        connect(option, &QRadioButton::clicked, this, [this, shape] { shapeClicked(shape); });

    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(line_, 0, 0);
    grid->addWidget(circle_, 0, 1);
    grid->addWidget(rectangle_, 1, 0);
    grid->addWidget(pixel_, 1, 1);
    return box;
}

QGroupBox* CoordinatesPanel::buildOperationFrame()
{
    draw_ = makeOption("Option6", tr("Draw"));
    clear_ = makeOption("Option13", tr("Clear"));
    reverse_ = makeOption("Option18", tr("Reverse"));
    draw_->setChecked(true);
    groupOptions(this, {draw_, clear_, reverse_});
    connect(draw_, &QRadioButton::clicked, this, &CoordinatesPanel::drawOrClearClicked);
    connect(clear_, &QRadioButton::clicked, this, &CoordinatesPanel::drawOrClearClicked);
    connect(reverse_, &QRadioButton::clicked, this, [this] {
        empty_->setEnabled(false);
        filled_->setEnabled(false);
    });

    auto* frame = makeFrame("Frame36", QString());
    auto* layout = new QVBoxLayout(frame);
    for (QRadioButton* option : {draw_, clear_, reverse_})
        layout->addWidget(option);
    return frame;
}

QGroupBox* CoordinatesPanel::buildFillFrame()
{
    empty_ = makeOption("Option10", tr("Empty"));
    filled_ = makeOption("Option11", tr("Filled"));
    empty_->setChecked(true);
    groupOptions(this, {empty_, filled_});

    auto* frame = makeFrame("Frame38", QString());
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(empty_);
    layout->addWidget(filled_);
    return frame;
}

QGroupBox* CoordinatesPanel::buildLineFrame()
{
    lineFrame_ = makeFrame("Frame35", QString());
    startX_ = makeCoordinateBox("Text15");
    startY_ = makeCoordinateBox("Text16");
    endX_ = makeCoordinateBox("Text18");
    endY_ = makeCoordinateBox("Text19");
    auto* send = makeButton("Command23", tr("Send"));
    connect(send, &QPushButton::clicked, this, &CoordinatesPanel::sendLineOrRectangle);

    auto* grid = new QGridLayout(lineFrame_);
    grid->addWidget(makeLabel("Start", tr("Start")), 0, 1);
    grid->addWidget(makeLabel("Label26", tr("End")), 0, 3);
    grid->addWidget(makeLabel("Label18", tr("X")), 1, 0);
    grid->addWidget(startX_, 1, 1);
    grid->addWidget(makeLabel("Label24", tr("X")), 1, 2);
    grid->addWidget(endX_, 1, 3);
    grid->addWidget(makeLabel("Label23", tr("Y")), 2, 0);
    grid->addWidget(startY_, 2, 1);
    grid->addWidget(makeLabel("Label25", tr("Y")), 2, 2);
    grid->addWidget(endY_, 2, 3);
    grid->addWidget(send, 1, 5, 2, 1);
    grid->setColumnStretch(4, 1);
    return lineFrame_;
}

QGroupBox* CoordinatesPanel::buildCircleFrame()
{
    circleFrame_ = makeFrame("Frame39", QString());
    radius_ = makeCoordinateBox("Text20");
    centreX_ = makeCoordinateBox("Text22");
    centreY_ = makeCoordinateBox("Text23");
    auto* send = makeButton("Command26", tr("Send"));
    connect(send, &QPushButton::clicked, this, &CoordinatesPanel::sendCircle);

    auto* grid = new QGridLayout(circleFrame_);
    grid->addWidget(makeLabel("Label19", tr("Radius")), 0, 1);
    grid->addWidget(makeLabel("Label22", tr("Center")), 0, 3);
    grid->addWidget(makeLabel("Label17", tr("R")), 1, 0);
    grid->addWidget(radius_, 1, 1);
    grid->addWidget(makeLabel("Label20", tr("X")), 1, 2);
    grid->addWidget(centreX_, 1, 3);
    grid->addWidget(makeLabel("Label21", tr("Y")), 2, 2);
    grid->addWidget(centreY_, 2, 3);
    grid->addWidget(send, 1, 5, 2, 1);
    grid->setColumnStretch(4, 1);
    return circleFrame_;
}

QGroupBox* CoordinatesPanel::buildCountFrame()
{
    countFrame_ = makeFrame("Frame19", tr("Pixels"));
    count_ = makeCoordinateBox("Text14");
    sendCount_ = makeButton("Command10", tr("Send"));
    sendCount_->setEnabled(false);
    // Any count but exactly "0" enables Send; typing "0" again leaves it enabled.
    connect(count_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != QStringLiteral("0"))
            sendCount_->setEnabled(true);
    });
    connect(sendCount_, &QPushButton::clicked, this, &CoordinatesPanel::sendPixelHeader);

    auto* layout = new QHBoxLayout(countFrame_);
    layout->addWidget(makeLabel("Label16", tr("Number of Coordinates\nin the String:")));
    layout->addWidget(count_);
    layout->addStretch();
    layout->addWidget(sendCount_);
    return countFrame_;
}

QGroupBox* CoordinatesPanel::buildPairFrame()
{
    pairFrame_ = makeFrame("Frame13", tr("Pixel Coordinates"));
    pairX_ = makeCoordinateBox("Text13");
    pairY_ = makeCoordinateBox("Text12");
    auto* send = makeButton("Command8", tr("Send"));
    connect(send, &QPushButton::clicked, this, &CoordinatesPanel::sendPixelPair);

    auto* grid = new QGridLayout(pairFrame_);
    grid->addWidget(makeLabel("Label10", tr("X")), 0, 0);
    grid->addWidget(pairX_, 0, 1);
    grid->addWidget(makeLabel("Label9", tr("Y")), 1, 0);
    grid->addWidget(pairY_, 1, 1);
    grid->addWidget(send, 0, 3, 2, 1);
    grid->setColumnStretch(2, 1);
    return pairFrame_;
}

// Each shape sets which options may be used, whatever was shown before; no
// selection changes.
void CoordinatesPanel::shapeClicked(ShapeChoice shape)
{
    const bool rectangle = shape == ShapeChoice::Rectangle;
    empty_->setEnabled(rectangle);
    filled_->setEnabled(rectangle);
    reverse_->setEnabled(rectangle);
    draw_->setEnabled(shape != ShapeChoice::Pixel);
    clear_->setEnabled(shape != ShapeChoice::Pixel);
    showChosenFrame();
}

void CoordinatesPanel::drawOrClearClicked()
{
    if (rectangle_->isChecked()) {
        empty_->setEnabled(true);
        filled_->setEnabled(true);
    }
}

// One frame at a time in the shared place. For "Pixel" it is the step the
// pixel string is at: the count, or the next pair.
void CoordinatesPanel::showChosenFrame()
{
    switch (chosenShape().value_or(ShapeChoice::Line)) {
    case ShapeChoice::Line:
    case ShapeChoice::Rectangle:
        place_->setCurrentWidget(lineFrame_);
        return;
    case ShapeChoice::Circle:
        place_->setCurrentWidget(circleFrame_);
        return;
    case ShapeChoice::Pixel:
        place_->setCurrentWidget(pixelString_.enteringPairs ? pairFrame_ : countFrame_);
        return;
    }
}

std::optional<CoordinatesPanel::ShapeChoice> CoordinatesPanel::chosenShape() const
{
    if (line_->isChecked())
        return ShapeChoice::Line;
    if (rectangle_->isChecked())
        return ShapeChoice::Rectangle;
    if (circle_->isChecked())
        return ShapeChoice::Circle;
    if (pixel_->isChecked())
        return ShapeChoice::Pixel;
    return std::nullopt;
}

// The command for the chosen operation, fill and shape; none for a line
// with "Reverse" still selected, or for a circle or pixel.
std::optional<std::pair<ShapeOperation, Shape>> CoordinatesPanel::lineOrRectangle() const
{
    const std::optional<ShapeOperation> drawOrClear =
        draw_->isChecked()    ? std::optional(ShapeOperation::Draw)
        : clear_->isChecked() ? std::optional(ShapeOperation::Clear)
                              : std::nullopt;
    if (line_->isChecked() && drawOrClear)
        return std::pair(*drawOrClear, Shape::Line);
    if (!rectangle_->isChecked())
        return std::nullopt;
    if (reverse_->isChecked())
        return std::pair(ShapeOperation::Draw, Shape::ReversedRectangle);
    if (!drawOrClear)
        return std::nullopt;
    return std::pair(*drawOrClear,
                     filled_->isChecked() ? Shape::FilledRectangle : Shape::Rectangle);
}

std::optional<protocol::CircleOperation> CoordinatesPanel::circleOperation() const
{
    if (!circle_->isChecked())
        return std::nullopt;
    if (draw_->isChecked())
        return protocol::CircleOperation::Draw;
    if (clear_->isChecked())
        return protocol::CircleOperation::Clear;
    return std::nullopt;
}

void CoordinatesPanel::sendLineOrRectangle()
{
    if (!context_.link.canSend())
        return;
    const auto command = lineOrRectangle();
    if (!command)
        return;
    const auto values = readFields({{startX_, tr("Start X")},
                                    {startY_, tr("Start Y")},
                                    {endX_, tr("End X")},
                                    {endY_, tr("End Y")}});
    if (!values)
        return;
    if (const auto bytes = protocol::shape(command->first, command->second, values->at(0),
                                           values->at(1), values->at(2), values->at(3)))
        context_.link.send(*bytes);
}

void CoordinatesPanel::sendCircle()
{
    if (!context_.link.canSend())
        return;
    const auto operation = circleOperation();
    if (!operation)
        return;
    const auto values = readFields(
        {{radius_, tr("Radius")}, {centreX_, tr("Center X")}, {centreY_, tr("Center Y")}});
    if (values)
        context_.link.send(
            protocol::circle(*operation, values->at(0), values->at(1), values->at(2)));
}

// The count is read once: the header carries it and the pair entry counts to
// it. With the port closed the dialogue steps on all the same, without a byte.
void CoordinatesPanel::sendPixelHeader()
{
    const auto values = readFields({{count_, tr("Number of Coordinates")}});
    if (!values)
        return;
    const std::uint8_t count = values->at(0);
    context_.link.send(protocol::pixelStringHeader(count));
    pixelString_ = {count, 1, true};
    pairFrame_->setTitle(coordinateCaption(pixelString_.index));
    showChosenFrame();
}

void CoordinatesPanel::sendPixelPair()
{
    const auto values = readFields({{pairX_, tr("X")}, {pairY_, tr("Y")}});
    if (!values)
        return;
    context_.link.send(protocol::pixelPair(values->at(0), values->at(1)));
    ++pixelString_.index;
    pairFrame_->setTitle(coordinateCaption(pixelString_.index));
    if (pixelString_.index <= pixelString_.count)
        return;
    pixelString_.enteringPairs = false;
    count_->setText(QStringLiteral("0"));
    sendCount_->setEnabled(false);
    showChosenFrame();
}

// The fields as bytes, in order; at the first that is not one, the operator
// is told which and why, the field takes the focus, and nothing is returned.
std::optional<QList<std::uint8_t>> CoordinatesPanel::readFields(std::initializer_list<Field> fields)
{
    QList<std::uint8_t> values;
    for (const Field& field : fields) {
        const protocol::OperatorByte value = protocol::readOperatorByte(field.box->text());
        if (!value.ok()) {
            context_.dialogs.message(tr("%1: %2").arg(field.caption, value.reason()), tr("Error"),
                                     link::Dialogs::Icon::Exclamation, link::Dialogs::Buttons::Ok);
            field.box->setFocus();
            field.box->selectAll();
            return std::nullopt;
        }
        values.append(value.value());
    }
    return values;
}

} // namespace lumivor::panels
