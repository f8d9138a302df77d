// Binary search over the unit index, and positioned reads of a unit's bytes from the open voice file.
#include "voice/unit_lookup.h"

#include "voice/diagnostics.h"
#include "voice/voice_file.h"

#include <cstdio>
#include <cstring>

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
    return voice_unit_audio_at(voice, cst_find_word(voice, name), buffer, capacity);
}

int voice_unit_audio_at(const VoiceDatabase *voice, int position, unsigned char *buffer, int capacity) {
    if (!voice || !buffer || position < 0 || position >= voice->unit_count) return -1;
    const UnitEntry &entry = voice->units[position];
    const int size = entry.size;
    if (size < 0 || size > capacity) return -1;
    // A voice made in memory has no file; a file cut short since loading fails the fetch.
    if (!voice->has_audio_file) return -1;
    return read_file_at(voice->audio_file, entry.offset, buffer, size) ? size : -1;
}

int get_unit_audio(const char *name, unsigned char *buffer, int capacity) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) return -1;
    return voice_unit_audio(voice, name, buffer, capacity);
}
