// Syllables spoken by espeak-ng's Vietnamese voice through its C library, one at a time.
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

// Starts espeak-ng with its Vietnamese voice (once per process). Returns its sample rate, or -1
// with a reason in *error.
int espeak_source_start(std::string *error);
// Speaks one syllable (UTF-8 Vietnamese) in the style of position 0..3 into *audio. espeak-ng is
// not thread-safe, so calls from several threads take turns. 0, or -1 with a reason in *error.
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
// The syllable voice is restored afterwards. 0, or -1 with a reason in *error.
int espeak_speak_phrase(const std::string &utf8, const EspeakPhraseStyle &style, PcmAudio *audio,
                        std::vector<EspeakWordTiming> *words, std::string *error);
// Releases espeak-ng; a later start opens it again.
void espeak_source_stop();
