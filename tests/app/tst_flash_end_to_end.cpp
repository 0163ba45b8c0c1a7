// The flash transfers of the whole console on its real port backend against
// kestrin-sim over a pseudo-terminal (no line timing): a backup, a changed
// screen, a restore that brings the old flash back, and a simulator that dies
// in the middle of a backup without harming the backup already on disk.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "simprocess.h"
#include "protocol/flashimage.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace lumivor;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs the event loop as the application does (QTest's waits sleep 10 ms
// between turns, which would slow a transfer's 1 ms steps tenfold) until the
// condition holds or the time is up; whether it held.
bool runUntil(const std::function<bool()>& condition, int limitMs)
{
    QTimer wake; // so a turn of the loop never waits for long
    wake.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    while (!condition()) {
        if (elapsed.elapsed() > limitMs)
            return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool isFlashText(const QByteArray& text)
{
    return text.size() == protocol::flashFileBytes && protocol::decodeFlashFile(text).ok();
}

// kestrin-sim, headless, in a private XDG_DATA_HOME, and the console on the
// port it registered.
struct Console
{
    Console()
    {
        started = simulator.isRunning();
        ports = link::ComPortTable::probe(simulator.portDirectory(), {});
        window = std::make_unique<app::MainWindow>(port, dialogs, ports, clock);
    }
    ~Console() { window.reset(); }

    template<typename T> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const
    {
        QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton);
    }
    bool messageShown(const QString& text) const
    {
        for (const auto& message : dialogs.messages)
            if (message.text == text)
                return true;
        return false;
    }
    // Connects at 9600, then switches the controller and the console to
    // 115200 the way the operator does ("Change Baud Rate", OK).
    void connectAt115200()
    {
        QVERIFY(started);
        auto* connect = find<QPushButton>("cmd_conecta");
        click("cmd_conecta");
        QTRY_COMPARE_WITH_TIMEOUT(connect->text(), QStringLiteral("Disconnect"), 5000);
        find<QComboBox>("cmbBoudRate")->setCurrentText(QStringLiteral("115200"));
        click("Command4");
        QTRY_COMPARE_WITH_TIMEOUT(port.settings(), QStringLiteral("115200,N,8,1"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(connect->text(), QStringLiteral("Disconnect"), 5000);
        QVERIFY(dialogs.messages.size() == 1); // the rate change's own prompt
    }
    void startFlash(const char* option, const QString& file)
    {
        dialogs.fileNames << file;
        find<QRadioButton>(option)->setChecked(true);
        click("cmdFlash");
    }
    // Runs a whole transfer and waits for its completion message.
    void transfer(const char* option, const QString& file, int limitMs)
    {
        const qsizetype before = dialogs.messages.size();
        startFlash(option, file);
        QVERIFY(runUntil([&] { return dialogs.messages.size() > before; }, limitMs));
        QCOMPARE(dialogs.messages.back().text, QStringLiteral("Memory transfer completed."));
    }

    testing::SimProcess simulator;
    QTemporaryDir files;
    bool started = false;
    link::ComPortTable ports;
    link::QtSerialPort port{[this](int n) { return ports.deviceToOpen(n); }};
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    std::unique_ptr<app::MainWindow> window;
};

} // namespace

class FlashEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void backUpChangeAScreenAndRestoreTheBackup();
    void aControllerThatDiesMidReadLeavesTheBackupIntact();
};

void FlashEndToEndTest::backUpChangeAScreenAndRestoreTheBackup()
{
    Console console;
    console.connectAt115200();
    const QString backup = console.files.filePath(QStringLiteral("backup.fls"));
    console.transfer("optFlashCopy", backup, 60'000);
    const QByteArray original = contents(backup);
    QVERIFY(isFlashText(original));

    // Screen 6 becomes the cleared screen.
    console.click("Command11");
    console.find<QRadioButton>("optSave")->setChecked(true);
    console.click("cmdOk");
    const QString changed = console.files.filePath(QStringLiteral("changed.fls"));
    console.transfer("optFlashCopy", changed, 60'000);
    QVERIFY(isFlashText(contents(changed)));
    QVERIFY(contents(changed) != original);

    // The write goes at line speed even on a pseudo-terminal: about 43 s.
    console.transfer("optFlashLoad", backup, 150'000);
    const QString restored = console.files.filePath(QStringLiteral("restored.fls"));
    console.transfer("optFlashCopy", restored, 60'000);
    QVERIFY(contents(restored) == original);
    QVERIFY(console.find<link::ClockTimer>("Timer2")->isActive());
}

void FlashEndToEndTest::aControllerThatDiesMidReadLeavesTheBackupIntact()
{
    Console console;
    console.connectAt115200();
    // An older backup, of a flash with other contents.
    const QString backup = console.files.filePath(QStringLiteral("backup.fls"));
    const QByteArray good = QByteArray(protocol::flashImageBytes, '\x5a').toHex();
    QFile file(backup);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(good) == good.size());
    file.close();

    const qsizetype before = console.dialogs.messages.size();
    console.startFlash("optFlashCopy", backup);
    auto* progress = console.find<QProgressBar>("ProgressBar1");
    QVERIFY(runUntil([&] { return progress->value() >= 50; }, 30'000));
    console.simulator.kill();
    QVERIFY(runUntil([&] { return console.dialogs.messages.size() > before; }, 10'000));

    QVERIFY(contents(backup) == good);
    const QByteArray part = contents(backup + QStringLiteral(".part"));
    QVERIFY(part.size() >= 50 * 480);
    QCOMPARE(part.size() % 480, 0);
    for (qsizetype offset = 0; offset < part.size(); offset += 480) // as sent, block by block
        QVERIFY(protocol::decodeFlashBlock(QByteArrayView(part).sliced(offset, 480)).ok());
    const QString told = console.dialogs.messages.back().text;
    QVERIFY2(told.startsWith(QStringLiteral("The flash memory transfer stopped at block %1 of "
                                            "2048: ")
                                 .arg(part.size() / 480 + 1)),
             qPrintable(told));
    QVERIFY2(told.endsWith(backup + QStringLiteral(" was not changed.")), qPrintable(told));
    QCOMPARE(progress->value(), 0);
}

QTEST_MAIN(FlashEndToEndTest)
#include "tst_flash_end_to_end.moc"
