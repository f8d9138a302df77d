// Whether the engine writes its diagnostics: the unit-lookup trace on standard output and the
// decoder's messages on standard error. A host that owns its standard output turns them off.
// Errors a host needs (a voice that cannot be loaded) are written either way.
//
// The synthesis worker holds its diagnostics back while it works and writes them after each
// step, with one call per stream and run, holding no lock: a host whose output is slow, or a
// pipe that nobody drains, then stalls only the worker, never a host entry. A step's lines are
// written before its chunk is handed over, so a host that reads them through a pipe sees the
// lines for a unit before or around that unit's chunk, as when they were written one by one.
// Every other thread writes its diagnostics at once.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

void set_diagnostics_enabled(bool enabled);
bool diagnostics_enabled();

// Writes the bytes to stream (standard output or standard error), or holds them back when the
// calling thread holds its diagnostics. Nothing is written with diagnostics off.
void write_diagnostic(FILE *stream, const void *bytes, size_t length);
void write_diagnostic(FILE *stream, const char *text);

// The calling thread's diagnostics are held from now on (the worker, as it starts).
void hold_diagnostics();
// Writes what is held, in order; the thread goes on holding. Called by the holding thread only.
void write_held_diagnostics();
// Writes what is held and ends the holding (the worker, as it ends).
void release_diagnostics();

// While one lives, what the calling thread writes for standard error is collected in `text`
// instead, diagnostics on or off: a decoded unit keeps the decoder's messages about it, to write
// them whenever the unit is used. Writes for standard output go on as usual. Captures nest: the
// innermost one collects.
struct DiagnosticCapture {
    std::string text;
    DiagnosticCapture();
    ~DiagnosticCapture();
    DiagnosticCapture(const DiagnosticCapture &) = delete;
    DiagnosticCapture &operator=(const DiagnosticCapture &) = delete;

  private:
    DiagnosticCapture *outer;
};
// True when diagnostics are on or the calling thread captures them: whether a message is worth
// formatting at all.
bool diagnostics_wanted();
