// Joins of adjacent units in a run of words: the end of one unit overlaps the start of the next
// instead of each fading to zero with a gap between.
//
// The renderer hands the host one chunk per unit, and a chunk once delivered is gone. So the end
// of every unit is held back here (JOIN ms, shrunk by the speed, at most half the unit) and the
// chunk goes out without it; the next unit, when it follows with no pause, is written after room
// for that end and join_unit overlaps the two. Anything else that comes next (a pause, a mark, the
// end of the request) first takes the held end out unchanged with join_flush, so that the audio is
// then exactly the unit as it was made. Cancel forgets it with join_discard.
//
// Where the two overlap, the handover is put where neither is speaking when there is such a place
// (the end of one unit is often quiet, the start of the next usually is): the quiet stretch between
// is crossfaded and every speech sample of both units is kept as it was. Where both speak, they
// are crossfaded over the stretch where both speak. A crossfade is a raised cosine with weights
// adding to 1, so no sample passes either unit's peak, and it is never shorter than 1 ms (or the
// whole overlap, when that is shorter), so a quiet stretch shorter than that lets it reach up to
// 1 ms into the speech. Speech is told from quiet by the unit's own noise
// floor (voice/unit_silence.h).
//
// Length budget: each join shortens the pair by exactly its overlap, min(the held frames, half
// the next unit); nothing else is added or removed. A run of units comes out as the sum of their
// lengths less the sum of the overlaps.
#pragma once

#include <cstdint>

// JOIN's upper limit, in ms at normal speed.
constexpr int kJoinMaxMs = 20;
// The longest end held: kJoinMaxMs at the slowest speed (0.25x) and the highest sample rate a voice
// header can give (32767 Hz).
constexpr int kJoinMaxHoldFrames = kJoinMaxMs * 4 * 32767 / 1000 + 1;
// Units have one or two channels.
constexpr int kJoinMaxChannels = 2;
constexpr int kJoinMaxHoldBytes = kJoinMaxHoldFrames * kJoinMaxChannels * 2;

struct UnitJoin {
    int16_t tail[kJoinMaxHoldFrames * kJoinMaxChannels];  // the held end, interleaved
    int tail_frames = 0;
    int quiet_frames = 0;  // how many frames at the end of the tail are quiet
    int channels = 0;
};

// The overlap in frames for join_ms at normal speed: shorter as the units get faster.
int join_frames(int join_ms, int sample_rate, double speed_factor);

// Bytes of the held end that join_unit puts in front of the next unit (and join_flush writes).
int join_held_bytes(const UnitJoin &join);

// The unit_bytes just written at unit follow the held end with no pause between. Puts the held end
// in front of them, overlapped across min(held frames, half the unit), then holds back the last
// min(hold_frames, half the unit) frames of the unit for the next join. There must be room for
// unit_bytes + join_held_bytes(join) at unit (capacity); without it the held end is dropped.
// Returns the bytes at unit to deliver now. A held end of another channel count is dropped; with
// more than kJoinMaxChannels channels or hold_frames 0 nothing is held.
int join_unit(UnitJoin &join, unsigned char *unit, int unit_bytes, int capacity, int hold_frames, int sample_rate,
              int channels);

// Writes the held end at dest as it is, as much as room holds, and empties it. Returns the bytes
// written.
int join_flush(UnitJoin &join, unsigned char *dest, int room);

// Forgets the held end.
void join_discard(UnitJoin &join);
