// "Flash" in the Memory frame through the real window: a whole Save and Load
// against a scripted controller, what the window shows while it runs and
// after, and every early end leaving the old backup as it was.
#include "flashcontroller.h"
#include "link/linkservice.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace lumivor;
using link::Dialogs;
using testing::FlashController;

namespace {

const QString filter = QStringLiteral("Flash (*.fls)|*.fls|");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The window connected at 115200 with the response poll running, a scripted
// controller on the port, and a folder for the files.
struct FlashFixture : testing::WindowFixture
{
    FlashFixture()
    {
        find<QComboBox>("cboBR")->setCurrentIndex(8);
        connectWithPoll();
        port.writes.clear();
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    bool busy() const { return window->link().isBusy(); }
    int progress() const { return find<QProgressBar>("ProgressBar1")->value(); }
    bool runToEnd(int limitMs = 120'000)
    {
        return clock.advanceUntil([this] { return !busy(); }, limitMs);
    }
    void save(const QString& target)
    {
        dialogs.fileNames << target;
        find<QRadioButton>("optFlashCopy")->setChecked(true);
        click("cmdFlash");
    }
    void load(const QString& source)
    {
        dialogs.fileNames << source;
        find<QRadioButton>("optFlashLoad")->setChecked(true);
        click("cmdFlash");
    }
    // The window as it is after every end of a transfer.
    void verifyAtRest(bool pollRuns = true) const
    {
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(progress(), 0);
        QCOMPARE(status(3), QString());
        QVERIFY(find<QToolButton>("cmdCancelOperation")->isHidden());
        QCOMPARE(timer("Timer2")->isActive(), pollRuns);
    }

    QTemporaryDir dir;
};

// Escape is a shortcut of the window: it must be the active window.
void pressEscape(QWidget& window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
}

QList<QByteArray> readRequests(int blocks)
{
    QList<QByteArray> writes{QByteArray("\x29\x01")};
    for (int i = 0; i < blocks; ++i)
        writes.append(QByteArray("\x29"));
    return writes;
}

} // namespace

class FlashPanelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void saveWritesExactlyTheImageAndShowsEachBlock();
    void loadSendsBackWhatSaveReceived();
    void anEarlyEndKeepsTheOldBackupAndSaysWhere_data();
    void anEarlyEndKeepsTheOldBackupAndSaysWhere();
    void aLoadThatStopsSaysHowMuchOfTheFileWasSent_data();
    void aLoadThatStopsSaysHowMuchOfTheFileWasSent();
    void fileErrorsAreReportedOnceAndKeepTheTarget();
    void aFileThatWouldNotLoadIsRefusedBeforeAnythingIsSent_data();
    void aFileThatWouldNotLoadIsRefusedBeforeAnythingIsSent();
    void nothingElseReachesThePortDuringATransfer();
    void disconnectAsksAndStopsTheTransferCleanly();
    void cancelledDialogOrClosedPortSendNothing();
};

void FlashPanelTest::saveWritesExactlyTheImageAndShowsEachBlock()
{
    FlashFixture f;
    FlashController controller(f.port);
    const QString target = f.path("backup.fls");
    writeFile(target, QByteArray(1'000'000, 'x')); // longer than an image
    // The window as each 29 goes out, right after its block was stored.
    QMap<int, QString> percentAt;
    QMap<int, int> barAt;
    f.port.onOutput = [&](const QByteArray& bytes) {
        if (bytes == QByteArray("\x29")) {
            percentAt[controller.nextBlock - 1] = f.status(3);
            barAt[controller.nextBlock - 1] = f.progress();
        }
        controller.heard(bytes);
    };
    QString statusDuringMessage;
    f.dialogs.whileShown = [&](const auto&) { statusDuringMessage = f.status(3); };

    f.save(target);
    QCOMPARE(f.dialogs.filters, QStringList{filter});
    QVERIFY(f.busy());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QVERIFY(!f.find<QToolButton>("cmdCancelOperation")->isHidden());
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.runToEnd());

