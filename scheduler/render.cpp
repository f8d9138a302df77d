// The render step.
#include "scheduler/render.h"

#include <algorithm>
#include <cstdint>
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

static_assert(long_pause_bytes(kRateNormal) == 13230 && short_pause_bytes(kRateMin) == 8820 &&
                  long_pause_bytes(kRateMax) == 6616,
              "pauses in bytes at the normal, slowest and fastest rate");

// A setting scaled by a request's percent, in integers, held to what 32 bits carry.
int32_t scaled(int32_t value, int32_t percent) {
    const int64_t product = static_cast<int64_t>(value) * percent / 100;
    return static_cast<int32_t>(std::clamp<int64_t>(product, INT32_MIN, INT32_MAX));
}

// The item at the cursor once it can be rendered, reading on as far as that needs.
UtteranceItem *ready_item(TextReader *reader) {
    if (!reader) return current_item();
    while (!item_is_ready(*reader, current_item()))
        if (!read_ahead(*reader)) break;
    return current_item();
}

}  // namespace

void render_next_item(ChunkBuffer &chunk, TextReader *reader, const RequestProsody &prosody) {
    const SynthSettings &settings = synth_settings();
    const int32_t rate = std::clamp(scaled(std::clamp(settings.rate.load(), kRateMin, kRateMax), prosody.rate),
                                    kRateMin, kRateMax);
    const int32_t pitch = scaled(settings.pitch.load(), prosody.pitch);
    const int32_t volume = scaled(settings.volume.load(), prosody.volume);
    const int32_t frame_bytes = 2 * std::max(1, voice_channels());
    const int32_t long_pause = whole_frames(long_pause_bytes(rate), frame_bytes);
    const int32_t short_pause = whole_frames(short_pause_bytes(rate), frame_bytes);

    for (;;) {
        UtteranceItem *item = ready_item(reader);
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
