// The .fls reader: any bytes as a whole file and as one block of a flash read.
// A file or block that is accepted must come back the same when written again
// (the format is lowercase; the reader also takes upper case).
#include "fuzzcheck.h"
#include "protocol/flashimage.h"

#include <QByteArray>

using namespace lumivor::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const FlashConversion file = decodeFlashFile(bytes);
    if (file.ok()) {
        FUZZ_CHECK(file.bytes().size() == flashImageBytes);
        FUZZ_CHECK(encodeFlashImage(file.bytes()).bytes() == bytes.left(flashFileBytes).toLower());
    } else {
        FUZZ_CHECK(!file.reason().isEmpty());
    }

    const FlashConversion block = decodeFlashBlock(bytes);
    if (block.ok())
        FUZZ_CHECK(encodeFlashBlock(block.bytes()).bytes() == bytes.toLower());

    // Every block number, real or not, has a percentage or none.
    if (size >= 2) {
        const int number = (data[0] << 8 | data[1]) - 100;
        FUZZ_CHECK(blockPercentText(number).isEmpty() == (number < 0 || number >= flashBlockCount));
    }
    return 0;
}
