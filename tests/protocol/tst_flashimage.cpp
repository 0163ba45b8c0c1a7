// The .fls flash image file: encoding, checking and decoding, block helpers, progress text.
#include "protocol/flashimage.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace lumivor::protocol;

namespace {

QByteArray randomImage(quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray image(flashImageBytes, '\0');
    for (char& byte : image)
        byte = static_cast<char>(generator.bounded(256));
    return image;
}

QByteArray zeroFile()
{
    return QByteArray(flashFileBytes, '0');
}

QByteArray placed(QByteArray bytes, qsizetype offset, const QByteArray& text)
{
    bytes.replace(offset, text.size(), text);
    return bytes;
}

bool isLowercaseHex(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

class TestFlashImage : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("seed 1") << 1u;
        QTest::newRow("seed 2") << 2u;
        QTest::newRow("seed 20240") << 20240u;
    }
    void roundTrip()
    {
        QFETCH(quint32, seed);
        const QByteArray image = randomImage(seed);
        const FlashConversion file = encodeFlashImage(image);
        QVERIFY2(file.ok(), qPrintable(file.reason()));
        QCOMPARE(file.bytes().size(), flashFileBytes);
        QVERIFY(isLowercaseHex(file.bytes()));

        const FlashConversion decoded = decodeFlashFile(file.bytes());
        QVERIFY2(decoded.ok(), qPrintable(decoded.reason()));
        QVERIFY(decoded.bytes() == image);
        QVERIFY(decodeFlashFile(file.bytes().toUpper()).bytes() == image);
    }

    void digitPairs_data()
    {
        QTest::addColumn<QByteArray>("pair");
        QTest::addColumn<int>("byte");
        QTest::newRow("ff") << QByteArray("ff") << 0xFF;
        QTest::newRow("0a") << QByteArray("0a") << 0x0A;
        QTest::newRow("a0") << QByteArray("a0") << 0xA0;
        QTest::newRow("90") << QByteArray("90") << 0x90;
        QTest::newRow("uppercase FF") << QByteArray("FF") << 0xFF;
        QTest::newRow("mixed case bC") << QByteArray("bC") << 0xBC;
    }
    void digitPairs()
    {
        QFETCH(QByteArray, pair);
        QFETCH(int, byte);
        // In the middle of block 5, with zeros around to catch a shifted pair.
        const int index = 5 * flashBlockBytes + 17;
        const FlashConversion decoded = decodeFlashFile(placed(zeroFile(), 2 * index, pair));
        QVERIFY2(decoded.ok(), qPrintable(decoded.reason()));
        QCOMPARE(int(static_cast<unsigned char>(decoded.bytes().at(index))), byte);
        QCOMPARE(decoded.bytes().count('\0'), flashImageBytes - 1);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qsizetype>("badOffset");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one byte short")
            << QByteArray(flashFileBytes - 1, '0') << flashFileBytes - 1 << "983039 bytes";
        QTest::newRow("empty") << QByteArray() << qsizetype(0) << "0 bytes";
        QTest::newRow("G") << placed(zeroFile(), 1001, "G") << qsizetype(1001) << "\"G\"";
        QTest::newRow("line break")
            << placed(zeroFile(), 480, "\n") << qsizetype(480) << "line break";
        QTest::newRow("Windows line break")
            << placed(zeroFile(), 960, "\r\n") << qsizetype(960) << "carriage return";
        QTest::newRow("blank first") << placed(zeroFile(), 0, " ") << qsizetype(0) << "blank";
        QTest::newRow("byte above 7F, last offset")
            << placed(zeroFile(), flashFileBytes - 1, "\xE9") << flashFileBytes - 1 << "0xE9";
        QTest::newRow("zero byte")
            << placed(zeroFile(), 7, QByteArray(1, '\0')) << qsizetype(7) << "0x00";
        QTest::newRow("only the first of two bad characters")
            << placed(placed(zeroFile(), 50, "x"), 40, "g") << qsizetype(40) << "\"g\"";
        QTest::newRow("a bad character before a short end")
            << placed(QByteArray(1000, '0'), 10, "z") << qsizetype(10) << "\"z\"";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(qsizetype, badOffset);
        QFETCH(QString, shown);
        const FlashConversion decoded = decodeFlashFile(file);
        QVERIFY(!decoded.ok());
        QVERIFY(decoded.bytes().isEmpty());
        QCOMPARE(decoded.badOffset(), std::optional<qsizetype>(badOffset));
        QVERIFY2(decoded.reason().contains(QStringLiteral("offset %1").arg(badOffset)),
                 qPrintable(decoded.reason()));
        QVERIFY2(decoded.reason().contains(shown), qPrintable(decoded.reason()));
    }

