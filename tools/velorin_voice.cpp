// velorin-voice: builds voice files from espeak-ng or from recordings, checks them, lists units.
#include "tools/espeak_source.h"
#include "tools/take_synth.h"
#include "tools/voice_builder.h"
#include "tools/voice_check.h"
#include "tools/voice_prompts.h"
#include "tools/voice_recorder.h"
#include "voice/voice_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
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

#ifndef VELORIN_DATA_DIR
#define VELORIN_DATA_DIR ""
#endif
const std::string kDefaultInventory = std::string(VELORIN_DATA_DIR) + "/syllables.txt";
const std::string kDefaultFrequencies = std::string(VELORIN_DATA_DIR) + "/syllable_frequencies.tsv";

const char kUsage[] =
    "Usage: velorin-voice build (--espeak | --recordings DIR | --takes DIR) [OPTIONS] -o VOICE\n"
    "       velorin-voice check [--inventory FILE] [--text FILE] [--all] VOICE\n"
    "       velorin-voice list VOICE\n"
    "       velorin-voice prompts [--inventory FILE] [--frequencies FILE] [-o PROMPTS]\n"
    "       velorin-voice record DIR [--prompts PROMPTS] [--from FOLDER] [--recorder CMD] [--player CMD]\n"
    "       velorin-voice cut DIR [-o UNITS]\n"
    "       velorin-voice synth-takes --prompts PROMPTS -o FOLDER [--first N] [--voice V] [--seed S]\n"
    "\n"
    "build: makes a voice with four units (alone, first, middle, last) for every syllable.\n"
    "  --espeak              speak the syllables with espeak-ng's Vietnamese voice\n"
    "  --variant V           with --espeak, the regional speech: northern (espeak-ng's vi, the\n"
    "                        default), central (vi-vn-x-central) or southern (vi-vn-x-south);\n"
    "                        --espeak=V says the same\n"
    "  --takes DIR           cut the takes of a recording folder (see record) into DIR/units and\n"
    "                        build from those, as with --recordings DIR/units --fill --partial\n"
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
    "  --fill                a syllable lacking a position takes it from the nearest it has\n"
    "                        (alone <- last <- inside <- first)\n"
    "  --no-progress         no progress bar\n"
    "\n"
    "check: validates a voice and reports its header, syllables, units missing a position,\n"
    "  duplicate names, units that fail to decode, the longest and shortest units; with\n"
    "  --inventory, the listed syllables the voice lacks; with --text (UTF-8), how many of the\n"
    "  text's Vietnamese syllables the voice speaks and which it lacks. Exit status 1 when the\n"
    "  voice is broken.\n"
    "list: prints the unit names, one a line.\n"
    "\n"
    "prompts: writes the recording script for the inventory: groups of three syllables, most frequent\n"
    "  in running text first, four takes a group (three phrases that put each syllable first, inside\n"
    "  and last, and the three words said alone), and prints how much of running text the first\n"
    "  takes cover. Defaults: the source tree's lexicon/data/syllables.txt and\n"
    "  syllable_frequencies.tsv.\n"
    "record: records one take per prompt into DIR (DIR/prompts.tsv, DIR/takes/NNNNN.wav), going on\n"
    "  where the last session stopped; each take is checked at once (clipping, level, noise, the\n"
    "  number of syllables). A new DIR gets --prompts, or the default prompts. --recorder is a shell\n"
    "  command that records {file} until it gets SIGINT ({prompt}: the prompt number; default\n"
    "  arecord from alsa-utils); --from checks and files takes that exist, named by prompt number.\n"
    "cut: cuts every take of DIR into units (default DIR/units, for build --recordings), after one\n"
    "  loudness and one noise gate for all takes, and lists in DIR/retakes.tsv the takes to record\n"
    "  again; record asks for those first.\n"
    "synth-takes: speaks prompts with an espeak-ng voice as a stand-in speaker (N.wav), with some\n"
    "  room noise, to rehearse recording and cutting without a microphone.\n";

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

int cut_and_report(const std::string &dir, const std::string &units) {
    CutReport report;
    std::string error;
    if (cut_folder(dir, units, &report, &error) != 0) {
        std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
        return -1;
    }
    std::printf("%s: %d takes cut into %d unit files (noise gate %.0f dB); %zu takes to record again%s\n", dir.c_str(),
                report.takes, report.units, report.gate_db, report.retakes.size(),
                report.retakes.empty() ? "" : " (listed in retakes.tsv):");
    const size_t shown = std::min<size_t>(report.retakes.size(), 20);
    for (size_t i = 0; i < shown; i++) std::printf("  %s\n", report.retakes[i].c_str());
    if (shown < report.retakes.size()) std::printf("  ... and %zu more\n", report.retakes.size() - shown);
    std::fflush(stdout);
    return 0;
}

