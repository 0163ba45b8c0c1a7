// Picture files as operators have them: of any size (only the top-left
// 240 x 64 is used), and refused with the reason when they are missing,
// empty, not a picture, or cut short.
#include "protocol/picturefile.h"
#include "testsuite.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>
#include <zlib.h>

using namespace lumivor::protocol;
using Problem = PictureRead::Problem;

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage corner()
{
    QImage image(240, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 120; ++x)
            image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    QByteArray chunk = QByteArray(type, 4) + data;
    const auto number = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    png += number(quint32(data.size())) + chunk +
           number(quint32(
               crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()))));
}

// A grey PNG of side x side pixels, white but for a black left half of the
// top-left 240 x 64, compressed a row at a time so the test never holds it
// whole: big enough that reading it whole would pass Qt's allocation limit.
QByteArray hugePng(int side)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian(quint32(side), header.data());
    qToBigEndian(quint32(side), header.data() + 4);
    header[8] = 8; // bits per sample; colour type 0 (grey), no interlace
    appendChunk(png, "IHDR", header);

    z_stream stream{};
    deflateInit(&stream, 1);
    QByteArray row(side + 1, '\xff');
    row[0] = 0; // no filter
    QByteArray compressed;
    char out[65536];
    for (int y = 0; y < side; ++y) {
        std::memset(row.data() + 1, y < 64 ? 0 : 0xff, 120);
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        const int flush = y + 1 == side ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            compressed.append(out, int(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace

class PictureFileTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedWithTheReason_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "-" for no file at all
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("reason");
        const QByteArray bmp = encoded(corner(), "BMP");
        const QByteArray jpeg = encoded(corner(), "JPG");
        const QByteArray png = encoded(corner(), "PNG");
        QTest::newRow("whole BMP") << bmp << int(Problem::None) << "";
        QTest::newRow("whole JPEG") << jpeg << int(Problem::None) << "";
        QTest::newRow("whole PNG") << png << int(Problem::None) << "";
        QTest::newRow("missing") << QByteArray("-") << int(Problem::Missing) << "does not exist.";
        QTest::newRow("empty") << QByteArray() << int(Problem::Empty) << "is empty.";
        QTest::newRow("text") << QByteArray("notes\n") << int(Problem::NotAPicture)
                              << "is not a picture";
        // The first 500 bytes of each, as a broken download leaves them.
        QTest::newRow("BMP cut short") << bmp.left(500) << int(Problem::Corrupt) << "cut short";
        QTest::newRow("JPEG cut short") << jpeg.left(500) << int(Problem::Corrupt) << "cut short";
        QTest::newRow("JPEG without its end marker")
            << jpeg.chopped(2) << int(Problem::Corrupt) << "end-of-image marker";
        QTest::newRow("PNG cut short")
            << png.left(png.size() - 20) << int(Problem::Corrupt) << "cut short";
        QByteArray damaged = png;
        damaged[damaged.indexOf("IDAT") + 10] ^= 0x55;
        QTest::newRow("PNG damaged") << damaged << int(Problem::Corrupt) << "damaged";
    }

    void refusedWithTheReason()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, problem);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("picture.jpg"); // the name says nothing
        if (bytes != "-") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        const PictureRead read = readPicture(path);
        QCOMPARE(int(read.kind), problem);
        if (problem == int(Problem::None)) {
            QCOMPARE(read.image.size(), QSize(240, 64));
            QCOMPARE(qGray(read.image.pixel(10, 10)) < 64, true);
            QCOMPARE(qGray(read.image.pixel(200, 10)) > 192, true);
            return;
        }
        QVERIFY(read.image.isNull());
        QVERIFY2(read.problem.startsWith(path) && read.problem.contains(reason),
                 qPrintable(read.problem));
    }

    // Far beyond what Qt reads whole; only the corner is decoded and kept.
    void aHugePictureGivesItsCorner()
    {
        QByteArray png = hugePng(12'000);
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const PictureRead read = readPicture(buffer, QStringLiteral("huge.png"));
        QVERIFY2(read.ok(), qPrintable(read.problem));
        QCOMPARE(read.size, QSize(12'000, 12'000));
        QCOMPARE(read.image.size(), QSize(240, 64));
        QCOMPARE(qGray(read.image.pixel(119, 63)), 0);
        QCOMPARE(qGray(read.image.pixel(120, 63)), 255);
    }
};

LUMIVOR_TEST(PictureFileTest)
#include "tst_picture_file.moc"
