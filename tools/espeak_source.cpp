// espeak-ng in retrieval mode: samples arrive through the synth callback into one buffer.
#include "tools/espeak_source.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

const EspeakPositionStyle kEspeakPositionStyles[4] = {
    {165, 50},  // alone
    {215, 54},  // first: quick, the phrase rises into it
    {240, 51},  // middle: quickest
    {140, 44},  // last: lengthened and falling
};

const EspeakVariant kEspeakVariants[3] = {
    {"northern", "vi", "vi-default"},
    {"central", "vi-vn-x-central", "vi-central"},
    {"southern", "vi-vn-x-south", "vi-south"},
};

namespace {

std::mutex espeak_mutex;
bool espeak_started = false;
int espeak_rate = 0;
const char *syllable_voice = "vi";  // the variant's voice, which a phrase in another voice restores
std::vector<int16_t> collected;
std::vector<EspeakWordTiming> *collected_words = nullptr;  // set while a phrase is spoken

bool is_pause_phoneme(const espeak_EVENT &event) { return event.id.string[0] == '_'; }

int collect_samples(short *wave, int count, espeak_EVENT *events) {
    if (wave && count > 0) collected.insert(collected.end(), wave, wave + count);
    for (espeak_EVENT *e = events; collected_words && e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        // espeak-ng sometimes ends a phrase with an empty word at its last sample: not a word.
        if (e->type == espeakEVENT_WORD && e->length > 0) {
            collected_words->push_back({e->sample, -1});
        } else if (e->type == espeakEVENT_PHONEME && !is_pause_phoneme(*e) && !collected_words->empty() &&
                   collected_words->back().sound_start < 0) {
            collected_words->back().sound_start = e->sample;
        }
    }
    return 0;  // go on
}

}  // namespace

const EspeakVariant *espeak_variant(const std::string &name) {
    for (const EspeakVariant &variant : kEspeakVariants) {
        const std::string full = variant.name;
        if (name == full || name == variant.espeak_voice || name == variant.voice_name ||
            (name.size() >= 4 && full.compare(0, name.size(), name) == 0 && full.size() == name.size() + 2))
            return &variant;
    }
    return nullptr;
}

int espeak_source_start(const EspeakVariant &variant, std::string *error) {
    std::lock_guard<std::mutex> lock(espeak_mutex);
    if (!espeak_started) {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
        if (rate <= 0) {
            *error = "espeak-ng could not start (is espeak-ng-data installed?)";
            return -1;
        }
        espeak_SetSynthCallback(collect_samples);
        espeak_started = true;
        espeak_rate = rate;
    }
    if (espeak_SetVoiceByName(variant.espeak_voice) != EE_OK) {
        *error = std::string("espeak-ng has no Vietnamese voice \"") + variant.espeak_voice + "\"";
        return -1;
    }
    syllable_voice = variant.espeak_voice;
    return espeak_rate;
}

int espeak_speak_syllable(const std::string &utf8, int position, PcmAudio *audio, std::string *error) {
    if (position < 0 || position > 3) {
        *error = "bad position";
        return -1;
    }
    std::lock_guard<std::mutex> lock(espeak_mutex);
    if (!espeak_started) {
        *error = "espeak-ng is not started";
        return -1;
    }
    const EspeakPositionStyle &style = kEspeakPositionStyles[position];
    espeak_SetParameter(espeakRATE, style.words_per_minute, 0);
    espeak_SetParameter(espeakPITCH, style.pitch, 0);
    collected.clear();
    const espeak_ERROR result = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    if (result != EE_OK) {
        *error = "espeak-ng failed on \"" + utf8 + "\"";
        return -1;
    }
    audio->sample_rate = espeak_rate;
    audio->channels = 1;
    audio->samples.swap(collected);
    collected.clear();
    return 0;
}

int espeak_speak_phrase(const std::string &utf8, const EspeakPhraseStyle &style, PcmAudio *audio,
                        std::vector<EspeakWordTiming> *words, std::string *error) {
    std::lock_guard<std::mutex> lock(espeak_mutex);
    if (!espeak_started) {
        *error = "espeak-ng is not started";
        return -1;
    }
    if (espeak_SetVoiceByName(style.voice.c_str()) != EE_OK) {
        *error = "espeak-ng has no voice \"" + style.voice + "\"";
        espeak_SetVoiceByName(syllable_voice);
        return -1;
    }
    espeak_SetParameter(espeakRATE, style.words_per_minute, 0);
    espeak_SetParameter(espeakPITCH, style.pitch, 0);
    collected.clear();
    words->clear();
    collected_words = words;
    const espeak_ERROR result = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    collected_words = nullptr;
    espeak_SetVoiceByName(syllable_voice);
    if (result != EE_OK) {
        *error = "espeak-ng failed on \"" + utf8 + "\"";
        return -1;
    }
    const int total = static_cast<int>(collected.size());
    for (EspeakWordTiming &word : *words) {
        if (word.sound_start < 0) word.sound_start = total;
        word.start = std::min(word.start, total);
    }
    audio->sample_rate = espeak_rate;
    audio->channels = 1;
    audio->samples.swap(collected);
    collected.clear();
    return 0;
}

void espeak_source_stop() {
    std::lock_guard<std::mutex> lock(espeak_mutex);
    std::vector<int16_t>().swap(collected);
}
