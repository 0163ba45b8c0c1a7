#include "model/controller.h"

#include "model/commandcodes.h"
#include "model/replies.h"

#include <algorithm>

namespace kestrin {

Controller::Controller(Flash flash) : flash_(std::move(flash)) {}

void Controller::receive(std::span<const std::uint8_t> bytes, int consoleRate, Millis now)
{
    advanceTo(now);
    for (const std::uint8_t byte : bytes) {
        // Checked per byte: after 0F nn the rest of the same read was sent at the old rate.
        if (consoleRate != ownRate_)
            return;
        decoder_.feed(byte, now);
    }
}

void Controller::advanceTo(Millis now)
{
    now_ = std::max(now_, now);
    decoder_.expire(now_);
    if (const std::optional<int> screen = animation_.advance(now_))
        loadScreen(*screen);
}

std::optional<Millis> Controller::nextDeadline() const
{
    const std::optional<Millis> exchange = decoder_.deadline();
    const std::optional<Millis> step = animation_.deadline();
    if (exchange && step)
        return std::min(*exchange, *step);
    return exchange ? exchange : step;
}

void Controller::touch(Point panel, Millis now)
{
    advanceTo(now);
    const bool wasCalibrating = touch_.calibrating();
    const std::optional<TouchResult> result = touch_.press(panel);
    if (!result)
        return;
    if (result->beep)
        ++beepCount_;
    send(result->report);
    if (wasCalibrating)
        drawCalibrationScreen();
}

std::string Controller::takeOutput()
{
    std::string taken;
    taken.swap(output_);
    return taken;
}

void Controller::send(std::string_view bytes)
{
    // Nobody draining the queue must not make it grow for ever.
    if (output_.size() + bytes.size() <= kOutputLimit)
        output_.append(bytes);
}

bool Controller::shownPixel(int x, int y) const
{
    if (!display_.poweredOn)
        return false;
    if (touch_.calibrating())
        return calibrationScreen_.pixel(x, y);
    return frame_.pixel(x, y) != reversedByMode(display_.mode, x, y);
}

void Controller::onCommand(std::uint8_t commandCode, std::span<const std::uint8_t> arguments)
{
    switch (commandCode) {
    case code::kDrawShape:
    case code::kClearShape:
    case code::kDrawCircle:
    case code::kClearCircle:
        runGraphicsCommand(commandCode, arguments);
        return;
    case code::kLoadScreen:
    case code::kSaveScreen:
    case code::kAnimation:
        runMemoryCommand(commandCode, arguments);
        return;
    case code::kTouchMode:
    case code::kKeypadMode:
    case code::kKeyMask:
    case code::kCalibrate:
        runTouchCommand(commandCode, arguments);
        return;
    case code::kIdentify:
    case code::kQueryId:
    case code::kBaudRate:
        runLinkCommand(commandCode, arguments[0]);
        return;
    default:
        runDisplayCommand(commandCode, arguments[0]);
        return;
    }
}

void Controller::runDisplayCommand(std::uint8_t commandCode, std::uint8_t value)
{
    switch (commandCode) {
    case code::kClear:
        clear(value);
        break;
    case code::kDisplayPower:
        if (value <= 1)
            display_.poweredOn = value == 1;
        break;
    case code::kDisplayMode:
        if (value < kDisplayModeCount)
            display_.mode = static_cast<DisplayMode>(value);
        break;
    case code::kContrast:
        display_.contrast = value;
        break;
    case code::kFlipPage:
        if (value < kPageCount)
            frame_.invertPage(value);
        break;
    case code::kBacklight:
        if (value <= 1)
            display_.backlightOn = value == 1;
        break;
    case code::kBeep:
        if (value == 1)
            ++beepCount_;
        else if (value == 2 || value == 3)
            touch_.setBeepOnTouch(value == 2);
        break;
    case code::kSelectFont:
        text_.setFont(value);
        break;
    case code::kTextPage:
        text_.setPage(value);
        break;
    case code::kTextColumn:
        text_.setColumn(value);
        break;
    case code::kPutCharacter:
        text_.putCharacter(frame_, FontArea(flash_.fontArea()), value);
        break;
    case code::kWriteData:
        text_.writeData(frame_, value);
        break;
    default:
        break;
    }
}

void Controller::clear(std::uint8_t target)
{
    if (target < kPageCount) {
        frame_.clearPage(target);
    } else if (target == code::kWholeScreen) {
        // Clearing the screen also ends the animation and sends text back to the top left.
        animation_.stop();
        frame_.clear();
        text_.home();
    }
}

void Controller::runGraphicsCommand(std::uint8_t commandCode,
                                    std::span<const std::uint8_t> arguments)
{
    if (commandCode == code::kDrawCircle || commandCode == code::kClearCircle) {
        const Ink ink = commandCode == code::kDrawCircle ? Ink::Set : Ink::Clear;
        drawCircle(frame_, {arguments[1], arguments[2]}, arguments[0], ink);
        return;
    }
    drawShape(commandCode == code::kDrawShape ? Ink::Set : Ink::Clear, arguments);
}

// Shapes: 00 line, 01 outline, 02 filled, 03 reversed rectangle. Reversing is its own
// undo, so 1F 03 reverses as 1E 03 does.
void Controller::drawShape(Ink ink, std::span<const std::uint8_t> arguments)
{
    const Point from{arguments[1], arguments[2]};
    const Point to{arguments[3], arguments[4]};
    switch (arguments[0]) {
    case 0:
        drawLine(frame_, from, to, ink);
        break;
    case 1:
        drawRectangle(frame_, from, to, ink);
        break;
    case 2:
        fillRectangle(frame_, from, to, ink);
        break;
    case 3:
        fillRectangle(frame_, from, to, Ink::Invert);
        break;
    default:
        break;
    }
}

void Controller::runMemoryCommand(std::uint8_t commandCode, std::span<const std::uint8_t> arguments)
{
    switch (commandCode) {
    case code::kLoadScreen:
        loadScreen(arguments[0]);
        break;
    case code::kSaveScreen:
        flash_.saveScreen(arguments[0], frame_);
        break;
    case code::kAnimation:
        animation_.start(arguments[0], arguments[1], arguments[2], now_);
        loadScreen(animation_.currentScreen());
        break;
    default:
        break;
    }
}

void Controller::loadScreen(int screen)
{
    frame_.assign(flash_.screen(screen));
}

void Controller::runTouchCommand(std::uint8_t commandCode, std::span<const std::uint8_t> arguments)
{
    const std::uint8_t value = arguments[0];
    switch (commandCode) {
    case code::kTouchMode:
        if (value <= 1)
            touch_.setMode(value == 1 ? TouchMode::Coordinates : TouchMode::Off);
        break;
    case code::kKeypadMode:
        if (value == 1 || value == 2)
            touch_.setMode(value == 2 ? TouchMode::KeypadFlipped : TouchMode::Keypad);
        break;
    case code::kKeyMask:
        touch_.setKeyMask({arguments[0], arguments[1], arguments[2]});
        break;
    case code::kCalibrate:
        if (value == 1) {
            touch_.startCalibration();
            drawCalibrationScreen();
        }
        break;
    default:
        break;
    }
}

void Controller::drawCalibrationScreen()
{
    calibrationScreen_.clear();
    const std::optional<Point> target = touch_.calibrationTarget();
    if (!target)
        return;
    TextWriter prompt;
    prompt.setPage(3);
    prompt.setColumn(82);
    prompt.putText(calibrationScreen_, FontArea(flash_.fontArea()), reply::kCalibrationPrompt);
    const int arm = 6;
    drawLine(calibrationScreen_, {target->x - arm, target->y}, {target->x + arm, target->y},
             Ink::Set);
    drawLine(calibrationScreen_, {target->x, target->y - arm}, {target->x, target->y + arm},
             Ink::Set);
    drawCircle(calibrationScreen_, *target, 3, Ink::Set);
}

void Controller::runLinkCommand(std::uint8_t commandCode, std::uint8_t value)
{
    if (commandCode == code::kIdentify) {
        send(reply::detection(display_.contrast));
    } else if (commandCode == code::kQueryId && value == 0) {
        send(reply::kIdentifier);
    } else if (commandCode == code::kBaudRate && value < kLineRates.size()) {
        ownRate_ = kLineRates[value];
    }
}

void Controller::onText(std::string_view text)
{
    text_.putText(frame_, FontArea(flash_.fontArea()), text);
}

void Controller::onPixel(std::uint8_t x, std::uint8_t y)
{
    frame_.setPixel(x, y, true);
}

void Controller::onFlashBlockWanted(int block)
{
    send(flash_.hexBlock(block));
}

void Controller::onFlashWriteReady(int)
{
    send(std::string_view(&reply::kFlashReady, 1));
}

void Controller::onFlashByte(std::size_t offset, std::uint8_t value)
{
    flash_.writeByte(offset, offset == flashWriteFault_ ? std::uint8_t(value ^ 1u) : value);
    if (offset + 1 == kFlashSize)
        ++flashWritesCompleted_;
}

} // namespace kestrin
