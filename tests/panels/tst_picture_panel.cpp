// The "Picture" frame: pictures from BMP and JPEG files packed into the bytes
// the controller gets, and the upload: paced at line speed against the clock,
// holding the link (nothing else reaches the port), stopped by Disconnect,
// Cancel or a failing port.
#include "link/linkservice.h"
#include "link/pictureupload.h"
#include "protocol/picture.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using lumivor::link::Dialogs;
using lumivor::link::lineTime;
using lumivor::link::Nanoseconds;
using lumivor::link::PortErrorCode;
using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

using Writes = QList<QByteArray>;

enum class Stop { DisconnectYes, DisconnectNo, CloseWindow, Cancel, WriteFails, HangUp };
Q_DECLARE_METATYPE(Stop)

namespace {

constexpr int uploadWrites = 1923;
constexpr int uploadBytes = 3846;
const Writes preamble{QByteArray("\x05\x00", 2), QByteArray("\x12\x00", 2),
                      QByteArray("\x06\x00", 2)};

QImage filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

// The upload of a screen: the preamble, then 03 b for each byte.
Writes uploadOf(const QByteArray& screen)
{
    Writes writes = preamble;
    for (const char byte : screen)
        writes.append(QByteArray(1, '\x03') + byte);
    return writes;
}

QByteArray screenOf(char byte)
{
    return QByteArray(lumivor::protocol::screenDataBytes, byte);
}

} // namespace

class PicturePanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theLcdPreviewIsWhatIsSent_data();
    void theLcdPreviewIsWhatIsSent();
    void picturesArePackedEndToEnd_data();
    void picturesArePackedEndToEnd();
    void cancelledOrUnreadableFilesChangeNothing();
    void uploadIsPacedByTheLine_data();
    void uploadIsPacedByTheLine();
    void nothingElseReachesThePortDuringAnUpload();
    void stoppingAnUpload_data();
    void stoppingAnUpload();

private:
    // Steps the clock until the upload has ended (bounded by its line time at 2400 baud).
    static bool finishUpload(WindowFixture& f)
    {
        return f.clock.advanceUntil([&f] { return !f.window->link().isBusy(); }, 20'000);
    }
    static void connectAt(WindowFixture& f, int rateIndex)
    {
        f.find<QComboBox>("cboBR")->setCurrentIndex(rateIndex);
        f.connectWithPoll();
        f.port.writes.clear();
    }

    QTemporaryDir dir;
};

void PicturePanelTest::picturesArePackedEndToEnd_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QColor>("windowColour");
    QTest::addColumn<QByteArray>("screen");
    const QColor white(Qt::white);

    QImage dot = filled(240, 64, Qt::white);
    dot.setPixel(5, 10, qRgb(0, 0, 0));
    QByteArray dotScreen = screenOf('\xff');
    dotScreen[245] = '\xfb';
    QTest::newRow("black dot at (5, 10)")
        << dot << "dot.bmp" << QByteArray("BMP") << white << dotScreen;
    QTest::newRow("bitmap named .jpg")
        << dot << "dot.jpg" << QByteArray("BMP") << white << dotScreen;

    QImage topRow = filled(240, 64, Qt::black);
    for (int x = 0; x < 240; ++x)
        topRow.setPixel(x, 0, qRgb(255, 255, 255));
    QByteArray topRowScreen = screenOf('\0');
    topRowScreen.replace(0, 240, QByteArray(240, '\x01'));
    QTest::newRow("white top row on black")
        << topRow << "row.bmp" << QByteArray("BMP") << white << topRowScreen;

    QImage large = filled(320, 240, Qt::white);
    large.setPixel(239, 63, qRgb(0, 0, 0)); // the last pixel of the screen
    large.setPixel(240, 0, qRgb(0, 0, 0));  // right of the screen
    large.setPixel(0, 64, qRgb(0, 0, 0));   // below it
    QByteArray largeScreen = screenOf('\xff');
    largeScreen[1919] = '\x7f';
    QTest::newRow("320 x 240 is cut")
        << large << "large.bmp" << QByteArray("BMP") << white << largeScreen;

    QImage grey = filled(240, 64, Qt::black);
    grey.setPixel(0, 0, qRgb(1, 1, 1));
    QByteArray greyScreen = screenOf('\0');
    greyScreen[0] = '\x01';
    QTest::newRow("grey 1,1,1 is lit")
        << grey << "grey.bmp" << QByteArray("BMP") << white << greyScreen;

    // The window colour (white) shows where a small picture does not reach.
    QImage small = filled(10, 10, Qt::black);
    QByteArray smallScreen = screenOf('\xff');
    smallScreen.replace(0, 10, QByteArray(10, '\0'));
    smallScreen.replace(240, 10, QByteArray(10, '\xfc'));
    QTest::newRow("small picture")
        << small << "small.bmp" << QByteArray("BMP") << white << smallScreen;

    // Whole 8 x 8 blocks of one shade survive JPEG compression exactly.
    QImage halves = filled(240, 64, Qt::black, QImage::Format_Grayscale8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 240; ++x)
            halves.setPixel(x, y, qRgb(255, 255, 255));
    QByteArray halvesScreen = screenOf('\0');
    halvesScreen.replace(0, 480, QByteArray(480, '\xff'));
    QTest::newRow("JPEG") << halves << "pages.jpg" << QByteArray("JPG") << white << halvesScreen;
    QTest::newRow("no picture, white window")
        << QImage() << "" << QByteArray() << white << screenOf('\xff');
    QTest::newRow("no picture, black window")
        << QImage() << "" << QByteArray() << QColor(Qt::black) << screenOf('\0');
    QTest::newRow("JPEG named .JPG")
        << halves << "PAGES.JPG" << QByteArray("JPG") << white << halvesScreen;
}

