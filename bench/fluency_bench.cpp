// velorin-fluency: how quick and fluent the engine sounds to a screen-reader user, next to
// espeak-ng (its library, Vietnamese voice) on the same texts in the same run. The engine is
// loaded at run time and driven through its export names, engine parameters included, so the
// same program measures the classic and the fluent profile.
//
// Audio is judged as a host that starts playing the first chunk the moment it arrives and plays
// on without a break would hear it: a sample is heard at the later of its chunk's arrival and the
// end of everything before it.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "bench/bench_support.h"
#include "tone_contour.h"
#include "tools/engine_host.h"
#include "tools/host_platform.h"
#include "tools/voice_catalog.h"

#ifndef VELORIN_SOURCE_DIR
#define VELORIN_SOURCE_DIR "."
#endif

namespace {

const char kUsage[] =
    "Usage: velorin-fluency [OPTIONS]\n"
    "First audible sound, silence, speed, gaps between requests, tone contours at speed, seams and\n"
    "clipping: the engine next to espeak-ng on the same texts.\n"
    "\n"
    "  --voice PATH          voice file (default: the default voice beside the program)\n"
    "  --library PATH        engine library (default: the one beside the program)\n"
    "  --profile NAME        classic (default) or fluent: the engine's PROFILE parameter\n"
    "  --param NAME=VALUE    one engine parameter after the profile (NAME as in velorin_nvda.h,\n"
    "                        without VELORIN_PARAM_, e.g. SPEED=300); repeatable\n"
    "  --top-speed PERCENT   SPEED at the top speed, with SetRate at its top (default: 100 classic,\n"
    "                        400 fluent)\n"
    "  --long-minutes N      length of the long paragraph (default 10)\n"
    "  --texts DIR           utterances.txt and paragraph.txt (default bench/fluency)\n"
    "  --no-espeak           the engine only\n"
    "  --no-tones            skip the tone contours (they need praat)\n";

constexpr double kAudible = 327.68;  // -40 dBFS
constexpr int kWindowMs = 10;        // windows of the silence share
constexpr int kToneEdge = 33;        // -60 dBFS: where a lone syllable's sound begins and ends
constexpr double kEspeakNormalRate = 175;
constexpr int kEspeakDocumentedTop = 450;

const char *const kToneSyllables[] = {
    "ma", "má", "mà", "mả", "mã", "mạ", "mi", "mí", "mì", "mỉ", "mĩ", "mị", "na", "ná", "nà", "nả",
    "nã", "nạ", "no", "nó", "nò", "nỏ", "nõ", "nọ", "la", "lá", "là", "lả", "lã", "lạ", "va", "vá",
    "và", "vả", "vã", "vạ", "me", "mé", "mè", "mẻ", "mẽ", "mẹ", "lu", "lú", "lù", "lủ", "lũ", "lụ",
};
const int kToneFactors[] = {1, 2, 3, 4};

const std::pair<const char *, int> kParameterNames[] = {
    {"PROFILE", VELORIN_PARAM_PROFILE},
    {"LEADING_SILENCE", VELORIN_PARAM_LEADING_SILENCE},
    {"CONSONANT_PAUSES", VELORIN_PARAM_CONSONANT_PAUSES},
    {"PUNCTUATION_PAUSE", VELORIN_PARAM_PUNCTUATION_PAUSE},
    {"LINE_END_PAUSE", VELORIN_PARAM_LINE_END_PAUSE},
    {"REQUEST_END_PAUSE", VELORIN_PARAM_REQUEST_END_PAUSE},
    {"ADDED_FULL_STOP", VELORIN_PARAM_ADDED_FULL_STOP},
    {"PAUSE_CLOCK", VELORIN_PARAM_PAUSE_CLOCK},
    {"SPEED", VELORIN_PARAM_SPEED},
    {"JOIN", VELORIN_PARAM_JOIN},
    {"DIAGNOSTICS", VELORIN_PARAM_DIAGNOSTICS},
    {"REQUEST_RATE", VELORIN_PARAM_REQUEST_RATE},
    {"REQUEST_PITCH", VELORIN_PARAM_REQUEST_PITCH},
    {"REQUEST_VOLUME", VELORIN_PARAM_REQUEST_VOLUME},
    {"GAIN", VELORIN_PARAM_GAIN},
};

struct Options {
    std::string voice;
    std::string library;
    std::string texts = VELORIN_SOURCE_DIR "/bench/fluency";
    bool fluent = false;
    std::vector<std::pair<int, int>> parameters;
    int top_speed = -1;
    int long_minutes = 10;
    bool espeak = true;
    bool tones = true;
};

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(stderr, "velorin-fluency: %s\n", message.c_str());
    std::exit(1);
}

