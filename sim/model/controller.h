#pragma once

#include "model/animation.h"
#include "model/decoder.h"
#include "model/display.h"
#include "model/flash.h"
#include "model/framebuffer.h"
#include "model/textwriter.h"
#include "model/touchpanel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrin {

// The rates of the baud-rate command 0F nn, by index nn.
inline constexpr std::array<int, 9> kLineRates = {2400,  4800,  9600,  14400, 19200,
                                                  28800, 38400, 57600, 115200};
inline constexpr int kStartRate = 9600;

// The Kestrin controller without its line: bytes in, replies out, and the state a view
// shows. Time is passed in by the caller so that tests can run it without waiting.
class Controller : private DecoderSink
{
public:
    static constexpr std::size_t kOutputLimit = 64 * 1024;

    explicit Controller(Flash flash = makeDefaultFlash());

    // Bytes from the line, sent by a PC whose port runs at consoleRate. While that differs
    // from the controller's own rate the bytes are garbage to it and are dropped.
    void receive(std::span<const std::uint8_t> bytes, int consoleRate, Millis now);
    void advanceTo(Millis now);
    // When advanceTo() next has work (an animation step or a time-out), if any.
    std::optional<Millis> nextDeadline() const;
    // A finger (or mouse) on the touch screen, in panel pixels.
    void touch(Point panel, Millis now);

    // Bytes for the PC, in order; taking them empties the queue.
    std::string takeOutput();

    int ownRate() const { return ownRate_; }
    const FrameBuffer& frame() const { return frame_; }
    const Flash& flash() const { return flash_; }
    // How many flash writes (29 02 and all 491,520 bytes) have completed.
    unsigned flashWritesCompleted() const { return flashWritesCompleted_; }
    // A byte of the flash that every flash write stores with its lowest bit
    // flipped (a worn cell), so that a verify can be seen to fail.
    void setFlashWriteFault(std::optional<std::size_t> offset) { flashWriteFault_ = offset; }
    const DisplaySettings& display() const { return display_; }
    const TextWriter& text() const { return text_; }
    const TouchPanel& touchPanel() const { return touch_; }
    const Animation& animation() const { return animation_; }
    const CommandDecoder& decoder() const { return decoder_; }
    // Counts beeps so that a view can tell a new one from the last it showed.
    unsigned beepCount() const { return beepCount_; }
    // What the panel shows at (x, y): display RAM through the display mode, or the
    // calibration screen; power off shows nothing.
    bool shownPixel(int x, int y) const;

private:
    void onCommand(std::uint8_t code, std::span<const std::uint8_t> arguments) override;
    void onText(std::string_view text) override;
    void onPixel(std::uint8_t x, std::uint8_t y) override;
    void onFlashBlockWanted(int block) override;
    void onFlashWriteReady(int block) override;
    void onFlashByte(std::size_t offset, std::uint8_t value) override;

    void runDisplayCommand(std::uint8_t code, std::uint8_t value);
    void runGraphicsCommand(std::uint8_t code, std::span<const std::uint8_t> arguments);
    void runMemoryCommand(std::uint8_t code, std::span<const std::uint8_t> arguments);
    void runTouchCommand(std::uint8_t code, std::span<const std::uint8_t> arguments);
    void runLinkCommand(std::uint8_t code, std::uint8_t value);
    void clear(std::uint8_t target);
    void loadScreen(int screen);
    void drawShape(Ink ink, std::span<const std::uint8_t> arguments);
    void drawCalibrationScreen();
    void send(std::string_view bytes);

    Flash flash_;
    FrameBuffer frame_;
    FrameBuffer calibrationScreen_;
    DisplaySettings display_;
    TextWriter text_;
    TouchPanel touch_;
    Animation animation_;
    CommandDecoder decoder_{*this};
    std::string output_;
    int ownRate_ = kStartRate;
    unsigned beepCount_ = 0;
    unsigned flashWritesCompleted_ = 0;
    std::optional<std::size_t> flashWriteFault_;
    Millis now_ = 0;
};

} // namespace kestrin
