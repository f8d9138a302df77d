// Rendering of items into the audio chunks handed to the host: silence for a pause item, the
// decoded and prosody-processed recording for a word.
//
// With the engine parameters at their defaults a step is what it always was: one pause item, or
// one word with the short pauses around it. Otherwise the parameters set the pauses (in time, at
// normal speed), the speed (SetRate, SPEED and the request's rate, combined), the joins between
// the units of a run and the start of an utterance. What one step leaves for the next travels
// with the chunk (RenderCarry): the held end of the last unit, the rest of a pause longer than a
// chunk, and whether an utterance's first audio is still to come.
#pragma once

#include <cstdint>

#include "scheduler/request_queue.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "voice/unit_join.h"

struct VoiceDatabase;

// The classic pauses: 44100 bytes a second whatever the voice (the byte rate of a 22050 Hz mono
// voice), at normal rate: a mark's long pause, and the short pause around a unit's consonant.
// scheduler/pauses.h computes every pause; these are the classic figures it must give.
constexpr int32_t kPauseBytesPerSecond = 44100;
constexpr int32_t kLongPauseMs = 300;
constexpr int32_t kShortPauseMs = 100;

// Classic pause lengths in bytes for a stored rate (50..200): inversely proportional to the rate, even.
constexpr int32_t classic_pause_bytes(int32_t ms, int32_t rate) {
    const int32_t bytes = kPauseBytesPerSecond * ms / 1000 * kRateNormal / rate;
    return bytes + bytes % 2;
}
constexpr int32_t long_pause_bytes(int32_t rate) { return classic_pause_bytes(kLongPauseMs, rate); }
constexpr int32_t short_pause_bytes(int32_t rate) { return classic_pause_bytes(kShortPauseMs, rate); }

// The unit's audio is limited to this many bytes at the speeds SetRate gives; the classic chunk
// also holds the short pauses before and after it at the slowest rate.
constexpr int32_t kUnitAudioLimit = 100000;
constexpr int32_t kLongestShortPause = short_pause_bytes(kRateMin);
constexpr int32_t kClassicChunkBytes = kUnitAudioLimit + 2 * kLongestShortPause;
// Slower than SetRate goes (down to 0.25x), a unit grows to four times the limit; a consonant
// pause of a one- or two-channel voice reaches 200 % of 100 ms at 0.25x, 32767 Hz and two channels;
// and a unit carries the held end of the one before it.
constexpr int32_t kSlowestUnitAudio = 4 * kUnitAudioLimit + 4;
constexpr int32_t kLongestConsonantPause = 104856;
constexpr int32_t kChunkCapacity = kSlowestUnitAudio + 2 * kLongestConsonantPause + kJoinMaxHoldBytes;

struct RenderCarry {
    UnitJoin join;                         // the end of the last unit, held back for the next
    int64_t pending_silence = 0;           // bytes of a pause that did not fit its chunk
    const VoiceDatabase *voice = nullptr;  // the voice the held end and pending silence belong to
    int32_t frame_bytes = 0;               // and its frame size
    bool utterance_start = false;          // no unit spoken yet since an utterance began in silence
    bool run_continues = false;            // the last unit was spoken as going on into the next request
};

struct ChunkBuffer {
    unsigned char data[kChunkCapacity];
    int32_t count = 0;
    RenderCarry carry;
};

// One render step: appends the next pause item or spoken word (with the leading pauses of words
// that failed before it) and moves the cursor on. Leaves count 0 once the list is exhausted and
// nothing is held. With a reader, the items are read from its text as the step needs them, and the
// list is exhausted once the text is too. Rate, pitch and volume are the settings scaled by
// `prosody`. `request_follows`: a request that goes on from this one is queued after it (one that
// starts an utterance does not, and this one then ends whole). When nothing but pauses of no
// length stands between them, the two requests' words are one run: the last word of this one and
// the first of the next take the recordings of words inside a run, and their units join.
void render_next_item(ChunkBuffer &chunk, TextReader *reader = nullptr, const RequestProsody &prosody = {},
                      bool request_follows = false);

// A request begins that starts an utterance (queued while the engine was idle, or with
// REQUEST_UTTERANCE): whatever is held is forgotten (the request before it ended whole, or was
// cancelled), and with LEADING_SILENCE its first audio starts at once.
void render_start_utterance(ChunkBuffer &chunk);
// Forgets what is held (Cancel).
void render_discard(ChunkBuffer &chunk);
// Whether a step would deliver audio even with no item left: the rest of a pause longer than a
// chunk (part of its request), or a held end (which waits for the next request).
bool render_pause_pending(const ChunkBuffer &chunk);
bool render_holds_audio(const ChunkBuffer &chunk);