int parse_number(const std::string &option, const std::string &text) {
    char *end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || n < 0 || n > 100000) fail("invalid number for " + option + ": " + text);
    return static_cast<int>(n);
}

Options parse_options(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("option " + arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--voice") {
            options.voice = value();
        } else if (arg == "--library") {
            options.library = value();
        } else if (arg == "--texts") {
            options.texts = value();
        } else if (arg == "--profile") {
            const std::string name = value();
            if (name != "classic" && name != "fluent") fail("--profile is classic or fluent");
            options.fluent = name == "fluent";
        } else if (arg == "--param") {
            const std::string setting = value();
            const size_t equals = setting.find('=');
            const std::string name = setting.substr(0, equals);
            auto known = std::find_if(std::begin(kParameterNames), std::end(kParameterNames),
                                      [&](const auto &entry) { return name == entry.first; });
            if (equals == std::string::npos || known == std::end(kParameterNames)) fail("unknown parameter " + setting);
            options.parameters.emplace_back(known->second, parse_number(arg, setting.substr(equals + 1)));
        } else if (arg == "--top-speed") {
            options.top_speed = parse_number(arg, value());
        } else if (arg == "--long-minutes") {
            options.long_minutes = std::max(1, parse_number(arg, value()));
        } else if (arg == "--no-espeak") {
            options.espeak = false;
        } else if (arg == "--no-tones") {
            options.tones = false;
        } else {
            fail("unknown option " + arg + " (see --help)");
        }
    }
    if (options.top_speed < 0) options.top_speed = options.fluent ? 400 : 100;
    return options;
}

// ---- audio as a host receives it ----

using Clock = std::chrono::steady_clock;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Stream {
    int sample_rate = 0;
    int channels = 1;
    int64_t asked_ns = 0;
    std::vector<int16_t> samples;
    std::vector<size_t> chunk_start;  // first frame of every chunk
    std::vector<int64_t> chunk_arrival_ns;
    std::vector<size_t> request_start;  // first frame of each request's audio after the first

    size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
    double seconds() const { return static_cast<double>(frames()) / sample_rate; }
    int level(size_t frame) const {
        int largest = 0;
        for (int c = 0; c < channels; ++c) largest = std::max(largest, std::abs(samples[frame * channels + c]));
        return largest;
    }
    void add(const int16_t *pcm, size_t count) {
        chunk_start.push_back(frames());
        chunk_arrival_ns.push_back(now_ns());
        samples.insert(samples.end(), pcm, pcm + count);
    }
};

// When frame is heard, ns after the request was made.
double heard_ms(const Stream &s, size_t frame) {
    double playing = 0;  // end of what has been played so far, ns after the first chunk's arrival
    for (size_t c = 0; c < s.chunk_start.size(); ++c) {
        const double arrival = static_cast<double>(s.chunk_arrival_ns[c] - s.chunk_arrival_ns[0]);
        const double start = std::max(playing, arrival);
        const size_t end = c + 1 < s.chunk_start.size() ? s.chunk_start[c + 1] : s.frames();
        if (frame < end) {
            const double at = start + 1e9 * static_cast<double>(frame - s.chunk_start[c]) / s.sample_rate;
            return (at + static_cast<double>(s.chunk_arrival_ns[0] - s.asked_ns)) / 1e6;
        }
        playing = start + 1e9 * static_cast<double>(end - s.chunk_start[c]) / s.sample_rate;
    }
    return NAN;
}

// First and last frame at or above a level, in [from, to); -1 when there is none.
long first_at(const Stream &s, double level, size_t from, size_t to) {
    for (size_t f = from; f < std::min(to, s.frames()); ++f)
        if (s.level(f) >= level) return static_cast<long>(f);
    return -1;
}

long last_at(const Stream &s, double level, size_t from, size_t to) {
    for (size_t f = std::min(to, s.frames()); f-- > from;)
        if (s.level(f) >= level) return static_cast<long>(f);
    return -1;
}

