#pragma once

#include "panels/panelcontext.h"
#include "protocol/graphicscommands.h"

#include <QGroupBox>
#include <QList>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace lumivor::panels {

// The "Line/Rectangle/Circle/Pixel" frame (Frame34) on the "Coordinates" tab.
// The operator picks a shape, an operation and, for rectangles, a fill, types
// the coordinates and presses Send: one line, rectangle or circle command.
// The frames for line and rectangle (Frame35), circle (Frame39) and pixel
// strings (Frame19 for the count, Frame13 for the pairs) share one place
// below the options; the chosen shape decides which one shows.
//
// A pixel string is a dialogue: the count goes out as the header 0A n, then
// each pair as its own write, one per Send, until the announced number is
// reached. Choosing another shape meanwhile only hides the pair entry; "Pixel"
// brings it back where it was, since the controller still waits for the rest.
//
// Values are read only when sent. One that is not a number from 0 to 255 is
// reported by its field's caption ("Start X: not a number") and nothing goes
// out; the fields are checked in the order they are sent.
class CoordinatesPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit CoordinatesPanel(const PanelContext& context, QWidget* parent = nullptr);

private:
    enum class ShapeChoice { Line, Rectangle, Circle, Pixel };
    struct Field
    {
        QLineEdit* box;
        QString caption;
    };
    // The pixel string under way: the pairs the last header announced and the
    // number (from 1) of the pair to be entered next.
    struct PixelString
    {
        int count = 0;
        int index = 0;
        bool enteringPairs = false;
    };

    QWidget* buildOptions();
    QWidget* buildShapeOptions();
    QGroupBox* buildOperationFrame();
    QGroupBox* buildFillFrame();
    QGroupBox* buildLineFrame();
    QGroupBox* buildCircleFrame();
    QGroupBox* buildCountFrame();
    QGroupBox* buildPairFrame();

    void shapeClicked(ShapeChoice shape);
    void drawOrClearClicked();
    void showChosenFrame();
    std::optional<ShapeChoice> chosenShape() const;
    std::optional<std::pair<protocol::ShapeOperation, protocol::Shape>> lineOrRectangle() const;
    std::optional<protocol::CircleOperation> circleOperation() const;

    void sendLineOrRectangle();
    void sendCircle();
    void sendPixelHeader();
    void sendPixelPair();
    std::optional<QList<std::uint8_t>> readFields(std::initializer_list<Field> fields);

    PanelContext context_;
    PixelString pixelString_;
    QRadioButton* line_ = nullptr;      // Option4
    QRadioButton* rectangle_ = nullptr; // Option5
    QRadioButton* circle_ = nullptr;    // Option9
    QRadioButton* pixel_ = nullptr;     // Option12
    QRadioButton* draw_ = nullptr;      // Option6
    QRadioButton* clear_ = nullptr;     // Option13
    QRadioButton* reverse_ = nullptr;   // Option18
    QRadioButton* empty_ = nullptr;     // Option10
    QRadioButton* filled_ = nullptr;    // Option11
    QStackedWidget* place_ = nullptr;   // where Frame35, Frame39, Frame19 and Frame13 show
    QGroupBox* lineFrame_ = nullptr;    // Frame35
    QGroupBox* circleFrame_ = nullptr;  // Frame39
    QGroupBox* countFrame_ = nullptr;   // Frame19
    QGroupBox* pairFrame_ = nullptr;    // Frame13
    QLineEdit* startX_ = nullptr;       // Text15
    QLineEdit* startY_ = nullptr;       // Text16
    QLineEdit* endX_ = nullptr;         // Text18
    QLineEdit* endY_ = nullptr;         // Text19
    QLineEdit* radius_ = nullptr;       // Text20
    QLineEdit* centreX_ = nullptr;      // Text22
    QLineEdit* centreY_ = nullptr;      // Text23
    QLineEdit* count_ = nullptr;        // Text14
    QPushButton* sendCount_ = nullptr;  // Command10
    QLineEdit* pairX_ = nullptr;        // Text13
    QLineEdit* pairY_ = nullptr;        // Text12
};

} // namespace lumivor::panels
