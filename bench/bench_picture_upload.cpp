// The console's picture upload against the virtual controller with real line
// timing, over its pseudo-terminal, at 9600 and at 115200 baud:
//  - how long the upload takes, against the line time of its 3846 bytes plus
//    the three header pauses (the floor: nothing can be faster on the line);
//  - that no byte was lost or reordered: the controller's display RAM must
//    equal the preview, byte for byte.
//
//   bench_picture_upload [--runs N]
//
// Timing. "Console" is from the click of Send to the moment the job lets the
// link go (its last write handed to the port). "Controller" is when the
// controller had taken the last byte: right after the upload the bench asks
// for the controller's identifier (28 00) and takes the arrival of the
// answer ("KT24064!") minus the line time of those 10 bytes. Bytes the
// console wrote ahead of the line would wait in the pseudo-terminal and show
// up here, not in the console figure.
//
// Checking the screen. There is no command that reads the display RAM, so
// the bench saves it as flash screen 0 (11 00) and reads flash blocks 0 to 7
// back (29 01, then 29 after each block: 8 x 240 bytes as hexadecimal text),
// which is exactly screen 0. The screen is cleared (01 08) before every run,
// so a run that sent nothing cannot pass on what an earlier one left.
//
// Starts kestrin-sim --headless --line-timing in a private XDG_DATA_HOME.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/linkservice.h"
#include "link/pictureupload.h"
#include "link/qtserialport.h"
#include "protocol/picture.h"
#include "simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <random>

using namespace lumivor;

