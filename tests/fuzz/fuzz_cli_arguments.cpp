// lumivor-cli's command line: any bytes split at NULs into arguments. It is
// read or refused with a reason, never half-read; an accepted request names
// its ports, gives each port's backup a file of its own and, for send,
// carries its bytes.
#include "cli/request.h"
#include "fuzzcheck.h"

#include <QSet>
#include <QStringList>

using namespace lumivor::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lumivor::fuzzing::ensureApplication();
    QStringList arguments;
    for (const QByteArray& piece :
         QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0'))
        arguments << QString::fromUtf8(piece);
    const ParseOutcome parsed = parseRequest(arguments);
    if (!parsed.request) {
        FUZZ_CHECK(!parsed.error.isEmpty());
        return 0;
    }
    const Request& request = *parsed.request;
    if (request.help || request.version)
        return 0;
    FUZZ_CHECK(request.command == Command::Ports || !request.ports.isEmpty());
    if (request.command == Command::Send)
        FUZZ_CHECK(!request.bytes.isEmpty());
    // Each port named, and a backup of several ports never puts two into one file.
    QSet<QString> names, files;
    for (const PortTarget& port : request.ports) {
        FUZZ_CHECK(!port.name().isEmpty());
        names.insert(port.name());
        files.insert(request.fileFor(port));
    }
    if (request.command == Command::FlashSave)
        FUZZ_CHECK(files.size() == names.size());
    return 0;
}
