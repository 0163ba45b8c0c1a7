// The simulator's command decoder and its touch-input lines: any bytes as what
// the console sends, with time passing between chunks, and as touch lines.
// The controller's queue of replies stays bounded however it is driven.
#include "fuzzcheck.h"
#include "model/controller.h"
#include "transport/touchinput.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A new controller's flash takes long to draw; every input starts from a copy.
    static const kestrin::Flash flash = kestrin::makeDefaultFlash();
    kestrin::Controller controller(flash);
    kestrin::Millis now = 0;
    std::size_t at = 0;
    while (at < size) {
        // A chunk: a head byte (its length, and a pause before it long enough
        // to let the decoder's time-outs pass), then its bytes.
        const std::uint8_t head = data[at++];
        now += (head >> 6) * 700;
        const std::size_t length = std::min<std::size_t>(head % 64 + 1, size - at);
        controller.receive(std::span<const std::uint8_t>(data + at, length), controller.ownRate(),
                           now);
        if (head % 64 == 63)
            controller.touch({head * 7 % 240, head % 61}, now);
        at += length;
    }
    controller.advanceTo(now + 60'000);
    FUZZ_CHECK(controller.takeOutput().size() <= kestrin::Controller::kOutputLimit);

    std::string error;
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (const auto point = kestrin::parseTouchLine(line, error))
        FUZZ_CHECK(point->x >= 0 && point->x < 240 && point->y >= 0 && point->y < 64);
    return 0;
}
