// libFuzzer's entry for one target, named by VELORIN_FUZZ_ENTRY at compile time. A broken
// promise of the engine is reported as a crash, so that libFuzzer keeps the input.
#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (VELORIN_FUZZ_ENTRY(data, size) != 0) __builtin_trap();
    return 0;
}