    QCOMPARE(f.port.writes, readRequests(2048));
    const QByteArray saved = contents(target);
    QCOMPARE(saved.size(), qsizetype(983'040));
    QVERIFY(saved == controller.text);
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    const QMap<int, QString> expected{
        {0, " 0%"}, {256, " 12%"}, {768, " 38%"}, {1024, " 50%"}, {2047, " 100%"}};
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QCOMPARE(percentAt.value(it.key()), it.value());
        QCOMPARE(barAt.value(it.key()), it.key());
    }
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.front().text, QStringLiteral("Memory transfer completed."));
    QCOMPARE(f.dialogs.messages.front().title, QStringLiteral("Lumivor 240x64"));
    QCOMPARE(f.dialogs.messages.front().icon, Dialogs::Icon::Information);
    QCOMPARE(f.dialogs.messages.front().buttons, Dialogs::Buttons::Ok);
    QCOMPARE(statusDuringMessage, QStringLiteral(" 100%"));
    f.verifyAtRest();
}

void FlashPanelTest::loadSendsBackWhatSaveReceived()
{
    FlashFixture f;
    const QByteArray image = testing::sampleFlashImage(5);
    FlashController controller(f.port, image);
    const QString file = f.path("round.fls");
    f.save(file);
    QVERIFY(f.runToEnd());
    f.port.writes.clear();
    f.dialogs.messages.clear();

    f.load(file);
    QVERIFY(f.busy());
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.runToEnd());
    QCOMPARE(f.port.writes.size(), 1 + 491'520);
    QCOMPARE(f.port.writes.front(), QByteArray("\x29\x02"));
    QCOMPARE(f.port.writes.mid(1, 3),
             (QList<QByteArray>{QByteArray("\xff"), QByteArray("\x0a"), QByteArray("\xa0")}));
    QVERIFY(controller.received == image);
    QCOMPARE(f.find<QPlainTextEdit>("txtBuffer")->toPlainText(), QStringLiteral(">"));
    QCOMPARE(f.text("Text10"), QStringLiteral("983038"));
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.front().text, QStringLiteral("Memory transfer completed."));
    f.verifyAtRest();
}

void FlashPanelTest::anEarlyEndKeepsTheOldBackupAndSaysWhere_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("icon");
    const int exclamation = int(Dialogs::Icon::Exclamation);
    const int critical = int(Dialogs::Icon::Critical);
    QTest::newRow("time-out") << "silence"
                              << "the controller sent nothing for 3.0 s." << exclamation;
    QTest::newRow("Cancel control") << "cancel"
                                    << "you cancelled it." << exclamation;
    QTest::newRow("Escape") << "escape"
                            << "you cancelled it." << exclamation;
    QTest::newRow("surplus character")
        << "surplus"
        << "the controller sent 481 characters where a block holds 480." << critical;
    QTest::newRow("port lost") << "hang-up"
                               << "the port failed (error 8020: Error reading comm device)."
                               << critical;
    QTest::newRow("not flash data")
        << "bad digit"
        << "the controller sent a block that is not flash data: at offset 17 the block holds "
           "\"G\" (0x47) where a hexadecimal digit belongs."
        << critical;
}

