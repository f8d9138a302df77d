// velorin-bench: end-to-end figures of the engine as a screen reader sees them, next to
// espeak-ng's for the same text in the same run. The engine is loaded at run time and driven
// through its export names only; espeak-ng through its library, synchronous, output to memory.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "api/velorin_nvda.h"
#include "bench/bench_support.h"
#include "tools/engine_host.h"
#include "tools/host_platform.h"
#include "tools/voice_catalog.h"
#include "voice/unit_lookup.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

const char kUsage[] =
    "Usage: velorin-bench --text FILE [OPTIONS]\n"
    "Measures the engine end to end and espeak-ng on the same text, and prints both.\n"
    "\n"
    "  --text FILE          the long text (UTF-8); the short sentences are taken from it\n"
    "  --voice PATH         voice file (default: the default voice beside the program)\n"
    "  --library PATH       engine library (default: the one beside the program)\n"
    "  --sentences N        short one-sentence requests to time (default 300)\n"
    "  --rate N             the screen reader's rate, 25..100 (default 50, normal)\n"
    "  --profile NAME       the engine's profile: classic (default) or fluent\n"
    "  --speed N            the engine parameter SPEED, 50..400 (default: the profile's, 100)\n"
    "  --loads N            voice loads to time (default 20)\n"
    "  --cache-kb N         the engine's cache of decoded units, in KB (default: the engine's own;\n"
    "                       0 keeps none)\n"
    "  --espeak-buffer-ms N espeak-ng's callback buffer (default 0: its own default of 60 ms)\n"
    "  --no-espeak          measure the engine only\n"
    "  --no-long            skip the long text\n"
    "  --worst N            also list the N one-sentence requests slowest to their first chunk\n";

struct Options {
    std::string text_file;
    std::string voice;
    std::string library;
    int sentences = 300;
    int rate = 50;
    int profile = VELORIN_PROFILE_CLASSIC;
    int speed = -1;  // the profile's
    int loads = 20;
    int cache_kb = -1;  // the engine's default
    int espeak_buffer_ms = 0;
    bool espeak = true;
    bool long_text = true;
    int worst = 0;
};

FILE *g_report = stdout;  // a copy of the original standard output once the engine's is redirected
FILE *g_errors = stderr;  // likewise for standard error

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(g_errors, "velorin-bench: %s\n", message.c_str());
    std::exit(1);
}

Options parse_options(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("option " + arg + " needs a value");
            return argv[++i];
        };
        auto number = [&]() {
            const std::string text = value();
            char *end = nullptr;
            const long n = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != 0 || n < 0 || n > 1000000) fail("invalid number for " + arg);
            return static_cast<int>(n);
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--text") {
            options.text_file = value();
        } else if (arg == "--voice") {
            options.voice = value();
        } else if (arg == "--library") {
            options.library = value();
        } else if (arg == "--sentences") {
            options.sentences = number();
        } else if (arg == "--rate") {
            options.rate = number();
        } else if (arg == "--profile") {
            const std::string name = value();
            if (name == "classic") options.profile = VELORIN_PROFILE_CLASSIC;
            else if (name == "fluent") options.profile = VELORIN_PROFILE_FLUENT;
            else fail("unknown profile " + name + " (classic or fluent)");
        } else if (arg == "--speed") {
            options.speed = number();
        } else if (arg == "--loads") {
            options.loads = number();
        } else if (arg == "--cache-kb") {
            options.cache_kb = number();
        } else if (arg == "--espeak-buffer-ms") {
            options.espeak_buffer_ms = number();
        } else if (arg == "--no-espeak") {
            options.espeak = false;
        } else if (arg == "--worst") {
            options.worst = number();
        } else if (arg == "--no-long") {
            options.long_text = false;
        } else {
            fail("unknown option " + arg + " (see --help)");
        }
    }
    if (options.text_file.empty()) fail("give the text with --text FILE (bench/get-maint-guide makes one)");
    return options;
}

std::string read_file(const std::string &path) {
    std::string text;
    if (!read_text_file(path, &text)) fail("cannot read " + path);
    return text;
}

