// The long operations through the window: a picture packed from a file and
// uploaded at line speed against the clock, then stopped every way the
// operator can; flash backups and restores against a scripted controller,
// the block just finished on show, every early end told once, and the window
// at rest with the response poll running after every end.
#include "flashcontroller.h"
#include "protocol/picture.h"
#include "testsuite.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QToolButton>

using namespace std::chrono_literals;
using namespace lumivor;
using link::Dialogs;
using link::lineTime;
using link::Nanoseconds;
using protocol::packCanvas;
using testing::FlashController;
using testing::WindowFixture;

using Writes = QList<QByteArray>;

enum class Stop { DisconnectNo, CloseWindow, Cancel, HangUp };
Q_DECLARE_METATYPE(Stop)

namespace {

constexpr int uploadWrites = 1923;

QByteArray screenOf(char byte)
{
    return QByteArray(protocol::screenDataBytes, byte);
}

// 05 00, 12 00, 06 00, then 03 b for each byte.
Writes uploadOf(const QByteArray& screen)
{
    Writes writes{QByteArray("\x05\x00", 2), QByteArray("\x12\x00", 2), QByteArray("\x06\x00", 2)};
    for (const char byte : screen)
        writes.append(QByteArray(1, '\x03') + byte);
    return writes;
}

void connectAt(WindowFixture& f, int rateIndex)
{
    f.find<QComboBox>("cboBR")->setCurrentIndex(rateIndex);
    f.connect();
    f.port.writes.clear();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// The window connected at 115200 through a reply without "!", so the response
// poll did not run before the transfer.
struct FlashFixture : testing::WindowFixture
{
    FlashFixture()
    {
        find<QComboBox>("cboBR")->setCurrentIndex(8);
        connect("KESTRIN 240x64");
        port.writes.clear();
    }

    int progress() const { return find<QProgressBar>("ProgressBar1")->value(); }
    void start(const char* option, const QString& file)
    {
        dialogs.fileNames << file;
        find<QRadioButton>(option)->setChecked(true);
        click("cmdFlash");
    }
    // The window as every end of a transfer leaves it.
    void verifyAtRest(bool connected = true) const
    {
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(progress(), 0);
        QCOMPARE(status(3), QString());
        QVERIFY(find<QToolButton>("cmdCancelOperation")->isHidden());
        QCOMPARE(pollRuns(), connected);
        QCOMPARE(text("cmd_conecta"), QString::fromLatin1(connected ? "Disconnect" : "Connect"));
    }
};

// Escape is a shortcut of the window: it must be the active window.
void pressEscape(QWidget& window)
{
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
}

} // namespace

class TransferPanelsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void picturesArePacked_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("screen");
        QImage small(10, 10, QImage::Format_RGB32);
        small.fill(Qt::black);
        QByteArray smallScreen = screenOf('\xff'); // the white window colour around it
        smallScreen.replace(0, 10, QByteArray(10, '\0'));
        smallScreen.replace(240, 10, QByteArray(10, '\xfc'));
        QTest::newRow("small picture on the window colour") << small << "small.bmp" << smallScreen;
        // Whole 8 x 8 blocks of one shade survive JPEG compression exactly.
        QImage halves(240, 64, QImage::Format_RGB32);
        halves.fill(Qt::black);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 240; ++x)
                halves.setPixel(x, y, qRgb(255, 255, 255));
        QTest::newRow("JPEG named .JPG")
            << halves << "PAGES.JPG" << screenOf('\0').replace(0, 480, QByteArray(480, '\xff'));
        QTest::newRow("no picture, on a black window") << QImage() << "" << screenOf('\0');
    }

    // Open File loads the picture into the preview, on the window colour; a
    // cancelled dialog leaves it as it is, and so do a file that is no picture and
    // a missing one, each with a message that says why. Send uploads the preview.
    void picturesArePacked()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, screen);
        WindowFixture f;
        if (picture.isNull()) {
            QPalette palette;
            palette.setColor(QPalette::Base, Qt::black);
            f.find<QWidget>("Frame12")->setPalette(palette);
        }
        const QString path = dir.filePath(fileName);
        QFile notAPicture(dir.filePath("notes.bmp"));
        QVERIFY(notAPicture.open(QIODevice::WriteOnly) && notAPicture.write("notes") == 5);
        notAPicture.close();
        if (!picture.isNull())
            QVERIFY(picture.save(path, fileName.endsWith(".JPG") ? "JPG" : "BMP", 100));
        f.dialogs.fileNames << (picture.isNull() ? QString() : path) << QString()
                            << notAPicture.fileName() << dir.filePath("missing.bmp");
        for (int i = 0; i < 4; ++i)
            f.click("Command6");
        QCOMPARE(f.dialogs.messages.size(), 2);
        QVERIFY(f.dialogs.messages[0].text.endsWith("notes.bmp is not a picture (BMP, JPEG, PNG or "
                                                    "another format the console reads)."));
        QVERIFY(f.dialogs.messages[1].text.endsWith("missing.bmp does not exist."));
        QCOMPARE(packCanvas(f.find<QLabel>("picBox")->pixmap().toImage()), screen);
        f.port.setPortOpen(true);
        f.click("Command5");
        QVERIFY(f.runToEnd(20'000));
        QCOMPARE(f.port.writes, uploadOf(screen));
    }

    void theLcdPreviewIsWhatIsSentAtLineSpeed_data()
    {
        QTest::addColumn<int>("conversion"); // index in cboConversion
        QTest::newRow("exact, the default") << 0;
        QTest::newRow("brightness threshold") << 1;
        QTest::newRow("dithered") << 2;
    }

    // "On the LCD" shows a dark pixel for every 1 that Send uploads, whichever
    // conversion is chosen. Every write is due when the line has carried the
    // bytes before it, plus the pauses the controller needs after the positioning
    // commands (100 ms after 05 00, 10 ms after 12 00 and 06 00): never earlier
    // (the port's buffer would fill), never a clock tick later (the line would
    // idle). ProgressBar1 counts the writes, and the window offers Cancel.
    void theLcdPreviewIsWhatIsSentAtLineSpeed()
    {
        QFETCH(int, conversion);
        QImage gradient(240, 64, QImage::Format_RGB32);
        for (int x = 0; x < 240; ++x)
            for (int y = 0; y < 64; ++y)
                gradient.setPixel(x, y, qRgb(x, x, (x + y) % 256));
        const QString path = dir.filePath("gradient.png");
        QVERIFY(gradient.save(path, "PNG"));
        WindowFixture f;
        f.dialogs.fileNames << path;
        f.click("Command6");
        f.find<QComboBox>("cboConversion")->setCurrentIndex(conversion);
        QCOMPARE(f.find<QWidget>("sldThreshold")->isEnabled(), conversion == 1);
        connectAt(f, 8);
        QList<Nanoseconds> times;
        f.port.onOutput = [&](const QByteArray&) { times.append(f.clock.now()); };
        auto* progress = f.find<QProgressBar>("ProgressBar1");
        const Nanoseconds start = f.clock.now();
        f.click("Command5");
        QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isHidden());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QCOMPARE(progress->maximum(), uploadWrites);
        QVERIFY(f.clock.advanceUntil([&] { return times.size() > 1000; }, 20'000));
        QCOMPARE(progress->value(), int(times.size()));
        QVERIFY(f.runToEnd());

        const QImage lcd = f.find<QLabel>("picLcd")->pixmap().toImage();
        QByteArray shown(protocol::screenDataBytes, '\0');
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 240; ++x)
                if (qGray(lcd.pixel(x, y)) < 128) // dark: a 1
                    shown[(y / 8) * 240 + x] = char(shown[(y / 8) * 240 + x] | (1 << (y % 8)));
        QCOMPARE(f.port.writes, uploadOf(shown));
        QCOMPARE(shown == packCanvas(gradient), conversion == 0);
        Nanoseconds due = start;
        const Nanoseconds pauses[] = {100ms, 10ms, 10ms};
        for (int i = 0; i < uploadWrites;
             due += lineTime(2, 115200) + (i < 3 ? pauses[i] : 0ns), ++i)
            QVERIFY2(times[i] >= due && times[i] < due + 1ms, qPrintable(QString::number(i)));
        QVERIFY(f.find<QToolButton>("cmdCancelOperation")->isHidden());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(progress->value(), 0);
    }

    void stoppingAnUpload_data()
    {
        QTest::addColumn<Stop>("stop");
        QTest::addColumn<bool>("connected");  // afterwards
        QTest::addColumn<QString>("message"); // the one message shown; %n = writes done
        QTest::addColumn<QString>("status");  // status panel 3 afterwards
        const QString stopped = QStringLiteral("Picture upload stopped (%n of 1923)");
        QTest::newRow("Disconnect, No: it goes on")
            << Stop::DisconnectNo << true
            << "The picture upload is still running.\nStop it and disconnect? "
            << "Picture upload done";
        QTest::newRow("closing the window, Yes")
            << Stop::CloseWindow << false
            << "The picture upload is still running.\nStop it and exit? " << stopped;
        QTest::newRow("Cancel control") << Stop::Cancel << true << QString() << stopped;
        // The upload tells of a failing port itself, once; the connection adds nothing.
        QTest::newRow("the device goes away between writes")
            << Stop::HangUp << false
            << "The picture upload stopped after %n of 1923 writes.\nThe port failed (error 8021: "
               "I/O "
               "error)."
            << "Picture upload failed (%n of 1923)";
    }

    void stoppingAnUpload()
    {
        QFETCH(Stop, stop);
        QFETCH(bool, connected);
        const bool stops = stop != Stop::DisconnectNo; // after the write in progress
        QFETCH(QString, message);
        QFETCH(QString, status);
        WindowFixture f;
        connectAt(f, 2);
        f.click("Command5");
        // While the upload holds the link, nothing else reaches the port: other
        // panels' buttons, a second Send, Get ID, the response poll.
        f.clock.advance(150);
        f.port.queueInput("T:1,2!");
        f.find<QPlainTextEdit>("txtString1")->setPlainText(QStringLiteral("1,2"));
        for (const char* button : {"Command23", "Command27", "Command5", "Command1", "cmdGetID"})
            f.click(button);
        f.clock.advance(350); // past a poll period
        QCOMPARE(f.text("Text7"), QString());
        const qsizetype written = f.port.writes.size();
        f.dialogs.answers << (stop == Stop::DisconnectNo ? Dialogs::Answer::No
                                                         : Dialogs::Answer::Yes);
        if (stop == Stop::DisconnectNo)
            f.click("cmd_conecta");
        else if (stop == Stop::CloseWindow)
            QVERIFY(f.window->close());
        else if (stop == Stop::Cancel)
            f.click("cmdCancelOperation");
        else
            f.port.hangUp({link::PortErrorCode::WriteFailed, QStringLiteral("I/O error")});
        f.clock.advance(10'000);
        const QString count = QString::number(stops ? written : uploadWrites);
        QCOMPARE(f.port.writes.size(), stops ? written : uploadWrites);
        QCOMPARE(f.port.portOpen(), connected);
        QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isVisibleTo(f.window.get()));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f.status(3), QString(status).replace("%n", count));
        QStringList told;
        for (const auto& shown : f.dialogs.messages)
            told << shown.text;
        QCOMPARE(told,
                 message.isEmpty() ? QStringList() : QStringList{message.replace("%n", count)});
        QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')).mid(0, f.port.writes.size()));
        if (!connected)
            return;
        // The link is free again: the poll has resumed, and a new Send starts
        // over from the header.
        QCOMPARE(f.text("Text7"), QStringLiteral("T:1,2!"));
        f.port.writes.clear();
        f.click("Command5");
        QVERIFY(f.runToEnd());
        QCOMPARE(f.port.writes, uploadOf(screenOf('\xff')));
    }

    void saveWritesTheImageAndShowsEachBlock()
    {
        FlashFixture f;
        FlashController controller(f.port);
        const QString target = dir.filePath("backup.fls");
        writeFile(target, QByteArray(1'000'000, 'x')); // longer than an image
        // The window as each 29 goes out, right after its block was stored.
        QMap<int, std::pair<int, QString>> shownAt;
        f.port.onOutput = [&](const QByteArray& bytes) {
            if (bytes == QByteArray("\x29"))
                shownAt[controller.nextBlock - 1] = {f.progress(), f.status(3)};
            controller.heard(bytes);
        };
        f.start("optFlashCopy", target);
        QVERIFY(f.busy());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isHidden());
        QVERIFY(f.runToEnd());

        QCOMPARE(f.port.writes.size(), 1 + 2048);
        QVERIFY(contents(target) == controller.text);
        const QMap<int, QString> percent{
            {0, " 0%"}, {256, " 12%"}, {768, " 38%"}, {1024, " 50%"}, {2047, " 100%"}};
        for (auto it = percent.cbegin(); it != percent.cend(); ++it)
            QCOMPARE(shownAt.value(it.key()), std::pair(it.key(), it.value()));
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages.front().text, QStringLiteral("Memory transfer completed."));
        f.verifyAtRest();
    }

    void aTransferThatEndsEarlySaysWhere_data()
    {
        QTest::addColumn<bool>("load");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("why");
        QTest::newRow("save: time-out") << false << "silence"
                                        << "the controller sent nothing for 3.0 s.";
        QTest::newRow("save: Cancel") << false << "cancel"
                                      << "you cancelled it.";
        QTest::newRow("save: Escape") << false << "escape"
                                      << "you cancelled it.";
        QTest::newRow("save: port lost") << false << "hang-up"
                                         << "the port failed (error 8021: I/O error).";
        QTest::newRow("load: Cancel within a block") << true << "cancel"
                                                     << "you cancelled it.";
        QTest::newRow("load: no ready byte") << true << "silence"
                                             << "the controller sent no ready byte within 3.0 s.";
        QTest::newRow("load: port lost") << true << "hang-up"
                                         << "the port failed (error 8021: I/O error).";
    }

    // Stopped while block 4 is due, after the byte in progress. A save keeps the
    // old backup and the blocks so far in its .part; a load says how much of the
    // file went out. Either way, one message.
    void aTransferThatEndsEarlySaysWhere()
    {
        QFETCH(bool, load);
        QFETCH(QString, how);
        QFETCH(QString, why);
        FlashFixture f;
        FlashController controller(f.port);
        controller.silentAtBlock = how == QStringLiteral("silence") ? 3 : -1;
        const QString file = dir.filePath("file.fls");
        const QByteArray oldFile = testing::sampleFlashImage(11).toHex();
        writeFile(file, oldFile);

        f.start(load ? "optFlashLoad" : "optFlashCopy", file);
        // The stop comes within block 4 of a load, while block 4 of a save is due.
        QVERIFY(f.clock.advanceUntil(
            [&] {
                return load ? controller.received.size() >= (how == "silence" ? 720 : 820)
                            : f.progress() == 2;
            },
            10'000));
        if (how == QStringLiteral("cancel"))
            f.click("cmdCancelOperation");
        else if (how == QStringLiteral("escape"))
            pressEscape(*f.window);
        else if (how == QStringLiteral("hang-up"))
            f.port.hangUp(link::SerialPortError(link::PortErrorCode::WriteFailed,
                                                QStringLiteral("I/O error")));
        const qsizetype sent = controller.received.size();
        QVERIFY(f.runToEnd(10'000));
        f.clock.advance(1000);

        const QString stopped =
            QStringLiteral("The flash memory transfer stopped at block 4 of 2048: ") + why;
        QCOMPARE(f.dialogs.messages.size(), 1);
        if (load) {
            QCOMPARE(controller.received.size(), sent);
            QCOMPARE(sent % 240 == 0, how == QStringLiteral("silence"));
            QCOMPARE(f.dialogs.messages.front().text,
                     stopped +
                         QStringLiteral("\nThe controller's flash holds the first %1 of the %2 "
                                        "bytes of %3 and its former contents after them; write "
                                        "the file again before relying on the controller's "
                                        "fonts.")
                             .arg(QLocale().toString(sent), QLocale().toString(491'520), file));
        } else {
            QVERIFY(contents(file) == oldFile);
            QVERIFY(contents(file + ".part") == controller.text.left(protocol::blockOffset(3)));
            QCOMPARE(f.dialogs.messages.front().text,
                     stopped + QStringLiteral("\nThe 3 blocks received so far are in %1.part; %1 "
                                              "was not changed.")
                                   .arg(file));
        }
        f.verifyAtRest(how != QStringLiteral("hang-up"));
    }

    // A cancelled file dialog sends nothing and says nothing; a file that would
    // not load completely is refused with its reason before anything is sent.
    // Either way the response poll runs afterwards, as after every transfer.
    void nothingIsSentWithoutAFileToSend()
    {
        QByteArray text = testing::sampleFlashImage().toHex();
        text[983'039] = 'x';
        const QString bad = dir.filePath("bad.fls");
        writeFile(bad, text);
        for (const auto& [option, file] :
             {std::pair("optFlashCopy", QString()), std::pair("optFlashLoad", QString()),
              std::pair("optFlashLoad", bad)}) {
            FlashFixture f;
            QVERIFY(!f.pollRuns());
            f.start(option, file);
            f.clock.advance(1000);
            QVERIFY(f.port.writes.isEmpty());
            QCOMPARE(f.dialogs.filters, QStringList{QStringLiteral("Flash (*.fls)|*.fls|")});
            QCOMPARE(f.dialogs.messages.size(), file.isEmpty() ? 0 : 1);
            if (!file.isEmpty())
                QCOMPARE(f.dialogs.messages.front().text,
                         file + " cannot be loaded into the controller: at offset 983039 the file "
                                "holds \"x\" (0x78) where a hexadecimal digit belongs.\nNothing "
                                "was sent.");
            f.verifyAtRest();
        }
    }

private:
    QTemporaryDir dir;
};

LUMIVOR_TEST(TransferPanelsTest)
#include "tst_transfer_panels.moc"
