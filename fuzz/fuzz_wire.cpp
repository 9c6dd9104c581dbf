// libFuzzer target for the hub's message parser and frame builder; the checks and the input
// layout are in wire_checks.h, shared with the replay test of the corpus.
#include "wire_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString why = WireChecks::problem(data, size);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "fuzz_wire: %s\n", qPrintable(why));
        std::abort();
    }
    return 0;
}