namespace {

constexpr int uploadBytes = 3846;
constexpr int blocksPerScreen = protocol::screenDataBytes / 240;
constexpr int hexPerBlock = 480;

double ms(link::Nanoseconds time)
{
    return static_cast<double>(time.count()) / 1e6;
}

// Runs the event loop until the condition holds or the time is up. The loop
// sleeps between events, as the console's own loop does (a spinning loop
// would take a core from the simulator); the timer wakes it to see the
// time-out.
template<typename Condition> bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Lets the window run for a while (a settle step, a command to land).
void pause(int milliseconds)
{
    waitFor([] { return false; }, milliseconds);
}

// A picture whose every byte is different from its neighbours with high
// probability, so a lost, doubled or swapped byte shows.
QImage noisePicture()
{
    QImage picture(protocol::screenWidth, protocol::screenHeight, QImage::Format_RGB32);
    std::mt19937 random(240'64);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, (random() & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return picture;
}

// Exclusive use of the link for the bench's own exchanges with the
// controller, between uploads (the response poll stays away meanwhile).
class Exchange
{
public:
    explicit Exchange(link::LinkService& service)
        : lease_(service.lease(
              QStringLiteral("The benchmark"), [] {}, [](const link::SerialPortError&) {}))
    {}
    bool isValid() const { return lease_ != nullptr; }
    bool write(const QByteArray& bytes)
    {
        return lease_->write(bytes, link::OnFailure::Report).done();
    }
    // Reads until `count` bytes came (or the time is up); the elapsed time
    // of the timer when the last of them arrived.
    QByteArray read(int count, int timeoutMs)
    {
        QByteArray received;
        waitFor(
            [&] {
                const link::ReadOutcome chunk = lease_->read(link::OnFailure::Report);
                if (chunk.done())
                    received += chunk.value;
                return received.size() >= count || chunk.failed();
            },
            timeoutMs);
        return received;
    }

private:
    std::unique_ptr<link::LinkLease> lease_;
};

// Screen 0 of the flash after saving the display RAM into it.
QByteArray readDisplayRam(Exchange& exchange, int bitsPerSecond)
{
    const int blockMs = static_cast<int>(ms(link::lineTime(hexPerBlock, bitsPerSecond))) + 2000;
    exchange.write(QByteArray("\x11\x00", 2));
    QByteArray hex;
    for (int block = 0; block < blocksPerScreen; ++block) {
        exchange.write(block == 0 ? QByteArray("\x29\x01") : QByteArray("\x29"));
        const QByteArray text = exchange.read(hexPerBlock, blockMs);
        if (text.size() != hexPerBlock)
            return {};
        hex += text;
    }
    return QByteArray::fromHex(hex);
}

struct Run
{
    link::Nanoseconds console{0};
    link::Nanoseconds controller{0};
    bool screenMatches = false;
};

Run uploadOnce(app::MainWindow& window, QPushButton* send, const QByteArray& expected)
{
    link::LinkService& service = window.link();
    const int rate = service.bitsPerSecond();
    {
        Exchange clear(service);
        clear.write(QByteArray("\x01\x08")); // blank screen, write position 0,0
        pause(100);
    }
    Run run;
    QElapsedTimer elapsed;
    QObject context;
    QObject::connect(&service, &link::LinkService::busyChanged, &context, [&](bool busy) {
        if (!busy && run.console.count() == 0)
            run.console = link::Nanoseconds(elapsed.nsecsElapsed());
    });
    elapsed.start();
    QTest::mouseClick(send, Qt::LeftButton);
    if (!waitFor([&] { return run.console.count() > 0; }, 60'000))
        return run;

    Exchange check(service);
    check.write(QByteArray("\x28\x00", 2));
    const QByteArray id = check.read(8, 5000);
    run.controller = link::Nanoseconds(elapsed.nsecsElapsed()) - link::lineTime(10, rate);
    if (id != "KT24064!")
        std::fprintf(stderr, "unexpected identifier reply \"%s\"\n", id.constData());
    run.screenMatches = readDisplayRam(check, rate) == expected;
    return run;
}

bool connectAt(app::MainWindow& window, int rateIndex, bool change)
{
    auto* connect = window.findChild<QPushButton*>(QStringLiteral("cmd_conecta"));
    if (change) {
        window.findChild<QComboBox*>(QStringLiteral("cmbBoudRate"))->setCurrentIndex(rateIndex);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command4")),
                          Qt::LeftButton);
    } else {
        QTest::mouseClick(connect, Qt::LeftButton);
    }
    // Connected, and the response poll running after its settle step.
    const bool connected = waitFor(
        [&] {
            return connect->text() == QStringLiteral("Disconnect") && !window.link().isBusy() &&
                   window.link().state() == link::LinkState::Connected;
        },
        10'000);
    pause(700);
    return connected;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype runsAt = arguments.indexOf(QStringLiteral("--runs"));
    const int runs = runsAt > 0 && runsAt + 1 < arguments.size()
                         ? std::max(1, arguments.at(runsAt + 1).toInt())
                         : 3;

    testing::SimProcess sim({QStringLiteral("--line-timing")});
    if (!sim.isRunning()) {
        std::fprintf(stderr, "kestrin-sim did not start (%s)\n", KESTRIN_SIM_PATH);
        return 1;
    }
    QTemporaryDir pictures;
    auto ports = link::ComPortTable::probe(sim.portDirectory(), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);

    const QString picturePath = pictures.filePath(QStringLiteral("noise.bmp"));
    noisePicture().save(picturePath, "BMP");
    dialogs.fileNames << picturePath;
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command6")), Qt::LeftButton);
    const QByteArray preview = protocol::packCanvas(
        window.findChild<QLabel*>(QStringLiteral("picBox"))->pixmap().toImage());
    auto* send = window.findChild<QPushButton*>(QStringLiteral("Command5"));

    bool allGood = true;
    const std::pair<int, int> rates[] = {{2, 9600}, {8, 115200}};
    for (const auto& [rateIndex, rate] : rates) {
        if (!connectAt(window, rateIndex, rate != 9600)) {
            std::fprintf(stderr, "could not connect at %d baud\n", rate);
            return 1;
        }
        dialogs.messages.clear(); // the baud-rate change's question
        const link::Nanoseconds line = link::lineTime(uploadBytes, rate);
        const link::Nanoseconds floor = line + link::pictureUploadPauses;
        std::printf("%6d baud: line time of %d bytes %8.1f ms + header pauses %.0f ms = %8.1f ms;"
                    " target <= %8.1f ms\n",
                    rate, uploadBytes, ms(line), ms(link::pictureUploadPauses), ms(floor),
                    ms(line) * 1.10 + ms(link::pictureUploadPauses));
        for (int i = 1; i <= runs; ++i) {
            const Run run = uploadOnce(window, send, preview);
            const double ratio = ms(run.controller - link::pictureUploadPauses) / ms(line);
            std::printf("   run %d: console %8.1f ms   controller %8.1f ms  (%+6.1f ms, "
                        "%.3f x line + pauses)   screen %s\n",
                        i, ms(run.console), ms(run.controller), ms(run.controller - floor), ratio,
                        run.screenMatches ? "equals the preview" : "DIFFERS from the preview");
            allGood = allGood && run.screenMatches && ratio <= 1.10;
        }
    }
    for (const auto& message : dialogs.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
    return allGood && dialogs.messages.isEmpty() ? 0 : 1;
}
