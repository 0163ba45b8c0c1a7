// Replays every fuzz target's corpus (tests/fuzz/corpus/<target>/) once,
// without libFuzzer: the seeds and every input a fuzzing run once found, as a
// regression test of the ordinary build with its sanitizers. (One input alone
// runs through the fuzz build: build/fuzz/tests/fuzz/fuzz_<target> FILE.)
#include "testsuite.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <cstdint>

#define X(entry, name) extern "C" int entry(const std::uint8_t* data, std::size_t size);
LUMIVOR_FUZZ_TARGETS
#undef X

using Entry = int (*)(const std::uint8_t*, std::size_t);
Q_DECLARE_METATYPE(Entry)

class FuzzCorpusTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyInputOfTheCorpora_data()
    {
        QTest::addColumn<Entry>("entry");
#define X(entry, name) QTest::newRow(name) << Entry(entry);
        LUMIVOR_FUZZ_TARGETS
#undef X
    }

    // A target without a corpus would replay nothing and prove nothing.
    void everyInputOfTheCorpora()
    {
        QFETCH(Entry, entry);
        int inputs = 0;
        QDirIterator files(QStringLiteral(LUMIVOR_FUZZ_CORPUS "/") + QTest::currentDataTag(),
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QByteArray bytes = file.readAll();
            entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                  std::size_t(bytes.size()));
            ++inputs;
        }
        QVERIFY(inputs > 0);
    }
};

LUMIVOR_TEST(FuzzCorpusTest)
#include "replay.moc"
