#include "protocol/flashimage.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <utility>

namespace lumivor::protocol {

namespace {

// Texts the operator reads: translatable, like the rest of the console's.
QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::protocol", text);
}

constexpr int notADigit = -1;

constexpr std::array<int, 256> digitValues = [] {
    std::array<int, 256> values{};
    values.fill(notADigit);
    for (int c = '0'; c <= '9'; ++c)
        values[static_cast<std::size_t>(c)] = c - '0';
    for (int c = 'a'; c <= 'f'; ++c)
        values[static_cast<std::size_t>(c)] = c - 'a' + 10;
    for (int c = 'A'; c <= 'F'; ++c)
        values[static_cast<std::size_t>(c)] = c - 'A' + 10;
    return values;
}();

int digitValue(char character)
{
    return digitValues[static_cast<unsigned char>(character)];
}

std::optional<qsizetype> firstNonDigit(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (digitValue(text[i]) == notADigit)
            return i;
    return std::nullopt;
}

// Expects an even number of characters, all of them digits.
QByteArray decodeDigitPairs(QByteArrayView text)
{
    QByteArray bytes(text.size() / 2, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(digitValue(text[2 * i]) * 16 + digitValue(text[2 * i + 1]));
    return bytes;
}

// A character as the operator should read it in a message: line breaks and
// blanks by name, other printable characters quoted, always with its code.
QString describeCharacter(char character)
{
    const auto code = static_cast<unsigned char>(character);
    const QString hexCode = QStringLiteral("0x") +
                            QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    const auto named = [&](const char* name) {
        return QStringLiteral("%1 (%2)").arg(QLatin1String(name), hexCode);
    };
    switch (character) {
    case '\n':
        return named("a line break");
    case '\r':
        return named("a carriage return");
    case '\t':
        return named("a tab");
    case ' ':
        return named("a blank");
    default:
        break;
    }
    if (code > 0x20 && code < 0x7F)
        return QStringLiteral("\"%1\" (%2)").arg(QString(QLatin1Char(character)), hexCode);
    return tr("the byte ") + hexCode;
}

FlashConversion refuseCharacter(const char* container, QByteArrayView text, qsizetype offset)
{
    return FlashConversion::refused(
        tr("At offset %1 the %2 holds %3 where a hexadecimal digit belongs.")
            .arg(offset)
            .arg(QLatin1String(container), describeCharacter(text[offset])),
        offset);
}

FlashConversion refuseShortFile(qsizetype length)
{
    return FlashConversion::refused(tr("The file holds %1 bytes, fewer than the %2 of "
                                       "a flash image: its data runs out at offset %1.")
                                        .arg(length)
                                        .arg(flashFileBytes),
                                    length);
}

FlashConversion refuseSize(const char* what, qsizetype expected, qsizetype actual)
{
    return FlashConversion::refused(
        tr("%1 holds %2 bytes, not %3.").arg(QLatin1String(what)).arg(expected).arg(actual));
}
} // namespace

FlashConversion FlashConversion::converted(QByteArray bytes)
{
    FlashConversion result;
    result.succeeded = true;
    result.output = std::move(bytes);
    return result;
}

FlashConversion FlashConversion::refused(QString reason, std::optional<qsizetype> badOffset)
{
    FlashConversion result;
    result.reasonText = std::move(reason);
    result.offset = badOffset;
    return result;
}

FlashConversion encodeFlashImage(const QByteArray& image)
{
    if (image.size() != flashImageBytes)
        return refuseSize("A flash image", flashImageBytes, image.size());
    return FlashConversion::converted(image.toHex());
}

FlashConversion decodeFlashFile(const QByteArray& fileBytes)
{
    // A bad character before the end of a short file is the first fault, so it
    // is the one reported.
    const QByteArrayView text =
        QByteArrayView(fileBytes).first(std::min(fileBytes.size(), flashFileBytes));
    if (const auto bad = firstNonDigit(text))
        return refuseCharacter("file", text, *bad);
    if (text.size() < flashFileBytes)
        return refuseShortFile(text.size());
    return FlashConversion::converted(decodeDigitPairs(text));
}

QByteArray imageBlock(const QByteArray& image, int block)
{
    return image.mid(qsizetype(block) * flashBlockBytes, flashBlockBytes);
}

FlashConversion encodeFlashBlock(QByteArrayView blockBytes)
{
    if (blockBytes.size() != flashBlockBytes)
        return refuseSize("A flash block", flashBlockBytes, blockBytes.size());
    return FlashConversion::converted(blockBytes.toByteArray().toHex());
}

FlashConversion decodeFlashBlock(QByteArrayView blockText)
{
    if (blockText.size() != flashBlockCharacters)
        return refuseSize("The text of a flash block", flashBlockCharacters, blockText.size());
    if (const auto bad = firstNonDigit(blockText))
        return refuseCharacter("block", blockText, *bad);
    return FlashConversion::converted(decodeDigitPairs(blockText));
}

QString blockPercentText(int block)
{
    if (block < 0 || block >= flashBlockCount)
        return QString();
    // block x 100 / 2048 in whole numbers: a remainder of exactly half the
    // divisor is a half, which goes to the even neighbour.
    const int dividend = block * 100;
    int percent = dividend / flashBlockCount;
    const int twiceRemainder = 2 * (dividend % flashBlockCount);
    if (twiceRemainder > flashBlockCount || (twiceRemainder == flashBlockCount && percent % 2 != 0))
        ++percent;
    return QStringLiteral(" %1%").arg(percent);
}

} // namespace lumivor::protocol
