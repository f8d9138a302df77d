// A syllable made up for audio tests: a quiet lead, an optional noise burst (the release of a stop
// consonant), a voiced vowel whose pitch glides (a tone), and a quiet tail, with the ends faded as
// decoded units are. Every part's place is known, so tests can find it again in the output.
#pragma once

#include <cstdint>
#include <vector>

struct SyntheticSyllable {
    int sample_rate = 22050;
    int channels = 1;
    int lead_ms = 8;
    int burst_ms = 3;        // 0: the vowel starts the speech
    int burst_level = 9000;  // peak of the burst
    int vowel_ms = 250;
    double pitch_start = 100;  // Hz, gliding linearly to pitch_end over the vowel
    double pitch_end = 150;
    int vowel_level = 8000;
    int tail_ms = 8;
    unsigned seed = 1;
};

// Interleaved samples (both channels alike, the second at 60 %).
std::vector<int16_t> synthetic_syllable(const SyntheticSyllable &syllable);
// Frame of the first burst sample (the first of the vowel without one) and of the first vowel sample.
int synthetic_speech_start(const SyntheticSyllable &syllable);
int synthetic_vowel_start(const SyntheticSyllable &syllable);
// The vowel's pitch at time fraction p (0..1) of the vowel.
double synthetic_pitch(const SyntheticSyllable &syllable, double p);

// Pitch of a clean voiced stretch at `frame` (first channel): the lag, within 80..400 Hz, whose
// stretch best matches the next one (the shortest within 10 % of the best, against octave
// errors). 0 when nothing there is periodic.
double measure_pitch(const std::vector<int16_t> &samples, int channels, int sample_rate, int frame);

// Largest difference between neighbouring frames in any channel, over frames [from, to).
int largest_jump(const std::vector<int16_t> &samples, int channels, int from, int to);
