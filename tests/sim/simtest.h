#pragma once

// The controller driven as its own tests drive it: bytes written as its documentation
// writes them ("1E 00 00 00 EF 3F"), a clock that moves only when told to.
#include "model/controller.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes hex(const char* text)
{
    const QByteArray decoded = QByteArray::fromHex(QByteArray(text));
    return Bytes(decoded.begin(), decoded.end());
}

struct Rig
{
    kestrin::Controller controller;
    kestrin::Millis now = 0;

    void send(const Bytes& bytes) { controller.receive(bytes, controller.ownRate(), now); }
    void send(const char* hexText) { send(hex(hexText)); }
    void sendAt(int rate, const char* hexText) { controller.receive(hex(hexText), rate, now); }
    void wait(kestrin::Millis ms) { controller.advanceTo(now += ms); }
    void touch(int x, int y) { controller.touch({x, y}, now); }
    std::string reply() { return controller.takeOutput(); }
    bool idle() const { return controller.decoder().idle(); }
    bool pixel(int x, int y) const { return controller.frame().pixel(x, y); }
    int litPixels(int top = 0, int bottom = kestrin::kHeight - 1) const
    {
        int count = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = 0; x < kestrin::kWidth; ++x)
                count += pixel(x, y) ? 1 : 0;
        return count;
    }
};

} // namespace simtest
