#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace lumivor::protocol {

// The controller's flash: 2048 blocks of 240 bytes. A flash image file (.fls)
// holds it as text, each byte two hexadecimal digits, high digit first, with no
// header, separators or line breaks: 480 characters per block.
inline constexpr int flashBlockCount = 2048;
inline constexpr int flashBlockBytes = 240;
inline constexpr int flashBlockCharacters = 2 * flashBlockBytes;
inline constexpr qsizetype flashImageBytes = qsizetype(flashBlockCount) * flashBlockBytes;
inline constexpr qsizetype flashFileBytes = qsizetype(flashBlockCount) * flashBlockCharacters;

// The outcome of turning a flash image into text or back: the bytes, or a reason
// to show the operator and, where one is to blame, the first offending offset.
class FlashConversion
{
public:
    static FlashConversion converted(QByteArray bytes);
    static FlashConversion refused(QString reason, std::optional<qsizetype> badOffset = {});

    bool ok() const { return succeeded; }
    // The converted bytes; empty when refused.
    const QByteArray& bytes() const { return output; }
    // Why the input was refused; empty when it was converted.
    const QString& reason() const { return reasonText; }
    std::optional<qsizetype> badOffset() const { return offset; }

private:
    FlashConversion() = default;

    bool succeeded = false;
    QByteArray output;
    QString reasonText;
    std::optional<qsizetype> offset;
};

// The file text of an image: 983,040 lowercase hexadecimal characters. Refused
// unless the image is exactly 491,520 bytes.
FlashConversion encodeFlashImage(const QByteArray& image);

// The image a .fls file holds, checked in full before any of it may be sent:
// a file shorter than 983,040 bytes, or with anything but 0-9, a-f or A-F in
// its first 983,040 bytes, is refused naming the first bad offset. Bytes past
// the 983,040th are ignored.
FlashConversion decodeFlashFile(const QByteArray& fileBytes);

// Where block i (0 to 2047) starts in a .fls file.
constexpr qsizetype blockOffset(int block)
{
    return qsizetype(block) * flashBlockCharacters;
}

// The 240 bytes of block i of an image (fewer if the image is short).
QByteArray imageBlock(const QByteArray& image, int block);

// One block as the controller sends it (240 bytes -> 480 lowercase characters)
// and back. Refused unless the input has exactly the size of one block; a bad
// character is reported at its offset within the block.
FlashConversion encodeFlashBlock(QByteArrayView blockBytes);
FlashConversion decodeFlashBlock(QByteArrayView blockText);

// The progress text after block i (0 to 2047): a space, i x 100 / 2048 rounded
// with halves to even, and "%" (" 12%" after block 256). Empty outside 0 to 2047.
QString blockPercentText(int block);

} // namespace lumivor::protocol
