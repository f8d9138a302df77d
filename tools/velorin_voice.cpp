// velorin-voice: builds voice files from espeak-ng or from recordings, checks them, lists units.
#include "tools/espeak_source.h"
#include "tools/voice_builder.h"
#include "tools/voice_check.h"
#include "voice/voice_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: velorin-voice build (--espeak | --recordings DIR) [OPTIONS] -o VOICE\n"
    "       velorin-voice check [--inventory FILE] [--text FILE] [--all] VOICE\n"
    "       velorin-voice list VOICE\n"
    "\n"
    "build: makes a voice with four units (alone, first, middle, last) for every syllable.\n"
    "  --espeak              speak the syllables with espeak-ng's Vietnamese voice\n"
    "  --variant V           with --espeak, the regional speech: northern (espeak-ng's vi, the\n"
    "                        default), central (vi-vn-x-central) or southern (vi-vn-x-south);\n"
    "                        --espeak=V says the same\n"
    "  --recordings DIR      take them from WAV files DIR/<syllable>.<position>.wav, the syllable in\n"
    "                        Vietnamese letters (UTF-8, precomposed, lower case: \"việt.2.wav\")\n"
    "                        or in the voice file's plain letters (\"vieejt.2.wav\");\n"
    "                        position 0 alone, 1 first of a phrase, 2 inside, 3 last. Any rate,\n"
    "                        channel count and sample format; mixed and resampled as needed\n"
    "  --inventory FILE      syllables to build, AsciiForm one a line (required with --espeak;\n"
    "                        with --recordings the default is every syllable recorded)\n"
    "  --tone-placements both|as-listed\n"
    "                        both (default): add the other placement of the tone mark where\n"
    "                        spelling allows two (hòa and hoà, thủy and thuỷ)\n"
    "  -o, --output VOICE    the voice file to write\n"
    "  --name NAME           voice name stored in the header (default vi-default, vi-central\n"
    "                        or vi-south after the variant)\n"
    "  --sample-rate HZ      the voice's sample rate (default 22050)\n"
    "  --channels N          1 (default) or 2\n"
    "  --mode wb|nb          Speex wideband (default) or narrowband\n"
    "  --quality Q           Speex quality 0..10 (default %d)\n"
    "  --byte-order little|big   (default little)\n"
    "  --jobs N              worker threads (default: one per core)\n"
    "  --partial             write the voice even if some syllables could not be made\n"
    "  --no-progress         no progress bar\n"
    "\n"
    "check: validates a voice and reports its header, syllables, units missing a position,\n"
    "  duplicate names, units that fail to decode, the longest and shortest units; with\n"
    "  --inventory, the listed syllables the voice lacks; with --text (UTF-8), how many of the\n"
    "  text's Vietnamese syllables the voice speaks and which it lacks. Exit status 1 when the\n"
    "  voice is broken.\n"
    "list: prints the unit names, one a line.\n";

int usage_error(const std::string &message) {
    std::fprintf(stderr, "velorin-voice: %s (see velorin-voice --help)\n", message.c_str());
    return 2;
}

bool parse_int(const std::string &text, int *value) {
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || number < -1000000 || number > 1000000) return false;
    *value = static_cast<int>(number);
    return true;
}

void print_list(const char *title, const std::vector<std::string> &items, bool all) {
    if (items.empty()) return;
    const size_t shown = all ? items.size() : std::min<size_t>(items.size(), 20);
    std::printf("%s (%zu):", title, items.size());
    for (size_t i = 0; i < shown; i++) std::printf(" %s", items[i].c_str());
    if (shown < items.size()) std::printf(" ... (--all shows every one)");
    std::printf("\n");
}

