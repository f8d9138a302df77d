// Binary search over the unit index and per-fetch reads of a unit's bytes from the voice file.
#include "voice/unit_lookup.h"

#include "voice/voice_file.h"

#include <cstdio>
#include <cstring>

int cst_find_word(const VoiceDatabase *voice, const char *name) {
    std::printf("cst_find_word %s\n", name ? name : "(null)");
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
        std::printf("find_word: current voice is NULL\n");
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
    FILE *file = std::fopen(voice->path, "rb");
    if (!file) return -1;
    size_t got = 0;
    if (std::fseek(file, entry.offset, SEEK_SET) == 0) got = std::fread(buffer, 1, static_cast<size_t>(size), file);
    std::fclose(file);
    return got == static_cast<size_t>(size) ? size : -1;
}

int get_unit_audio(const char *name, unsigned char *buffer, int capacity) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) return -1;
    return voice_unit_audio(voice, name, buffer, capacity);
}