// One-sentence requests from the text: paragraphs joined into single lines, cut after '.', '!'
// or '?' followed by a space; kept when 5 to 25 words long and written in Vietnamese (at least
// one letter outside ASCII), each once.
std::vector<std::string> short_sentences(const std::string &text, int wanted) {
    std::vector<std::string> paragraphs;
    std::string current;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            if (!current.empty()) paragraphs.push_back(current);
            current.clear();
            continue;
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) current += (current.empty() ? "" : " ") + word;
    }
    if (!current.empty()) paragraphs.push_back(current);

    std::vector<std::string> sentences;
    for (const std::string &paragraph : paragraphs) {
        size_t start = 0;
        for (size_t i = 0; i <= paragraph.size(); ++i) {
            const bool end = i == paragraph.size() ||
                             ((paragraph[i] == '.' || paragraph[i] == '!' || paragraph[i] == '?') &&
                              (i + 1 == paragraph.size() || paragraph[i + 1] == ' '));
            if (!end) continue;
            if (start >= paragraph.size()) break;
            std::string sentence = paragraph.substr(start, i + 1 - start);
            start = i + 2;
            while (!sentence.empty() && sentence[0] == ' ') sentence.erase(0, 1);
            const size_t words = static_cast<size_t>(std::count(sentence.begin(), sentence.end(), ' ')) + 1;
            const bool vietnamese = std::any_of(sentence.begin(), sentence.end(), [](char c) { return c & 0x80; });
            if (words < 5 || words > 25 || !vietnamese) continue;
            if (std::find(sentences.begin(), sentences.end(), sentence) != sentences.end()) continue;
            sentences.push_back(sentence);
            if (static_cast<int>(sentences.size()) == wanted) return sentences;
        }
    }
    return sentences;
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double process_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct FirstChunks {
    double median_ms = NAN;
    double p95_ms = NAN;
    double max_ms = NAN;
};

FirstChunks first_chunks(const std::vector<double> &latencies) {
    FirstChunks figures;
    if (latencies.empty()) return figures;
    figures.median_ms = median(latencies);
    figures.p95_ms = percentile(latencies, 95);
    figures.max_ms = *std::max_element(latencies.begin(), latencies.end());
    return figures;
}

// Finds in a cache and misses, from the engine's counters; NaN for a library without them.
struct CacheCounts {
    double hits = NAN;
    double misses = NAN;
    double rate() const { return hits + misses > 0 ? 100.0 * hits / (hits + misses) : NAN; }
};

struct Figures {
    FirstChunks cold;  // each sentence just after Init
    FirstChunks warm;  // after the long text
    double long_first_chunk_ms = NAN;
    double long_wall_s = NAN;
    double long_cpu_s = NAN;
    double long_audio_s = NAN;
    double load_cold_ms = NAN;  // the file out of the page cache
    double load_warm_ms = NAN;
    double peak_rss_mb = NAN;
    CacheCounts long_cache, warm_cache;
    std::vector<std::pair<double, size_t>> slowest;  // warm first-chunk ms and sentence number
};

// Asks the kernel to forget the file's cached pages, so that the next read comes from the disk.
bool drop_from_page_cache(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool dropped = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(fd);
    return dropped;
}

// ---- the engine, through its exports ----

struct Capture {
    std::atomic<int64_t> first_ns{-1};  // steady clock of the first chunk of the current request
    std::atomic<uint64_t> bytes{0};
    std::atomic<uint64_t> chunks{0};
};

Capture g_capture;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int receive_chunk(char *, int bytes) {
    int64_t none = -1;
    g_capture.first_ns.compare_exchange_strong(none, now_ns());
    g_capture.bytes += static_cast<uint64_t>(bytes > 0 ? bytes : 0);
    ++g_capture.chunks;
    return 0;
}

EngineEntries load_engine(const std::string &path) {
    EngineEntries engine{};
    std::string error;
    if (load_engine_entries(path, &engine, &error) != 0) fail(error);
    return engine;
}

void wait_until_spoken(const EngineEntries &engine, std::chrono::microseconds poll) {
    while (engine.get_last_index() != -1) std::this_thread::sleep_for(poll);
}

// The same file under another spelling, so that Init reads it again.
std::string respelled(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" + path : path.substr(0, slash) + "/./" + path.substr(slash + 1);
}

