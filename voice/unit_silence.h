// Where a unit's speech begins and ends against its own noise floor, and the trim of its lead
// for the first audio of a request.
//
// Levels are taken in 1 ms windows over every channel. The noise floor is the quietest window;
// a window is speech when its level is more than 12 dB above that floor and above -72 dBFS (a
// voice cut to digital silence has a floor of 0), or within 20 dB of the loudest window. A window
// that is not speech is quiet.
#pragma once

#include <cstdint>

// The lead a trimmed unit keeps before its speech, in ms.
constexpr int kTrimmedLeadMs = 5;

struct UnitSpeechSpan {
    int first_frame = 0;  // first frame of the first speech window; frames when there is none
    int end_frame = 0;    // one past the last frame of the last speech window; 0 when there is none
};

// The speech span of frames interleaved 16-bit frames stored as bytes (native order, any
// alignment). A unit without speech gives first_frame == frames and end_frame == 0.
UnitSpeechSpan unit_speech_span(const unsigned char *pcm, int frames, int sample_rate, int channels);

// Removes all but the last kTrimmedLeadMs of the quiet lead before the unit's speech, moving
// the rest to the front of pcm, and fades the new start in over sample_rate / 800 frames (as the
// edge fades do). Speech is never touched: a unit whose lead is already that short, or that has
// no speech, is left as it is. Returns the bytes that remain.
int trim_unit_lead(unsigned char *pcm, int bytes, int sample_rate, int channels);
