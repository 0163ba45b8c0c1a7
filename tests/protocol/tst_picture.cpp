// From a picture to the canvas and from the canvas to the 1920 data bytes.
#include "protocol/picture.h"

#include <QTest>

using namespace lumivor::protocol;

namespace {

const QColor black(0, 0, 0);
const QColor white(255, 255, 255);
const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QByteArray allSet(screenDataBytes, char(0xFF));
const QByteArray allClear(screenDataBytes, '\0');

QImage filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

QImage withPixels(QImage image, const QList<QPoint>& points, QColor colour)
{
    for (const QPoint& point : points)
        image.setPixelColor(point, colour);
    return image;
}

QImage withRow(QImage image, int y, QColor colour)
{
    for (int x = 0; x < image.width(); ++x)
        image.setPixelColor(x, y, colour);
    return image;
}

QByteArray runs(std::initializer_list<std::pair<int, char>> countsAndValues)
{
    QByteArray bytes;
    for (const auto& [count, value] : countsAndValues)
        bytes.append(count, value);
    return bytes;
}

QByteArray withByte(QByteArray bytes, int index, char value)
{
    bytes[index] = value;
    return bytes;
}

QImage withPixelRatio(QImage image, qreal ratio)
{
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void packing_data()
    {
        QTest::addColumn<QImage>("canvas");
        QTest::addColumn<QByteArray>("expected");
        const QImage whiteCanvas = filled(screenWidth, screenHeight, white);
        const QImage blackCanvas = filled(screenWidth, screenHeight, black);

        QTest::newRow("white") << whiteCanvas << allSet;
        QTest::newRow("black") << blackCanvas << allClear;
        QTest::newRow("one black pixel at (5, 10)")
            << withPixels(whiteCanvas, {{5, 10}}, black) << withByte(allSet, 245, char(0xFB));
        QTest::newRow("white top row on black")
            << withRow(blackCanvas, 0, white)
            << runs({{screenWidth, 0x01}, {screenDataBytes - screenWidth, 0}});
        QTest::newRow("dark grey counts as set")
            << filled(screenWidth, screenHeight, QColor(1, 1, 1)) << allSet;
        QTest::newRow("blue 1 alone counts, bottom row of the last page")
            << withPixels(blackCanvas, {{3, 63}}, QColor(0, 0, 1))
            << withByte(allClear, 7 * screenWidth + 3, char(0x80));
        QTest::newRow("red 1 alone counts, last column")
            << withPixels(blackCanvas, {{239, 0}}, QColor(1, 0, 0))
            << withByte(allClear, 239, char(0x01));

        // Pixel (k, 24 + k) lit: byte k of page 3 must be exactly bit k.
        QImage diagonal = blackCanvas;
        QByteArray diagonalBytes = allClear;
        for (int bit = 0; bit < rowsPerPage; ++bit) {
            diagonal.setPixelColor(bit, 3 * rowsPerPage + bit, white);
            diagonalBytes[3 * screenWidth + bit] = char(1 << bit);
        }
        QTest::newRow("bit k is row 8p + k") << diagonal << diagonalBytes;

        QTest::newRow("transparent white counts: alpha is ignored")
            << filled(screenWidth, screenHeight, QColor(255, 255, 255, 0), QImage::Format_ARGB32)
            << allSet;
        QTest::newRow("one-bit canvas")
            << whiteCanvas.convertToFormat(QImage::Format_Mono) << allSet;
        QTest::newRow("small canvas: pixels it lacks are 0")
            << filled(100, 10, white)
            << runs({{100, char(0xFF)}, {140, 0}, {100, 0x03}, {140 + 6 * screenWidth, 0}});
        QTest::newRow("large canvas: only the top-left corner counts")
            << withPixels(filled(320, 240, black), {{240, 0}, {0, 64}, {300, 200}}, white)
            << allClear;
        QTest::newRow("null canvas") << QImage() << allClear;
    }
    void packing()
    {
        QFETCH(QImage, canvas);
        QFETCH(QByteArray, expected);
        const QByteArray packed = packCanvas(canvas);
        QCOMPARE(packed.size(), screenDataBytes);
        QCOMPARE(packed.toHex(), expected.toHex());
    }

    void canvas_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QColor>("expected");
        const QImage smallRed = filled(10, 5, red);
        QTest::newRow("small picture, its last pixel") << smallRed << QPoint(9, 4) << red;
        QTest::newRow("small picture, right of it") << smallRed << QPoint(10, 0) << blue;
        QTest::newRow("small picture, below it") << smallRed << QPoint(0, 5) << blue;
        QTest::newRow("small picture, far corner") << smallRed << QPoint(239, 63) << blue;

        // Inside the corner white, just outside it red: a scaled or shifted
        // picture would bring red into the canvas.
        QImage large = filled(320, 240, red);
        for (int y = 0; y < screenHeight; ++y)
            for (int x = 0; x < screenWidth; ++x)
                large.setPixelColor(x, y, white);
        large.setPixelColor(0, 0, black);
        QTest::newRow("large picture, top-left pixel") << large << QPoint(0, 0) << black;
        QTest::newRow("large picture, corner pixel") << large << QPoint(239, 63) << white;
        QTest::newRow("large picture, right edge") << large << QPoint(239, 0) << white;
        QTest::newRow("large picture, bottom edge") << large << QPoint(0, 63) << white;

        QTest::newRow("picture at pixel ratio 2 is not shrunk")
            << withPixelRatio(smallRed, 2.0) << QPoint(9, 4) << red;
        QTest::newRow("transparent picture shows the background")
            << filled(20, 20, QColor(255, 0, 0, 0), QImage::Format_ARGB32) << QPoint(5, 5) << blue;
        QTest::newRow("no picture") << QImage() << QPoint(0, 0) << blue;
    }
    void canvas()
    {
        QFETCH(QImage, picture);
        QFETCH(QPoint, probe);
        QFETCH(QColor, expected);
        const QImage canvas = canvasFromPicture(picture, blue);
        QCOMPARE(canvas.size(), QSize(screenWidth, screenHeight));
        QCOMPARE(canvas.pixelColor(probe).rgb(), expected.rgb());
    }