VoiceFormat voice_format(const std::string &path) {
    VoiceFormat format;
    std::string error;
    if (read_voice_format(path, &format, &error) != 0) fail(error);
    return format;
}

CacheCounts cache_counts(const EngineEntries &engine) {
    CacheCounts counts;
    const int hits = engine.get_parameter(VELORIN_PARAM_UNIT_CACHE_HITS);
    const int misses = engine.get_parameter(VELORIN_PARAM_UNIT_CACHE_MISSES);
    if (hits >= 0 && misses >= 0) counts = {static_cast<double>(hits), static_cast<double>(misses)};
    return counts;
}

void reset_cache_counts(const EngineEntries &engine) { engine.set_parameter(VELORIN_PARAM_UNIT_CACHE_HITS, 0); }

// The time from SpeakText to the first chunk of each sentence, each spoken after the one before
// has ended; before_each runs before a sentence is timed.
template <typename BeforeEach>
std::vector<double> time_sentences(const EngineEntries &engine, const std::vector<std::u16string> &sentences,
                                   BeforeEach before_each) {
    std::vector<double> latencies;
    for (size_t i = 0; i < sentences.size(); ++i) {
        before_each(i);
        g_capture.first_ns = -1;
        const int64_t asked = now_ns();
        engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(sentences[i].c_str()), static_cast<int>(i));
        wait_until_spoken(engine, std::chrono::microseconds(200));
        const int64_t first = g_capture.first_ns.load();
        latencies.push_back(first >= 0 ? static_cast<double>(first - asked) / 1e6 : NAN);
    }
    return latencies;
}

std::vector<double> without_nan(std::vector<double> values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    return values;
}

Figures measure_engine(const Options &options, const std::vector<std::u16string> &sentences,
                       const std::u16string &long_text) {
    Figures figures;
    const std::string voice = options.voice.empty() ? default_voice_path() : options.voice;
    if (voice.empty()) fail("no voice: give one with --voice (the default voice has not been built)");
    const VoiceFormat format = voice_format(voice);
    const EngineEntries engine = load_engine(options.library.empty() ? default_library_path() : options.library);
    if (options.cache_kb >= 0) engine.set_parameter(VELORIN_PARAM_UNIT_CACHE, options.cache_kb);
    engine.set_parameter(VELORIN_PARAM_PROFILE, options.profile);
    if (options.speed >= 0) engine.set_parameter(VELORIN_PARAM_SPEED, options.speed);

    if (!drop_from_page_cache(voice)) std::fprintf(g_errors, "velorin-bench: cannot drop %s from the page cache\n", voice.c_str());
    Clock::time_point start = Clock::now();
    if (engine.init(voice.c_str()) != 0) fail("cannot load the voice " + voice);
    figures.load_cold_ms = seconds_since(start) * 1000;
    // Alternate spellings make every Init read the file again, and start an empty cache.
    const std::string spellings[2] = {respelled(voice), voice};
    int next_spelling = 0;
    auto init_afresh = [&]() {
        const std::string &path = spellings[next_spelling++ % 2];
        if (engine.init(path.c_str()) != 0) fail("cannot load the voice " + path);
    };
    std::vector<double> loads;
    for (int i = 0; i < options.loads; ++i) {
        start = Clock::now();
        init_afresh();
        loads.push_back(seconds_since(start) * 1000);
    }
    figures.load_warm_ms = loads.empty() ? NAN : median(loads);

    engine.init_synth(receive_chunk);
    engine.set_rate(options.rate);

    // One request to start the worker's code and data once, as a screen reader has spoken before.
    if (!sentences.empty()) {
        engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(sentences[0].c_str()), 0);
        wait_until_spoken(engine, std::chrono::microseconds(200));
    }
    // Cold: every sentence is the first request after an Init.
    figures.cold = first_chunks(without_nan(time_sentences(engine, sentences, [&](size_t) { init_afresh(); })));

    if (options.long_text && !long_text.empty()) {
        init_afresh();
        reset_cache_counts(engine);
        const bool phase_peak = reset_peak_rss();
        g_capture.first_ns = -1;
        g_capture.bytes = 0;
        const double cpu_start = process_cpu_seconds();
        const int64_t asked = now_ns();
        start = Clock::now();
        engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(long_text.c_str()), 1000000);
        wait_until_spoken(engine, std::chrono::milliseconds(2));
        figures.long_wall_s = seconds_since(start);
        figures.long_cpu_s = process_cpu_seconds() - cpu_start;
        figures.long_first_chunk_ms = static_cast<double>(g_capture.first_ns.load() - asked) / 1e6;
        figures.long_audio_s =
            static_cast<double>(g_capture.bytes.load()) / (2.0 * format.channels * format.sample_rate);
        figures.peak_rss_mb = peak_rss_mb();
        figures.long_cache = cache_counts(engine);
        if (!phase_peak) std::fprintf(g_errors, "velorin-bench: peak memory is the whole process's so far\n");
    }

    // Warm: the voice has spoken the long text (or, without it, the sentences once) before.
    if (!options.long_text) time_sentences(engine, sentences, [](size_t) {});
    reset_cache_counts(engine);
    const std::vector<double> warm = time_sentences(engine, sentences, [](size_t) {});
    figures.warm_cache = cache_counts(engine);
    figures.warm = first_chunks(without_nan(warm));
    for (size_t i = 0; i < warm.size(); ++i)
        if (!std::isnan(warm[i])) figures.slowest.emplace_back(warm[i], i);
    std::sort(figures.slowest.rbegin(), figures.slowest.rend());
    figures.slowest.resize(std::min(figures.slowest.size(), static_cast<size_t>(options.worst)));
    engine.terminate_synth();
    return figures;
}