// Share of 10 ms windows whose level is below -40 dBFS.
double silence_share(const Stream &s) {
    const size_t window = static_cast<size_t>(s.sample_rate * kWindowMs / 1000);
    size_t quiet = 0, windows = 0;
    for (size_t start = 0; start + window <= s.frames(); start += window, ++windows) {
        double sum = 0;
        for (size_t i = start * s.channels; i < (start + window) * s.channels; ++i) sum += double(s.samples[i]) * s.samples[i];
        if (std::sqrt(sum / static_cast<double>(window * s.channels)) < kAudible) ++quiet;
    }
    return windows ? static_cast<double>(quiet) / windows : NAN;
}

int jump(const Stream &s, size_t frame) {
    int largest = 0;
    for (int c = 0; c < s.channels && frame > 0; ++c)
        largest = std::max(largest, std::abs(s.samples[frame * s.channels + c] - s.samples[(frame - 1) * s.channels + c]));
    return largest;
}

struct Seams {
    int at_seam = 0;     // across a chunk boundary
    int after_seam = 0;  // within 20 ms after one, where a join's overlap lies
    int in_join = -1;    // within the held end after one: where two units overlap (-1: no joins)
    long joins_over = 0;  // joins with a jump over 2000 there
    int anywhere = 0;
    long clipped = 0;
};

// join_frames: the held end of a unit, which the next chunk starts with and the next unit
// overlaps; 0 without joins.
Seams seams(const Stream &s, size_t join_frames) {
    Seams result;
    const size_t after = static_cast<size_t>(s.sample_rate / 50);
    for (size_t f = 1; f < s.frames(); ++f) result.anywhere = std::max(result.anywhere, jump(s, f));
    for (int16_t v : s.samples) result.clipped += v == 32767 || v == -32768;
    if (join_frames > 0) result.in_join = 0;
    for (size_t b : s.chunk_start) {
        if (b == 0 || b >= s.frames()) continue;
        result.at_seam = std::max(result.at_seam, jump(s, b));
        for (size_t f = b; f < std::min(s.frames(), b + after); ++f) result.after_seam = std::max(result.after_seam, jump(s, f));
        int in_join = 0;
        for (size_t f = b; f < std::min(s.frames(), b + join_frames + 1); ++f) in_join = std::max(in_join, jump(s, f));
        if (join_frames > 0) result.in_join = std::max(result.in_join, in_join);
        result.joins_over += join_frames > 0 && in_join > 2000;
    }
    return result;
}

// The sound of a lone syllable: from its first to its last sample above -60 dBFS.
std::vector<int16_t> syllable_sound(const Stream &s) {
    const long first = first_at(s, kToneEdge, 0, s.frames());
    const long last = last_at(s, kToneEdge, 0, s.frames());
    if (first < 0) return {};
    return std::vector<int16_t>(s.samples.begin() + first * s.channels, s.samples.begin() + (last + 1) * s.channels);
}

// Syllables of a Vietnamese text: its words.
int syllables_in(const std::string &text) {
    std::istringstream words(text);
    std::string word;
    int count = 0;
    while (words >> word) count += std::any_of(word.begin(), word.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || (c & 0x80); });
    return count;
}

// A sentence cut in two between words, where no mark stands (the nearest such place to its
// middle); empty when there is none.
std::vector<std::string> split_between_words(const std::string &sentence) {
    std::vector<std::string> words;
    std::istringstream in(sentence);
    for (std::string w; in >> w;) words.push_back(w);
    size_t best = 0;
    for (size_t k = 1; k < words.size(); ++k) {
        const char last = words[k - 1].back();
        if (std::strchr(",.;:!?)\"'", last)) continue;
        if (!best || std::abs(2.0 * k - words.size()) < std::abs(2.0 * best - words.size())) best = k;
    }
    if (!best) return {};
    std::string first, second;
    for (size_t k = 0; k < words.size(); ++k) (k < best ? first : second) += (k == 0 || k == best ? "" : " ") + words[k];
    return {first, second};
}

// Sentences: cut after '.', '!' or '?'.
std::vector<std::string> sentences_of(const std::string &text) {
    std::vector<std::string> sentences;
    std::string current;
    for (char c : text) {
        if (c == '\n') c = ' ';
        if (current.empty() && c == ' ') continue;
        current += c;
        if (c == '.' || c == '!' || c == '?') sentences.push_back(current), current.clear();
    }
    if (current.find_first_not_of(' ') != std::string::npos) sentences.push_back(current);
    return sentences;
}

