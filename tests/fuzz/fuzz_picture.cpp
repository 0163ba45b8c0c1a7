// The picture reader and the conversions after it: any bytes as a picture file.
// A picture that is accepted yields at most the screen's corner and converts to
// exactly one screen of bytes in every conversion; a refused one says why.
#include "fuzzcheck.h"
#include "protocol/arguments.h"
#include "protocol/picture.h"
#include "protocol/picturefile.h"

#include <QBuffer>

using namespace lumivor::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lumivor::fuzzing::ensureApplication();
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const PictureRead picture = readPicture(buffer, QStringLiteral("fuzz"));
    if (!picture.ok()) {
        FUZZ_CHECK(!picture.problem.isEmpty());
        return 0;
    }
    FUZZ_CHECK(!picture.image.isNull());
    FUZZ_CHECK(picture.image.width() <= screenWidth && picture.image.height() <= screenHeight);
    const QImage canvas = canvasFromPicture(picture.image, Qt::white);
    for (const Conversion conversion :
         {Conversion::Exact, Conversion::Threshold, Conversion::Dithered}) {
        const QImage screen = convertCanvas(canvas, conversion, int(size % 255) + 1);
        FUZZ_CHECK(packCanvas(screen).size() == screenDataBytes);
    }
    return 0;
}
