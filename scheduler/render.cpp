// The render step.
#include "scheduler/render.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "lexicon/unit_name.h"
#include "scheduler/items.h"
#include "scheduler/pauses.h"
#include "scheduler/settings.h"
#include "voice/unit_silence.h"
#include "voice/unit_speed.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

static_assert(long_pause_bytes(kRateNormal) == 13230 && short_pause_bytes(kRateMin) == 8820 &&
                  long_pause_bytes(kRateMax) == 6616,
              "pauses in bytes at the normal, slowest and fastest rate");
static_assert(kSlowestUnitAudio >= kPcmBufferBytes * kSpeedPpmNormal / kSpeedPpmMin,
              "a decoded unit at the slowest speed fits the chunk");

// SetRate's slowest speed: the classic chunk keeps room for two short pauses at it.
constexpr int64_t kSlowestRatePpm = int64_t{kRateMin} * kSpeedPpmNormal / kRateNormal;

// A setting scaled by a request's percent, in integers, held to what 32 bits carry.
int32_t scaled(int32_t value, int32_t percent) {
    const int64_t product = static_cast<int64_t>(value) * percent / 100;
    return static_cast<int32_t>(std::clamp<int64_t>(product, INT32_MIN, INT32_MAX));
}

// What one step needs from the settings and parameters, read once at its start.
struct StepSettings {
    bool classic_speed;  // the speed is SetRate's alone: the unit gets the one sonic pass it always had
    int32_t rate;        // the stored rate (classic speed)
    int64_t speed;       // rate x SPEED x the request's rate, in millionths
    int32_t pitch, volume;
    int32_t join_ms;
    bool added_full_stop;
    bool leading_silence;
    int64_t punctuation_pause, line_end_pause, request_end_pause, consonant_pause;
    int32_t unit_limit;       // the most a unit gives at this speed
    int32_t budget;           // what a word's step may fill
    int sample_rate, channels;
    int32_t frame_bytes;
};

StepSettings step_settings(const RequestProsody &prosody) {
    const SynthSettings &settings = synth_settings();
    StepSettings s{};
    s.rate = std::clamp(settings.rate.load(), kRateMin, kRateMax);
    const int32_t speed_percent = engine_parameter(kParamSpeed);
    s.classic_speed = speed_percent == 100 && prosody.rate == 100;
    s.speed = speed_ppm(s.rate, speed_percent, prosody.rate);
    s.pitch = scaled(settings.pitch.load(), prosody.pitch);
    s.volume = scaled(scaled(settings.volume.load(), prosody.volume), engine_parameter(kParamGain));
    s.join_ms = engine_parameter(kParamJoin);
    s.added_full_stop = engine_parameter(kParamAddedFullStop) != 0;
    s.leading_silence = engine_parameter(kParamLeadingSilence) != 0;
    s.sample_rate = voice_sample_rate();
    s.channels = voice_channels();
    s.frame_bytes = 2 * std::max(1, s.channels);
    const int32_t clock = engine_parameter(kParamPauseClock);
    const int32_t consonant_percent = engine_parameter(kParamConsonantPauses);
    s.punctuation_pause = pause_bytes(engine_parameter(kParamPunctuationPause), clock, s.speed, s.sample_rate, s.channels);
    s.line_end_pause = line_end_pause_bytes(engine_parameter(kParamLineEndPause), clock, s.speed, s.sample_rate, s.channels);
    s.request_end_pause =
        line_end_pause_bytes(engine_parameter(kParamRequestEndPause), clock, s.speed, s.sample_rate, s.channels);
    s.consonant_pause = consonant_pause_bytes(consonant_percent, clock, s.speed, s.sample_rate, s.channels);
    // Room for a unit at this speed, its two consonant pauses at the slower of this speed and
    // SetRate's slowest, and a held end: at the classic settings exactly the classic chunk.
    s.unit_limit = s.classic_speed || s.speed >= kSpeedPpmNormal
                       ? kUnitAudioLimit
                       : static_cast<int32_t>((int64_t{kPcmBufferBytes} * kSpeedPpmNormal + s.speed - 1) / s.speed) +
                             s.frame_bytes;
    const int64_t consonant_room =
        consonant_pause_bytes(consonant_percent, clock, std::min(s.speed, kSlowestRatePpm), s.sample_rate, s.channels);
    const int64_t join_room = s.join_ms > 0 ? kJoinMaxHoldBytes : 0;
    s.budget = static_cast<int32_t>(std::min<int64_t>(kChunkCapacity, s.unit_limit + 2 * consonant_room + join_room));
    return s;
}

