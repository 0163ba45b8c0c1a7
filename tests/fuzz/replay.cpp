// Replays every fuzz target's corpus (tests/fuzz/corpus/<target>/) once,
// without libFuzzer: the seeds and every input a fuzzing run once found, as a
// regression test of the ordinary build with its sanitizers. With arguments,
// it replays those files through the target named first:
//   tst_fuzz_replay picture crash-1234
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdint>
#include <cstdio>

#define X(entry, name) extern "C" int entry(const std::uint8_t* data, std::size_t size);
LUMIVOR_FUZZ_TARGETS
#undef X

namespace {

using Entry = int (*)(const std::uint8_t*, std::size_t);

struct Target
{
    Entry entry;
    const char* name;
};

#define X(entry, name) {entry, name},
constexpr Target targets[] = {LUMIVOR_FUZZ_TARGETS};
#undef X

bool replay(Entry entry, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s cannot be read\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    return true;
}

int replayCorpus(const Target& target)
{
    int inputs = 0;
    QDirIterator files(QStringLiteral(LUMIVOR_FUZZ_CORPUS "/") + QLatin1String(target.name),
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        inputs += replay(target.entry, files.next()) ? 1 : 0;
    std::printf("%-20s %d inputs\n", target.name, inputs);
    return inputs;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        for (const Target& target : targets)
            if (qstrcmp(target.name, argv[1]) == 0) {
                for (int i = 2; i < argc; ++i)
                    replay(target.entry, QString::fromLocal8Bit(argv[i]));
                return 0;
            }
        std::fprintf(stderr, "no fuzz target is called %s\n", argv[1]);
        return 2;
    }
    // A target without a corpus would replay nothing and prove nothing.
    for (const Target& target : targets)
        if (replayCorpus(target) == 0)
            return 1;
    return 0;
}