// ---- the two engines, each with speak (the texts as requests in a row, all their audio back),
// set_speed (a factor of normal speed; beyond its reach an engine does what it does) and
// speed_name (how that speed was asked for) ----

Stream g_capture;
VelorinGetIntFn g_last_index = nullptr;
int g_request_heard = 0;

// A request's audio starts with the first chunk delivered while it is the one spoken; the held end
// of the request before it may come first in that chunk.
int receive_chunk(char *pcm, int bytes) {
    if (bytes <= 0) return 0;
    const int index = g_last_index();
    if (index > g_request_heard) {
        g_request_heard = index;
        g_capture.request_start.push_back(g_capture.frames());
    }
    g_capture.add(reinterpret_cast<int16_t *>(pcm), static_cast<size_t>(bytes) / 2);
    return 0;
}

struct EngineSpeaker {
    EngineEntries engine{};
    VoiceFormat format;
    int speed_percent = 100;  // SPEED as the profile left it

    explicit EngineSpeaker(const Options &options) {
        const std::string voice = options.voice.empty() ? default_voice_path() : options.voice;
        if (voice.empty()) fail("no voice: give one with --voice (the default voice has not been built)");
        std::string error;
        if (read_voice_format(voice, &format, &error) != 0) fail(error);
        if (load_engine_entries(options.library.empty() ? default_library_path() : options.library, &engine, &error) != 0)
            fail(error);
        if (engine.init(voice.c_str()) != 0) fail("cannot load the voice " + voice);
        engine.init_synth(receive_chunk);
        g_last_index = engine.get_last_index;
        engine.set_parameter(VELORIN_PARAM_PROFILE, options.fluent ? VELORIN_PROFILE_FLUENT : VELORIN_PROFILE_CLASSIC);
        engine.set_parameter(VELORIN_PARAM_DIAGNOSTICS, 0);
        for (const auto &[parameter, value] : options.parameters) engine.set_parameter(parameter, value);
        speed_percent = engine.get_parameter(VELORIN_PARAM_SPEED);
    }
    ~EngineSpeaker() { engine.terminate_synth(); }

    Stream speak(const std::vector<std::string> &texts) {
        std::vector<std::u16string> wide;
        for (const std::string &t : texts) wide.push_back(to_utf16(t));
        g_capture = Stream{};
        g_capture.sample_rate = format.sample_rate;
        g_capture.channels = format.channels;
        g_capture.asked_ns = now_ns();
        g_request_heard = 0;
        engine.set_parameter(VELORIN_PARAM_HOLD, 1);
        for (size_t i = 0; i < wide.size(); ++i)
            engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(wide[i].c_str()), static_cast<int>(i));
        engine.set_parameter(VELORIN_PARAM_HOLD, 0);
        while (engine.get_last_index() != -1) std::this_thread::sleep_for(std::chrono::microseconds(200));
        return g_capture;
    }
    // SetRate as far as it goes (2x), SPEED for the rest.
    void set_speed(double factor) {
        const int host_rate = std::min(100, static_cast<int>(std::lround(50 * factor)));
        engine.set_rate(host_rate);
        engine.set_parameter(VELORIN_PARAM_SPEED, factor <= 2 ? speed_percent
                                                              : static_cast<int>(std::lround(100 * factor * 50 / host_rate)));
    }
    std::string speed_name(double factor) const {
        const int host_rate = std::min(100, static_cast<int>(std::lround(50 * factor)));
        const int speed = factor <= 2 ? speed_percent : static_cast<int>(std::lround(100 * factor * 50 / host_rate));
        return "SetRate " + std::to_string(host_rate) + ", SPEED " + std::to_string(speed);
    }
    int join_ms() const { return engine.get_parameter(VELORIN_PARAM_JOIN); }
};

Stream g_espeak;

int espeak_receive(short *pcm, int count, espeak_EVENT *) {
    if (pcm && count > 0) g_espeak.add(pcm, static_cast<size_t>(count));
    return 0;
}