// Open File loads the picture into the preview; Send uploads the preview:
// 05 00, 12 00, 06 00, then 03 b for every byte.
// Open File loads the picture into the preview, on the window colour; Send
// uploads the preview (05 00, 12 00, 06 00, then 03 b for every byte), and
// nothing with the port closed.
void PicturePanelTest::picturesArePackedEndToEnd()
{
    QFETCH(QImage, picture);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, format);
    QFETCH(QColor, windowColour);
    QFETCH(QByteArray, screen);
    WindowFixture f;
    QPalette palette;
    palette.setColor(QPalette::Base, windowColour);
    f.find<QWidget>("Frame12")->setPalette(palette);
    if (!picture.isNull()) {
        const QString path = dir.filePath(fileName);
        QVERIFY(picture.save(path, format.constData(), 100));
        f.dialogs.fileNames << path;
        f.click("Command6");
        QVERIFY(f.dialogs.filters.constFirst().startsWith(
            "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|All pictures (*.bmp *."));
    }
    const QImage preview = f.find<QLabel>("picBox")->pixmap().toImage();
    QCOMPARE(preview.size(), QSize(240, 64));
    QCOMPARE(lumivor::protocol::packCanvas(preview), screen);

    f.click("Command5");
    QVERIFY(!f.window->link().isBusy());
    f.port.setPortOpen(true);
    f.click("Command5");
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screen));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void PicturePanelTest::theLcdPreviewIsWhatIsSent_data()
{
    QTest::addColumn<int>("conversion"); // index in cboConversion
    QTest::addColumn<bool>("sliderOn");
    QTest::newRow("exact, the default") << 0 << false;
    QTest::newRow("brightness threshold") << 1 << true;
    QTest::newRow("dithered") << 2 << false;
}

// "On the LCD" shows a dark pixel for every 1 that Send uploads, and nothing
// else, whichever conversion is chosen.
void PicturePanelTest::theLcdPreviewIsWhatIsSent()
{
    QFETCH(int, conversion);
    QFETCH(bool, sliderOn);
    QImage gradient(240, 64, QImage::Format_RGB32);
    for (int x = 0; x < 240; ++x)
        for (int y = 0; y < 64; ++y)
            gradient.setPixel(x, y, qRgb(x, x, (x + y) % 256));
    const QString path = dir.filePath("gradient.png");
    QVERIFY(gradient.save(path, "PNG"));
    WindowFixture f;
    QCOMPARE(f.find<QComboBox>("cboConversion")->currentIndex(), 0);
    f.dialogs.fileNames << path;
    f.click("Command6");
    f.find<QComboBox>("cboConversion")->setCurrentIndex(conversion);
    QCOMPARE(f.find<QWidget>("sldThreshold")->isEnabled(), sliderOn);
    f.port.setPortOpen(true);
    f.click("Command5");
    QVERIFY(finishUpload(f));

    const QImage lcd = f.find<QLabel>("picLcd")->pixmap().toImage();
    QCOMPARE(lcd.size(), QSize(240, 64));
    QByteArray shown(lumivor::protocol::screenDataBytes, '\0');
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 240; ++x)
            if (qGray(lcd.pixel(x, y)) < 128) // dark: a 1
                shown[(y / 8) * 240 + x] = char(shown[(y / 8) * 240 + x] | (1 << (y % 8)));
    QCOMPARE(f.port.writes, uploadOf(shown));
    if (conversion == 0)
        QCOMPARE(shown, lumivor::protocol::packCanvas(gradient));
    else
        QVERIFY(shown != lumivor::protocol::packCanvas(gradient));
}

