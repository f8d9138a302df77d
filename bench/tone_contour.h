// Tone contours of the benchmarks: pitch tracks from praat, and how far one contour strays from
// another, in semitones.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Pitch in Hz of every 1 ms frame of a sound, 0 where it is unvoiced.
using PitchTrack = std::vector<double>;

// Writes 16-bit PCM as a WAV file with pad_ms of silence on either side (praat needs three periods
// of its lowest pitch, more than a fast syllable lasts). false when it cannot be written.
bool write_padded_wav(const std::string &path, const std::vector<int16_t> &samples, int sample_rate, int channels,
                      int pad_ms);

// Runs praat with bench/pitch_listing.praat over every WAV in folder, by its autocorrelation method
// or (cross_correlation) its cross-correlation method: tracks by file name (without ".wav"). false
// with a reason when praat is missing or fails.
bool praat_pitch_tracks(const std::string &folder, bool cross_correlation, std::map<std::string, PitchTrack> *tracks,
                        std::string *error);

struct ContourError {
    bool compared = false;  // both voiced somewhere at the points compared
    double semitones = 0;   // mean |12 log2(test / reference)| over them
};

// The test contour against the reference: 20 points from 5 % to 95 % of each one's voiced span
// (first to last voiced frame), compared where both are voiced. The voiced span is where the tone
// lives, so this holds whatever shortened the onset or the final.
ContourError contour_error(const PitchTrack &reference, const PitchTrack &test);

struct ContourSummary {
    int compared = 0;
    int untracked = 0;          // no voiced frame at the points compared
    double mean_semitones = 0;  // over the compared
    double over_one = 0;        // share of the compared over 1 semitone
};

ContourSummary summarize(const std::vector<ContourError> &errors);