    void bytesBeyondTheImageAreIgnored()
    {
        const QByteArray image = randomImage(7);
        const QByteArray file = encodeFlashImage(image).bytes() + "\r\nnot hex at all\xFF";
        const FlashConversion decoded = decodeFlashFile(file);
        QVERIFY2(decoded.ok(), qPrintable(decoded.reason()));
        QVERIFY(decoded.bytes() == image);
    }

    void encodingRefusesAWrongSize_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("empty") << qsizetype(0);
        QTest::newRow("one short") << flashImageBytes - 1;
        QTest::newRow("one over") << flashImageBytes + 1;
    }
    void encodingRefusesAWrongSize()
    {
        QFETCH(qsizetype, size);
        const FlashConversion file = encodeFlashImage(QByteArray(size, 'x'));
        QVERIFY(!file.ok());
        QVERIFY(file.bytes().isEmpty());
        QVERIFY2(file.reason().contains(QString::number(size)), qPrintable(file.reason()));
    }

    void blocks()
    {
        QCOMPARE(blockOffset(0), qsizetype(0));
        QCOMPARE(blockOffset(1), qsizetype(480));
        QCOMPARE(blockOffset(2047), flashFileBytes - 480);

        const QByteArray image = randomImage(3);
        const QByteArray file = encodeFlashImage(image).bytes();
        for (const int block : {0, 1, 1000, 2047}) {
            const QByteArray bytes = imageBlock(image, block);
            const QByteArray text = file.mid(blockOffset(block), flashBlockCharacters);
            QCOMPARE(bytes, image.mid(block * flashBlockBytes, flashBlockBytes));
            QCOMPARE(encodeFlashBlock(bytes).bytes(), text);
            QCOMPARE(decodeFlashBlock(text).bytes(), bytes);
        }
    }

    void refusedBlocks_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<qsizetype>>("badOffset");
        const QByteArray zeros(flashBlockCharacters, '0');
        QTest::newRow("one short") << zeros.left(479) << std::optional<qsizetype>();
        QTest::newRow("one over") << zeros + '0' << std::optional<qsizetype>();
        QTest::newRow("bad character") << placed(zeros, 17, "!") << std::optional<qsizetype>(17);
    }
    void refusedBlocks()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<qsizetype>, badOffset);
        const FlashConversion decoded = decodeFlashBlock(text);
        QVERIFY(!decoded.ok());
        QVERIFY(!decoded.reason().isEmpty());
        QCOMPARE(decoded.badOffset(), badOffset);
        QVERIFY(!encodeFlashBlock(QByteArray(flashBlockBytes + 1, 'x')).ok());
    }

    void percentText_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<QString>("text");
        QTest::newRow("first block") << 0 << " 0%";
        QTest::newRow("0.49 rounds down") << 10 << " 0%";
        QTest::newRow("0.54 rounds up") << 11 << " 1%";
        QTest::newRow("12.5 to even 12") << 256 << " 12%";
        QTest::newRow("37.5 to even 38") << 768 << " 38%";
        QTest::newRow("50") << 1024 << " 50%";
        QTest::newRow("62.5 to even 62") << 1280 << " 62%";
        QTest::newRow("87.5 to even 88") << 1792 << " 88%";
        QTest::newRow("99.46 rounds down") << 2037 << " 99%";
        QTest::newRow("last block, 99.95") << 2047 << " 100%";
        QTest::newRow("before the first") << -1 << "";
        QTest::newRow("past the last") << 2048 << "";
    }
    void percentText()
    {
        QFETCH(int, block);
        QFETCH(QString, text);
        QCOMPARE(blockPercentText(block), text);
    }
};

QTEST_GUILESS_MAIN(TestFlashImage)
#include "tst_flashimage.moc"