    void largePictureSendsOnlyItsCorner()
    {
        QImage picture = filled(320, 240, black);
        picture = withPixels(picture, {{239, 63}}, white);            // just inside
        picture = withPixels(picture, {{240, 63}, {239, 64}}, white); // just outside
        const QByteArray packed = packCanvas(canvasFromPicture(picture, white));
        QCOMPARE(packed.toHex(), withByte(allClear, screenDataBytes - 1, char(0x80)).toHex());
    }

    void noPictureOnAWhiteWindowSendsAllSet()
    {
        QCOMPARE(packCanvas(canvasFromPicture(QImage(), white)).toHex(), allSet.toHex());
    }

    void uploadPreamble()
    {
        const auto writes = pictureUploadPreamble();
        QCOMPARE(writes[0].toHex(' '), QByteArray("05 00"));
        QCOMPARE(writes[1].toHex(' '), QByteArray("12 00"));
        QCOMPARE(writes[2].toHex(' '), QByteArray("06 00"));
    }
};

namespace {

int ones(const QImage& screen)
{
    int count = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            count += screen.pixelColor(x, y) == white ? 1 : 0;
    return count;
}

// The bits packCanvas() sends for a screen, laid out as the screen.
QImage unpacked(const QByteArray& bytes)
{
    QImage screen(screenWidth, screenHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const auto byte = static_cast<unsigned char>(bytes[(y / 8) * screenWidth + x]);
            screen.setPixel(x, y, ((byte >> (y % 8)) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    return screen;
}

QImage noise()
{
    QImage image(screenWidth, screenHeight, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, state >> 8);
        }
    return image;
}

} // namespace

class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    // (grey level, conversion, threshold) -> share of 1s in a field of that grey
    void fields_data()
    {
        QTest::addColumn<int>("grey");
        QTest::addColumn<int>("conversion");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        const int exact = int(Conversion::Exact), threshold = int(Conversion::Threshold),
                  dithered = int(Conversion::Dithered);
        QTest::newRow("exact: black") << 0 << exact << 128 << 0.0 << 0.0;
        QTest::newRow("exact: grey 1,1,1") << 1 << exact << 128 << 1.0 << 1.0;
        QTest::newRow("threshold: just below") << 99 << threshold << 100 << 1.0 << 1.0;
        QTest::newRow("threshold: at it") << 100 << threshold << 100 << 0.0 << 0.0;
        QTest::newRow("threshold 1: only black") << 0 << threshold << 1 << 1.0 << 1.0;
        QTest::newRow("threshold 255: all but white") << 254 << threshold << 255 << 1.0 << 1.0;
        QTest::newRow("dithered: black") << 0 << dithered << 128 << 1.0 << 1.0;
        QTest::newRow("dithered: white") << 255 << dithered << 128 << 0.0 << 0.0;
        QTest::newRow("dithered: mid grey about half") << 128 << dithered << 128 << 0.45 << 0.55;
        QTest::newRow("dithered: light grey few") << 192 << dithered << 128 << 0.2 << 0.3;
    }

    void fields()
    {
        QFETCH(int, grey);
        QFETCH(int, conversion);
        QFETCH(int, threshold);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        const QImage canvas = filled(screenWidth, screenHeight, QColor(grey, grey, grey));
        const QImage screen = convertCanvas(canvas, Conversion(conversion), threshold);
        QCOMPARE(screen.size(), QSize(screenWidth, screenHeight));
        const double share = double(ones(screen)) / (screenWidth * screenHeight);
        QVERIFY2(share >= lowest && share <= highest, qPrintable(QString::number(share)));
    }

    // What the preview shows is what goes out, bit for bit.
    void theScreenIsWhatIsSent_data()
    {
        QTest::addColumn<int>("conversion");
        QTest::newRow("exact") << int(Conversion::Exact);
        QTest::newRow("threshold") << int(Conversion::Threshold);
        QTest::newRow("dithered") << int(Conversion::Dithered);
    }

    void theScreenIsWhatIsSent()
    {
        QFETCH(int, conversion);
        const QImage screen = convertCanvas(noise(), Conversion(conversion));
        QCOMPARE(unpacked(packCanvas(screen)), screen);
    }

    void exactIsTheControllersRule()
    {
        const QImage canvas = noise();
        QCOMPARE(packCanvas(convertCanvas(canvas, Conversion::Exact)), packCanvas(canvas));
    }
};

int main(int argc, char** argv)
{
    TestPicture picture;
    TestConversions conversions;
    return QTest::qExec(&picture, argc, argv) | QTest::qExec(&conversions, argc, argv);
}
#include "tst_picture.moc"
