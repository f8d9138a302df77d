// Rendering of items into the audio chunks handed to the host: silence for a pause
// item, the decoded and prosody-processed recording for a word.
#pragma once

#include <cstdint>

#include "scheduler/request_queue.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"

// Pauses count kPauseBytesPerSecond whatever the voice (the byte rate of a 22050 Hz mono voice),
// at normal rate: a mark's long pause, and the short pause around a unit's consonant.
constexpr int32_t kPauseBytesPerSecond = 44100;
constexpr int32_t kLongPauseMs = 300;
constexpr int32_t kShortPauseMs = 100;

// Pause lengths in bytes for a stored rate (50..200): inversely proportional to the rate, even.
constexpr int32_t pause_bytes(int32_t ms, int32_t rate) {
    const int32_t bytes = kPauseBytesPerSecond * ms / 1000 * kRateNormal / rate;
    return bytes + bytes % 2;
}
constexpr int32_t long_pause_bytes(int32_t rate) { return pause_bytes(kLongPauseMs, rate); }
constexpr int32_t short_pause_bytes(int32_t rate) { return pause_bytes(kShortPauseMs, rate); }

// The unit's audio is limited to this many bytes; the buffer also holds the short
// pauses before and after it at the slowest rate, so nothing ever overflows.
constexpr int32_t kUnitAudioLimit = 100000;
constexpr int32_t kLongestShortPause = short_pause_bytes(kRateMin);
constexpr int32_t kChunkCapacity = kUnitAudioLimit + 2 * kLongestShortPause;

struct ChunkBuffer {
    unsigned char data[kChunkCapacity];
    int32_t count = 0;
};

// One render step: appends the next pause item or spoken word (with the leading pauses of words
// that failed before it) and moves the cursor on. Leaves count 0 once the list is exhausted.
// With a reader, the items are read from its text as the step needs them, and the list is
// exhausted once the text is too. Rate, pitch and volume are the settings scaled by `prosody`.
void render_next_item(ChunkBuffer &chunk, TextReader *reader = nullptr, const RequestProsody &prosody = {});
