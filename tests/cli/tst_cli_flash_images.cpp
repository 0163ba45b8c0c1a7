// The flash image commands on files (build from a manifest, extract, diff)
// and flash-load --verify on the port double and the manual clock.
#include "cli/flashactions.h"
#include "cli/flashimages.h"
#include "fakeserialport.h"
#include "flashcontroller.h"
#include "link/linkservice.h"
#include "manualclock.h"
#include "protocol/flashscreens.h"
#include "testsuite.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivor;
using cli::ExitCode;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A grey ramp with a dark frame: each conversion gives it different dots.
QImage rampPicture(int width = 250, int height = 70)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int grey = (x + 3 * y) % 256;
            picture.setPixel(x, y, (x < 2 || y < 2) ? qRgb(0, 0, 0) : qRgb(grey, grey, grey));
        }
    return picture;
}

// The dots the console's "On the LCD" preview shows for a picture, on white.
QByteArray consoleScreen(const QImage& picture, protocol::Conversion conversion, int threshold)
{
    return protocol::packCanvas(protocol::convertCanvas(
        protocol::canvasFromPicture(picture, Qt::white), conversion, threshold));
}

cli::Request fileRequest(cli::Command command, QString file, QString second = {})
{
    cli::Request request;
    request.command = command;
    request.file = std::move(file);
    request.secondFile = std::move(second);
    return request;
}

} // namespace

class CliFlashImagesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every bad line is named with its number; a picture that cannot be read
    // is named with its reason; nothing is written, not even a part file.
    void aManifestThatCannotBeBuiltLeavesNoImage_data()
    {
        QTest::addColumn<QString>("manifest");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("bad lines, each named")
            << "# screens\n6 good.png\n256 good.png\n7\n8 good.png --sharpen\n\n9 good.png "
               "--threshold 300\n10 \"good.png\n11 good.png --dither --threshold 5\n6 good.png\n"
            << int(ExitCode::BadInput)
            << QStringList{"m.txt:3: a line starts with a screen number from 0 to 255, not \"256\"",
                           "m.txt:4: screen 7 has no picture",
                           "m.txt:5: \"--sharpen\"",
                           "m.txt:7: --threshold takes",
                           "m.txt:8: a quote is not closed",
                           "m.txt:9: choose --threshold or --dither",
                           "m.txt:10: screen 6 is given twice (first on line 2)"};
        QTest::newRow("a picture that cannot be read")
            << "6 good.png\n7 notes.png\n8 gone.png\n"
            << int(ExitCode::BadInput)
            << QStringList{"m.txt:2: ", "notes.png", "m.txt:3: ", "gone.png"};
        QTest::newRow("a font screen without --yes")
            << "6 good.png\n3 good.png\n"
            << int(ExitCode::Usage)
            << QStringList{"Screens 1-5 are used for fonts storage", "line 2"};
        QTest::newRow("a base that is no flash image")
            << "6 good.png\n"
            << int(ExitCode::BadInput) << QStringList{"short.fls cannot be used"};
    }

    void aManifestThatCannotBeBuiltLeavesNoImage()
    {
        QFETCH(QString, manifest);
        QFETCH(int, code);
        QFETCH(QStringList, reasons);
        QTemporaryDir dir;
        QVERIFY(rampPicture().save(dir.filePath("good.png")));
        QVERIFY(writeFile(dir.filePath("notes.png"), "not a picture"));
        QVERIFY(writeFile(dir.filePath("short.fls"), QByteArray(100, '0')));
        QVERIFY(writeFile(dir.filePath("m.txt"), manifest.toUtf8()));
        cli::Request request = fileRequest(cli::Command::FlashBuild, dir.filePath("m.txt"));
        request.output = dir.filePath("out.fls");
        if (QByteArray(QTest::currentDataTag()).contains("base"))
            request.base = dir.filePath("short.fls");

        const cli::FileCommandResult result = cli::buildImage(request);
        QCOMPARE(int(result.code), code);
        const QString said = result.lines.join(u'\n');
        for (const QString& reason : reasons)
            QVERIFY2(said.contains(reason), qPrintable(said));
        QVERIFY(!QFile::exists(dir.filePath("out.fls")));
        QVERIFY(!QFile::exists(dir.filePath("out.fls.part")));
    }

    // Pictures -> image -> PNGs: each PNG shows exactly the dots its line's
    // conversion gives, the base's screens stay, the index tells drawn from
    // empty; and the PNGs built again give the same image.
    void builtScreensComeBackAsTheConvertedPictures()
    {
        QTemporaryDir dir;
        const QImage picture = rampPicture();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("my pictures")));
        QVERIFY(picture.save(dir.filePath(QStringLiteral("my pictures/ramp.png"))));
        protocol::FlashScreens base;
        base.setScreen(9, QByteArray(protocol::flashScreenBytes, '\x5a'));
        QVERIFY(
            writeFile(dir.filePath("base.fls"), protocol::encodeFlashImage(base.image()).bytes()));
        QVERIFY(writeFile(dir.filePath("m.txt"), "# the ramp three ways\n"
                                                 "6 'my pictures/ramp.png'\n\n"
                                                 "  7 \"my pictures/ramp.png\" --dither  # photo\n"
                                                 "8 \"my pictures/ramp.png\" --threshold 90\n"));
        cli::Request build = fileRequest(cli::Command::FlashBuild, dir.filePath("m.txt"));
        build.output = dir.filePath("built.fls");
        build.base = dir.filePath("base.fls");
        QCOMPARE(cli::buildImage(build).code, ExitCode::Success);

        cli::Request extract =
            fileRequest(cli::Command::FlashExtract, build.output, dir.filePath("screens/new"));
        extract.screens = {5, 6, 7, 8, 9};
        QCOMPARE(cli::extractScreens(extract).code, ExitCode::Success);
        const QDir screens(extract.secondFile);
        const QList<QPair<protocol::Conversion, int>> conversions = {
            {protocol::Conversion::Exact, 128},
            {protocol::Conversion::Dithered, 128},
            {protocol::Conversion::Threshold, 90}};
        for (int i = 0; i < conversions.size(); ++i) {
            const QByteArray expected =
                consoleScreen(picture, conversions[i].first, conversions[i].second);
            const QImage png(screens.filePath(QStringLiteral("screen-00%1.png").arg(6 + i)));
            QCOMPARE(png.format(), QImage::Format_Mono);
            QCOMPARE(consoleScreen(png, protocol::Conversion::Exact, 128), expected);
        }
        QCOMPARE(contents(screens.filePath("index.txt")),
                 QByteArray("005 empty\n006 drawn\n007 drawn\n008 drawn\n009 drawn\n"));

        QVERIFY(
            writeFile(screens.filePath("again.txt"),
                      "6 screen-006.png\n7 screen-007.png\n8 screen-008.png\n9 screen-009.png\n"));
        cli::Request rebuild = fileRequest(cli::Command::FlashBuild, screens.filePath("again.txt"));
        rebuild.output = dir.filePath("again.fls");
        QCOMPARE(cli::buildImage(rebuild).code, ExitCode::Success);
        QCOMPARE(contents(rebuild.output), contents(build.output));
    }

    // As cmp: 0 for the same image, 1 for a difference (named by screen and
    // byte count), 5 for a file that is no image.
    void diffSaysWhichScreensDiffer()
    {
        QTemporaryDir dir;
        QByteArray image = testing::sampleFlashImage();
        QVERIFY(writeFile(dir.filePath("a.fls"), image.toHex()));
        QVERIFY(writeFile(dir.filePath("same.fls"), image.toHex().toUpper()));
        image[7 * protocol::flashScreenBytes + 100] =
            char(~image[7 * protocol::flashScreenBytes + 100]);
        image[protocol::flashImageBytes - 1] = char(~image[protocol::flashImageBytes - 1]);
        QVERIFY(writeFile(dir.filePath("b.fls"), image.toHex()));
        QVERIFY(writeFile(dir.filePath("bad.fls"), "0123"));
        const auto diff = [&](const char* first, const char* second) {
            return cli::diffImages(
                fileRequest(cli::Command::FlashDiff, dir.filePath(first), dir.filePath(second)));
        };
        QCOMPARE(diff("a.fls", "same.fls").code, ExitCode::Success);
        const cli::FileCommandResult differ = diff("a.fls", "b.fls");
        QCOMPARE(differ.code, ExitCode::Differ);
        QCOMPARE(differ.lines.mid(0, 2),
                 (QStringList{"screen 7: 1 byte differs", "screen 255: 1 byte differs"}));
        QCOMPARE(differ.details.value("differences").toArray().size(), 2);
        const cli::FileCommandResult bad = diff("a.fls", "bad.fls");
        QCOMPARE(bad.code, ExitCode::BadInput);
        QVERIFY2(bad.lines.join(' ').contains("bad.fls cannot be used"),
                 qPrintable(bad.lines.join(' ')));
    }

    // The whole write, then the whole read back into memory: a flash that kept
    // one wrong byte is exit status 10 naming its screen; a good one "verified".
    // The bytes that fell due go out together (far fewer writes than bytes).
    void verifyNamesTheScreenTheFlashGotWrong_data()
    {
        QTest::addColumn<int>("wrongAt"); // -1: the flash holds the image
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        QTest::newRow("good") << -1 << int(ExitCode::Success) << "verified";
        QTest::newRow("one byte in screen 40")
            << 40 * protocol::flashScreenBytes + 1919 << int(ExitCode::VerifyFailed)
            << "differs from the image in screen 40 (1 byte)";
    }

    void verifyNamesTheScreenTheFlashGotWrong()
    {
        QFETCH(int, wrongAt);
        QFETCH(int, code);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QByteArray image = testing::sampleFlashImage(3);
        QVERIFY(writeFile(dir.filePath("image.fls"), image.toHex()));
        QByteArray flash = image;
        if (wrongAt >= 0)
            flash[wrongAt] = char(flash[wrongAt] ^ 0x10);

        testing::FakeSerialPort port;
        testing::ManualClock clock;
        link::LinkService link(port, clock);
        port.setSettings(QStringLiteral("115200,N,8,1"));
        port.setPortOpen(true);
        testing::FlashController controller(port, flash);
        port.onOutput = [&](const QByteArray& bytes) {
            // After the last byte the controller takes commands again.
            if (controller.received.size() == protocol::flashImageBytes)
                controller.writing = false;
            controller.heard(bytes);
        };
        cli::FlashLoadAction load(link, dir.filePath("image.fls"), true);
        std::optional<cli::ActionResult> ended;
        QObject::connect(&load, &cli::Action::finished, &load,
                         [&](const cli::ActionResult& result) { ended = result; });
        load.start();
        QVERIFY(clock.advanceUntil([&] { return ended.has_value(); }, 200'000, 5));

        const cli::ActionResult result = *ended;
        QCOMPARE(int(result.code), code);
        QVERIFY2(result.summary.contains(said), qPrintable(result.summary));
        QCOMPARE(controller.received, image);
        QVERIFY(port.writes.size() < protocol::flashImageBytes / 4);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"image.fls"});
    }
};

LUMIVOR_TEST(CliFlashImagesTest)
#include "tst_cli_flash_images.moc"
