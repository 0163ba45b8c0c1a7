#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrin {

// Milliseconds on a monotonic clock chosen by the caller.
using Millis = std::int64_t;

// Receives what the decoder recognised in the byte stream.
class DecoderSink
{
public:
    virtual ~DecoderSink() = default;
    // A command of fixed length, complete with its argument bytes.
    virtual void onCommand(std::uint8_t code, std::span<const std::uint8_t> arguments) = 0;
    // A string of the string transfer, as far as it went (at most 45 characters).
    virtual void onText(std::string_view text) = 0;
    virtual void onPixel(std::uint8_t x, std::uint8_t y) = 0;
    // Flash read: the PC waits for block 'block' as 480 hexadecimal characters.
    virtual void onFlashBlockWanted(int block) = 0;
    // Flash write: the PC waits for a ready byte before it sends block 'block'.
    virtual void onFlashWriteReady(int block) = 0;
    virtual void onFlashByte(std::size_t offset, std::uint8_t value) = 0;
};

// How long an exchange may stay silent before the controller gives it up. A command's
// argument bytes come in one write, so half a command is soon stale; pixel pairs are
// entered by hand; a flash block at 2400 baud takes two seconds on the line.
struct DecoderTimeouts
{
    Millis command = 500;
    Millis pixelString = 30'000;
    Millis flashRead = 5'000;
    Millis flashWrite = 2'000;
};

// Splits the byte stream from the console into commands and exchanges. It keeps no more
// than one command, a 45-character string and a few counters, whatever it is fed.
class CommandDecoder
{
public:
    static constexpr std::size_t kStringCapacity = 45;

    explicit CommandDecoder(DecoderSink& sink, DecoderTimeouts timeouts = {})
        : sink_(sink), timeouts_(timeouts)
    {}

    void feed(std::uint8_t byte, Millis now);
    // Gives up an exchange that has been silent for longer than its time-out.
    void expire(Millis now);
    // When expire() next has something to do, if anything is pending.
    std::optional<Millis> deadline() const;

    bool idle() const { return state_ == State::Idle; }
    // For the operator: what the decoder is waiting for, or an empty text.
    std::string describePending() const;

private:
    enum class State { Idle, Arguments, String, PixelString, FlashRead, FlashWrite };

    void startCommand(std::uint8_t byte);
    void takeArgument(std::uint8_t byte);
    void finishCommand();
    void startFlashExchange(std::uint8_t kind);
    void openString();
    void takeStringByte(std::uint8_t byte);
    void endString();
    void takePixelByte(std::uint8_t byte);
    void takeFlashReadByte(std::uint8_t byte);
    void takeFlashWriteByte(std::uint8_t byte);
    std::optional<Millis> timeoutOfState() const;

    DecoderSink& sink_;
    DecoderTimeouts timeouts_;
    State state_ = State::Idle;
    Millis lastByteAt_ = 0;

    std::uint8_t code_ = 0;
    std::array<std::uint8_t, 5> arguments_{};
    std::size_t argumentsHeld_ = 0;
    std::size_t argumentsWanted_ = 0;

    std::string text_;
    bool awaitingFirstCharacter_ = false;

    int pairsTotal_ = 0;
    int pairsDone_ = 0;
    std::optional<std::uint8_t> pendingX_;

    int nextBlock_ = 0;
    std::size_t flashOffset_ = 0;
};

} // namespace kestrin
