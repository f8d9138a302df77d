// Syllables spoken by espeak-ng's Vietnamese voices through its C library, one at a time.
#pragma once

#include "tools/voice_audio.h"

#include <string>
#include <vector>

// espeak-ng's speed (words per minute) and pitch (0..100) for each position code: a syllable
// inside a phrase is spoken faster than one alone, the last of a phrase slower and lower.
struct EspeakPositionStyle {
    int words_per_minute;
    int pitch;
};
extern const EspeakPositionStyle kEspeakPositionStyles[4];

// The regional speech of espeak-ng's Vietnamese voices, and the voice file each is built into.
struct EspeakVariant {
    const char *name;          // "northern", "central", "southern"
    const char *espeak_voice;  // espeak-ng's voice name
    const char *voice_name;    // the voice's name, also its file name beside the default voice
};
extern const EspeakVariant kEspeakVariants[3];
// The variant called name ("northern", "central", "southern", or "north", "south", or espeak-ng's
// own voice name), or nullptr.
const EspeakVariant *espeak_variant(const std::string &name);

// Starts espeak-ng (once per process) and selects the variant's voice. Returns its sample rate,
// or -1 with a reason in *error.
int espeak_source_start(const EspeakVariant &variant, std::string *error);
// Speaks one syllable (UTF-8 Vietnamese) in the style of position 0..3 into *audio. espeak-ng is
// not thread-safe, so calls from several threads take turns. 0, or -1 with a reason in *error.
// espeak-ng carries state from one text to the next (even across a restart), so the samples of a
// syllable depend on everything the process had it speak before.
int espeak_speak_syllable(const std::string &utf8, int position, PcmAudio *audio, std::string *error);
// A phrase spoken in one voice and style: the voice name with an optional variant ("vi",
// "vi+f2", "vi-vn-x-south"), words per minute and pitch.
struct EspeakPhraseStyle {
    std::string voice = "vi";
    int words_per_minute = 175;
    int pitch = 50;
};
// Where a word of a spoken phrase lies, in samples from the start of the phrase.
struct EspeakWordTiming {
    int start;        // the word begins: the previous word's last phoneme ends here
    int sound_start;  // its first phoneme that is not a pause (a pause may follow the previous word)
};
// Speaks a phrase (UTF-8) into *audio and gives each word's timing from espeak-ng's events.
// The voice the syllables are spoken in (the variant's) is restored afterwards. 0, or -1 with a
// reason in *error.
int espeak_speak_phrase(const std::string &utf8, const EspeakPhraseStyle &style, PcmAudio *audio,
                        std::vector<EspeakWordTiming> *words, std::string *error);
// Releases the sample buffer. espeak-ng itself stays started: version 1.51 can hang in
// espeak_Terminate once it has spoken from other threads, and starting it again is no fresh start.
void espeak_source_stop();