// Appends up to `bytes` zero bytes (whole frames) within `limit`; returns how many did not fit.
int64_t append_silence(ChunkBuffer &chunk, int64_t bytes, int32_t limit, int32_t frame_bytes) {
    const int32_t room = std::max(0, (limit - chunk.count) / frame_bytes * frame_bytes);
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(bytes, room));
    std::memset(chunk.data + chunk.count, 0, static_cast<size_t>(n));
    chunk.count += n;
    return bytes - n;
}

// A pause item's silence: what does not fit this chunk goes into the next steps'.
void append_pause(ChunkBuffer &chunk, int64_t bytes, int32_t frame_bytes) {
    chunk.carry.pending_silence = append_silence(chunk, bytes, kChunkCapacity, frame_bytes);
}

// The held end of the last unit goes out as it is: a pause follows, or nothing does.
void flush_held(ChunkBuffer &chunk) {
    chunk.count += join_flush(chunk.carry.join, chunk.data + chunk.count, kChunkCapacity - chunk.count);
}

// The item at the cursor once it can be rendered, reading on as far as that needs.
UtteranceItem *ready_item(TextReader *reader) {
    if (!reader) return current_item();
    while (!item_is_ready(*reader, current_item()))
        if (!read_ahead(*reader)) break;
    return current_item();
}

// The silence of a pause item.
int64_t item_pause(const UtteranceItem &item, const StepSettings &s) {
    if (item.kind == ItemKind::LineEnd) return item.ends_request ? s.request_end_pause : s.line_end_pause;
    if (item.added_full_stop && !s.added_full_stop) return 0;
    return s.punctuation_pause;
}

// Whether nothing but pauses of no length follows the word up to its request's end.
bool request_ends_silently_after(const UtteranceItem &word, const StepSettings &s) {
    for (const UtteranceItem *item = word.next; item; item = item->next) {
        if (item->kind == ItemKind::Word || item_pause(*item, s) > 0) return false;
        if (item->kind == ItemKind::LineEnd && item->ends_request) return true;
    }
    return false;  // not read yet: the request goes on
}

// The position of a word in its run, with the runs of requests that join taken together.
int run_position(int position, bool after_word, bool before_word) {
    if (position < Alone || position > Last) return position;
    after_word = after_word || position == Middle || position == Last;
    before_word = before_word || position == First || position == Middle;
    return after_word ? (before_word ? Middle : Last) : (before_word ? First : Alone);
}

// Forgets what belongs to another voice than the current one: its frames would not fit.
void check_carry_voice(RenderCarry &carry, int32_t frame_bytes) {
    const VoiceDatabase *voice = current_voice();
    if (carry.voice == voice && carry.frame_bytes == frame_bytes) return;
    join_discard(carry.join);
    carry.pending_silence = 0;
    carry.voice = voice;
    carry.frame_bytes = frame_bytes;
}

}  // namespace

void render_start_utterance(ChunkBuffer &chunk) {
    render_discard(chunk);
    chunk.carry.utterance_start = true;
}

void render_discard(ChunkBuffer &chunk) {
    join_discard(chunk.carry.join);
    chunk.carry.pending_silence = 0;
    chunk.carry.utterance_start = false;
    chunk.carry.run_continues = false;
}

