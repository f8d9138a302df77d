// velorin-say: speaks Vietnamese text to a WAV file (or raw PCM) through the engine's
// shared library, loaded at run time and driven by its export names exactly as the
// screen reader's driver drives it.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "tools/engine_host.h"
#include "tools/host_platform.h"
#include "tools/utf8_text.h"
#include "tools/voice_catalog.h"

namespace {

const char kUsage[] =
    "Usage: velorin-say [OPTIONS] [TEXT...]\n"
    "Speaks Vietnamese text with the Velorin engine and writes the audio as WAV.\n"
    "The text comes from the arguments, from a file (-f), or from standard input.\n"
    "\n"
    "  -o, --output PATH   write to PATH ('-' for standard output; default velorin.wav)\n"
    "  -f, --file PATH     read the text from PATH (UTF-8)\n"
    "      --voice VOICE   voice file, or the name of a voice in the voice folders\n"
    "                      (vi-south for voices/vi-south.voice; default: vi-default)\n"
    "      --list-voices   list the voices found by name, and exit\n"
    "      --library PATH  engine library (default: the one beside the program, else the\n"
    "                      installed one)\n"
    "      --rate N        speed, 25..100, 50 normal (the screen reader's scale)\n"
    "      --pitch N       pitch in percent, 100 unchanged\n"
    "      --volume N      volume in percent, 100 unchanged\n"
    "      --speed X       speed multiplier on top of --rate, 0.5 to 4 (1 unchanged)\n"
    "      --classic       the classic engine: its pauses, no joins, no leading trim (default:\n"
    "                      the fluent profile, for a screen reader)\n"
    "      --lines         one request per input line, like a screen reader's say-all\n"
    "      --raw           write bare 16-bit little-endian PCM instead of WAV\n"
    "      --verbose       show the engine's trace lines and messages on standard error\n"
    "  -h, --help          show this help\n"
    "      --version       show the version\n";

struct Options {
    std::string output = "velorin.wav";
    std::string input_file;
    std::string voice;
    std::string library;
    std::vector<std::string> words;
    int rate = 50;
    int pitch = 100;
    int volume = 100;
    int speed_percent = 100;
    bool classic = false;
    bool lines = false;
    bool raw = false;
    bool verbose = false;
    bool list_voices = false;
};

// The program's own messages; the engine's go elsewhere once it is loaded.
FILE *g_messages = stderr;

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(g_messages, "velorin-say: %s\n", message.c_str());
    std::exit(1);
}

// The speed factor, such as "1.5", as a whole percentage (50 to 400).
int parse_speed(const std::string &option, const std::string &value) {
    char *end = nullptr;
    errno = 0;
    const double percent = std::strtod(value.c_str(), &end) * 100;
    if (value.empty() || *end != 0 || errno != 0 || !(percent >= 49.5 && percent < 400.5))
        fail("invalid value for " + option + ": '" + value + "' (0.5 to 4)");
    return static_cast<int>(std::lround(percent));
}

int parse_int(const std::string &option, const std::string &value) {
    char *end = nullptr;
    errno = 0;
    long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != 0 || errno != 0 || number < -1000000 || number > 1000000)
        fail("invalid number for " + option + ": '" + value + "'");
    return static_cast<int>(number);
}

Options parse_options(int argc, char **argv) {
    Options options;
    bool only_text = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("option " + arg + " needs a value");
            return argv[++i];
        };
        if (only_text || arg.empty() || arg[0] != '-' || arg == "-") {
            options.words.push_back(arg);
        } else if (arg == "--") {
            only_text = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::printf("velorin-say %s\n", VELORIN_VERSION);
            std::exit(0);
        } else if (arg == "-o" || arg == "--output") {
            options.output = value();
        } else if (arg == "-f" || arg == "--file") {
            options.input_file = value();
        } else if (arg == "--voice") {
            options.voice = value();
        } else if (arg == "--list-voices") {
            options.list_voices = true;
        } else if (arg == "--library") {
            options.library = value();
        } else if (arg == "--rate") {
            options.rate = parse_int(arg, value());
        } else if (arg == "--pitch") {
            options.pitch = parse_int(arg, value());
        } else if (arg == "--volume") {
            options.volume = parse_int(arg, value());
        } else if (arg == "--speed") {
            options.speed_percent = parse_speed(arg, value());
        } else if (arg == "--classic") {
            options.classic = true;
        } else if (arg == "--lines") {
            options.lines = true;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else {
            fail("unknown option " + arg + " (see --help)");
        }
    }
    if (!options.input_file.empty() && !options.words.empty()) fail("give the text either as arguments or with -f, not both");
    return options;
}

