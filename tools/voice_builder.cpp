// Making voice files: unit jobs over worker threads, each unit trimmed, levelled and encoded.
#include "tools/voice_builder.h"

#include "lexicon/ascii_form.h"
#include "lexicon/unit_name.h"
#include "tools/espeak_source.h"
#include "tools/voice_audio.h"
#include "voice/voice_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

const char kToneSigns[] = "'`?~.";

bool is_tone_sign(char c) { return c != 0 && std::strchr(kToneSigns, c) != nullptr; }

void append_utf8(std::string *out, char32_t code) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | code >> 6));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | code >> 12));
        out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// UTF-8 to UTF-16 for the Basic Multilingual Plane; false on anything else.
bool utf8_to_utf16(const std::string &in, std::u16string *out) {
    out->clear();
    for (size_t i = 0; i < in.size();) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        char32_t code;
        size_t extra;
        if (lead < 0x80) {
            code = lead, extra = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F, extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F, extra = 2;
        } else {
            return false;
        }
        if (i + extra >= in.size() + (extra ? 0 : 1)) return false;
        for (size_t k = 1; k <= extra; k++) {
            const unsigned char next = static_cast<unsigned char>(in[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
        out->push_back(static_cast<char16_t>(code));
        i += extra + 1;
    }
    return true;
}

bool is_ascii(const std::string &text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
}

std::string wide_ascii_form(const char16_t *form) {
    std::string out;
    for (; *form; ++form) out.push_back(static_cast<char>(*form));
    return out;
}

struct UnitJob {
    int syllable;
    int position;
};

struct UnitResult {
    std::vector<uint8_t> bytes;
    std::string error;
    bool missing = false;
    bool below_loudness = false;     // its peak held it more than 1 dB under the common loudness
    bool lowered_for_codec = false;  // lowered again because the decoder would have clipped it
    bool clips = false;              // the decoder still clips it
};

constexpr int kLevelAttempts = 4;

// The audio of one unit from its source, before processing.
int fetch_unit_audio(const VoiceBuildOptions &options, const std::map<std::string, std::string> &recordings,
                     const std::string &syllable, int position, PcmAudio *audio, bool *missing, std::string *error) {
    if (options.source == UnitSource::Espeak) {
        return espeak_speak_syllable(ascii_to_vietnamese(syllable), position, audio, error);
    }
    const auto found = recordings.find(unit_syllable(syllable) + "." + std::to_string(position));
    if (found == recordings.end()) {
        *missing = true;
        *error = recording_file_name(syllable, position);
        return -1;
    }
    return read_wav(found->second, audio, error);
}

// A unit from its source audio: mixed, resampled, trimmed, brought to the common loudness and
// encoded. While the engine's decoder would clip the unit, its level is lowered and it is encoded
// again.
int make_unit(const VoiceBuildOptions &options, PcmAudio audio, UnitResult *result) {
    audio = resample(mix_channels(audio, options.channels), options.sample_rate);
    if (trim_silence(&audio, kTrimKeepMs) == 0) {
        result->error = "silent";
        return -1;
    }
    level_unit(&audio);
    UnitEncoderOptions encoder;
    encoder.band = options.band;
    encoder.sample_rate = options.sample_rate;
    encoder.channels = options.channels;
    encoder.quality = options.quality;
    std::vector<int16_t> decoded;
    for (int attempt = 0;; attempt++) {
        if (encode_unit(audio.samples.data(), audio.frames(), encoder, &result->bytes, &result->error, &decoded) != 0)
            return -1;
        const int peak = peak_sample(decoded);
        if (peak <= kDecodedPeakCeiling) break;
        if (attempt == kLevelAttempts) {
            result->clips = true;
            break;
        }
        // A clipped peak says only that the codec overshot by more than that.
        apply_gain(&audio, std::min(0.9, 0.98 * kDecodedPeakCeiling / peak));
        result->lowered_for_codec = true;
    }
    result->below_loudness = gated_loudness(audio, kUnitLoudnessBlockMs) < kUnitLoudnessLufs - 1.0;
    if (static_cast<int>(result->bytes.size()) > kMaxStoredUnitBytes) {
        result->error = std::to_string(result->bytes.size()) + " bytes (" + std::to_string(static_cast<int>(audio_ms(audio))) +
                        " ms), over the " + std::to_string(kMaxStoredUnitBytes) +
                        "-byte limit of a unit: shorten the recording or lower --quality";
        result->bytes.clear();
        return -1;
    }
    return 0;
}

// Every recording in dir by its unit name.
std::map<std::string, std::string> scan_recordings(const std::string &dir, std::string *error) {
    std::map<std::string, std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string name = unit_name_of_recording(it->path().filename().string());
        if (!name.empty() && !found.count(name)) found[name] = it->path().string();
    }
    if (ec) *error = "cannot read the folder " + dir + ": " + ec.message();
    return found;
}

void show_progress(int done, int total, bool last) {
    constexpr int kWidth = 30;
    const int filled = total ? done * kWidth / total : kWidth;
    std::fprintf(stderr, "\rvelorin-voice: [%.*s%*s] %d/%d units%s", filled, "##############################",
                 kWidth - filled, "", done, total, last ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace

int read_syllable_list(const std::string &path, std::vector<std::string> *syllables, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return -1;
    }
    std::set<std::string> seen;
    syllables->clear();
    std::string line;
    while (std::getline(file, line)) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        const size_t last = line.find_last_not_of(" \t\r");
        std::string syllable = line.substr(first, last - first + 1);
        if (seen.insert(syllable).second) syllables->push_back(syllable);
    }
    return 0;
}

std::string other_tone_placement(const std::string &ascii) {
    // The ending: first vowel, optional tone, second vowel, optional tone, and nothing after.
    const size_t n = ascii.size();
    std::string first_vowel, second_vowel;
    size_t stem = 0;
    bool tone_on_first = false;
    char tone = 0;
    if (n >= 3 && is_tone_sign(ascii[n - 1])) {  // "hoa`"
        tone = ascii[n - 1], stem = n - 3;
    } else if (n >= 3 && is_tone_sign(ascii[n - 2])) {  // "ho`a"
        tone = ascii[n - 2], stem = n - 3, tone_on_first = true;
    } else {
        return "";
    }
    const char v1 = ascii[stem];
    const char v2 = ascii[n - (tone_on_first ? 1 : 2)];
    if (!((v1 == 'o' && (v2 == 'a' || v2 == 'e')) || (v1 == 'u' && v2 == 'y'))) return "";
    // Only consonants before the pair; "qu" makes the u part of the onset.
    const std::string onset = ascii.substr(0, stem);
    if (onset.find_first_not_of("bcdghklmnprstvx!") != std::string::npos) return "";
    if (!onset.empty() && onset.back() == 'q') return "";
    return onset + (tone_on_first ? std::string{v1, v2, tone} : std::string{v1, tone, v2});
}

std::vector<std::string> with_both_tone_placements(const std::vector<std::string> &syllables) {
    std::set<std::string> seen(syllables.begin(), syllables.end());
    std::vector<std::string> out;
    for (const std::string &syllable : syllables) {
        out.push_back(syllable);
        const std::string other = other_tone_placement(syllable);
        if (!other.empty() && seen.insert(other).second) out.push_back(other);
    }
    return out;
}

std::string ascii_to_vietnamese(const std::string &ascii) {
    std::string out;
    size_t i = 0;
    while (i < ascii.size()) {
        const LetterRow *match = nullptr;
        size_t match_length = 0;
        for (const LetterRow &row : letter_table) {
            const std::string form = wide_ascii_form(row.ascii_form);
            if (form.size() > match_length && ascii.compare(i, form.size(), form) == 0) {
                match = &row;
                match_length = form.size();
            }
        }
        if (match) {
            append_utf8(&out, match->small_letter);
            i += match_length;
        } else {
            out.push_back(ascii[i++]);
        }
    }
    return out;
}

std::string vietnamese_to_ascii(const std::string &utf8) {
    std::u16string wide;
    if (!utf8_to_utf16(utf8, &wide) || wide.size() >= kNarrowCapacity / 3) return "";
    std::vector<char16_t> form(wide.size() * 3 + 1);
    if (text_to_ascii(wide.c_str(), form.data(), form.size()) < 0) return "";
    char narrow[kNarrowCapacity];
    if (narrow_text(form.data(), narrow) < 0) return "";
    return lower_narrow(narrow);
}

std::string unit_syllable(const std::string &ascii_syllable) {
    std::vector<char> name(ascii_syllable.begin(), ascii_syllable.end());
    name.push_back('\0');
    name_long_o(name.data());
    return name.data();
}

std::string syllable_of_unit(const std::string &unit) {
    std::string syllable = unit;
    for (size_t i = 1; i < syllable.size(); i++)
        if (syllable[i] == 'O' && syllable[i - 1] == 'o') syllable[i] = 'o';
    return syllable;
}

std::string recording_file_name(const std::string &ascii_syllable, int position) {
    std::string name = ascii_to_vietnamese(ascii_syllable);
    // An ASCII name is read in the file's plain letters, where "oo" is ô: the long o keeps its
    // capital there ("xoOng").
    if (is_ascii(name)) name = unit_syllable(ascii_syllable);
    return name + "." + std::to_string(position) + ".wav";
}

std::string unit_name_of_recording(const std::string &file_name) {
    if (file_name.size() < 7) return "";
    std::string ext = file_name.substr(file_name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".wav") return "";
    const std::string stem = file_name.substr(0, file_name.size() - 4);
    const size_t n = stem.size();
    if (stem[n - 2] != '.' || stem[n - 1] < '0' || stem[n - 1] > '3') return "";
    const std::string syllable = stem.substr(0, n - 2);
    if (syllable.empty()) return "";
    std::string ascii;
    if (is_ascii(syllable)) {
        std::string lowered = syllable;
        std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lowered.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) return "";
        for (size_t i = 1; i < syllable.size(); i++)  // the long o's capital ("xoOng")
            if (syllable[i] == 'O' && syllable[i - 1] == 'o') lowered[i] = 'O';
        // The plain-letter spelling as the loader reads it back.
        std::vector<char> name(lowered.begin(), lowered.end());
        name.push_back(0);
        rewrite_unit_name(name.data());
        ascii = name.data();
    } else {
        ascii = unit_syllable(vietnamese_to_ascii(syllable));
    }
    if (ascii.empty()) return "";
    return ascii + "." + stem.substr(n - 1);
}