// One unit's fetch through the file the engine keeps open, against opening, reading and closing
// the file for it as the engine did before: microseconds of CPU (the thread's, kernel included)
// per fetch, the least of five rounds over a spread of the voice's units.
struct FetchCost {
    double open_file_us = NAN;
    double reopened_us = NAN;
    int units = 0;
};

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

FetchCost measure_fetch(const std::string &voice_path) {
    FetchCost cost;
    VoiceDatabase *voice = voice_load(voice_path.c_str());
    if (!voice) fail("cannot load the voice " + voice_path);
    std::vector<int> positions;
    const int step = std::max(1, voice->unit_count / 4000);
    for (int p = 0; p < voice->unit_count; p += step) positions.push_back(p);
    cost.units = static_cast<int>(positions.size());
    static unsigned char buffer[kUnitBufferBytes];
    auto through_open_file = [&]() {
        for (int p : positions) voice_unit_audio_at(voice, p, buffer, kUnitBufferBytes);
    };
    auto reopening = [&]() {
        for (int p : positions) {
            const UnitEntry &entry = voice->units[p];
            const int file = open_regular_file(voice->path);
            if (file < 0) fail("cannot open the voice " + voice_path);
            read_file_at(file, entry.offset, buffer, entry.size);
            close_file(file);
        }
    };
    auto best_us = [&](auto &&fetch_all) {
        fetch_all();  // the pages in the page cache
        double best = INFINITY;
        for (int round = 0; round < 5; round++) {
            const double start = thread_cpu_seconds();
            fetch_all();
            best = std::min(best, thread_cpu_seconds() - start);
        }
        return best * 1e6 / static_cast<double>(positions.size());
    };
    cost.open_file_us = best_us(through_open_file);
    cost.reopened_us = best_us(reopening);
    voice_free(voice);
    return cost;
}

// ---- espeak-ng, synchronous, output to memory ----

struct EspeakCapture {
    Clock::time_point first;
    bool have_first = false;
    uint64_t samples = 0;
};

EspeakCapture g_espeak;

int espeak_receive(short *, int samples, espeak_EVENT *) {
    if (samples > 0 && !g_espeak.have_first) {
        g_espeak.first = Clock::now();
        g_espeak.have_first = true;
    }
    if (samples > 0) g_espeak.samples += static_cast<uint64_t>(samples);
    return 0;
}

void espeak_say(const std::string &text) {
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
}