// A voice given on the command line: a file, or else the name of one of the named voices.
std::string resolve_voice(const std::string &given) {
    std::error_code error;
    if (given.find('/') != std::string::npos || std::filesystem::exists(given, error)) return given;
    for (const VoiceFileEntry &voice : find_voice_files(default_voice_directories()))
        if (voice.name == given || voice.name + ".voice" == given) return voice.path;
    fail("no voice " + given + " (velorin-say --list-voices lists the voices found by name)");
}

int list_voices() {
    const std::vector<VoiceFileEntry> voices = find_voice_files(default_voice_directories());
    if (voices.empty()) {
        std::printf("no voices: the default voice has not been built (scripts/say builds it)\n");
        return 0;
    }
    for (const VoiceFileEntry &voice : voices) {
        VoiceSummary summary;
        std::string error;
        if (read_voice_summary(voice.path, &summary, &error) != 0) {
            std::printf("%-12s %s (%s)\n", voice.name.c_str(), voice.path.c_str(), error.c_str());
            continue;
        }
        std::printf("%-12s %s: \"%s\", %s, %d syllables, %d Hz%s\n", voice.name.c_str(), voice.path.c_str(),
                    summary.name.c_str(), summary.source.c_str(), summary.syllables, summary.format.sample_rate,
                    summary.format.channels == 2 ? ", stereo" : "");
    }
    return 0;
}

