// From a picture to the canvas, from the canvas to the screen's bits, and from those to
// the 1920 data bytes.
#include "protocol/picture.h"
#include "testsuite.h"

#include <QTest>

#include <bit>

using namespace lumivor::protocol;

namespace {

const QColor black(0, 0, 0), white(255, 255, 255), red(255, 0, 0), blue(0, 0, 255);
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

QByteArray withByte(QByteArray bytes, int index, char value)
{
    bytes[index] = value;
    return bytes;
}

QImage noise()
{
    QImage image(screenWidth, screenHeight, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x)
            image.setPixel(x, y, (state = state * 1664525u + 1013904223u) >> 8);
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
        const QImage blackCanvas = filled(screenWidth, screenHeight, black);
        // Pixel (k, 24 + k) lit: byte k of page 3 must be exactly bit k.
        QImage diagonal = blackCanvas;
        QByteArray diagonalBytes = allClear;
        for (int bit = 0; bit < rowsPerPage; ++bit) {
            diagonal.setPixelColor(bit, 3 * rowsPerPage + bit, white);
            diagonalBytes[3 * screenWidth + bit] = char(1 << bit);
        }
        QTest::newRow("bit k is row 8p + k") << diagonal << diagonalBytes;
        QTest::newRow("dark grey counts as set")
            << filled(screenWidth, screenHeight, QColor(1, 1, 1)) << allSet;
        QTest::newRow("blue 1 alone counts, bottom row of the last page")
            << withPixels(blackCanvas, {{3, 63}}, QColor(0, 0, 1))
            << withByte(allClear, 7 * screenWidth + 3, char(0x80));
        QTest::newRow("transparent white counts: alpha is ignored")
            << filled(screenWidth, screenHeight, QColor(255, 255, 255, 0), QImage::Format_ARGB32)
            << allSet;
        QByteArray smallBytes = allClear;
        smallBytes.replace(0, 100, QByteArray(100, char(0xFF)));
        smallBytes.replace(screenWidth, 100, QByteArray(100, 0x03));
        QTest::newRow("small canvas: pixels it lacks are 0")
            << filled(100, 10, white) << smallBytes;
        QTest::newRow("large canvas: only the top-left corner counts")
            << withPixels(filled(320, 240, black), {{240, 0}, {0, 64}, {300, 200}}, white)
            << allClear;
        QTest::newRow("null canvas") << QImage() << allClear;
    }
    void packing()
    {
        QFETCH(QImage, canvas);
        QFETCH(QByteArray, expected);
        QCOMPARE(packCanvas(canvas).toHex(), expected.toHex());
    }

    void canvas_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QColor>("expected");
        const QImage smallRed = filled(10, 5, red);
        QTest::newRow("small picture, its last pixel") << smallRed << QPoint(9, 4) << red;
        QTest::newRow("small picture, right of it") << smallRed << QPoint(10, 0) << blue;
        // The corner white, the rest red: a scaled or shifted picture would bring red in.
        QImage large = filled(320, 240, red);
        for (int y = 0; y < screenHeight; ++y)
            for (int x = 0; x < screenWidth; ++x)
                large.setPixelColor(x, y, x + y ? white : black);
        QTest::newRow("large picture, top-left pixel") << large << QPoint(0, 0) << black;
        QTest::newRow("large picture, corner pixel") << large << QPoint(239, 63) << white;
        QImage doubleRatio = smallRed;
        doubleRatio.setDevicePixelRatio(2.0);
        QTest::newRow("picture at pixel ratio 2 is not shrunk")
            << doubleRatio << QPoint(9, 4) << red;
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

    // (grey level, conversion, threshold) -> share of 1s in a field of that grey
    void conversions_data()
    {
        QTest::addColumn<int>("grey");
        QTest::addColumn<Conversion>("conversion");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        const auto row = [](const char* name, int grey, Conversion conversion, int threshold,
                            double lowest, double highest) {
            QTest::newRow(name) << grey << conversion << threshold << lowest << highest;
        };
        row("exact: grey 1,1,1", 1, Conversion::Exact, 128, 1.0, 1.0);
        row("threshold: just below", 99, Conversion::Threshold, 100, 1.0, 1.0);
        row("threshold: at it", 100, Conversion::Threshold, 100, 0.0, 0.0);
        row("threshold 255: all but white", 254, Conversion::Threshold, 255, 1.0, 1.0);
        row("dithered: white", 255, Conversion::Dithered, 128, 0.0, 0.0);
        row("dithered: mid grey about half", 128, Conversion::Dithered, 128, 0.45, 0.55);
        row("dithered: light grey few", 192, Conversion::Dithered, 128, 0.2, 0.3);
    }
    void conversions()
    {
        QFETCH(int, grey);
        QFETCH(Conversion, conversion);
        QFETCH(int, threshold);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        const QImage canvas = filled(screenWidth, screenHeight, QColor(grey, grey, grey));
        int ones = 0;
        for (const char byte : packCanvas(convertCanvas(canvas, conversion, threshold)))
            ones += std::popcount(static_cast<unsigned char>(byte));
        const double share = double(ones) / (screenWidth * screenHeight);
        QVERIFY2(share >= lowest && share <= highest, qPrintable(QString::number(share)));
    }

    // What the preview shows is what goes out, bit for bit; Exact is the controller's rule.
    void theScreenIsWhatIsSent()
    {
        for (const Conversion conversion :
             {Conversion::Exact, Conversion::Threshold, Conversion::Dithered}) {
            const QImage screen = convertCanvas(noise(), conversion);
            QCOMPARE(convertCanvas(screen, Conversion::Exact), screen);
        }
        QCOMPARE(packCanvas(convertCanvas(noise(), Conversion::Exact)), packCanvas(noise()));
    }
};

LUMIVOR_TEST(TestPicture)
#include "tst_picture.moc"
