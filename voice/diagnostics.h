// Whether the engine writes its diagnostics: the unit-lookup trace on standard output and the
// decoder's messages on standard error. A host that owns its standard output turns them off.
// Errors a host needs (a voice that cannot be loaded) are written either way.
#pragma once

void set_diagnostics_enabled(bool enabled);
bool diagnostics_enabled();