int run_build(int argc, char **argv) {
    VoiceBuildOptions options;
    options.progress = isatty(fileno(stderr));
    std::string inventory, variant, takes;
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
        } else if (arg == "--fill") {
            options.fill = true;
        } else if (arg == "--no-progress") {
            options.progress = false;
        } else if (!has_value) {
            return usage_error(arg.rfind("--", 0) == 0 || arg == "-o" ? "option " + arg + " needs a value" : "unexpected " + arg);
        } else if (arg == "--recordings") {
            options.source = UnitSource::Recordings;
            options.recordings_dir = value();
        } else if (arg == "--takes") {
            takes = value();
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
    if (!takes.empty()) {
        if (espeak || options.source == UnitSource::Recordings) return usage_error("give one of --espeak, --recordings and --takes");
        if (cut_and_report(takes, "") != 0) return 1;
        options.source = UnitSource::Recordings;
        options.recordings_dir = takes + "/units";
        options.fill = options.partial = true;
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
    if (!report.filled.empty()) {
        std::fprintf(stderr, "velorin-voice: %zu units filled in from another position:", report.filled.size());
        for (size_t i = 0; i < report.filled.size(); i++) std::fprintf(stderr, "%s %s", i ? "," : "", report.filled[i].c_str());
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
    print_list("  positions filled in from one recording", report.filled, all);

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

std::string inventory_origin(const std::string &inventory, size_t syllables, const std::string &frequencies,
                             const SyllableFrequencies &counts) {
    return "Made by velorin-voice prompts from " + inventory + " (" + std::to_string(syllables) + " syllables) and " +
           frequencies + " (" + std::to_string(counts.total) + " syllables of running text).";
}

// Prompts for an inventory and a frequency table; prints a summary and the coverage curve.
int make_prompt_list(const std::string &inventory, const std::string &frequencies, std::vector<Prompt> *prompts,
                     std::string *origin, bool print) {
    std::vector<std::string> syllables;
    SyllableFrequencies counts;
    std::string error;
    if (read_syllable_list(inventory, &syllables, &error) != 0 || read_syllable_frequencies(frequencies, &counts, &error) != 0) {
        std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
        return 1;
    }
    if (syllables.empty()) {
        std::fprintf(stderr, "velorin-voice: %s lists no syllables\n", inventory.c_str());
        return 1;
    }
    *prompts = make_prompts(syllables, counts);
    *origin = inventory_origin(inventory, syllables.size(), frequencies, counts);
    if (!print) return 0;
    const double hours = prompts->size() * kSecondsPerTake / 3600;
    std::printf("%zu syllables; %zu prompts (%zu groups of three syllables, four takes each); about %.1f h of "
                "recording at %.0f s a take\n",
                syllables.size(), prompts->size(), prompts->size() / 4, hours, kSecondsPerTake);
    std::printf("Share of the syllables of running text (%ld in %s) the first takes record:\n", counts.total,
                frequencies.c_str());
    std::printf("  %7s  %10s  %18s\n", "takes", "speakable", "all four positions");
    for (const CoveragePoint &point : prompt_coverage(*prompts, counts, {50, 100, 250, 500, 1000, 2000, 4000}))
        std::printf("  %7d  %9.2f%%  %17.2f%%\n", point.takes, point.speakable, point.complete);
    return 0;
}

int run_prompts(int argc, char **argv) {
    std::string inventory = kDefaultInventory, frequencies = kDefaultFrequencies, output;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return usage_error("unexpected " + arg);
        if (arg == "--inventory") {
            inventory = argv[++i];
        } else if (arg == "--frequencies") {
            frequencies = argv[++i];
        } else if (arg == "-o" || arg == "--output") {
            output = argv[++i];
        } else {
            return usage_error("unexpected " + arg);
        }
    }
    std::vector<Prompt> prompts;
    std::string origin, error;
    if (make_prompt_list(inventory, frequencies, &prompts, &origin, true) != 0) return 1;
    if (!output.empty()) {
        if (write_prompts(output, prompts, origin, &error) != 0) {
            std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s: %zu prompts\n", output.c_str(), prompts.size());
    }
    return 0;
}

int run_record(int argc, char **argv) {
    RecordOptions options;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--prompts" && has_value) {
            options.prompts = argv[++i];
        } else if (arg == "--from" && has_value) {
            options.from = argv[++i];
        } else if (arg == "--recorder" && has_value) {
            options.recorder = argv[++i];
        } else if (arg == "--player" && has_value) {
            options.player = argv[++i];
        } else if (arg.rfind("-", 0) == 0 || !options.dir.empty()) {
            return usage_error("unexpected " + arg);
        } else {
            options.dir = arg;
        }
    }
    if (options.dir.empty()) return usage_error("record needs a folder");
    std::string error;
    std::error_code ec;
    if (options.prompts.empty() && !std::filesystem::exists(options.dir + "/prompts.tsv")) {
        // A new folder follows the default prompts.
        std::vector<Prompt> prompts;
        std::string origin;
        if (make_prompt_list(kDefaultInventory, kDefaultFrequencies, &prompts, &origin, false) != 0) return 1;
        std::filesystem::create_directories(options.dir, ec);
        if (write_prompts(options.dir + "/prompts.tsv", prompts, origin, &error) != 0) {
            std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
            return 1;
        }
    }
    RecordReport report;
    if (record_session(options, stdin, stdout, &report, &error) != 0) {
        std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
        return 1;
    }
    if (!options.from.empty()) {
        std::printf("%s: %d takes filed, %zu refused; %d of %d prompts done\n", options.dir.c_str(), report.accepted,
                    report.refused.size(), report.done, report.prompts);
        for (const std::string &refused : report.refused) std::printf("  refused %s\n", refused.c_str());
    }
    return 0;
}

int run_cut(int argc, char **argv) {
    std::string dir, units;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--output") && i + 1 < argc) {
            units = argv[++i];
        } else if (arg.rfind("-", 0) == 0 || !dir.empty()) {
            return usage_error("unexpected " + arg);
        } else {
            dir = arg;
        }
    }
    if (dir.empty()) return usage_error("cut needs a recording folder");
    return cut_and_report(dir, units) == 0 ? 0 : 1;
}