void start_espeak(const Options &options, int *sample_rate) {
    *sample_rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, options.espeak_buffer_ms, nullptr, 0);
    if (*sample_rate <= 0) fail("espeak-ng does not start");
    if (espeak_SetVoiceByName("vi") != EE_OK) fail("espeak-ng has no Vietnamese voice");
    espeak_SetSynthCallback(espeak_receive);
    // espeak-ng's rate scale: 175 words a minute is its normal; the host's 50 is normal too.
    espeak_SetParameter(espeakRATE, 175 * options.rate / 50, 0);
}

std::vector<double> time_espeak_sentences(const std::vector<std::string> &sentences) {
    std::vector<double> latencies;
    for (size_t i = 0; i < sentences.size(); ++i) {
        g_espeak.have_first = false;
        const Clock::time_point start = Clock::now();
        espeak_say(sentences[i]);
        if (g_espeak.have_first) latencies.push_back(std::chrono::duration<double>(g_espeak.first - start).count() * 1000);
    }
    return latencies;
}

Figures measure_espeak(const Options &options, const std::vector<std::string> &sentences, const std::string &long_text,
                       int *sample_rate) {
    Figures figures;
    Clock::time_point start = Clock::now();
    start_espeak(options, sample_rate);
    figures.load_cold_ms = seconds_since(start) * 1000;
    // Cold: the sentences spoken just after espeak-ng was started. It keeps nothing from one text to
    // the next, so this is what every sentence after a start would find; starting it again for each
    // one is not possible (espeak_Terminate then espeak_Initialize hangs in espeak-ng 1.51).
    figures.cold = first_chunks(time_espeak_sentences(sentences));
    if (options.long_text && !long_text.empty()) {
        const bool phase_peak = reset_peak_rss();
        g_espeak.have_first = false;
        g_espeak.samples = 0;
        const double cpu_start = process_cpu_seconds();
        start = Clock::now();
        espeak_say(long_text);
        figures.long_wall_s = seconds_since(start);
        figures.long_cpu_s = process_cpu_seconds() - cpu_start;
        figures.long_first_chunk_ms = std::chrono::duration<double>(g_espeak.first - start).count() * 1000;
        figures.long_audio_s = static_cast<double>(g_espeak.samples) / *sample_rate;
        figures.peak_rss_mb = phase_peak ? peak_rss_mb() : NAN;
    }
    figures.warm = first_chunks(time_espeak_sentences(sentences));
    espeak_Terminate();
    return figures;
}

// ---- report ----

