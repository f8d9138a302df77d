// Synthetic takes from espeak-ng: speech, joins from its events, then level, clipping and noise.
#include "tools/take_synth.h"

#include "tools/espeak_source.h"
#include "tools/voice_builder.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double kSoundFloor = 60.0;  // |sample| above which clean espeak-ng output is sound
constexpr double kInaudibleDb = 35;
constexpr double kPeakAtNoGain = 16384;  // -6 dB of full scale   // a stretch this far under the phrase's loudest is silence

int first_sound(const std::vector<int16_t> &samples) {
    for (size_t i = 0; i < samples.size(); i++)
        if (std::abs(samples[i]) > kSoundFloor) return static_cast<int>(i);
    return static_cast<int>(samples.size());
}

int last_sound_end(const std::vector<int16_t> &samples) {
    for (size_t i = samples.size(); i > 0; i--)
        if (std::abs(samples[i - 1]) > kSoundFloor) return static_cast<int>(i);
    return 0;
}

// Widens a join over the silence around it (a stop's closure, a pause): a cut anywhere in it
// parts the words as well. Silence is kInaudibleDb under the loudest 2.5 ms of the phrase.
std::pair<int, int> widen_over_silence(const std::vector<int16_t> &samples, int sample_rate, std::pair<int, int> join) {
    const int window = std::max(1, sample_rate / 400);
    const int count = static_cast<int>(samples.size());
    auto rms = [&](int from) {
        double sum = 0;
        for (int i = from; i < from + window; i++) sum += static_cast<double>(samples[i]) * samples[i];
        return std::sqrt(sum / window);
    };
    double loudest = 0;
    for (int from = 0; from + window <= count; from += window) loudest = std::max(loudest, rms(from));
    const double quiet_below = loudest * std::pow(10.0, -kInaudibleDb / 20);
    auto quiet = [&](int from) { return from >= 0 && from + window <= count && rms(from) < quiet_below; };
    while (quiet(join.first - window)) join.first -= window;
    while (quiet(join.second)) join.second += window;
    return join;
}

}  // namespace

std::vector<std::string> prompt_words(const Prompt &prompt) {
    std::vector<std::string> words;
    for (const PromptWord &word : prompt.words) words.push_back(ascii_to_vietnamese(word.syllable));
    return words;
}

int synthesize_take(const std::vector<std::string> &words, PromptKind kind, const SyntheticTakeOptions &options,
                    uint32_t seed, SyntheticTake *take, std::string *error) {
    *take = SyntheticTake();
    if (words.empty()) {
        *error = "no words";
        return -1;
    }
    if (espeak_source_start(kEspeakVariants[0], error) < 0) return -1;
    EspeakPhraseStyle style;
    style.voice = options.voice;
    style.words_per_minute = options.words_per_minute;
    style.pitch = options.pitch;

    PcmAudio speech;
    std::vector<std::pair<int, int>> joins;
    if (kind == PromptKind::Run) {
        std::string phrase;
        for (const std::string &word : words) phrase += (phrase.empty() ? "" : " ") + word;
        std::vector<EspeakWordTiming> timing;
        if (espeak_speak_phrase(phrase, style, &speech, &timing, error) != 0) return -1;
        if (timing.size() != words.size()) {
            *error = "espeak-ng spoke \"" + phrase + "\" as " + std::to_string(timing.size()) + " words";
            return -1;
        }
        for (size_t i = 1; i < timing.size(); i++)
            joins.push_back(widen_over_silence(speech.samples, speech.sample_rate, {timing[i].start, timing[i].sound_start}));
        const int start = first_sound(speech.samples), end = last_sound_end(speech.samples);
        speech.samples = std::vector<int16_t>(speech.samples.begin() + start, speech.samples.begin() + end);
        for (auto &join : joins) join = {join.first - start, join.second - start};
    } else {
        for (size_t i = 0; i < words.size(); i++) {
            PcmAudio word;
            std::vector<EspeakWordTiming> timing;
            if (espeak_speak_phrase(words[i], style, &word, &timing, error) != 0) return -1;
            const int start = first_sound(word.samples), end = last_sound_end(word.samples);
            if (i > 0) {
                const int pause = word.sample_rate * options.pause_ms / 1000;
                joins.emplace_back(static_cast<int>(speech.samples.size()), static_cast<int>(speech.samples.size()) + pause);
                speech.samples.insert(speech.samples.end(), static_cast<size_t>(pause), 0);
            }
            speech.sample_rate = word.sample_rate;
            speech.channels = 1;
            speech.samples.insert(speech.samples.end(), word.samples.begin() + start, word.samples.begin() + end);
        }
    }

    // To the take's rate; the joins follow.
    const double ratio = static_cast<double>(options.sample_rate) / speech.sample_rate;
    PcmAudio resampled = resample(speech, options.sample_rate);
    for (auto &join : joins)
        join = {static_cast<int>(std::lround(join.first * ratio)), static_cast<int>(std::lround(join.second * ratio))};

    double peak = 1;
    for (int16_t s : resampled.samples) peak = std::max(peak, std::fabs(static_cast<double>(s)));
    double gain = kPeakAtNoGain / peak * std::pow(10.0, options.gain_db / 20);
    if (options.clip_db > 0) gain = 32767.0 / peak * std::pow(10.0, options.clip_db / 20);
    const int lead = options.sample_rate * options.lead_ms / 1000;
    std::mt19937 random(seed);
    std::normal_distribution<double> white(0.0, 1.0);
    const double noise_rms = 32768.0 * std::pow(10.0, options.noise_db / 20);
    take->audio.sample_rate = options.sample_rate;
    take->audio.channels = 1;
    const size_t total = resampled.samples.size() + 2 * static_cast<size_t>(lead);
    take->audio.samples.resize(total);
    double pink = 0;  // a one-pole low-pass of white noise: room noise is mostly low
    for (size_t i = 0; i < total; i++) {
        pink = 0.95 * pink + 0.3122 * white(random);  // unit RMS
        double value = noise_rms * pink;
        if (i >= static_cast<size_t>(lead) && i < static_cast<size_t>(lead) + resampled.samples.size())
            value += gain * resampled.samples[i - lead];
        take->audio.samples[i] = static_cast<int16_t>(std::lround(std::max(-32768.0, std::min(32767.0, value))));
    }
    for (auto &join : joins) take->joins.emplace_back(join.first + lead, join.second + lead);
    return 0;
}