struct EspeakSpeaker {
    int sample_rate = 0;
    EspeakSpeaker() {
        sample_rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
        if (sample_rate <= 0) fail("espeak-ng does not start");
        if (espeak_SetVoiceByName("vi") != EE_OK) fail("espeak-ng has no Vietnamese voice");
        espeak_SetSynthCallback(espeak_receive);
    }
    ~EspeakSpeaker() { espeak_Terminate(); }
    Stream speak(const std::vector<std::string> &texts) {
        g_espeak = Stream{};
        g_espeak.sample_rate = sample_rate;
        g_espeak.asked_ns = now_ns();
        for (const std::string &t : texts) {
            if (&t != &texts.front()) g_espeak.request_start.push_back(g_espeak.frames());
            espeak_Synth(t.c_str(), t.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        }
        return g_espeak;
    }
    void set_speed(double factor) {
        espeak_SetParameter(espeakRATE, static_cast<int>(std::lround(kEspeakNormalRate * factor)), 0);
    }
    std::string speed_name(double factor) const {
        return "rate " + std::to_string(static_cast<int>(std::lround(kEspeakNormalRate * factor)));
    }
    int join_ms() const { return 0; }
};

// ---- the figures ----

struct Figures {
    double first_audible_median = NAN, first_audible_p90 = NAN;
    int first_audible_count = 0;
    double normal_rate = NAN, normal_silence = NAN, normal_seconds = NAN;
    double top_rate = NAN, top_silence = NAN;
    double gap_median = NAN, gap_max = NAN;
    double word_gap_median = NAN, word_gap_max = NAN;
    std::map<int, std::vector<ContourError>> tone_errors;
    std::map<int, double> achieved;  // speed reached, by the asked factor
    Seams long_seams;
    double long_seconds = NAN;
    std::string top_name;
};

template <typename Speaker>
Figures measure(Speaker &speaker, const Options &options, const std::vector<std::string> &utterances,
                const std::string &paragraph, double top_factor, const std::string &tone_folder, const char *tag,
                int long_repeats) {
    Figures f;
    speaker.set_speed(1);
    speaker.speak({utterances.front()});  // warm the caches, as a screen reader has spoken before
    std::vector<double> first;
    for (const std::string &u : utterances) {
        const Stream s = speaker.speak({u});
        const long audible = first_at(s, kAudible, 0, s.frames());
        if (audible >= 0) first.push_back(heard_ms(s, static_cast<size_t>(audible)));
    }
    f.first_audible_count = static_cast<int>(first.size());
    f.first_audible_median = median(first);
    f.first_audible_p90 = percentile(first, 90);

    const int syllables = syllables_in(paragraph);
    Stream s = speaker.speak({paragraph});
    f.normal_seconds = s.seconds();
    f.normal_rate = syllables / s.seconds();
    f.normal_silence = silence_share(s);
    speaker.set_speed(top_factor);
    f.top_name = speaker.speed_name(top_factor);
    s = speaker.speak({paragraph});
    f.top_rate = syllables / s.seconds();
    f.top_silence = silence_share(s);
    speaker.set_speed(1);

    // Two requests in a row: the silence runs from the last audible sample before the second
    // request's audio starts to the first after.
    auto gap = [&](const std::string &before, const std::string &after, std::vector<double> *gaps) {
        const Stream pair = speaker.speak({before, after});
        if (pair.request_start.empty()) return;
        const size_t boundary = pair.request_start.front();
        const long end = last_at(pair, kAudible, 0, boundary);
        const long start = first_at(pair, kAudible, boundary, pair.frames());
        if (end >= 0 && start >= 0) gaps->push_back(heard_ms(pair, static_cast<size_t>(start)) - heard_ms(pair, static_cast<size_t>(end)));
    };
    // Consecutive sentences, the first ending in its full stop; and each sentence cut in two
    // between words, as a screen reader's index may cut it.
    const std::vector<std::string> sentences = sentences_of(paragraph);
    std::vector<double> gaps, word_gaps;
    for (size_t i = 0; i + 1 < sentences.size(); ++i) gap(sentences[i], sentences[i + 1], &gaps);
    for (const std::string &sentence : sentences) {
        const std::vector<std::string> halves = split_between_words(sentence);
        if (halves.size() == 2) gap(halves[0], halves[1], &word_gaps);
    }
    f.gap_median = median(gaps);
    f.gap_max = gaps.empty() ? NAN : *std::max_element(gaps.begin(), gaps.end());
    f.word_gap_median = median(word_gaps);
    f.word_gap_max = word_gaps.empty() ? NAN : *std::max_element(word_gaps.begin(), word_gaps.end());

    if (options.tones) {
        std::map<int, std::vector<double>> lengths;
        for (int factor : kToneFactors) {
            speaker.set_speed(factor);
            for (size_t i = 0; i < std::size(kToneSyllables); ++i) {
                const Stream one = speaker.speak({kToneSyllables[i]});
                const std::vector<int16_t> sound = syllable_sound(one);
                lengths[factor].push_back(static_cast<double>(sound.size()));
                write_padded_wav(tone_folder + "/" + tag + "_" + std::to_string(i) + "_" + std::to_string(factor) + ".wav",
                                 sound, one.sample_rate, one.channels, 40);
            }
        }
        speaker.set_speed(1);
        for (int factor : kToneFactors) {
            std::vector<double> ratios;
            for (size_t i = 0; i < lengths[factor].size(); ++i)
                if (lengths[factor][i] > 0) ratios.push_back(lengths[1][i] / lengths[factor][i]);
            f.achieved[factor] = median(ratios);
        }
    }

    std::string long_text;
    for (int i = 0; i < long_repeats; ++i) long_text += paragraph + "\n";
    s = speaker.speak({long_text});
    f.long_seconds = s.seconds();
    f.long_seams = seams(s, static_cast<size_t>(speaker.join_ms() * s.sample_rate / 1000));
    return f;
}

std::string cell(double value, int decimals, const char *unit = "") {
    if (std::isnan(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, value, unit);
    return text;
}

void row(const std::string &what, const std::string &ours, const std::string &theirs) {
    std::printf("| %-62s | %14s | %14s |\n", what.c_str(), ours.c_str(), theirs.c_str());
}

}  // namespace

int main(int argc, char **argv) {
    const Options options = parse_options(argc, argv);
    std::string utterance_text, paragraph;
    if (!read_text_file(options.texts + "/utterances.txt", &utterance_text) ||
        !read_text_file(options.texts + "/paragraph.txt", &paragraph))
        fail("cannot read the texts in " + options.texts);
    std::vector<std::string> utterances;
    std::istringstream lines(utterance_text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') utterances.push_back(line);
    while (!paragraph.empty() && (paragraph.back() == '\n' || paragraph.back() == ' ')) paragraph.pop_back();

    char folder_template[] = "/tmp/velorin-fluency.XXXXXX";
    const char *tone_folder = mkdtemp(folder_template);
    if (!tone_folder) fail("cannot make a scratch folder");

    Figures ours, theirs;
    double top_factor = 2.0;
    int repeats = 1;
    {
        EngineSpeaker engine(options);
        top_factor = std::min(4.0, 2.0 * options.top_speed / 100.0);
        // The long paragraph: the paragraph again and again, as long as asked at normal speed.
        engine.set_speed(1);
        const double seconds = engine.speak({paragraph}).seconds();
        repeats = std::max(1, static_cast<int>(std::ceil(options.long_minutes * 60 / seconds)));
        ours = measure(engine, options, utterances, paragraph, top_factor, tone_folder, "v", repeats);
    }
    Stream espeak_top_documented;
    if (options.espeak) {
        EspeakSpeaker espeak;
        theirs = measure(espeak, options, utterances, paragraph, top_factor, tone_folder, "e", repeats);
        espeak_SetParameter(espeakRATE, kEspeakDocumentedTop, 0);
        espeak_top_documented = espeak.speak({paragraph});
    }
    std::map<std::string, PitchTrack> tracks;
    std::string error;
    const bool tracked = options.tones && praat_pitch_tracks(tone_folder, false, &tracks, &error);
    std::filesystem::remove_all(tone_folder);
    if (options.tones && !tracked) std::fprintf(stderr, "velorin-fluency: no tone contours: %s\n", error.c_str());
    for (auto [figures, tag] : {std::pair<Figures *, const char *>{&ours, "v"}, {&theirs, "e"}}) {
        for (int factor : kToneFactors) {
            if (factor == 1) continue;
            for (size_t i = 0; i < std::size(kToneSyllables); ++i) {
                const std::string id = std::string(tag) + "_" + std::to_string(i) + "_";
                if (tracks.count(id + "1")) figures->tone_errors[factor].push_back(contour_error(tracks[id + "1"], tracks[id + std::to_string(factor)]));
            }
        }
    }

    std::printf("velorin-fluency on %s\n", machine_description().c_str());
    std::printf("engine profile %s", options.fluent ? "fluent" : "classic");
    for (const auto &[p, v] : options.parameters) {
        for (const auto &[name, number] : kParameterNames)
            if (number == p) std::printf(", %s=%d", name, v);
    }
    std::printf("; espeak-ng %s, voice vi\n", options.espeak ? espeak_Info(nullptr) : "(not run)");
    std::printf("texts: %zu utterances, a paragraph of %d syllables in %zu sentences, the paragraph %d times (%.1f min)\n\n",
                utterances.size(), syllables_in(paragraph), sentences_of(paragraph).size(), repeats, ours.long_seconds / 60);
    std::printf("| %-62s | %14s | %14s |\n", "", "velorin", "espeak-ng");
    std::printf("|%s|%s|%s|\n", std::string(64, '-').c_str(), std::string(16, '-').c_str(), std::string(16, '-').c_str());
    row("first audible sample (-40 dBFS) after SpeakText, median (ms)", cell(ours.first_audible_median, 1),
        cell(theirs.first_audible_median, 1));
    row("  90th percentile (ms)", cell(ours.first_audible_p90, 1), cell(theirs.first_audible_p90, 1));
    row("paragraph at normal speed: syllables per second", cell(ours.normal_rate, 2), cell(theirs.normal_rate, 2));
    row("  share of silence (10 ms windows under -40 dBFS)", cell(100 * ours.normal_silence, 1, " %"),
        cell(100 * theirs.normal_silence, 1, " %"));
    row("paragraph at the top speed (" + cell(top_factor, 1) + "x): syllables per second", cell(ours.top_rate, 2),
        cell(theirs.top_rate, 2));
    row("  share of silence", cell(100 * ours.top_silence, 1, " %"), cell(100 * theirs.top_silence, 1, " %"));
    row("  asked as", ours.top_name, theirs.top_name);
    if (options.espeak)
        row("espeak-ng at its documented top rate 450: syllables per second", "",
            cell(syllables_in(paragraph) / espeak_top_documented.seconds(), 2));
    row("silence between two requests in a row, median (ms)", "", "");
    row("  a sentence cut in two between words", cell(ours.word_gap_median, 0), cell(theirs.word_gap_median, 0));
    row("    largest (ms)", cell(ours.word_gap_max, 0), cell(theirs.word_gap_max, 0));
    row("  two sentences, the first ending in its full stop", cell(ours.gap_median, 0), cell(theirs.gap_median, 0));
    row("    largest (ms)", cell(ours.gap_max, 0), cell(theirs.gap_max, 0));
    if (tracked) {
        for (int factor : kToneFactors) {
            if (factor == 1) continue;
            const ContourSummary a = summarize(ours.tone_errors[factor]), b = summarize(theirs.tone_errors[factor]);
            const std::string name = "tone-contour error at " + std::to_string(factor) + "x, mean (semitones)";
            row(name, cell(a.mean_semitones, 2), options.espeak ? cell(b.mean_semitones, 2) : "-");
            row("  syllables over 1 semitone / without voicing to compare",
                cell(100 * a.over_one, 0, " %") + " / " + std::to_string(a.untracked),
                options.espeak ? cell(100 * b.over_one, 0, " %") + " / " + std::to_string(b.untracked) : "-");
            row("  speed reached (length at 1x over length)", cell(ours.achieved[factor], 2, "x"),
                cell(theirs.achieved[factor], 2, "x"));
        }
    }
    row("long paragraph: clipped samples", std::to_string(ours.long_seams.clipped),
        options.espeak ? std::to_string(theirs.long_seams.clipped) : "-");
    row("  largest sample jump across a chunk seam", std::to_string(ours.long_seams.at_seam), "-");
    row("  largest jump within 20 ms after a seam", std::to_string(ours.long_seams.after_seam), "-");
    row("  largest jump in a join (the held end after a seam)",
        ours.long_seams.in_join < 0 ? "-" : std::to_string(ours.long_seams.in_join), "-");
    row("    joins with a jump over 2000 there", ours.long_seams.in_join < 0 ? "-" : std::to_string(ours.long_seams.joins_over), "-");
    row("  largest jump anywhere", std::to_string(ours.long_seams.anywhere),
        options.espeak ? std::to_string(theirs.long_seams.anywhere) : "-");
    return 0;
}
