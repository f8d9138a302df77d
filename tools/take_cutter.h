// Takes: checking a recording of a prompt, and cutting it into its words.
//
// A take is checked for clipping, a level too low and noise too high. It is cut where its words
// join: first by aligning it with espeak-ng's rendering of the same prompt (dynamic time warping
// on spectral features), whose word events say where espeak-ng's words join; then each join is
// moved to the nearest place where the energy dips or the spectrum changes. Every join gets a
// confidence; a join below kCutConfidenceThreshold is not trusted, and a take whose syllables
// cannot be counted to the prompt's is refused as a whole.
#pragma once

#include "tools/voice_audio.h"
#include "tools/voice_prompts.h"

#include <string>
#include <vector>

constexpr double kCutConfidenceThreshold = 0.5;
constexpr int kAnalysisRate = 16000;
constexpr int kAnalysisHop = 160;  // 10 ms frames

struct TakeLevels {
    double speech_db = -120;  // the loud part, dB of full scale (RMS of 10 ms frames)
    double noise_db = -120;   // the quiet part between and around the words
    int clipped_samples = 0;  // samples in flat runs at full scale
    int speech_start = 0;     // first and last sample of speech, at the take's rate
    int speech_end = 0;
};

// Levels of a take (any rate and channel count).
TakeLevels measure_take(const PcmAudio &take);
// What is wrong with a take's levels: "clipped", "too quiet", "too much noise"; empty when nothing.
std::vector<std::string> level_problems(const TakeLevels &levels);

// Loudness of the loud part of every take, and the room below it after that.
constexpr double kTakeTargetDb = -20;
constexpr double kTakePeakCeiling = 29000;  // about -1 dB of full scale

// The gain (dB) that brings a take's speech to kTakeTargetDb without its peak passing the ceiling.
double take_gain_db(const PcmAudio &take, const TakeLevels &levels);
// Applies a gain in dB.
void apply_gain_db(PcmAudio *audio, double gain_db);
// One noise gate for all the takes of a voice, from their room levels after their gains: a little
// over the noisiest of them (a few outliers aside), never near the speech.
double shared_gate_db(const std::vector<double> &room_db_after_gain);
// Silences what stays under the gate for longer than a short hold, fading in and out, so that
// units from quiet and noisy rooms meet on the same silence.
void apply_noise_gate(PcmAudio *audio, double gate_db);

struct TakeCut {
    std::vector<int> edges;          // samples at the take's rate: speech start, each join, speech end
    std::vector<double> confidence;  // of each join, 0..1
    int syllables_heard = 0;         // vowel nuclei counted in the take
    std::vector<std::string> problems;  // "heard 2 syllables, the prompt has 3", "no speech"
};

// Cuts a take of the prompt into its words. Uses espeak-ng (started when needed). 0, or -1 with a
// reason in *error when espeak-ng fails; a take that cannot be cut returns 0 with problems.
int cut_take(const PcmAudio &take, const Prompt &prompt, TakeCut *cut, std::string *error);

// Writes the units the take gives into dir, as recording files (<syllable>.<position>.wav), each
// word from the join before it to the join after it, with short fades where a join cuts through
// sound. Words next to a join below kCutConfidenceThreshold are left out. Returns the number of
// files written, or -1 with a reason in *error.
int write_take_units(const PcmAudio &take, const Prompt &prompt, const TakeCut &cut, const std::string &dir,
                     std::vector<std::string> *left_out, std::string *error);

// The cut's joins below kCutConfidenceThreshold, as "join 2 (0.31)"; empty when all are trusted.
std::vector<std::string> weak_joins(const TakeCut &cut);