void PicturePanelTest::cancelledOrUnreadableFilesChangeNothing()
{
    const QString picturePath = dir.filePath("black.bmp");
    QVERIFY(filled(240, 64, Qt::black).save(picturePath, "BMP"));
    const QString textPath = dir.filePath("notes.bmp");
    QFile text(textPath);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    WindowFixture f;
    f.dialogs.fileNames << picturePath;
    f.click("Command6");
    auto* preview = f.find<QLabel>("picBox");
    const QImage loaded = preview->pixmap().toImage();
    QCOMPARE(lumivor::protocol::packCanvas(loaded), screenOf('\0'));
    for (const QString& path : {QString(), textPath, dir.filePath("missing.bmp")}) {
        f.dialogs.fileNames << path; // an empty name is a cancelled dialog
        f.click("Command6");
        QCOMPARE(preview->pixmap().toImage(), loaded);
    }
    QCOMPARE(f.dialogs.filters.size(), 4);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void PicturePanelTest::uploadIsPacedByTheLine_data()
{
    QTest::addColumn<int>("rateIndex");
    QTest::addColumn<int>("bitsPerSecond");
    QTest::newRow("9600") << 2 << 9600;
    QTest::newRow("115200") << 8 << 115200;
}

// Every write goes out as soon as the line has carried the bytes before it
// and the pauses after the header commands have passed: never earlier (the
// port's buffer would fill), never more than a clock tick later (the line
// would idle). So the whole upload takes the line time of its 3846 bytes
// plus the header pauses.
void PicturePanelTest::uploadIsPacedByTheLine()
{
    QFETCH(int, rateIndex);
    QFETCH(int, bitsPerSecond);
    using namespace std::chrono_literals;
    QVERIFY(lumivor::link::touchOffPause > lumivor::link::columnPause);
    QVERIFY(lumivor::link::touchOffPause > lumivor::link::pagePause);
    const Nanoseconds pauses[] = {lumivor::link::touchOffPause, lumivor::link::columnPause,
                                  lumivor::link::pagePause};

    WindowFixture f;
    connectAt(f, rateIndex);
    QList<Nanoseconds> times;
    f.port.onOutput = [&](const QByteArray&) { times.append(f.clock.now()); };
    auto* progress = f.find<QProgressBar>("ProgressBar1");
    const Nanoseconds start = f.clock.now();
    f.click("Command5");
    QVERIFY(f.find<QToolButton>("cmdCancelOperation")->isVisibleTo(f.window.get()));
    QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                            : Qt::ArrowCursor,
             Qt::WaitCursor);
    QCOMPARE(progress->maximum(), uploadWrites);
    QVERIFY(f.clock.advanceUntil([&] { return times.size() > 1000; }, 20'000));
    QCOMPARE(progress->value(), static_cast<int>(times.size()));
    QVERIFY(finishUpload(f));

    QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')));
    Nanoseconds pausesBefore{0};
    for (int i = 0; i < uploadWrites; ++i) {
        const Nanoseconds due = start + lineTime(2 * i, bitsPerSecond) + pausesBefore;
        QVERIFY2(times[i] >= due && times[i] < due + 1ms, qPrintable(QString::number(i)));
        if (i < 3)
            pausesBefore += pauses[i];
    }
    const Nanoseconds total = times.constLast() + lineTime(2, bitsPerSecond) - start;
    const Nanoseconds expected =
        lineTime(uploadBytes, bitsPerSecond) + lumivor::link::pictureUploadPauses;
    // Line times are whole nanoseconds, rounded down piece by piece.
    QVERIFY2(total > expected - 1us && total < expected + 1ms,
             qPrintable(QString::number(total.count())));

    QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isVisibleTo(f.window.get()));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(progress->value(), 0);
    QVERIFY(f.dialogs.messages.isEmpty());
}

// Other panels' buttons, a second Send, the response poll and Get ID are all
// refused while the upload holds the link; the poll resumes afterwards.
void PicturePanelTest::nothingElseReachesThePortDuringAnUpload()
{
    WindowFixture f;
    connectAt(f, 2);
    f.click("Command5");
    f.clock.advance(150); // past the header, into the data bytes
    f.port.queueInput("T:1,2!");
    f.find<QPlainTextEdit>("txtString1")->setPlainText(QStringLiteral("1,2"));
    for (const char* button : {"Command23", "Command27", "Command5", "Command1", "cmdGetID"})
        f.click(button);
    f.clock.advance(1000); // four poll periods
    QCOMPARE(f.text("Text7"), QString());
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')));
    QVERIFY(f.clock.advanceUntil([&] { return !f.text("Text7").isEmpty(); }, 1000));
    QCOMPARE(f.text("Text7"), QStringLiteral("T:1,2!"));
}

void PicturePanelTest::stoppingAnUpload_data()
{
    QTest::addColumn<Stop>("stop");
    QTest::addColumn<bool>("stops");      // after the write in progress
    QTest::addColumn<bool>("connected");  // afterwards
    QTest::addColumn<QString>("message"); // the one message shown; %n = writes done
    QTest::addColumn<QString>("status");  // status panel 3 afterwards
    const QString stopped = QStringLiteral("Picture upload stopped (%n of 1923)");
    const QString failed = QStringLiteral("Picture upload failed (%n of 1923)");
    const QString portFailed = QStringLiteral("The picture upload stopped after %n of 1923 "
                                              "writes.\nThe port failed (error 8021: I/O error).");
    const QString question = QStringLiteral("The picture upload is still running.\n"
                                            "Stop it and disconnect? ");
    QTest::newRow("Disconnect, Yes") << Stop::DisconnectYes << true << false << question << stopped;
    QTest::newRow("Disconnect, No")
        << Stop::DisconnectNo << false << true << question << QStringLiteral("Picture upload done");
    QTest::newRow("closing the window, Yes")
        << Stop::CloseWindow << true << false
        << QStringLiteral("The picture upload is still running.\nStop it and exit? ") << stopped;
    QTest::newRow("Cancel control") << Stop::Cancel << true << true << QString() << stopped;
    // The upload tells of a failing port itself, once; the connection's own
    // "lost" message stays away.
    QTest::newRow("a write fails") << Stop::WriteFails << true << false << portFailed << failed;
    QTest::newRow("the device goes away between writes")
        << Stop::HangUp << true << false << portFailed << failed;
}

void PicturePanelTest::stoppingAnUpload()
{
    QFETCH(Stop, stop);
    QFETCH(bool, stops);
    QFETCH(bool, connected);
    QFETCH(QString, message);
    QFETCH(QString, status);
    WindowFixture f;
    connectAt(f, 2);
    f.click("Command5");
    f.clock.advance(500);
    const qsizetype written = f.port.writes.size();
    QVERIFY(written > 3 && written < uploadWrites);
    const SerialPortError error(PortErrorCode::WriteFailed, QStringLiteral("I/O error"));
    switch (stop) {
    case Stop::DisconnectYes:
    case Stop::DisconnectNo:
        f.dialogs.answers << (stop == Stop::DisconnectYes ? Dialogs::Answer::Yes
                                                          : Dialogs::Answer::No);
        f.click("cmd_conecta");
        QCOMPARE(f.port.writes.size(), written);
        break;
    case Stop::CloseWindow:
        QVERIFY(f.window->close());
        break;
    case Stop::Cancel:
        f.click("cmdCancelOperation");
        break;
    case Stop::WriteFails:
        f.port.failWrites(error);
        break;
    case Stop::HangUp:
        f.port.hangUp(error);
        break;
    }
    f.clock.advance(10'000);
    QCOMPARE(f.port.writes.size(), stops ? written : uploadWrites);
    QCOMPARE(f.port.portOpen(), connected);
    if (stop != Stop::CloseWindow)
        QCOMPARE(f.text("cmd_conecta"),
                 connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isVisibleTo(f.window.get()));
    QVERIFY(!QApplication::overrideCursor());
    const QString count = QString::number(stops ? written : uploadWrites);
    QCOMPARE(f.status(3), QString(status).replace(QStringLiteral("%n"), count));
    QCOMPARE(f.dialogs.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(f.dialogs.messages.constFirst().text, QString(message).replace("%n", count));
    if (!connected)
        return;
    // The link is free again: a new Send starts over from the header.
    f.port.writes.clear();
    f.click("Command5");
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')));
}

QTEST_MAIN(PicturePanelTest)
#include "tst_picture_panel.moc"