int run_build(int argc, char **argv) {
    VoiceBuildOptions options;
    options.progress = isatty(fileno(stderr));
    std::string inventory, variant;
    bool espeak = false, both_placements = true, named = false;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        auto value = [&]() { return std::string(argv[++i]); };
        int number = 0;
        if (arg == "--espeak") {
            espeak = true;
        } else if (arg.rfind("--espeak=", 0) == 0) {
            espeak = true;
            variant = arg.substr(9);
        } else if (arg == "--partial") {
            options.partial = true;
        } else if (arg == "--no-progress") {
            options.progress = false;
        } else if (!has_value) {
            return usage_error(arg.rfind("--", 0) == 0 || arg == "-o" ? "option " + arg + " needs a value" : "unexpected " + arg);
        } else if (arg == "--recordings") {
            options.source = UnitSource::Recordings;
            options.recordings_dir = value();
        } else if (arg == "--inventory") {
            inventory = value();
        } else if (arg == "-o" || arg == "--output") {
            options.output = value();
        } else if (arg == "--name") {
            options.voice_name = value();
            named = true;
        } else if (arg == "--variant") {
            variant = value();
        } else if (arg == "--tone-placements") {
            const std::string v = value();
            if (v != "both" && v != "as-listed") return usage_error("--tone-placements is both or as-listed");
            both_placements = v == "both";
        } else if (arg == "--sample-rate") {
            if (!parse_int(value(), &options.sample_rate)) return usage_error("bad --sample-rate");
        } else if (arg == "--channels") {
            if (!parse_int(value(), &options.channels)) return usage_error("bad --channels");
        } else if (arg == "--quality") {
            if (!parse_int(value(), &options.quality)) return usage_error("bad --quality");
        } else if (arg == "--jobs") {
            if (!parse_int(value(), &number) || number < 1) return usage_error("bad --jobs");
            options.threads = number;
        } else if (arg == "--mode") {
            const std::string v = value();
            if (v != "wb" && v != "nb") return usage_error("--mode is wb or nb");
            options.band = v == "wb" ? SpeexBand::Wideband : SpeexBand::Narrowband;
        } else if (arg == "--byte-order") {
            const std::string v = value();
            if (v != "little" && v != "big") return usage_error("--byte-order is little or big");
            options.byte_order = v == "little" ? VoiceByteOrder::Little : VoiceByteOrder::Big;
        } else {
            return usage_error("unknown option " + arg);
        }
    }
    if (espeak == (options.source == UnitSource::Recordings)) return usage_error("give either --espeak or --recordings DIR");
    if (options.output.empty()) return usage_error("give the voice file with -o");
    if (espeak && inventory.empty()) return usage_error("--espeak needs --inventory FILE");
    if (!variant.empty()) {
        if (!espeak) return usage_error("--variant goes with --espeak");
        const EspeakVariant *found = espeak_variant(variant);
        if (!found) return usage_error("--variant is northern, central or southern");
        options.espeak_variant = found->name;
        if (!named) options.voice_name = found->voice_name;
    }
    if (!inventory.empty()) {
        std::string error;
        if (read_syllable_list(inventory, &options.syllables, &error) != 0) {
            std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
            return 1;
        }
        if (both_placements) options.syllables = with_both_tone_placements(options.syllables);
    }

    VoiceBuildReport report;
    const int result = voice_build(options, &report);
    if (!report.missing_recordings.empty()) {
        std::fprintf(stderr, "velorin-voice: %zu recordings missing in %s:\n", report.missing_recordings.size(),
                     options.recordings_dir.c_str());
        for (const std::string &name : report.missing_recordings) std::fprintf(stderr, "  %s\n", name.c_str());
    }
    for (const std::string &error : report.unit_errors) std::fprintf(stderr, "velorin-voice: unit %s\n", error.c_str());
    if (!report.unstorable.empty()) {
        std::fprintf(stderr, "velorin-voice: %zu syllables skipped, the voice file's names cannot spell them:",
                     report.unstorable.size());
        for (const std::string &syllable : report.unstorable) std::fprintf(stderr, " %s", syllable.c_str());
        std::fprintf(stderr, "\n");
    }
    if (!report.clipping.empty()) {
        std::fprintf(stderr, "velorin-voice: %zu units clip in the decoder even at a lower level:", report.clipping.size());
        for (const std::string &unit : report.clipping) std::fprintf(stderr, " %s", unit.c_str());
        std::fprintf(stderr, "\n");
    }
    if (!report.left_out.empty()) {
        std::fprintf(stderr, "velorin-voice: %zu syllables left out:", report.left_out.size());
        for (const std::string &syllable : report.left_out) std::fprintf(stderr, " %s", syllable.c_str());
        std::fprintf(stderr, "\n");
    }
    if (result != 0) {
        std::fprintf(stderr, "velorin-voice: %s\n", report.error.c_str());
        return 1;
    }
    std::printf("%s: %d syllables, %d units, %ld bytes, %.1f s; %d units more than 1 dB under the common loudness, "
                "%d lowered so that the decoder does not clip them\n",
                options.output.c_str(), report.syllables_written, report.units_written, report.file_bytes, report.seconds,
                report.units_below_loudness, report.units_lowered_for_codec);
    return 0;
}

