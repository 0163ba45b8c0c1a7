#pragma once

// Helpers shared by the controller tests: bytes written as the console writes them in
// its documentation ("1E 00 00 00 EF 3F") and a controller driven with a test clock.
#include "model/controller.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes hex(const char* text)
{
    const QByteArray decoded = QByteArray::fromHex(QByteArray(text));
    return Bytes(decoded.begin(), decoded.end());
}

inline Bytes operator+(Bytes left, const Bytes& right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

inline Bytes text(const std::string& characters)
{
    return Bytes(characters.begin(), characters.end());
}

// A controller fed at its own rate, with a clock that only moves when told to.
struct Rig
{
    kestrin::Controller controller;
    kestrin::Millis now = 0;

    void send(const Bytes& bytes) { controller.receive(bytes, controller.ownRate(), now); }
    void send(const char* hexText) { send(hex(hexText)); }
    void sendAt(int rate, const Bytes& bytes) { controller.receive(bytes, rate, now); }
    void wait(kestrin::Millis ms)
    {
        now += ms;
        controller.advanceTo(now);
    }
    std::string reply() { return controller.takeOutput(); }
    bool pixel(int x, int y) const { return controller.frame().pixel(x, y); }
    int litPixels() const
    {
        int count = 0;
        for (int y = 0; y < kestrin::kHeight; ++y)
            for (int x = 0; x < kestrin::kWidth; ++x)
                count += pixel(x, y) ? 1 : 0;
        return count;
    }
};

} // namespace simtest
