// How long checking and decoding a whole .fls file (983,040 characters) takes,
// and encoding an image back: the work done before a flash write may start.
#include "benchtiming.h"
#include "protocol/flashimage.h"

#include <QRandomGenerator>

using namespace lumivor::protocol;

int main()
{
    constexpr int runs = 200;
    QRandomGenerator generator(7);
    QByteArray image(flashImageBytes, '\0');
    for (char& byte : image)
        byte = static_cast<char>(generator.bounded(256));
    const QByteArray file = encodeFlashImage(image).bytes();

    unsigned checksum = 0;
    const auto keep = [&](const FlashConversion& result) {
        checksum += static_cast<unsigned>(result.bytes().size());
    };
    lumivor::bench::report(
        "decodeFlashFile, valid 983,040-byte file", runs, [&] { return decodeFlashFile(file); },
        keep);
    lumivor::bench::report(
        "encodeFlashImage, 491,520-byte image", runs, [&] { return encodeFlashImage(image); },
        keep);
    std::printf("(checksum %u)\n", checksum);
    return 0;
}
