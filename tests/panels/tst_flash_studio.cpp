// The flash image window through its own controls: screen edits and their
// undo, the fonts' question, a comparison, saving through a part file, the
// question about unsaved edits, and a write read back to verify against a
// scripted controller; and the flash panel's "Verify after writing".
#include "flashcontroller.h"
#include "panels/memory/flashstudio.h"
#include "panels/memory/screengrid.h"
#include "protocol/flashimage.h"
#include "protocol/picture.h"
#include "testsuite.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

using namespace lumivor;
using link::Dialogs;
using panels::FlashStudio;
using panels::ScreenGrid;
using protocol::flashImageBytes;
using protocol::flashScreenBytes;
using testing::sampleFlashImage;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString writeImage(const QString& path, const QByteArray& image)
{
    QFile file(path);
    const QByteArray text = image.toHex();
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? path : QString();
}

QByteArray screenOf(const QByteArray& image, int screen)
{
    return image.mid(qsizetype(screen) * flashScreenBytes, flashScreenBytes);
}

// The scripted controller, which also keeps what a write gives it and sends
// it back on the next read, with one bit changed at `flipAt` if asked.
struct RememberingFlash : testing::FlashController
{
    explicit RememberingFlash(testing::FakeSerialPort& port)
        : FlashController(port, QByteArray(flashImageBytes, '\0'))
    {
        port.onOutput = [this](const QByteArray& bytes) {
            heard(bytes);
            if (writing && received.size() == flashImageBytes) {
                writing = false;
                QByteArray kept = std::exchange(received, {});
                if (flipAt >= 0)
                    kept[flipAt] = char(kept[flipAt] ^ 1);
                text = kept.toHex();
            }
        };
    }
    qsizetype flipAt = -1;
};

struct StudioFixture : testing::WindowFixture
{
    StudioFixture()
    {
        find<QAction>("mnuFlashImage")->trigger();
        studio = window->findChild<FlashStudio*>();
    }

    template<typename T> T* in(const char* name) const
    {
        return studio->findChild<T*>(QString::fromLatin1(name));
    }
    void act(const char* name) const { in<QAction>(name)->trigger(); }
    void press(const char* name) const
    {
        QTest::mouseClick(in<QAbstractButton>(name), Qt::LeftButton);
    }
    void select(int screen) const
    {
        auto* grid = in<ScreenGrid>("screenGrid");
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(screen).center());
        QCOMPARE(studio->selectedScreen(), screen);
    }
    void open(const QString& path)
    {
        dialogs.fileNames << path;
        act("actOpen");
    }
    QByteArray image() const { return studio->screens().image(); }

    FlashStudio* studio = nullptr;
};

} // namespace

class FlashStudioTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        sample = writeImage(dir.filePath("sample.fls"), sampleFlashImage());
        QImage image(100, 64, QImage::Format_RGB32);
        image.fill(Qt::black);
        for (int x = 0; x < 100; x += 3)
            for (int y = 0; y < 64; ++y)
                image.setPixel(x, y, qRgb(90, 90, 90)); // dark grey: 1 exactly, 0 by threshold
        picture = dir.filePath("stripes.png");
        QVERIFY(image.save(picture, "PNG"));
        pictureScreen = protocol::packCanvas(protocol::canvasFromPicture(image, Qt::black));
    }

    void editsAreUndoneAndRedone_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("screen"); // selected
        QTest::addColumn<int>("target"); // the screen that changes
        QTest::addColumn<bool>("declined");
        QTest::newRow("replace from a picture") << "replace" << 10 << 10 << false;
        QTest::newRow("clear") << "clear" << 20 << 20 << false;
        QTest::newRow("copy onto another screen") << "copy" << 7 << 30 << false;
        QTest::newRow("screen 0 asks nothing") << "clear" << 0 << 0 << false;
        QTest::newRow("replace a font screen, declined") << "replace" << 3 << 3 << true;
        QTest::newRow("clear a font screen, accepted") << "clear" << 1 << 1 << false;
        QTest::newRow("copy onto a font screen, declined") << "copy" << 9 << 5 << true;
    }

    // Each edit changes exactly its screen and marks the window modified; undo
    // brings the image back as it was opened (unmodified), redo the edit again.
    // A fonts' screen is changed only after the screen store's question.
    void editsAreUndoneAndRedone()
    {
        QFETCH(QString, edit);
        QFETCH(int, screen);
        QFETCH(int, target);
        QFETCH(bool, declined);
        StudioFixture f;
        f.open(sample);
        const QByteArray original = f.image();
        f.select(screen);
        QByteArray expected;
        if (edit == "replace") {
            f.dialogs.fileNames << picture;
            f.press("cmdReplace");
            QVERIFY(f.in<QWidget>("fraImport")->isVisible());
            // By a threshold below the grey, black is dark and the grey light;
            // beyond the picture the screen stays blank either way.
            f.in<QComboBox>("cboConversion")->setCurrentIndex(1);
            f.in<QSlider>("sldThreshold")->setValue(60);
            QByteArray byThreshold(flashScreenBytes, '\0');
            for (int i = 0; i < flashScreenBytes; ++i)
                byThreshold[i] = i % 240 < 100 && i % 3 != 0 ? '\xff' : '\0';
            QCOMPARE(f.in<panels::LcdView>("picImport")->screen(), byThreshold);
            f.in<QComboBox>("cboConversion")->setCurrentIndex(0);
            QCOMPARE(f.in<panels::LcdView>("picImport")->screen(), pictureScreen);
            QCOMPARE(f.image(), original); // only a preview so far
            expected = pictureScreen;
        } else if (edit == "clear") {
            expected = QByteArray(flashScreenBytes, '\0');
        } else {
            f.in<QSpinBox>("spnCopyTo")->setValue(target);
            expected = screenOf(original, screen);
        }
        f.dialogs.answers << (declined ? Dialogs::Answer::No : Dialogs::Answer::Yes);
        f.press(edit == "replace" ? "cmdApplyImport" : edit == "clear" ? "cmdClear" : "cmdCopy");

        QCOMPARE(f.dialogs.messages.size(), protocol::isFontScreen(target) ? 1 : 0);
        if (protocol::isFontScreen(target))
            QCOMPARE(f.dialogs.messages.front().text,
                     QStringLiteral("Screens 1-5 are used for fonts storage. Are you sure you want "
                                    "to replace screen # %1? ")
                         .arg(target));
        if (declined) {
            QCOMPARE(f.image(), original);
            QVERIFY(!f.studio->isWindowModified());
            return;
        }
        const auto changed = protocol::differingScreens(original, f.image());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.front().screen, target);
        QCOMPARE(screenOf(f.image(), target), expected);
        QCOMPARE(f.in<panels::LcdView>("picSelected")->screen(), expected);
        QVERIFY(f.studio->isWindowModified());
        const QByteArray edited = f.image();
        f.act("actUndo");
        QCOMPARE(f.image(), original);
        QVERIFY(!f.studio->isWindowModified());
        f.act("actRedo");
        QCOMPARE(f.image(), edited);
        QCOMPARE(f.dialogs.messages.size(), protocol::isFontScreen(target) ? 1 : 0); // asked once
    }

    // A damaged .fls and a file that is no picture: told why, and nothing changes.
    void badFilesAreRefusedWithTheirReason()
    {
        QByteArray text = sampleFlashImage(3).toHex();
        text[1000] = 'g';
        const QString bad = dir.filePath("bad.fls");
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        StudioFixture f;
        f.open(sample);
        f.open(bad);
        f.dialogs.fileNames << bad;
        f.press("cmdReplace");
        QCOMPARE(f.image(), sampleFlashImage());
        QVERIFY(f.in<QWidget>("fraImport")->isHidden());
        QCOMPARE(f.dialogs.messages.size(), 2);
        QVERIFY2(
            f.dialogs.messages[0].text.startsWith(bad + " cannot be opened as a flash image") &&
                f.dialogs.messages[0].text.contains("offset 1000"),
            qPrintable(f.dialogs.messages[0].text));
        QVERIFY2(f.dialogs.messages[1].text.contains("is not a picture"),
                 qPrintable(f.dialogs.messages[1].text));
        QCOMPARE(f.studio->filePath(), sample);
    }

    // The screens that differ are marked with their byte counts, and follow the
    // edits; the selected screen of the other image shows beside this one.
    void comparisonMarksTheDifferingScreens()
    {
        QByteArray other = sampleFlashImage();
        other[5] = char(other[5] ^ 0x10);                                         // screen 0
        other[9 * flashScreenBytes + 4] = char(~other[9 * flashScreenBytes + 4]); // screen 9
        other[9 * flashScreenBytes + 5] = char(~other[9 * flashScreenBytes + 5]);
        other[flashImageBytes - 1] = char(~other[flashImageBytes - 1]); // screen 255
        const QString otherPath = writeImage(dir.filePath("other.fls"), other);
        StudioFixture f;
        f.open(sample);
        f.dialogs.fileNames << otherPath;
        f.act("actCompare");
        auto* grid = f.in<ScreenGrid>("screenGrid");
        const QList<int> marked{0, 9, 255};
        for (int screen = 0; screen < protocol::flashScreenCount; ++screen)
            QCOMPARE(grid->differingBytes(screen), screen == 9               ? 2
                                                   : marked.contains(screen) ? 1
                                                                             : 0);
        QCOMPARE(f.in<QLabel>("lblDifferences")->text(),
                 QStringLiteral("3 screens differ from other.fls: 0, 9 and 255 (4 bytes)."));
        f.select(9);
        QCOMPARE(f.in<panels::LcdView>("picCompared")->screen(), screenOf(other, 9));
        QCOMPARE(f.in<panels::LcdView>("picSelected")->screen(), screenOf(sampleFlashImage(), 9));
        f.select(255);
        f.in<QSpinBox>("spnCopyTo")->setValue(0); // screen 255 becomes a copy of itself elsewhere
        f.press("cmdCopy");
        QCOMPARE(grid->differingBytes(0),
                 int(protocol::differingScreens(other, f.image()).front().bytes));
        f.act("actEndCompare");
        QCOMPARE(grid->differingBytes(9), 0);
        QVERIFY(f.in<QWidget>("picCompared")->isHidden());
    }

    // A save that fails leaves the file it would replace as it was and the
    // edits unsaved; one that works writes the image and clears the marker.
    void saveGoesThroughAPartFile()
    {
        const QString target = writeImage(dir.filePath("good.fls"), sampleFlashImage(5));
        const QByteArray good = contents(target);
        QVERIFY(QDir().mkdir(target + ".part")); // in the part file's way
        StudioFixture f;
        f.open(sample);
        f.select(40);
        f.press("cmdClear");
        f.dialogs.fileNames << target;
        f.act("actSaveAs");
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages.front().text.startsWith("The flash image was not saved: "));
        QCOMPARE(contents(target), good);
        QVERIFY(f.studio->isWindowModified());
        QCOMPARE(f.studio->filePath(), sample);

        QVERIFY(QDir().rmdir(target + ".part"));
        f.dialogs.fileNames << target;
        f.act("actSaveAs");
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(contents(target), f.image().toHex());
        QVERIFY(!f.studio->isWindowModified());
        QVERIFY(f.studio->windowTitle().startsWith("good.fls[*]"));
        QVERIFY(!QFile::exists(target + ".part"));
    }

    void unsavedEditsAreAskedAbout_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<bool>("goesOn"); // the window closes, or the new image comes
        QTest::newRow("close, Cancel") << "actClose" << true << Dialogs::Answer::Cancel << false;
        QTest::newRow("close, Discard") << "actClose" << true << Dialogs::Answer::Discard << true;
        QTest::newRow("close, Save") << "actClose" << true << Dialogs::Answer::Save << true;
        QTest::newRow("close unedited: no question")
            << "actClose" << false << Dialogs::Answer::Cancel << true;
        QTest::newRow("New, Cancel") << "actNew" << true << Dialogs::Answer::Cancel << false;
        QTest::newRow("New, Discard") << "actNew" << true << Dialogs::Answer::Discard << true;
    }

    void unsavedEditsAreAskedAbout()
    {
        QFETCH(QString, action);
        QFETCH(bool, edited);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(bool, goesOn);
        const QString path = writeImage(dir.filePath("edited.fls"), sampleFlashImage());
        StudioFixture f;
        f.open(path);
        if (edited)
            f.press("cmdClear");
        const QByteArray image = f.image();
        f.dialogs.answers << answer;
        f.act(qPrintable(action));
        QCOMPARE(f.dialogs.messages.size(), edited ? 1 : 0);
        if (edited)
            QCOMPARE(f.dialogs.messages.front().buttons, Dialogs::Buttons::SaveDiscardCancel);
        QCOMPARE(contents(path),
                 (answer == Dialogs::Answer::Save ? image : sampleFlashImage()).toHex());
        if (action == "actClose") {
            QCOMPARE(f.studio->isVisible(), !goesOn);
            return;
        }
        QCOMPARE(f.image(), goesOn ? QByteArray(flashImageBytes, '\0') : image);
    }

    // Written with "Verify after writing": the image goes out while nothing else
    // may, is read back, and a one-bit difference is named with its screen.
    void writeReadBackNamesTheDifferingScreen()
    {
        StudioFixture f;
        f.find<QComboBox>("cboBR")->setCurrentIndex(8);
        f.connect("KESTRIN 240x64");
        RememberingFlash controller(f.port);
        controller.flipAt = 77 * flashScreenBytes + 300;
        f.open(sample);
        f.in<QCheckBox>("chkVerify")->setChecked(true);
        f.act("actWrite");
        QVERIFY(f.busy());
        QVERIFY(!f.in<QAction>("actRead")->isEnabled());
        QVERIFY(!f.window->link().send(QByteArray("\x0e", 1))); // the lease holds
        QVERIFY(f.runToEnd());
        QByteArray held = sampleFlashImage();
        held[controller.flipAt] = char(held[controller.flipAt] ^ 1);
        QCOMPARE(controller.text, held.toHex());
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(
            f.dialogs.messages.front().text,
            QStringLiteral("The controller's flash was read back and differs from the image in "
                           "screen 77 (1 byte)."));
        QVERIFY(f.in<QAction>("actRead")->isEnabled());
    }

    void thePanelVerifiesOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<QString>("message");
        QTest::newRow("off: as before") << false << "Memory transfer completed.";
        QTest::newRow("on: read back")
            << true << "The controller's flash was read back and holds the image: verified.";
    }

    void thePanelVerifiesOnlyWhenAsked()
    {
        QFETCH(bool, verify);
        QFETCH(QString, message);
        testing::WindowFixture f;
        f.find<QComboBox>("cboBR")->setCurrentIndex(8);
        f.connect("KESTRIN 240x64");
        RememberingFlash controller(f.port);
        QVERIFY(!f.find<QCheckBox>("chkVerify")->isChecked());
        f.find<QCheckBox>("chkVerify")->setChecked(verify);
        f.dialogs.fileNames << sample;
        f.find<QRadioButton>("optFlashLoad")->setChecked(true);
        f.click("cmdFlash");
        QVERIFY(f.runToEnd());
        QCOMPARE(f.port.writes.contains(QByteArray("\x29\x01")), verify);
        QCOMPARE(controller.text, sampleFlashImage().toHex());
        QCOMPARE(f.dialogs.messages.size(), 1);
        QCOMPARE(f.dialogs.messages.front().text, message);
    }

private:
    QTemporaryDir dir;
    QString sample;
    QString picture;
    QByteArray pictureScreen; // the picture by the exact rule
};

LUMIVOR_TEST(FlashStudioTest)
#include "tst_flash_studio.moc"