bool render_pause_pending(const ChunkBuffer &chunk) { return chunk.carry.pending_silence > 0; }

bool render_holds_audio(const ChunkBuffer &chunk) {
    return join_held_bytes(chunk.carry.join) > 0 || render_pause_pending(chunk);
}

void render_next_item(ChunkBuffer &chunk, TextReader *reader, const RequestProsody &prosody, bool request_follows) {
    const StepSettings s = step_settings(prosody);
    RenderCarry &carry = chunk.carry;
    check_carry_voice(carry, s.frame_bytes);
    if (carry.pending_silence > 0) {
        append_pause(chunk, carry.pending_silence, s.frame_bytes);
        return;
    }

    for (;;) {
        UtteranceItem *item = ready_item(reader);
        if (!item) {
            // The request is through: its last unit's end waits only for a request queued after it.
            if (!request_follows) flush_held(chunk);
            return;
        }
        if (item->kind != ItemKind::Word) {
            // Nothing is put before an utterance's first audio.
            const int64_t pause = carry.utterance_start && s.leading_silence ? 0 : item_pause(*item, s);
            const bool request_ends = item->kind == ItemKind::LineEnd && item->ends_request;
            advance_cursor();  // frees the item
            if (pause > 0) {
                flush_held(chunk);
                append_pause(chunk, pause, s.frame_bytes);
                carry.run_continues = false;
                return;
            }
            // No silence: the units either side join as in a run of words, unless the request
            // ends here with nothing after it.
            if (request_ends && !request_follows) flush_held(chunk);
            if (chunk.count > 0) return;
            continue;
        }

        const bool continues = request_follows && request_ends_silently_after(*item, s);
        const int position = run_position(item->position, carry.run_continues, continues);
        char name[kUnitNameCapacity];
        // The known-unit test again: the voice may have changed since normalization.
        if (known_unit_name(item->norm_text.c_str(), position, name, sizeof name) != 0) {
            advance_cursor();
            continue;
        }
        const int32_t held = join_held_bytes(carry.join);
        // Leading pauses of failed words pile up; deliver them before they could crowd out a unit.
        if (chunk.count > 0 && chunk.count + 2 * s.consonant_pause + held + s.unit_limit > s.budget) return;

        parse_syllable(name);
        const bool first_audio = carry.utterance_start && s.leading_silence;
        const bool trailing_pause = final_needs_pause() && s.consonant_pause > 0;
        if (onset_needs_pause() && !first_audio && s.consonant_pause > 0) {
            flush_held(chunk);
            append_silence(chunk, s.consonant_pause, kChunkCapacity, s.frame_bytes);
        }
        const int32_t limit =
            std::max<int64_t>(0, std::min<int64_t>(s.unit_limit, s.budget - chunk.count - join_held_bytes(carry.join) -
                                                                     s.consonant_pause));
        unsigned char *unit = chunk.data + chunk.count;
        int written = s.classic_speed ? synthesize_unit(name, unit, limit, s.rate, s.pitch, s.volume)
                                      : synthesize_unit_at_speed(name, unit, limit, s.speed, s.pitch, s.volume);
        advance_cursor();
        if (written <= 0) continue;  // no audio: its leading pause stays and the next item joins this step

        if (carry.utterance_start) {
            if (first_audio) written = trim_unit_lead(unit, written, s.sample_rate, s.channels);
            carry.utterance_start = false;
        }
        carry.run_continues = continues;
        // The end of a unit that a pause follows is not held.
        const int hold = trailing_pause ? 0 : join_frames(s.join_ms, s.sample_rate, speed_factor(s.speed));
        if (hold > 0 || join_held_bytes(carry.join) > 0)
            written = join_unit(carry.join, unit, written, kChunkCapacity - chunk.count, hold, s.sample_rate, s.channels);
        chunk.count += written;
        if (trailing_pause) append_silence(chunk, s.consonant_pause, kChunkCapacity, s.frame_bytes);
        return;
    }
}
