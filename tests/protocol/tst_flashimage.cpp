// The .fls flash image file: encoding, checking and decoding, blocks, progress text.
#include "protocol/flashimage.h"
#include "testsuite.h"

#include <QRandomGenerator>
#include <QTest>

using namespace lumivor::protocol;

namespace {

QByteArray randomImage(quint32 seed)
{
    QByteArray image(flashImageBytes, '\0');
    QRandomGenerator generator(seed);
    for (char& byte : image)
        byte = static_cast<char>(generator.bounded(256));
    return image;
}

QByteArray placed(QByteArray bytes, qsizetype offset, const QByteArray& text)
{
    return bytes.replace(offset, text.size(), text);
}

const QByteArray zeroFile(flashFileBytes, '0');

} // namespace

class TestFlashImage : public QObject
{
    Q_OBJECT

private slots:
    void roundTripInLowerCaseReadsEitherCaseBlockByBlock()
    {
        const QByteArray image = randomImage(20240);
        const FlashConversion file = encodeFlashImage(image);
        QVERIFY2(file.ok(), qPrintable(file.reason()));
        QCOMPARE(file.bytes().size(), flashFileBytes);
        QVERIFY(file.bytes() == file.bytes().toLower() && file.bytes().contains('f'));
        QVERIFY(decodeFlashFile(file.bytes()).bytes() == image);
        QVERIFY(decodeFlashFile(file.bytes().toUpper()).bytes() == image);
        // Bytes past the image are ignored, whatever they are.
        QVERIFY(decodeFlashFile(file.bytes() + "\r\nnot hex\xFF").bytes() == image);
        // Each block is its slice of the file, and back.
        for (const int block : {0, 1, 2047}) {
            const QByteArray bytes = imageBlock(image, block);
            const QByteArray text = file.bytes().mid(blockOffset(block), flashBlockCharacters);
            QCOMPARE(bytes, image.mid(block * flashBlockBytes, flashBlockBytes));
            QCOMPARE(encodeFlashBlock(bytes).bytes(), text);
            QCOMPARE(decodeFlashBlock(text).bytes(), bytes);
        }
        QCOMPARE(blockOffset(2047) + flashBlockCharacters, flashFileBytes);
        // High digit first, in the middle of a block.
        const FlashConversion pair = decodeFlashFile(placed(zeroFile, 2 * 1217, "a0"));
        QCOMPARE(pair.bytes().at(1217), char(0xA0));
        QCOMPARE(pair.bytes().count('\0'), flashImageBytes - 1);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qsizetype>("badOffset");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one byte short")
            << zeroFile.left(flashFileBytes - 1) << flashFileBytes - 1 << "983039 bytes";
        QTest::newRow("empty") << QByteArray() << qsizetype(0) << "0 bytes";
        QTest::newRow("Windows line break")
            << placed(zeroFile, 960, "\r\n") << qsizetype(960) << "carriage return";
        QTest::newRow("byte above 7F, last offset")
            << placed(zeroFile, flashFileBytes - 1, "\xE9") << flashFileBytes - 1 << "0xE9";
        QTest::newRow("only the first of two bad characters")
            << placed(placed(zeroFile, 50, "x"), 40, "g") << qsizetype(40) << "\"g\"";
        QTest::newRow("a bad character before a short end")
            << placed(zeroFile.left(1000), 10, "z") << qsizetype(10) << "\"z\"";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(qsizetype, badOffset);
        QFETCH(QString, shown);
        const FlashConversion decoded = decodeFlashFile(file);
        QVERIFY(!decoded.ok() && decoded.bytes().isEmpty());
        QCOMPARE(decoded.badOffset(), std::optional<qsizetype>(badOffset));
        QVERIFY2(decoded.reason().contains(QStringLiteral("offset %1").arg(badOffset)) &&
                     decoded.reason().contains(shown),
                 qPrintable(decoded.reason()));
    }

    // After block i the progress shows i x 100 / 2048, halves to even.
    void percentText()
    {
        const std::pair<int, const char*> blocks[] = {
            {11, " 1%"},    {256, " 12%"},   {768, " 38%"}, // 0.54, 12.5 and 37.5
            {2037, " 99%"}, {2047, " 100%"}, {-1, ""},      {2048, ""}};
        for (const auto& [block, text] : blocks)
            QCOMPARE(blockPercentText(block), QString::fromLatin1(text));
    }
};

LUMIVOR_TEST(TestFlashImage)
#include "tst_flashimage.moc"
