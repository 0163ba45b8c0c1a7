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
    void picturesArePackedEndToEnd_data();
    void picturesArePackedEndToEnd();
    void withoutAPictureTheWindowColourIsSent_data();
    void withoutAPictureTheWindowColourIsSent();
    void cancelledOrUnreadableFilesChangeNothing();
    void portClosedSendsNothing();
    void uploadIsPacedByTheLine_data();
    void uploadIsPacedByTheLine();
    void nothingElseReachesThePortDuringAnUpload();
    void disconnectDuringAnUpload_data();
    void disconnectDuringAnUpload();
    void cancelStopsTheUploadQuietly();
    void failingPortDuringAnUploadIsToldOnce_data();
    void failingPortDuringAnUploadIsToldOnce();
    void uploadIsAlways1923Writes();

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
    QTest::addColumn<QByteArray>("screen");

    QImage dot = filled(240, 64, Qt::white);
    dot.setPixel(5, 10, qRgb(0, 0, 0));
    QByteArray dotScreen = screenOf('\xff');
    dotScreen[245] = '\xfb';
    QTest::newRow("black dot at (5, 10)") << dot << "dot.bmp" << QByteArray("BMP") << dotScreen;
    QTest::newRow("bitmap named .jpg") << dot << "dot.jpg" << QByteArray("BMP") << dotScreen;

    QImage topRow = filled(240, 64, Qt::black);
    for (int x = 0; x < 240; ++x)
        topRow.setPixel(x, 0, qRgb(255, 255, 255));
    QByteArray topRowScreen = screenOf('\0');
    topRowScreen.replace(0, 240, QByteArray(240, '\x01'));
    QTest::newRow("white top row on black")
        << topRow << "row.bmp" << QByteArray("BMP") << topRowScreen;

    QImage large = filled(320, 240, Qt::white);
    large.setPixel(239, 63, qRgb(0, 0, 0)); // the last pixel of the screen
    large.setPixel(240, 0, qRgb(0, 0, 0));  // right of the screen
    large.setPixel(0, 64, qRgb(0, 0, 0));   // below it
    QByteArray largeScreen = screenOf('\xff');
    largeScreen[1919] = '\x7f';
    QTest::newRow("320 x 240 is cut") << large << "large.bmp" << QByteArray("BMP") << largeScreen;

    QImage grey = filled(240, 64, Qt::black);
    grey.setPixel(0, 0, qRgb(1, 1, 1));
    QByteArray greyScreen = screenOf('\0');
    greyScreen[0] = '\x01';
    QTest::newRow("grey 1,1,1 is lit") << grey << "grey.bmp" << QByteArray("BMP") << greyScreen;

    // The window colour (white) shows where a small picture does not reach.
    QImage small = filled(10, 10, Qt::black);
    QByteArray smallScreen = screenOf('\xff');
    smallScreen.replace(0, 10, QByteArray(10, '\0'));
    smallScreen.replace(240, 10, QByteArray(10, '\xfc'));
    QTest::newRow("small picture") << small << "small.bmp" << QByteArray("BMP") << smallScreen;

    // Whole 8 x 8 blocks of one shade survive JPEG compression exactly.
    QImage halves = filled(240, 64, Qt::black, QImage::Format_Grayscale8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 240; ++x)
            halves.setPixel(x, y, qRgb(255, 255, 255));
    QByteArray halvesScreen = screenOf('\0');
    halvesScreen.replace(0, 480, QByteArray(480, '\xff'));
    QTest::newRow("JPEG") << halves << "pages.jpg" << QByteArray("JPG") << halvesScreen;
    QTest::newRow("JPEG named .JPG") << halves << "PAGES.JPG" << QByteArray("JPG") << halvesScreen;
}

// Open File loads the picture into the preview; Send uploads the preview:
// 05 00, 12 00, 06 00, then 03 b for every byte.
void PicturePanelTest::picturesArePackedEndToEnd()
{
    QFETCH(QImage, picture);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, screen);
    const QString path = dir.filePath(fileName);
    QVERIFY(picture.save(path, format.constData(), 100));
    WindowFixture f;
    f.find<QWidget>("Frame12")->setPalette(QPalette(Qt::white, Qt::white));
    f.dialogs.fileNames << path;
    f.click("Command6");
    QCOMPARE(f.dialogs.filters.size(), 1);
    QVERIFY(f.dialogs.filters.constFirst().startsWith(
        "Bitmap (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg|All pictures (*.bmp *."));
    const QImage preview = f.find<QLabel>("picBox")->pixmap().toImage();
    QCOMPARE(preview.size(), QSize(240, 64));
    QCOMPARE(lumivor::protocol::packCanvas(preview), screen);

    f.port.setPortOpen(true);
    f.click("Command5");
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screen));
    QVERIFY(f.dialogs.messages.isEmpty());
}

void PicturePanelTest::withoutAPictureTheWindowColourIsSent_data()
{
    QTest::addColumn<QColor>("windowColour");
    QTest::addColumn<char>("byte");
    QTest::newRow("white") << QColor(Qt::white) << '\xff';
    QTest::newRow("black") << QColor(Qt::black) << '\0';
}

