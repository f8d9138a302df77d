// The render step.
#include "scheduler/render.h"

#include <algorithm>
#include <cstring>

#include "lexicon/unit_name.h"
#include "scheduler/items.h"
#include "scheduler/settings.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

// Pauses are whole frames, so a two-channel voice keeps its channels in step after a pause.
int32_t whole_frames(int32_t bytes, int32_t frame_bytes) {
    return (bytes + frame_bytes - 1) / frame_bytes * frame_bytes;
}

// A voice may declare tens of thousands of channels, whose frames are so large that a line end's
// two long pauses would pass the buffer's end: a pause is cut to the whole frames that fit.
void append_silence(ChunkBuffer &chunk, int32_t bytes, int32_t frame_bytes) {
    const int32_t room = (kChunkCapacity - chunk.count) / frame_bytes * frame_bytes;
    bytes = std::min(bytes, room);
    std::memset(chunk.data + chunk.count, 0, static_cast<size_t>(bytes));
    chunk.count += bytes;
}

}  // namespace

int32_t long_pause_bytes(int32_t rate) { return whole_frames(1323000 / rate, 2); }

int32_t short_pause_bytes(int32_t rate) { return whole_frames(441000 / rate, 2); }

void render_next_item(ChunkBuffer &chunk) {
    const SynthSettings &settings = synth_settings();
    int32_t rate = std::clamp(settings.rate.load(), kRateMin, kRateMax);
    const int32_t pitch = settings.pitch.load();
    const int32_t volume = settings.volume.load();
    const int32_t frame_bytes = 2 * std::max(1, voice_channels());
    const int32_t long_pause = whole_frames(long_pause_bytes(rate), frame_bytes);
    const int32_t short_pause = whole_frames(short_pause_bytes(rate), frame_bytes);

    for (;;) {
        UtteranceItem *item = current_item();
        if (!item) return;
        switch (item->kind) {
        case ItemKind::OpeningMark:
        case ItemKind::ClosingMark:
        case ItemKind::SentenceEnd:
            append_silence(chunk, long_pause, frame_bytes);
            advance_cursor();
            return;
        case ItemKind::LineEnd:
            append_silence(chunk, 2 * long_pause, frame_bytes);
            advance_cursor();
            return;
        case ItemKind::Word:
            break;
        }

        char name[kUnitNameCapacity];
        // The known-unit test again: the voice may have changed since normalization.
        if (known_unit_name(item->norm_text.c_str(), item->position, name, sizeof name) != 0) {
            advance_cursor();
            continue;
        }
        // Leading pauses of failed words pile up; deliver them before they could crowd out a unit.
        if (chunk.count > 0 && chunk.count + 2 * short_pause + kUnitAudioLimit > kChunkCapacity) return;

        parse_syllable(name);
        if (onset_needs_pause()) append_silence(chunk, short_pause, frame_bytes);
        int32_t limit = std::min(kUnitAudioLimit, kChunkCapacity - chunk.count - short_pause);
        int written = synthesize_unit(name, chunk.data + chunk.count, limit, rate, pitch, volume);
        advance_cursor();
        if (written > 0) {
            chunk.count += written;
            if (final_needs_pause()) append_silence(chunk, short_pause, frame_bytes);
            return;
        }
        // The unit gave no audio: its leading pause stays and the next item joins this step.
    }
}