int run_synth_takes(int argc, char **argv) {
    std::string prompts_path, output;
    SyntheticTakeOptions style;
    int first = 0, seed = 1;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return usage_error("unexpected " + arg);
        const std::string value = argv[++i];
        if (arg == "--prompts") {
            prompts_path = value;
        } else if (arg == "-o" || arg == "--output") {
            output = value;
        } else if (arg == "--voice") {
            style.voice = value;
        } else if (arg == "--first") {
            if (!parse_int(value, &first) || first < 1) return usage_error("bad --first");
        } else if (arg == "--seed") {
            if (!parse_int(value, &seed)) return usage_error("bad --seed");
        } else {
            return usage_error("unexpected " + arg);
        }
    }
    if (prompts_path.empty() || output.empty()) return usage_error("synth-takes needs --prompts and -o");
    std::vector<Prompt> prompts;
    std::string error;
    if (read_prompts(prompts_path, &prompts, &error) != 0) {
        std::fprintf(stderr, "velorin-voice: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(output, ec);
    // Each take a little different, as a person's are: tempo, pitch, level and room.
    std::mt19937 random(static_cast<uint32_t>(seed));
    const size_t count = first > 0 ? std::min<size_t>(static_cast<size_t>(first), prompts.size()) : prompts.size();
    for (size_t i = 0; i < count; i++) {
        SyntheticTakeOptions take_style = style;
        take_style.words_per_minute = 130 + static_cast<int>(random() % 50);
        take_style.pitch = 35 + static_cast<int>(random() % 20);
        take_style.gain_db = -8.0 + (random() % 80) / 10.0;
        take_style.noise_db = -66 + (random() % 80) / 10.0;
        SyntheticTake take;
        if (synthesize_take(prompt_words(prompts[i]), prompts[i].kind, take_style, random(), &take, &error) != 0 ||
            write_wav(output + "/" + std::to_string(prompts[i].number) + ".wav", take.audio, &error) != 0) {
            std::fprintf(stderr, "velorin-voice: prompt %d: %s\n", prompts[i].number, error.c_str());
            return 1;
        }
    }
    std::printf("%s: %zu takes spoken by espeak-ng (%s)\n", output.c_str(), count, style.voice.c_str());
    return 0;
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
    if (command == "prompts") return run_prompts(argc, argv);
    if (command == "record") return run_record(argc, argv);
    if (command == "cut") return run_cut(argc, argv);
    if (command == "synth-takes") return run_synth_takes(argc, argv);
    return usage_error(command.empty() ? "give a command: build, check, list, prompts, record, cut or synth-takes"
                                       : "unknown command " + command);
}