int fill_source_position(int missing, unsigned recorded) {
    static const int kNearness[4] = {0, 3, 2, 1};  // alone, last, inside, first
    int at = 0;
    while (kNearness[at] != missing) at++;
    for (int distance = 1; distance < 4; distance++) {
        for (int side : {1, -1}) {
            const int k = at + side * distance;
            if (k >= 0 && k < 4 && (recorded & (1u << kNearness[k]))) return kNearness[k];
        }
    }
    return -1;
}

int voice_build(const VoiceBuildOptions &options, VoiceBuildReport *report) {
    *report = VoiceBuildReport();
    const auto started = std::chrono::steady_clock::now();
    if (options.sample_rate < 1000 || options.sample_rate > 32767) {
        report->error = "the sample rate must lie in 1000..32767 Hz";
        return -1;
    }
    if (options.channels != 1 && options.channels != 2) {
        report->error = "a voice has 1 or 2 channels";
        return -1;
    }
    if (options.quality < 0 || options.quality > 10) {
        report->error = "the Speex quality must lie in 0..10";
        return -1;
    }
    if (options.output.empty()) {
        report->error = "no output file";
        return -1;
    }

    std::map<std::string, std::string> recordings;
    std::vector<std::string> syllables = options.syllables;
    const EspeakVariant *variant = nullptr;
    if (options.source == UnitSource::Recordings) {
        recordings = scan_recordings(options.recordings_dir, &report->error);
        if (!report->error.empty()) return -1;
        if (syllables.empty()) {
            std::set<std::string> found;
            for (const auto &entry : recordings) found.insert(syllable_of_unit(entry.first.substr(0, entry.first.size() - 2)));
            syllables.assign(found.begin(), found.end());
        }
    } else {
        std::string error;
        variant = espeak_variant(options.espeak_variant);
        if (!variant) {
            report->error = "no espeak-ng variant " + options.espeak_variant + " (northern, central or southern)";
            return -1;
        }
        if (espeak_source_start(*variant, &error) < 0) {
            report->error = error;
            return -1;
        }
    }
    // A syllable whose unit name the file's plain letters cannot spell can never be in a voice, so
    // it is set aside, not built.
    std::vector<std::string> storable;
    for (const std::string &syllable : syllables) {
        std::string plain;
        if (!syllable.empty() && plain_unit_name(unit_syllable(syllable) + ".0", &plain) == 0) {
            storable.push_back(syllable);
        } else {
            report->unstorable.push_back(syllable);
        }
    }
    syllables.swap(storable);
    if (syllables.empty()) {
        report->error = "no syllables to build";
        return -1;
    }
    if (static_cast<int>(syllables.size()) > 10000) {
        report->error = std::to_string(syllables.size()) + " syllables, more than the 10000 a voice holds";
        return -1;
    }

    const int total = static_cast<int>(syllables.size()) * 4;
    std::vector<UnitResult> results(total);
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    // espeak-ng carries state from one text to the next, so what it makes of a syllable depends
    // on what it spoke before: it speaks the units in job order, whichever thread asks, and the
    // same inputs give the same voice.
    std::mutex turn_mutex;
    std::condition_variable turn_changed;
    int turn = 0;
    auto work = [&]() {
        for (int job = next++; job < total; job = next++) {
            UnitResult &result = results[job];
            PcmAudio audio;
            int fetched;
            if (options.source == UnitSource::Espeak) {
                std::unique_lock<std::mutex> lock(turn_mutex);
                turn_changed.wait(lock, [&]() { return turn == job; });
                fetched = fetch_unit_audio(options, recordings, syllables[job / 4], job % 4, &audio, &result.missing, &result.error);
                turn++;
                turn_changed.notify_all();
            } else {
                fetched = fetch_unit_audio(options, recordings, syllables[job / 4], job % 4, &audio, &result.missing, &result.error);
            }
            if (fetched == 0) make_unit(options, std::move(audio), &result);
            ++done;
        }
    };
    const int thread_count = options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (int t = 0; t < thread_count; t++) workers.emplace_back(work);
    if (options.progress) {
        while (done.load() < total) {
            show_progress(done.load(), total, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    for (std::thread &worker : workers) worker.join();
    if (options.progress) show_progress(total, total, true);
    if (options.source == UnitSource::Espeak) espeak_source_stop();

    std::vector<VoiceUnitData> units;
    for (size_t s = 0; s < syllables.size(); s++) {
        bool complete = true;
        unsigned made = 0;
        for (int p = 0; p < 4; p++) made |= results[s * 4 + p].error.empty() ? 1u << p : 0u;
        for (int p = 0; p < 4; p++) {
            const UnitResult &result = results[s * 4 + p];
            report->units_below_loudness += result.below_loudness;
            report->units_lowered_for_codec += result.lowered_for_codec;
            if (result.clips) report->clipping.push_back(unit_syllable(syllables[s]) + "." + std::to_string(p));
            if (result.error.empty()) continue;
            const int source = options.fill ? fill_source_position(p, made) : -1;
            if (source >= 0) {
                results[s * 4 + p].bytes = results[s * 4 + source].bytes;
                report->filled.push_back(syllables[s] + "." + std::to_string(p) + "<-" + syllables[s] + "." + std::to_string(source));
                continue;
            }
            complete = false;
            if (result.missing) {
                report->missing_recordings.push_back(result.error);
            } else {
                report->unit_errors.push_back(syllables[s] + "." + std::to_string(p) + ": " + result.error);
            }
        }
        if (!complete) {
            report->left_out.push_back(syllables[s]);
            continue;
        }
        for (int p = 0; p < 4; p++) {
            units.push_back({unit_syllable(syllables[s]) + "." + std::to_string(p), std::move(results[s * 4 + p].bytes)});
        }
    }
    // In the index's order, so the loader finds the names already sorted.
    std::sort(units.begin(), units.end(), [](const VoiceUnitData &a, const VoiceUnitData &b) {
        return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
    });
    if (!report->left_out.empty() && !options.partial) {
        report->error = std::to_string(report->left_out.size()) + " syllables could not be made; nothing written";
        return -1;
    }
    if (units.empty()) {
        report->error = "no complete syllable; nothing written";
        return -1;
    }

    VoiceFileHeader header;
    header.header_text_1 = options.voice_name;
    header.header_text_2 = variant ? std::string("espeak-ng ") + variant->espeak_voice : "recordings";
    header.header_value = options.quality;
    header.header_text_3 = "vi";
    header.header_text_4 = "velorin-voice";
    header.header_text_5 = options.band == SpeexBand::Wideband ? "speex wideband" : "speex narrowband";
    header.sample_rate = options.sample_rate;
    header.channels = options.channels;
    const std::string temporary = options.output + ".part";
    std::error_code ec;
    const fs::path parent = fs::path(options.output).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    if (voice_write(temporary.c_str(), header, units, options.byte_order, &report->error) != 0) {
        fs::remove(temporary, ec);
        return -1;
    }
    fs::rename(temporary, options.output, ec);
    if (ec) {
        report->error = "cannot move the voice to " + options.output + ": " + ec.message();
        fs::remove(temporary, ec);
        return -1;
    }
    report->syllables_written = static_cast<int>(units.size() / 4);
    report->units_written = static_cast<int>(units.size());
    report->file_bytes = static_cast<long>(fs::file_size(options.output, ec));
    report->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return 0;
}
