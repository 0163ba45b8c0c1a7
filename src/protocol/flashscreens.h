#pragma once

#include "protocol/flashimage.h"
#include "protocol/picture.h"

#include <QByteArray>
#include <QImage>
#include <QList>

namespace lumivor::protocol {

// The controller's flash image as its 256 stored screens. Where the
// controller keeps a screen is this project's choice, the one kestrin-sim
// makes too: screen N is the 1,920 bytes at N x 1,920, in the bit layout of a
// picture upload (page 0's columns 0 to 239, then page 1's, ...; bit k of byte
// 240p + x is pixel (x, 8p + k), and a 1 is a dark dot). Screens 1 to 5 hold
// the controller's fonts; the store and recall commands never address
// screen 0.
inline constexpr int flashScreenCount = 256;
inline constexpr int flashScreenBytes = screenDataBytes;
inline constexpr int firstFontScreen = 1;
inline constexpr int lastFontScreen = 5;
static_assert(qsizetype(flashScreenCount) * flashScreenBytes == flashImageBytes);

inline constexpr bool isFontScreen(int screen)
{
    return screen >= firstFontScreen && screen <= lastFontScreen;
}

class FlashScreens
{
public:
    // An empty image: every screen blank (every byte 0).
    FlashScreens();
    // The screens of a whole image (exactly flashImageBytes), or nothing.
    static std::optional<FlashScreens> fromImage(const QByteArray& image);

    const QByteArray& image() const { return image_; }
    QByteArray screen(int number) const;
    // Replaces a screen with its 1,920 bytes (a packed canvas).
    void setScreen(int number, const QByteArray& bytes);
    bool isBlank(int number) const;

    friend bool operator==(const FlashScreens&, const FlashScreens&) = default;

private:
    QByteArray image_;
};

// A screen's bits as a 240 x 64 picture in the upload's own terms: a 1 is a
// white pixel and a 0 a black one, so that the picture sends (with the
// controller's exact rule) as exactly this screen again.
QImage screenPicture(const QByteArray& screenBytes);

// The screens of two images that differ, with how many of their bytes do.
struct ScreenDifference
{
    int screen = 0;
    int bytes = 0;
};
QList<ScreenDifference> differingScreens(const QByteArray& image, const QByteArray& other);

// "7, 12 and 200": screen numbers for a sentence, the first `shown` of them
// ("1, 2, 3 and 40 more").
QString screenList(const QList<ScreenDifference>& differences, int shown = 20);

} // namespace lumivor::protocol
