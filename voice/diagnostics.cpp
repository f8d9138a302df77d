// The diagnostics switch, read on the worker for every unit.
#include "voice/diagnostics.h"

#include <atomic>

namespace {

std::atomic<bool> g_diagnostics{true};

}  // namespace

void set_diagnostics_enabled(bool enabled) { g_diagnostics.store(enabled); }

bool diagnostics_enabled() { return g_diagnostics.load(); }