void FlashPanelTest::anEarlyEndKeepsTheOldBackupAndSaysWhere()
{
    QFETCH(QString, how);
    QFETCH(QString, why);
    QFETCH(int, icon);
    FlashFixture f;
    FlashController controller(f.port);
    if (how == QStringLiteral("silence"))
        controller.silentAtBlock = 37;
    if (how == QStringLiteral("surplus"))
        controller.surplusAtBlock = 37;
    if (how == QStringLiteral("bad digit"))
        controller.text[protocol::blockOffset(37) + 17] = 'G';
    const QString target = f.path("backup.fls");
    const QByteArray oldBackup = testing::sampleFlashImage(11).toHex();
    writeFile(target, oldBackup);

    f.save(target);
    // Block 36 is the 37th: what happens next happens while block 37 is due.
    QVERIFY(f.clock.advanceUntil([&] { return f.progress() == 36; }, 10'000));
    if (how == QStringLiteral("cancel"))
        f.click("cmdCancelOperation");
    else if (how == QStringLiteral("escape"))
        pressEscape(*f.window);
    else if (how == QStringLiteral("hang-up"))
        f.port.hangUp(link::SerialPortError(link::PortErrorCode::ReadFailed,
                                            QStringLiteral("Error reading comm device")));
    QVERIFY(f.runToEnd(10'000));

    QVERIFY(contents(target) == oldBackup);
    QVERIFY(contents(target + QStringLiteral(".part")) ==
            controller.text.left(protocol::blockOffset(37)));
    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto& told = f.dialogs.messages.front();
    QCOMPARE(told.text, QStringLiteral("The flash memory transfer stopped at block 38 of 2048: ") +
                            why + QStringLiteral("\nThe 37 blocks received so far are in ") +
                            target + QStringLiteral(".part; ") + target +
                            QStringLiteral(" was not changed."));
    QCOMPARE(told.title, QStringLiteral("Lumivor 240x64"));
    QCOMPARE(int(told.icon), icon);
    const bool lost = how == QStringLiteral("hang-up");
    f.verifyAtRest(!lost);
    QCOMPARE(f.text("cmd_conecta"),
             lost ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
}

void FlashPanelTest::aLoadThatStopsSaysHowMuchOfTheFileWasSent_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("sent"); // data bytes written before it is stopped
    QTest::addColumn<QString>("why");
    QTest::newRow("Cancel within a block") << "cancel" << 3 * 240 + 100 << "you cancelled it.";
    QTest::newRow("no ready byte")
        << "silence" << 3 * 240 << "the controller sent no ready byte within 3.0 s.";
    QTest::newRow("port lost") << "hang-up" << 3 * 240 + 100
                               << "the port failed (error 8021: Write failed).";
}

// Cancel stops after the byte in progress: nothing follows it on the line.
void FlashPanelTest::aLoadThatStopsSaysHowMuchOfTheFileWasSent()
{
    QFETCH(QString, how);
    QFETCH(int, sent);
    QFETCH(QString, why);
    FlashFixture f;
    FlashController controller(f.port);
    if (how == QStringLiteral("silence"))
        controller.silentAtBlock = 3;
    const QString file = f.path("image.fls");
    writeFile(file, testing::sampleFlashImage().toHex());
    f.load(file);
    QVERIFY(f.clock.advanceUntil([&] { return controller.received.size() >= sent; }, 10'000));
    if (how == QStringLiteral("cancel"))
        f.click("cmdCancelOperation");
    else if (how == QStringLiteral("hang-up"))
        f.port.hangUp(link::SerialPortError(link::PortErrorCode::WriteFailed,
                                            QStringLiteral("Write failed")));
    const qsizetype atStop = controller.received.size();
    QVERIFY(f.runToEnd(10'000));
    f.clock.advance(1000);

    QCOMPARE(controller.received.size(), atStop);
    QCOMPARE(atStop % 240 == 0, how == QStringLiteral("silence"));
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.front().text,
             QStringLiteral("The flash memory transfer stopped at block 4 of 2048: %1\nThe "
                            "controller's flash holds the first %2 of the %3 bytes of %4 and its "
                            "former contents after them; write the file again before relying on "
                            "the controller's fonts.")
                 .arg(why, QLocale().toString(atStop), QLocale().toString(491'520), file));
    f.verifyAtRest(how != QStringLiteral("hang-up"));
}

// Tests run with every permission: the failures come from paths that no
// permission can fix.
void FlashPanelTest::fileErrorsAreReportedOnceAndKeepTheTarget()
{
    FlashFixture f;
    FlashController controller(f.port);
    // A folder in the target's place: every block arrives, the rename fails.
    const QString folder = f.path("taken.fls");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
    f.save(folder);
    QVERIFY(f.runToEnd());
    QCOMPARE(f.dialogs.messages.size(), 1);
    const QString told = f.dialogs.messages.back().text;
    QVERIFY2(told.startsWith(QStringLiteral("The flash memory transfer stopped at block 2048 of "
                                            "2048: %1.part could not replace %1 (")
                                 .arg(folder)),
             qPrintable(told));
    QVERIFY2(told.endsWith(QStringLiteral("The 2048 blocks received so far are in %1.part; %1 was "
                                          "not changed.")
                               .arg(folder)),
             qPrintable(told));
    QVERIFY(contents(folder + QStringLiteral(".part")) == controller.text);
    QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());
    f.verifyAtRest();
}

void FlashPanelTest::aFileThatWouldNotLoadIsRefusedBeforeAnythingIsSent_data()
{
    const QByteArray text = testing::sampleFlashImage().toHex();
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::addColumn<QString>("reason");
    QByteArray badDigit = text;
    badDigit[983'039] = 'x';
    QTest::newRow("last character no digit")
        << badDigit
        << "at offset 983039 the file holds \"x\" (0x78) where a hexadecimal digit belongs.";
    QTest::newRow("one block short") << text.left(983'040 - 480)
                                     << "the file holds 982560 bytes, fewer than the 983040 of a "
                                        "flash image: its data runs out at offset 982560.";
    QTest::newRow("empty") << QByteArray()
                           << "the file holds 0 bytes, fewer than the 983040 of a flash image: "
                              "its data runs out at offset 0.";
}

void FlashPanelTest::aFileThatWouldNotLoadIsRefusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, fileBytes);
    QFETCH(QString, reason);
    FlashFixture f;
    FlashController controller(f.port);
    const QString file = f.path("bad.fls");
    writeFile(file, fileBytes);

    f.load(file);
    f.clock.advance(1000);
    QVERIFY(f.port.writes.isEmpty());
    QVERIFY(!f.busy());
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.front().text,
             file + QStringLiteral(" cannot be loaded into the controller: ") + reason +
                 QStringLiteral("\nNothing was sent."));
    QCOMPARE(f.dialogs.messages.front().icon, Dialogs::Icon::Critical);
    f.verifyAtRest();
}

// The lease keeps every other sender, a second "OK", Get ID and the
// response poll off the port until the transfer has ended.
void FlashPanelTest::nothingElseReachesThePortDuringATransfer()
{
    FlashFixture f;
    FlashController controller(f.port);
    f.save(f.path("b.fls"));
    QVERIFY(f.clock.advanceUntil([&] { return f.progress() == 10; }, 10'000));
    for (const char* button : {"Command28", "Command11", "cmdOk", "cmdGetID", "cmdFlash"})
        f.click(button);
    QCOMPARE(f.dialogs.filters.size(), 1); // the second "OK" asked nothing
    QVERIFY(f.runToEnd());
    QCOMPARE(f.port.writes, readRequests(2048));
    QCOMPARE(f.dialogs.messages.size(), 1);
}

void FlashPanelTest::disconnectAsksAndStopsTheTransferCleanly()
{
    FlashFixture f;
    FlashController controller(f.port);
    const QString target = f.path("b.fls");
    f.save(target);
    QVERIFY(f.clock.advanceUntil([&] { return f.progress() == 4; }, 10'000));

    f.dialogs.answers = {Dialogs::Answer::No};
    f.click("cmd_conecta");
    QVERIFY(f.busy());
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.front().text,
             QStringLiteral("The flash memory transfer is still running.\nStop it and "
                            "disconnect? "));

    f.click("cmd_conecta"); // Yes
    QVERIFY(!f.busy());
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.dialogs.messages.size(), 3);
    QVERIFY2(f.dialogs.messages.at(2).text.startsWith(
                 QStringLiteral("The flash memory transfer stopped at block 6 of 2048: you "
                                "cancelled it.\nThe 5 blocks received so far are in ")),
             qPrintable(f.dialogs.messages.at(2).text));
    QVERIFY(!QFile::exists(target));
    const qsizetype written = f.port.writes.size();
    f.clock.advance(5000);
    QCOMPARE(f.port.writes.size(), written);
    f.verifyAtRest(false);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
}

void FlashPanelTest::cancelledDialogOrClosedPortSendNothing()
{
    FlashFixture f;
    FlashController controller(f.port);
    f.click("cmdFlash"); // the dialog is cancelled: no file name
    f.find<QRadioButton>("optFlashLoad")->setChecked(true);
    f.click("cmdFlash");
    QCOMPARE(f.dialogs.filters, (QStringList{filter, filter}));
    f.clock.advance(1000);
    QVERIFY(f.port.writes.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
    f.verifyAtRest();

    f.click("cmd_conecta");
    f.dialogs.fileNames << f.path("b.fls");
    f.click("cmdFlash");
    QCOMPARE(f.dialogs.filters.size(), 2); // no dialog with the port closed
    QVERIFY(f.port.writes.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
}

QTEST_MAIN(FlashPanelTest)
#include "tst_flash_panel.moc"
