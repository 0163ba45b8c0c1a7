#include "model/decoder.h"

#include "model/commandcodes.h"
#include "model/geometry.h"

namespace kestrin {

namespace {

// Argument bytes after each command code; codes not listed are ignored.
std::optional<std::size_t> argumentsOf(std::uint8_t commandCode)
{
    switch (commandCode) {
    case code::kClear:
    case code::kPutCharacter:
    case code::kWriteData:
    case code::kTouchMode:
    case code::kTextPage:
    case code::kLoadScreen:
    case code::kBacklight:
    case code::kPixelString:
    case code::kDisplayMode:
    case code::kDisplayPower:
    case code::kBaudRate:
    case code::kContrast:
    case code::kSaveScreen:
    case code::kTextColumn:
    case code::kSelectFont:
    case code::kCalibrate:
    case code::kKeypadMode:
    case code::kFlipPage:
    case code::kBeep:
    case code::kQueryId:
    case code::kFlash:
    case code::kIdentify:
        return 1;
    case code::kAnimation:
    case code::kDrawCircle:
    case code::kClearCircle:
    case code::kKeyMask:
        return 3;
    case code::kDrawShape:
    case code::kClearShape:
        return 5;
    default:
        return std::nullopt;
    }
}

std::string hexByte(std::uint8_t byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

} // namespace

void CommandDecoder::feed(std::uint8_t byte, Millis now)
{
    expire(now);
    lastByteAt_ = now;
    switch (state_) {
    case State::Idle:
        startCommand(byte);
        break;
    case State::Arguments:
        takeArgument(byte);
        break;
    case State::String:
        takeStringByte(byte);
        break;
    case State::PixelString:
        takePixelByte(byte);
        break;
    case State::FlashRead:
        takeFlashReadByte(byte);
        break;
    case State::FlashWrite:
        takeFlashWriteByte(byte);
        break;
    }
}

void CommandDecoder::expire(Millis now)
{
    const std::optional<Millis> due = deadline();
    if (due && now >= *due) {
        state_ = State::Idle;
        pendingX_.reset();
    }
}

std::optional<Millis> CommandDecoder::timeoutOfState() const
{
    switch (state_) {
    case State::Arguments:
        return timeouts_.command;
    case State::PixelString:
        return timeouts_.pixelString;
    case State::FlashRead:
        return timeouts_.flashRead;
    case State::FlashWrite:
        return timeouts_.flashWrite;
    case State::Idle:
    case State::String: // typed by hand: stays open until 0D, a new 26 or a control byte
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Millis> CommandDecoder::deadline() const
{
    const std::optional<Millis> timeout = timeoutOfState();
    if (!timeout)
        return std::nullopt;
    return lastByteAt_ + *timeout;
}

void CommandDecoder::startCommand(std::uint8_t byte)
{
    if (byte == code::kString) {
        openString();
        return;
    }
    const std::optional<std::size_t> wanted = argumentsOf(byte);
    if (!wanted)
        return; // not a command: a real controller ignores it too
    code_ = byte;
    argumentsHeld_ = 0;
    argumentsWanted_ = *wanted;
    state_ = State::Arguments;
}

void CommandDecoder::takeArgument(std::uint8_t byte)
{
    // 49 is the letter I and turns up in text; only 49 44 ("ID") is the query, and a
    // different second byte is a command of its own.
    if (code_ == code::kIdentify && byte != code::kIdentifySecond) {
        state_ = State::Idle;
        startCommand(byte);
        return;
    }
    arguments_[argumentsHeld_++] = byte;
    if (argumentsHeld_ == argumentsWanted_) {
        state_ = State::Idle;
        finishCommand();
    }
}

void CommandDecoder::finishCommand()
{
    if (code_ == code::kPixelString) {
        pairsTotal_ = arguments_[0];
        pairsDone_ = 0;
        pendingX_.reset();
        if (pairsTotal_ > 0)
            state_ = State::PixelString;
        return;
    }
    if (code_ == code::kFlash) {
        startFlashExchange(arguments_[0]);
        return;
    }
    sink_.onCommand(code_, std::span<const std::uint8_t>(arguments_.data(), argumentsHeld_));
}

void CommandDecoder::startFlashExchange(std::uint8_t kind)
{
    if (kind == code::kFlashRead) {
        state_ = State::FlashRead;
        nextBlock_ = 1;
        sink_.onFlashBlockWanted(0);
    } else if (kind == code::kFlashWrite) {
        state_ = State::FlashWrite;
        flashOffset_ = 0;
        sink_.onFlashWriteReady(0);
    }
}

void CommandDecoder::openString()
{
    state_ = State::String;
    text_.clear();
    awaitingFirstCharacter_ = true;
}

// Inside a string: 0D ends it, 26 ends it and opens the next one, 08 takes back the last
// character, any other control byte ends it and starts a command; the rest is text. The
// byte right after 26 is always a character, so a string may start with '&'.
void CommandDecoder::takeStringByte(std::uint8_t byte)
{
    const bool first = awaitingFirstCharacter_;
    awaitingFirstCharacter_ = false;
    if (byte == code::kCarriageReturn) {
        endString();
    } else if (byte == code::kString && !first) {
        endString();
        openString();
    } else if (byte == code::kBackspace) {
        if (!text_.empty())
            text_.pop_back();
    } else if (byte < 0x20 && !first) {
        endString();
        startCommand(byte);
    } else if (byte >= 0x20) {
        text_.push_back(static_cast<char>(byte));
        if (text_.size() == kStringCapacity)
            endString(); // the buffer is full: the string is printed without a terminator
    }
}

void CommandDecoder::endString()
{
    state_ = State::Idle;
    if (!text_.empty())
        sink_.onText(text_);
    text_.clear();
}

void CommandDecoder::takePixelByte(std::uint8_t byte)
{
    if (!pendingX_) {
        pendingX_ = byte;
        return;
    }
    const std::uint8_t x = *pendingX_;
    pendingX_.reset();
    if (++pairsDone_ == pairsTotal_)
        state_ = State::Idle;
    sink_.onPixel(x, byte);
}

void CommandDecoder::takeFlashReadByte(std::uint8_t byte)
{
    if (byte != code::kFlash) {
        // The PC has given up the read; the byte starts whatever it sends instead.
        state_ = State::Idle;
        startCommand(byte);
        return;
    }
    if (nextBlock_ == kFlashBlockCount) {
        state_ = State::Idle; // the 29 that follows the last block
        return;
    }
    sink_.onFlashBlockWanted(nextBlock_++);
}

void CommandDecoder::takeFlashWriteByte(std::uint8_t byte)
{
    sink_.onFlashByte(flashOffset_++, byte);
    if (flashOffset_ == kFlashSize) {
        state_ = State::Idle; // no ready byte after the last block
    } else if (flashOffset_ % kFlashBlockSize == 0) {
        sink_.onFlashWriteReady(static_cast<int>(flashOffset_ / kFlashBlockSize));
    }
}

std::string CommandDecoder::describePending() const
{
    switch (state_) {
    case State::Idle:
        return {};
    case State::Arguments:
        return "command " + hexByte(code_) + ": " + std::to_string(argumentsHeld_) + " of " +
               std::to_string(argumentsWanted_) + " argument bytes";
    case State::String:
        return "string: " + std::to_string(text_.size()) + " characters, no 0D yet";
    case State::PixelString:
        return "pixel string: pair " + std::to_string(pairsDone_ + 1) + " of " +
               std::to_string(pairsTotal_);
    case State::FlashRead:
        return "flash read: " + std::to_string(nextBlock_) + " of 2048 blocks sent";
    case State::FlashWrite:
        return "flash write: " + std::to_string(flashOffset_) + " of 491520 bytes";
    }
    return {};
}

} // namespace kestrin