int run_check(int argc, char **argv) {
    std::string inventory, text_file, path;
    bool all = false;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--all") {
            all = true;
        } else if ((arg == "--inventory" || arg == "--text") && i + 1 < argc) {
            (arg == "--inventory" ? inventory : text_file) = argv[++i];
        } else if (arg.rfind("-", 0) == 0 || !path.empty()) {
            return usage_error("unexpected " + arg);
        } else {
            path = arg;
        }
    }
    if (path.empty()) return usage_error("check needs a voice file");
    VoiceCheckReport report;
    if (voice_check(path, &report) != 0) {
        std::printf("%s: not a readable voice file (missing, bad magic or byte-order mark, or broken records)\n",
                    path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::printf("  header: \"%s\" \"%s\" %d \"%s\" \"%s\" \"%s\"\n", report.header_text_1.c_str(),
                report.header_text_2.c_str(), report.header_value, report.header_text_3.c_str(),
                report.header_text_4.c_str(), report.header_text_5.c_str());
    std::printf("  sample rate %d Hz, %d channel(s)\n", report.sample_rate, report.channels);
    std::printf("  syllables: %d in the header, %zu named; units: %d, %ld bytes of audio\n", report.syllable_count,
                report.syllables.size(), report.unit_count, report.audio_bytes);
    if (!report.longest.name.empty()) {
        std::printf("  longest unit: %s (%.0f ms); shortest: %s (%.0f ms)\n", report.longest.name.c_str(),
                    report.longest.ms, report.shortest.name.c_str(), report.shortest.ms);
    }
    print_list("  units missing", report.missing_positions, all);
    print_list("  duplicate names", report.duplicates, all);
    print_list("  names without a position", report.bad_names, all);
    print_list("  units that fail to decode", report.undecodable, all);
    const std::string oversize = "  units over " + std::to_string(kMaxStoredUnitBytes) + " bytes (never spoken)";
    print_list(oversize.c_str(), report.oversize, all);
    print_list("  units longer than the engine plays (cut)", report.cut, all);

    if (!inventory.empty()) {
        std::vector<std::string> syllables;
        std::string error;
        if (read_syllable_list(inventory, &syllables, &error) != 0) {
            std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
            return 2;
        }
        const std::vector<std::string> lacking = lacking_syllables(report, syllables);
        std::printf("  inventory %s: %zu syllables, %zu lacking\n", inventory.c_str(), syllables.size(), lacking.size());
        print_list("  lacking", lacking, all);
    }
    if (!text_file.empty()) {
        std::ifstream file(text_file, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "velorin-voice: cannot read %s\n", text_file.c_str());
            return 2;
        }
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const TextCoverage coverage = text_coverage(text, report.syllables);
        const double share = coverage.vietnamese_syllables ? 100.0 * coverage.spoken / coverage.vietnamese_syllables : 100.0;
        long lacking_count = 0;
        for (const auto &entry : coverage.lacking) lacking_count += entry.second;
        std::printf("  text %s: %ld Vietnamese syllables, %ld spoken (%.2f%%), %ld spelled, %ld read by a dictionary, "
                    "%ld lacking (%.2f%%, %zu distinct); %ld other words\n",
                    text_file.c_str(), coverage.vietnamese_syllables, coverage.spoken, share, coverage.spelled,
                    coverage.by_dictionary, lacking_count,
                    coverage.vietnamese_syllables ? 100.0 * lacking_count / coverage.vietnamese_syllables : 0.0,
                    coverage.lacking.size(), coverage.other_words);
        std::vector<std::pair<long, std::string>> by_count;
        for (const auto &entry : coverage.lacking) by_count.emplace_back(-entry.second, entry.first);
        std::sort(by_count.begin(), by_count.end());
        std::vector<std::string> lacking;
        for (const auto &entry : by_count) lacking.push_back(entry.second + "(" + std::to_string(-entry.first) + ")");
        print_list("  lacking, most frequent first", lacking, all);
    }
    if (report.broken()) {
        std::printf("  BROKEN: the engine would not speak this voice in full\n");
        return 1;
    }
    std::printf("  ok\n");
    return 0;
}

int run_list(int argc, char **argv) {
    if (argc != 3) return usage_error("list needs one voice file");
    VoiceDatabase *voice = voice_load(argv[2]);
    if (!voice) {
        std::fprintf(stderr, "velorin-voice: %s is not a readable voice file\n", argv[2]);
        return 1;
    }
    for (int i = 0; i < voice->unit_count; i++) std::printf("%s\n", voice->units[i].name);
    voice_free(voice);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "-h" || command == "--help") {
        std::printf(kUsage, VoiceBuildOptions().quality);
        return 0;
    }
    if (command == "build") return run_build(argc, argv);
    if (command == "check") return run_check(argc, argv);
    if (command == "list") return run_list(argc, argv);
    return usage_error(command.empty() ? "give a command: build, check or list" : "unknown command " + command);
}
