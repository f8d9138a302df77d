// Rendering of items into the audio chunks handed to the host: silence for a pause
// item, the decoded and prosody-processed recording for a word.
#pragma once

#include <cstdint>

// The unit's audio is limited to this many bytes; the buffer also holds the short
// pauses before and after it at the slowest rate, so nothing ever overflows.
constexpr int32_t kUnitAudioLimit = 100000;
constexpr int32_t kLongestShortPause = 8820;
constexpr int32_t kChunkCapacity = kUnitAudioLimit + 2 * kLongestShortPause;

struct ChunkBuffer {
    unsigned char data[kChunkCapacity];
    int32_t count = 0;
};

// Pause lengths in bytes for a stored rate (50..200): inversely proportional to the rate, even.
int32_t long_pause_bytes(int32_t rate);
int32_t short_pause_bytes(int32_t rate);

// One render step: appends the next pause item or spoken word (with the leading pauses of
// words that failed before it) and moves the cursor on. Leaves count 0 once the list is exhausted.
void render_next_item(ChunkBuffer &chunk);
