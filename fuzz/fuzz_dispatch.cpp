// libFuzzer target for the host's message handling: each input is written as raw bytes on the
// connection of a guest seated at a hosted table, and the host's hub parser, router and game control
// handle whatever frames they find. The target aborts when the program crashes, when the bytes are
// not consumed in time (a hang), or when the table is left inconsistent: the host stopped hosting,
// the guest lost its seat, credits appeared or vanished, or a card shows twice.
//
// Every input starts from the same table (no deal running, 1000 credits each, the same stacked deck).
// QUADRIX_WRITE_SEEDS=<dir> writes the seed corpus into <dir> and exits.
#include "dispatch_harness.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

DispatchHarness::Table *table = nullptr;

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

// The font library keeps a few blocks of its pattern cache beyond its own clean-up; they are not ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    Q_UNUSED(argc);
    new QApplication(qtArgc, qtArgv); // lives as long as the process

    const QByteArray seedDir = qgetenv("QUADRIX_WRITE_SEEDS");
    if (!seedDir.isEmpty())
        std::exit(writeSeeds(QString::fromLocal8Bit(seedDir)));

    // Message boxes are answered at once, as a player pressing Yes or OK.
    TmainFrm::setMessageHook([](TmainFrm *, QMessageBox::Icon, const QString &, QMessageBox::StandardButtons b) {
        return b.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    table = new DispatchHarness::Table(false); // painting is not what is fuzzed, and it is slow
    const QString why = table->setUp();
    if (!why.isEmpty())
        fail(why);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString why = table->setUp();
    if (!why.isEmpty())
        fail(why);
    table->resetDeal();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // Even the longest inputs (many deals, each with its pauses) finish well within this.
    switch (table->feed(bytes, 60000)) {
    case DispatchHarness::Table::TimedOut:
        fail(QStringLiteral("the host did not get through the input within 60 s"));
    case DispatchHarness::Table::ConnectionLost:
        fail(QStringLiteral("the guest's connection or the hosting ended"));
    case DispatchHarness::Table::Consumed:
        break;
    }
    const QString problem = table->problem();
    if (!problem.isEmpty())
        fail(problem);
    return 0;
}