void PicturePanelTest::withoutAPictureTheWindowColourIsSent()
{
    QFETCH(QColor, windowColour);
    QFETCH(char, byte);
    WindowFixture f;
    QPalette palette;
    palette.setColor(QPalette::Base, windowColour);
    f.find<QWidget>("Frame12")->setPalette(palette);
    f.port.setPortOpen(true);
    f.click("Command5");
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screenOf(byte)));
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

void PicturePanelTest::portClosedSendsNothing()
{
    WindowFixture f;
    f.click("Command5");
    QVERIFY(!f.window->link().isBusy());
    f.clock.advance(10'000);
    QVERIFY(f.port.writes.isEmpty());
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

void PicturePanelTest::disconnectDuringAnUpload_data()
{
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::newRow("Yes stops it") << Dialogs::Answer::Yes;
    QTest::newRow("No lets it run") << Dialogs::Answer::No;
}

void PicturePanelTest::disconnectDuringAnUpload()
{
    QFETCH(Dialogs::Answer, answer);
    const bool stop = answer == Dialogs::Answer::Yes;
    WindowFixture f;
    connectAt(f, 2);
    f.click("Command5");
    f.clock.advance(500);
    const qsizetype writtenBefore = f.port.writes.size();
    QVERIFY(writtenBefore > 3 && writtenBefore < uploadWrites);
    f.dialogs.answers << answer;
    f.click("cmd_conecta");
    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto question = f.dialogs.messages.constFirst();
    QVERIFY(question.text.startsWith("The picture upload is still running"));
    QCOMPARE(question.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(f.port.writes.size(), writtenBefore);

    f.clock.advance(10'000);
    QCOMPARE(f.port.writes.size(), stop ? writtenBefore : uploadWrites);
    QCOMPARE(f.port.portOpen(), !stop);
    QCOMPARE(f.text("cmd_conecta"),
             stop ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
    QVERIFY(!f.window->link().isBusy());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(f.dialogs.messages.size(), 1);
}

void PicturePanelTest::cancelStopsTheUploadQuietly()
{
    WindowFixture f;
    connectAt(f, 2);
    f.click("Command5");
    f.clock.advance(300);
    const qsizetype written = f.port.writes.size();
    f.click("cmdCancelOperation");
    f.clock.advance(10'000);
    QCOMPARE(f.port.writes.size(), written);
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(f.status(3), QStringLiteral("Picture upload stopped (%1 of 1923)").arg(written));
    QVERIFY(f.port.portOpen());

    // The link is free again: a new Send starts over from the header.
    f.port.writes.clear();
    f.click("Command5");
    QVERIFY(finishUpload(f));
    QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')));
    QCOMPARE(f.status(3), QStringLiteral("Picture upload done"));
}

void PicturePanelTest::failingPortDuringAnUploadIsToldOnce_data()
{
    QTest::addColumn<bool>("hangUp"); // between writes rather than in one
    QTest::newRow("a write fails") << false;
    QTest::newRow("the device goes away between writes") << true;
}

// The upload tells the operator itself, once; the connection's own "lost"
// message stays away.
void PicturePanelTest::failingPortDuringAnUploadIsToldOnce()
{
    QFETCH(bool, hangUp);
    WindowFixture f;
    connectAt(f, 2);
    f.click("Command5");
    f.clock.advance(300);
    const qsizetype written = f.port.writes.size();
    const SerialPortError error(PortErrorCode::WriteFailed, QStringLiteral("Input/output error"));
    if (hangUp)
        f.port.hangUp(error);
    else
        f.port.failWrites(error);
    f.clock.advance(10'000);
    QCOMPARE(f.port.writes.size(), written);
    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto message = f.dialogs.messages.constFirst();
    QVERIFY2(
        message.text.startsWith(
            QStringLiteral("The picture upload stopped after %1 of 1923 writes.\n").arg(written)),
        qPrintable(message.text));
    QVERIFY(message.text.contains(QStringLiteral("Input/output error")));
    QCOMPARE(message.icon, Dialogs::Icon::Critical);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QVERIFY(!QApplication::overrideCursor());
}

void PicturePanelTest::uploadIsAlways1923Writes()
{
    using lumivor::link::pictureUploadWrites;
    const auto bytesOf = [](const QList<lumivor::link::PacedWrite>& writes) {
        Writes bytes;
        for (const auto& write : writes)
            bytes.append(write.bytes);
        return bytes;
    };
    QByteArray shortScreen("\x01\x02", 2);
    QByteArray padded = screenOf('\0');
    padded[0] = '\x01';
    padded[1] = '\x02';
    QCOMPARE(bytesOf(pictureUploadWrites(shortScreen)), uploadOf(padded));
    QCOMPARE(bytesOf(pictureUploadWrites(screenOf('\x55') + "extra")), uploadOf(screenOf('\x55')));
}

QTEST_MAIN(PicturePanelTest)
#include "tst_picture_panel.moc"