std::string cell(double value, int decimals) {
    if (std::isnan(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void row(const char *what, double ours, double theirs, int decimals, bool higher_is_better) {
    std::string ratio = "-";
    if (!std::isnan(ours) && !std::isnan(theirs) && ours > 0 && theirs > 0) {
        ratio = cell(higher_is_better ? ours / theirs : theirs / ours, 2) + "x";
    }
    std::fprintf(g_report, "| %-40s | %12s | %12s | %9s |\n", what, cell(ours, decimals).c_str(),
                 cell(theirs, decimals).c_str(), ratio.c_str());
}

}  // namespace

int main(int argc, char **argv) {
    const Options options = parse_options(argc, argv);
    const std::string text = read_file(options.text_file);
    const std::vector<std::string> sentences = short_sentences(text, options.sentences);
    if (sentences.empty()) fail("the text holds no sentence of 5 to 25 Vietnamese words");
    std::vector<std::u16string> wide_sentences;
    for (const std::string &sentence : sentences) wide_sentences.push_back(to_utf16(sentence));
    const std::u16string wide_text = to_utf16(text);

    // The engine's trace lines (standard output) and decoder messages (standard error) go
    // nowhere, as in a screen reader; the report and our errors keep copies of both.
    std::fflush(nullptr);
    const int report_fd = dup(STDOUT_FILENO);
    const int errors_fd = dup(STDERR_FILENO);
    if (report_fd < 0 || errors_fd < 0) fail("cannot duplicate standard output");
    g_report = fdopen(report_fd, "w");
    g_errors = fdopen(errors_fd, "w");
    setvbuf(g_errors, nullptr, _IONBF, 0);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
        fail("cannot redirect standard output");

    const Figures ours = measure_engine(options, wide_sentences, wide_text);
    const FetchCost fetch = measure_fetch(options.voice.empty() ? default_voice_path() : options.voice);
    Figures theirs;
    int espeak_rate = 0;
    if (options.espeak) theirs = measure_espeak(options, sentences, text, &espeak_rate);

    std::fprintf(g_report, "velorin-bench on %s\n", machine_description().c_str());
    std::fprintf(g_report, "text: %s, %zu characters; %zu one-sentence requests of 5 to 25 words; rate %d (50 normal)\n",
                 options.text_file.c_str(), wide_text.size(), sentences.size(), options.rate);
    std::fprintf(g_report, "engine: profile %s, SPEED %s\n", options.profile == VELORIN_PROFILE_FLUENT ? "fluent" : "classic",
                 options.speed >= 0 ? std::to_string(options.speed).c_str() : "the profile's");
    if (options.espeak)
        std::fprintf(g_report, "espeak-ng %s, voice vi, %d Hz, synchronous to memory, buffer %d ms\n",
                     espeak_Info(nullptr), espeak_rate, options.espeak_buffer_ms ? options.espeak_buffer_ms : 60);
    std::fprintf(g_report, "\n| %-40s | %12s | %12s | %9s |\n", "", "velorin", "espeak-ng", "velorin is");
    std::fprintf(g_report, "|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(14, '-').c_str(),
                 std::string(14, '-').c_str(), std::string(11, '-').c_str());
    row("first chunk, sentence, cold: median (ms)", ours.cold.median_ms, theirs.cold.median_ms, 3, false);
    row("first chunk, sentence, cold: p95 (ms)", ours.cold.p95_ms, theirs.cold.p95_ms, 3, false);
    row("first chunk, sentence, warm: median (ms)", ours.warm.median_ms, theirs.warm.median_ms, 3, false);
    row("first chunk, sentence, warm: p95 (ms)", ours.warm.p95_ms, theirs.warm.p95_ms, 3, false);
    row("first chunk, sentence, warm: max (ms)", ours.warm.max_ms, theirs.warm.max_ms, 3, false);
    if (options.long_text) {
        const double characters = static_cast<double>(wide_text.size());
        row("long text: first chunk (ms)", ours.long_first_chunk_ms, theirs.long_first_chunk_ms, 1, false);
        row("long text: audio (s)", ours.long_audio_s, theirs.long_audio_s, 0, true);
        row("long text: wall time (s)", ours.long_wall_s, theirs.long_wall_s, 2, false);
        row("long text: CPU time (s)", ours.long_cpu_s, theirs.long_cpu_s, 2, false);
        row("characters per CPU second", characters / ours.long_cpu_s, characters / theirs.long_cpu_s, 0, true);
        row("real-time factor (audio s / CPU s)", ours.long_audio_s / ours.long_cpu_s,
            theirs.long_audio_s / theirs.long_cpu_s, 0, true);
        row("peak resident memory, long text (MB)", ours.peak_rss_mb, theirs.peak_rss_mb, 1, false);
        row("long text: syllables spoken", ours.long_cache.hits + ours.long_cache.misses, NAN, 0, true);
        row("syllables per CPU second", (ours.long_cache.hits + ours.long_cache.misses) / ours.long_cpu_s, NAN, 0, true);
        row("long text: cache hit rate (%)", ours.long_cache.rate(), NAN, 1, true);
    }
    row("warm sentences: cache hit rate (%)", ours.warm_cache.rate(), NAN, 1, true);
    row("voice load, cold: file not cached (ms)", ours.load_cold_ms, theirs.load_cold_ms, 2, false);
    row("voice load, warm: median of reloads (ms)", ours.load_warm_ms, NAN, 2, false);
    row("one unit fetch, open file (us CPU)", fetch.open_file_us, NAN, 2, false);
    row("one unit fetch, open/read/close (us CPU)", fetch.reopened_us, NAN, 2, false);
    std::fprintf(g_report, "\nunit fetches timed: %d units of the voice; peak memory of espeak-ng is taken after the "
                 "engine's run in the same process\n", fetch.units);
    if (!ours.slowest.empty()) std::fprintf(g_report, "\nslowest to their first chunk, warm (velorin):\n");
    for (const auto &[ms, i] : ours.slowest) std::fprintf(g_report, "%8.3f ms  %s\n", ms, sentences[i].c_str());
    std::fflush(g_report);
    return 0;
}
