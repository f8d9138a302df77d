// Fuzz target: bytes as a voice file, read through a file as Init reads it, then spoken from.
#include "fuzz/fuzz_entries.h"

#include <cstdio>
#include <cstring>

#include "scheduler/items.h"
#include "scheduler/render.h"
#include "scheduler/segmentation.h"
#include "support/scratch_dir.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

// Units fetched and decoded per input; enough to reach every kind of record the seeds hold.
constexpr int kUnitsTried = 8;

bool write_file(const std::string &path, const uint8_t *data, size_t size) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// The promises of a loaded voice: counts in range, every unit inside the file, names sorted.
bool voice_is_sound(const VoiceDatabase &voice, size_t file_size) {
    if (voice.syllable_count < 0 || voice.syllable_count > kVoiceMaxSyllables) return false;
    if (voice.unit_count != 4 * voice.syllable_count) return false;
    if (voice.sample_rate <= 0 || voice.channels <= 0) return false;
    for (int i = 0; i < voice.unit_count; i++) {
        const UnitEntry &entry = voice.units[i];
        if (!entry.name || entry.size < 0 || entry.offset < 0) return false;
        if (static_cast<size_t>(entry.offset) + static_cast<size_t>(entry.size) > file_size) return false;
        if (i > 0 && std::strcmp(voice.units[i - 1].name, entry.name) > 0) return false;
    }
    return true;
}

}  // namespace

int fuzz_voice_loader(const uint8_t *data, size_t size) {
    static ScratchDir *dir = new ScratchDir;  // kept for the whole run
    const std::string path = dir->file("voice.dat");
    if (!write_file(path, data, size)) return 0;  // a full disk says nothing about the loader

    VoiceDatabase *voice = voice_load(path.c_str());
    if (voice) {
        if (!voice_is_sound(*voice, size)) {
            voice_free(voice);
            return -1;
        }
        static unsigned char unit[kUnitBufferBytes];
        static unsigned char pcm[kPcmBufferBytes];
        for (int i = 0; i < voice->unit_count && i < kUnitsTried; i++) {
            const int got = voice_unit_audio(voice, voice->units[i].name, unit, kUnitBufferBytes);
            if (got > kUnitBufferBytes) {
                voice_free(voice);
                return -1;
            }
            if (got > 0 && decode_unit(unit, got, pcm, kPcmBufferBytes, voice->sample_rate, voice->channels) > kPcmBufferBytes) {
                voice_free(voice);
                return -1;
            }
        }
    }
    const bool loaded = voice != nullptr;
    voice_free(voice);

    // The same file as the current voice, as Init makes it, and spoken from as the worker does.
    voice_release_current();
    const int selected = voice_select(path.c_str());
    if ((selected == 0) != loaded || (selected == 0) != (current_voice() != nullptr)) return -1;
    int result = 0;
    if (const VoiceDatabase *current = current_voice()) {
        static unsigned char out[kUnitAudioLimit];
        for (int i = 0; i < current->unit_count && i < kUnitsTried; i++) {
            const int written = synthesize_unit(current->units[i].name, out, kUnitAudioLimit, 100 + 50 * (i % 3),
                                                100, 100);
            if (written > kUnitAudioLimit) result = -1;
        }
    }
    if (current_voice()) {
        // A short text rendered with the voice's rate and channel count, pauses and words alike.
        std::u16string text = u"xin chào, đi (ba)\ntrời.";
        clear_items();
        segment_text(text.data());
        static ChunkBuffer chunk;
        for (int step = 0; step < 64; step++) {
            chunk.count = 0;
            render_next_item(chunk);
            if (chunk.count < 0 || chunk.count > kChunkCapacity) result = -1;
            if (chunk.count <= 0) break;
        }
        if (current_item() != nullptr) result = -1;
        clear_items();
    }
    voice_release_current();
    return result;
}