std::string read_input(const Options &options) {
    if (!options.words.empty()) {
        std::string text;
        for (size_t i = 0; i < options.words.size(); ++i) text += (i ? " " : "") + options.words[i];
        return text;
    }
    if (!options.input_file.empty()) {
        std::ifstream file(options.input_file, std::ios::binary);
        if (!file) fail("cannot read " + options.input_file + ": " + std::strerror(errno));
        std::ostringstream content;
        content << file.rdbuf();
        if (file.bad()) fail("cannot read " + options.input_file);
        return content.str();
    }
    set_binary_mode(stdin);
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

// Where the audio goes. Written from the engine's worker thread inside the callback.
struct AudioSink {
    FILE *file = nullptr;
    bool seekable = false;
    bool raw = false;
    std::atomic<uint64_t> bytes{0};
    std::atomic<uint64_t> chunks{0};
    std::atomic<bool> write_failed{false};
};

AudioSink g_sink;

void put_le32(unsigned char *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void put_le16(unsigned char *p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// A 44-byte PCM WAV header; data_bytes past 4 GiB - 44 is written as the streaming maximum.
void wav_header(unsigned char header[44], const VoiceFormat &format, uint64_t data_bytes) {
    uint32_t data = data_bytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(data_bytes);
    std::memcpy(header, "RIFF", 4);
    put_le32(header + 4, 36 + data);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_le32(header + 16, 16);
    put_le16(header + 20, 1);
    put_le16(header + 22, static_cast<uint16_t>(format.channels));
    put_le32(header + 24, static_cast<uint32_t>(format.sample_rate));
    put_le32(header + 28, static_cast<uint32_t>(format.sample_rate * format.channels * 2));
    put_le16(header + 32, static_cast<uint16_t>(format.channels * 2));
    put_le16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put_le32(header + 40, data);
}

int receive_audio(char *pcm, int bytes) {
    if (bytes <= 0 || g_sink.write_failed.load()) return 0;
    if (std::fwrite(pcm, 1, static_cast<size_t>(bytes), g_sink.file) != static_cast<size_t>(bytes))
        g_sink.write_failed.store(true);
    g_sink.bytes += static_cast<uint64_t>(bytes);
    ++g_sink.chunks;
    return 0;
}

std::vector<std::u16string> split_requests(const std::u16string &text, bool lines) {
    std::vector<std::u16string> requests;
    if (!lines) {
        requests.push_back(text);
        return requests;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(start, end - start);
        if (line.find_first_not_of(u" \t\r") != std::u16string::npos) requests.push_back(line);
        start = end + 1;
    }
    return requests;
}

}  // namespace

int main(int argc, char **argv) {
    Options options = parse_options(argc, argv);
    if (options.list_voices) return list_voices();

    std::string input = read_input(options);
    std::u16string text;
    size_t bad_offset = 0;
    if (!utf8_to_utf16(input, &text, &bad_offset))
        fail("the input is not valid UTF-8 (byte " + std::to_string(bad_offset) + ")");
    std::vector<std::u16string> requests = split_requests(text, options.lines);

    std::string voice = options.voice.empty() ? default_voice_path() : resolve_voice(options.voice);
    if (voice.empty()) fail("no voice: give one with --voice (the default voice has not been built)");
    VoiceFormat format;
    std::string error;
    if (read_voice_format(voice, &format, &error) != 0) fail(error);

    std::string library = options.library.empty() ? default_library_path() : options.library;
    EngineEntries engine{};
    if (load_engine_entries(library, &engine, &error) != 0) fail(error);

    // The engine traces on standard output; keep that away from audio written there.
    bool audio_to_stdout = options.output == "-";
    if (audio_to_stdout) {
        g_sink.file = duplicate_stdout_for_audio();
        if (!g_sink.file) fail("cannot use standard output for audio");
    } else {
        g_sink.file = std::fopen(options.output.c_str(), "wb");
        if (!g_sink.file) fail("cannot write " + options.output + ": " + std::strerror(errno));
        g_sink.seekable = true;
    }
    g_messages = route_engine_output(options.verbose);
    g_sink.raw = options.raw;

    unsigned char header[44];
    if (!options.raw) {
        wav_header(header, format, audio_to_stdout ? UINT64_MAX : 0);
        if (std::fwrite(header, 1, sizeof header, g_sink.file) != sizeof header) fail("cannot write " + options.output);
    }

    if (engine.init(voice.c_str()) != 0) fail("cannot load the voice " + voice);
    engine.init_synth(receive_audio);
    engine.set_rate(options.rate);
    engine.set_pitch(options.pitch);
    engine.set_volume(options.volume);
    engine.set_parameter(VELORIN_PARAM_PROFILE, options.classic ? VELORIN_PROFILE_CLASSIC : VELORIN_PROFILE_FLUENT);
    engine.set_parameter(VELORIN_PARAM_SPEED, options.speed_percent);
    // The trace lines and decoder messages are wanted only to be shown.
    engine.set_parameter(VELORIN_PARAM_DIAGNOSTICS, options.verbose ? 1 : 0);

    const bool show_progress = stderr_is_terminal() && (requests.size() > 1 || text.size() > 2000);
    const double bytes_per_second = 2.0 * format.channels * format.sample_rate;
    auto last_progress = std::chrono::steady_clock::now();
    auto report_progress = [&](size_t done, bool final_line) {
        auto now = std::chrono::steady_clock::now();
        if (!final_line && now - last_progress < std::chrono::milliseconds(200)) return;
        last_progress = now;
        std::fprintf(g_messages, "\rvelorin-say: %zu/%zu requests, %.1f s of speech%s", done, requests.size(),
                     static_cast<double>(g_sink.bytes.load()) / bytes_per_second, final_line ? "\n" : "");
    };

    // A screen reader keeps a few requests queued ahead of the one being spoken.
    const size_t kQueuedAhead = 4;
    size_t queued = 0;
    size_t done = 0;
    while (done < requests.size()) {
        // Held while queuing, so that each line's end knows the next line follows it.
        engine.set_parameter(VELORIN_PARAM_HOLD, 1);
        while (queued < requests.size() && queued < done + kQueuedAhead) {
            engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(requests[queued].c_str()), static_cast<int>(queued));
            ++queued;
        }
        engine.set_parameter(VELORIN_PARAM_HOLD, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int index = engine.get_last_index();
        done = index < 0 ? queued : static_cast<size_t>(index);
        if (g_sink.write_failed.load()) break;
        if (show_progress) report_progress(done, false);
    }
    while (engine.get_last_index() != -1 && !g_sink.write_failed.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    engine.terminate_synth();
    if (show_progress) report_progress(requests.size(), true);

    if (g_sink.write_failed.load()) fail("cannot write " + options.output + ": " + std::strerror(errno));
    if (!options.raw && g_sink.seekable) {
        wav_header(header, format, g_sink.bytes.load());
        if (std::fseek(g_sink.file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, g_sink.file) != sizeof header)
            fail("cannot write " + options.output);
    }
    if (std::fflush(g_sink.file) != 0 || (g_sink.seekable && std::fclose(g_sink.file) != 0))
        fail("cannot write " + options.output + ": " + std::strerror(errno));
    return 0;
}
