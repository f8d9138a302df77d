// Synthetic takes: a prompt spoken by espeak-ng as a stand-in speaker, with room noise, a level
// of its own and, on request, clipping; the true places of the joins between its words come from
// espeak-ng's word and phoneme events. For the tests of the cutter and for rehearsing the recording
// workflow without a microphone.
#pragma once

#include "tools/voice_audio.h"
#include "tools/voice_prompts.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SyntheticTakeOptions {
    std::string voice = "vi+f2";  // the stand-in speaker, not the voice the cutter aligns against
    int words_per_minute = 150;
    int pitch = 40;
    int sample_rate = 44100;  // as a microphone take
    double gain_db = 0;        // level of the speech: 0 puts its peak at -6 dB of full scale
    double noise_db = -62;     // room noise, dB below full scale (RMS)
    double clip_db = 0;        // > 0: peaks driven this far over full scale and clipped
    int lead_ms = 350;         // room noise before and after the speech
    int pause_ms = 450;        // between words said alone
};

struct SyntheticTake {
    PcmAudio audio;
    // For each join between two words, the samples where the first word's sound ends and the
    // second's begins: a cut anywhere in between is right.
    std::vector<std::pair<int, int>> joins;
};

// Speaks the words (UTF-8 Vietnamese) as one phrase (kind Run) or each alone (kind Alone). The
// noise comes from seed. 0, or -1 with a reason in *error. Starts espeak-ng if needed.
int synthesize_take(const std::vector<std::string> &words, PromptKind kind, const SyntheticTakeOptions &options,
                    uint32_t seed, SyntheticTake *take, std::string *error);

// The words of a prompt in Vietnamese letters.
std::vector<std::string> prompt_words(const Prompt &prompt);
