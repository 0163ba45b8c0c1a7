// Megabytes of random bytes in random pieces: the controller must neither crash nor grow,
// and must answer the identification query after the documented recovery (0D, then 30 s
// of silence, which ends every exchange and any open string).
#include "simtest.h"

#include <QtTest>

#include <random>

using namespace kestrin;
using simtest::Rig;

class TestSimRobustness : public QObject
{
    Q_OBJECT

private slots:
    void randomBytesThenRecovery_data();
    void randomBytesThenRecovery();
};

void TestSimRobustness::randomBytesThenRecovery_data()
{
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<bool>("commandBytesOnly"); // draws from the command codes only
    QTest::newRow("uniform bytes") << 20240601u << 4 << false;
    QTest::newRow("command codes and small arguments") << 7u << 2 << true;
}

void TestSimRobustness::randomBytesThenRecovery()
{
    QFETCH(unsigned, seed);
    QFETCH(int, megabytes);
    QFETCH(bool, commandBytesOnly);
    static constexpr std::uint8_t kBusyBytes[] = {0x01, 0x02, 0x03, 0x05, 0x06, 0x08, 0x0A,
                                                  0x0B, 0x0D, 0x0F, 0x15, 0x19, 0x1B, 0x1D,
                                                  0x1E, 0x20, 0x23, 0x26, 0x29, 0x41, 0x00};
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> chunkSize(1, 4096);
    std::uniform_int_distribution<int> pause(0, 40);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kBusyBytes) - 1);
    Rig rig;
    const std::size_t total = std::size_t(megabytes) * 1024 * 1024;
    std::size_t fed = 0;
    std::size_t answered = 0;
    while (fed < total) {
        simtest::Bytes chunk(std::size_t(chunkSize(random)));
        for (std::uint8_t& byte : chunk)
            byte = commandBytesOnly ? kBusyBytes[pick(random)] : std::uint8_t(random());
        rig.send(chunk); // at whatever rate the controller has switched to
        rig.wait(pause(random));
        const std::string reply = rig.reply();
        QVERIFY(reply.size() <= Controller::kOutputLimit);
        answered += reply.size();
        fed += chunk.size();
    }
    rig.send("0D");
    rig.wait(30'000);
    QVERIFY(rig.controller.decoder().idle());
    rig.reply();
    rig.send("49 44");
    const std::string reply = rig.reply();
    QVERIFY2(reply.starts_with("64,"), reply.c_str());
    QVERIFY(reply.find('!') != std::string::npos);
    qInfo("%zu bytes fed, %zu bytes answered, controller at %d baud", fed, answered,
          rig.controller.ownRate());
}

QTEST_GUILESS_MAIN(TestSimRobustness)
#include "tst_sim_robustness.moc"
