// libFuzzer target for the table host's message handling: each input becomes the messages of the
// owner, two seated guests and unseated connections, and the owner's calls, delivered over
// in-process pairs to a fresh TableHost (see dispatch_harness.h for the input's layout). The target
// aborts when the program crashes, when the host does not settle, or when the table is left
// inconsistent: a card held twice, more than 52 in play, credits made or lost, a player told
// another's cards, a deal with nobody to move.
//
// QUADRIX_WRITE_SEEDS=<dir> writes the seed corpus into <dir> and exits.
#include "dispatch_harness.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "fuzz_dispatch: %s\n", qPrintable(why));
    std::abort();
}

int writeSeeds(const QString &dir)
{
    QDir().mkpath(dir);
    for (const auto &[name, bytes] : DispatchHarness::seedInputs()) {
        QFile f(dir + QLatin1Char('/') + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
    }
    return 0;
}

} // namespace

// Every input builds a new host: with the sanitizer's default bookkeeping (a 256 MB quarantine, new
// blocks filled, a stack kept per allocation) most of the time went to the allocator, not the host.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=8:max_malloc_fill_size=0:malloc_context_size=0";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Q_UNUSED(argc);
    // Qt's own event dispatcher: the same events, fewer layers than GLib's per round.
    qputenv("QT_NO_GLIB", "1");
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    new QCoreApplication(qtArgc, qtArgv); // lives as long as the process

    const QByteArray seedDir = qgetenv("QUADRIX_WRITE_SEEDS");
    if (!seedDir.isEmpty())
        std::exit(writeSeeds(QString::fromLocal8Bit(seedDir)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DispatchHarness::Table table;
    table.feed(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString problem = table.problem();
    if (!problem.isEmpty())
        fail(problem);
    return 0;
}
