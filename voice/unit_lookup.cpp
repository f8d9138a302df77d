// Binary search over the unit index and per-fetch reads of a unit's bytes from the voice file.
#include "voice/unit_lookup.h"

#include "voice/diagnostics.h"
#include "voice/voice_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The trace line of a lookup: held back with the worker's diagnostics and written after its step.
void trace_lookup(const char *name) {
    if (!diagnostics_enabled()) return;
    static const char kPrefix[] = "cst_find_word ";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    char line[96];
    const size_t length = std::strlen(name);
    if (length > sizeof line - kPrefixLength - 1) {
        write_diagnostic(stdout, kPrefix, kPrefixLength);
        write_diagnostic(stdout, name, length);
        write_diagnostic(stdout, "\n", 1);
        return;
    }
    std::memcpy(line, kPrefix, kPrefixLength);
    std::memcpy(line + kPrefixLength, name, length);
    line[kPrefixLength + length] = '\n';
    write_diagnostic(stdout, line, kPrefixLength + length + 1);
}

// One open, one positioned read and one close, straight into the caller's buffer: no stream
// record is allocated and no stream buffer stands between the file and the unit. The file must
// still be a regular file: one replaced by a FIFO or a device would block the read forever.
bool read_file_bytes(const char *path, int32_t offset, unsigned char *buffer, int size) {
    const int file = open_regular_file(path);
    if (file < 0) return false;
#if defined(_WIN32)
    const bool ok = _lseeki64(file, offset, SEEK_SET) == offset && _read(file, buffer, static_cast<unsigned>(size)) == size;
    _close(file);
    return ok;
#else
    int got = 0;
    while (got < size) {
        const ssize_t n = pread(file, buffer + got, static_cast<size_t>(size - got), static_cast<off_t>(offset) + got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<int>(n);
    }
    close(file);
    return got == size;
#endif
}

}  // namespace

int cst_find_word(const VoiceDatabase *voice, const char *name) {
    trace_lookup(name ? name : "(null)");
    if (!voice || !name || voice->unit_count <= 0) return -1;
    int lo = 0;
    int hi = voice->unit_count - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int order = std::strcmp(name, voice->units[mid].name);  // unsigned bytes
        if (order == 0) return mid;
        if (order > 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return -1;
}

int find_word(const char *name) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) {
        write_diagnostic(stdout, "find_word: current voice is NULL\n");
        return -1;
    }
    return cst_find_word(voice, name);
}

int unit_exists(const char *name) { return find_word(name) >= 0 ? 0 : -1; }

int voice_unit_audio(const VoiceDatabase *voice, const char *name, unsigned char *buffer, int capacity) {
    if (!voice || !name || !buffer) return -1;
    const int position = cst_find_word(voice, name);
    if (position < 0) return -1;
    const UnitEntry &entry = voice->units[position];
    const int size = entry.size;
    if (size < 0 || size > capacity) return -1;
    return read_file_bytes(voice->path, entry.offset, buffer, size) ? size : -1;
}

int get_unit_audio(const char *name, unsigned char *buffer, int capacity) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) return -1;
    return voice_unit_audio(voice, name, buffer, capacity);
}
