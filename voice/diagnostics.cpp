// The diagnostics switch and the worker's held diagnostics.
#include "voice/diagnostics.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

std::atomic<bool> g_diagnostics{true};

// A step of the worker writes a few lines a unit; a step that passes over a long run of words it
// cannot speak writes more, and the buffer is then written out as it fills.
constexpr size_t kHeldBytes = 1 << 16;
constexpr int kHeldRuns = 64;

// The bytes held back, as runs of consecutive bytes for one stream. Only the holding thread
// touches it.
struct HeldDiagnostics {
    char bytes[kHeldBytes];
    size_t used = 0;
    struct Run {
        FILE *stream;
        size_t length;
    } runs[kHeldRuns];
    int run_count = 0;
};

HeldDiagnostics g_held;
std::atomic<std::thread::id> g_holder{std::thread::id()};
thread_local DiagnosticCapture *t_capture = nullptr;

void write_out(FILE *stream, const void *bytes, size_t length) {
    if (length > 0) std::fwrite(bytes, 1, length, stream);
}

void write_held() {
    size_t at = 0;
    for (int i = 0; i < g_held.run_count; i++) {
        write_out(g_held.runs[i].stream, g_held.bytes + at, g_held.runs[i].length);
        at += g_held.runs[i].length;
    }
    g_held.used = 0;
    g_held.run_count = 0;
}

void hold(FILE *stream, const void *bytes, size_t length) {
    HeldDiagnostics::Run *last = g_held.run_count > 0 ? &g_held.runs[g_held.run_count - 1] : nullptr;
    const bool new_run = !last || last->stream != stream;
    if (length > kHeldBytes - g_held.used || (new_run && g_held.run_count == kHeldRuns)) {
        write_held();
        last = nullptr;
    }
    if (length > kHeldBytes) {
        write_out(stream, bytes, length);
        return;
    }
    std::memcpy(g_held.bytes + g_held.used, bytes, length);
    g_held.used += length;
    if (last && last->stream == stream) {
        last->length += length;
    } else {
        g_held.runs[g_held.run_count++] = {stream, length};
    }
}

}  // namespace

void set_diagnostics_enabled(bool enabled) { g_diagnostics.store(enabled); }

bool diagnostics_enabled() { return g_diagnostics.load(); }

void write_diagnostic(FILE *stream, const void *bytes, size_t length) {
    if (!stream || !bytes || length == 0) return;
    if (t_capture && stream == stderr) {
        t_capture->text.append(static_cast<const char *>(bytes), length);
        return;
    }
    if (!diagnostics_enabled()) return;
    if (g_holder.load() == std::this_thread::get_id())
        hold(stream, bytes, length);
    else
        write_out(stream, bytes, length);
}

void write_diagnostic(FILE *stream, const char *text) { write_diagnostic(stream, text, std::strlen(text)); }

void hold_diagnostics() { g_holder.store(std::this_thread::get_id()); }

void write_held_diagnostics() {
    if (g_holder.load() == std::this_thread::get_id()) write_held();
}

void release_diagnostics() {
    if (g_holder.load() != std::this_thread::get_id()) return;
    write_held();
    g_holder.store(std::thread::id());
}

DiagnosticCapture::DiagnosticCapture() : outer(t_capture) { t_capture = this; }

DiagnosticCapture::~DiagnosticCapture() { t_capture = outer; }

bool diagnostics_wanted() { return t_capture || diagnostics_enabled(); }
