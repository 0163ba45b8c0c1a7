// What a controller (or a noisy line) sends back, fed to the console's own
// readers over the port double on the manual clock: the detection, the ID
// query, the response poll, and the flash read and write. The first byte
// chooses the reader; the rest arrives in chunks (a head byte gives each
// chunk's length). Every job ends exactly once, and what it accepts is sound.
#include "cli/headlesslink.h"
#include "fakeserialport.h"
#include "fuzzcheck.h"
#include "link/connection.h"
#include "link/controllerid.h"
#include "link/flashtransfer.h"
#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "manualclock.h"
#include "protocol/flashimage.h"
#include "protocol/linkcommands.h"

#include <QList>

using namespace lumivor;
using testing::FakeSerialPort;
using testing::ManualClock;

namespace {

// The controller's side: the input cut into chunks, handed over one at a time.
struct Replies
{
    QList<QByteArray> chunks;
    qsizetype next = 0;

    Replies(const std::uint8_t* data, std::size_t size)
    {
        for (std::size_t at = 0; at < size;) {
            const std::size_t length = std::min<std::size_t>(data[at] % 120 + 1, size - at - 1);
            chunks.append(QByteArray(reinterpret_cast<const char*>(data + at + 1), qsizetype(length)));
            at += length + 1;
        }
    }
    bool more() const { return next < chunks.size(); }
    void give(FakeSerialPort& port)
    {
        if (more())
            port.queueInput(chunks.at(next++));
    }
};

struct Link
{
    FakeSerialPort port;
    ManualClock clock;
    link::LinkService service{port, clock};

    void connect() // as a detection that found a controller leaves it
    {
        service.open(1, QStringLiteral("115200,N,8,1"));
        service.setState(link::LinkState::Connected);
    }
};

void detection(Replies& replies)
{
    Link link;
    cli::HeadlessView view(1, 8);
    cli::HeadlessDialogs dialogs;
    link::Connection connection(link.service, view, dialogs);
    connection.toggle();
    for (int step = 0; step < 40; ++step) {
        replies.give(link.port);
        link.clock.advance(50);
    }
    if (link.service.state() == link::LinkState::Connected)
        FUZZ_CHECK(protocol::isDetectionAnswer(connection.detectionReply()));
    connection.shutDown();
}

void idQuery(Replies& replies)
{
    Link link;
    link.connect();
    link::ControllerIdQuery query(link.service);
    int ends = 0;
    QObject::connect(&query, &link::ControllerIdQuery::idRead,
                     [](const QString& id) { FUZZ_CHECK(!id.isEmpty()); });
    QObject::connect(&query, &link::Job::ended, [&ends] { ++ends; });
    while (replies.more()) {
        const int before = ends;
        query.run();
        replies.give(link.port);
        link.clock.advance(60);
        FUZZ_CHECK(ends == before + 1 && !link.service.isBusy());
    }
}

void responsePoll(Replies& replies)
{
    Link link;
    link.connect();
    qsizetype shown = 0;
    qsizetype given = 0;
    QObject::connect(&link.service.monitor(), &link::ResponseMonitor::received,
                     [&shown](const QString& text) { shown += text.size(); });
    link.service.monitor().startPolling();
    while (replies.more()) {
        given += replies.chunks.at(replies.next).size();
        replies.give(link.port);
        link.clock.advance(250);
    }
    FUZZ_CHECK(shown <= given);
}

// Blocks go nowhere but are counted.
struct CountingSink final : link::FlashSink
{
    int stored = 0;
    std::optional<QString> begin() override { return std::nullopt; }
    std::optional<QString> store(int, QByteArrayView text) override
    {
        FUZZ_CHECK(protocol::decodeFlashBlock(text).ok());
        ++stored;
        return std::nullopt;
    }
    std::optional<QString> finish() override { return std::nullopt; }
    void abandon() override {}
};

void flashRead(Replies& replies)
{
    Link link;
    link.connect();
    link.port.onOutput = [&](const QByteArray&) { replies.give(link.port); };
    link::FlashRead read(link.service);
    CountingSink sink;
    int ends = 0;
    QObject::connect(&read, &link::Job::ended, [&ends] { ++ends; });
    FUZZ_CHECK(read.start(sink).started());
    for (int step = 0; read.isRunning() && step < 10'000; ++step)
        link.clock.advance(5);
    FUZZ_CHECK(ends == (read.isRunning() ? 0 : 1));
    FUZZ_CHECK(sink.stored == read.blocksDone());
}

struct ZeroImage final : link::FlashSource
{
    protocol::FlashConversion load() override
    {
        return protocol::FlashConversion::converted(QByteArray(protocol::flashImageBytes, '\0'));
    }
};

void flashWrite(Replies& replies)
{
    Link link;
    link.connect();
    link::FlashWrite write(link.service);
    ZeroImage image;
    int ends = 0;
    QObject::connect(&write, &link::Job::ended, [&ends] { ++ends; });
    FUZZ_CHECK(write.start(image).started());
    // The ready bytes (or noise) for the first few blocks, then the operator stops it.
    for (int step = 0; write.isRunning() && write.blocksDone() < 3 && step < 20'000; ++step) {
        if (link.port.inBufferCount() == 0)
            replies.give(link.port);
        link.clock.advance(5);
    }
    write.cancel();
    FUZZ_CHECK(ends == 1 && !link.service.isBusy());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::ensureApplication();
    if (size < 2)
        return 0;
    Replies replies(data + 1, size - 1);
    switch (data[0] % 5) {
    case 0:
        detection(replies);
        break;
    case 1:
        idQuery(replies);
        break;
    case 2:
        responsePoll(replies);
        break;
    case 3:
        flashRead(replies);
        break;
    default:
        flashWrite(replies);
        break;
    }
    return 0;
}
