// Voice file checks: the index by syllable and position, each unit decoded as the engine would.
#include "tools/voice_check.h"

#include "lexicon/ascii_form.h"
#include "lexicon/dictionary.h"
#include "tools/voice_builder.h"
#include "voice/unit_decode.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kCheckDecodeLimit = 4 * 1024 * 1024;

// Standard error sent to a scratch file while units are decoded, so the decoder's messages can be
// read per unit instead of flooding the terminal.
struct StderrCapture {
    FILE *scratch = nullptr;
    int saved = -1;

    StderrCapture() {
        std::fflush(stderr);
        scratch = std::tmpfile();
        saved = dup(fileno(stderr));
        if (scratch && saved >= 0) dup2(fileno(scratch), fileno(stderr));
    }
    ~StderrCapture() {
        std::fflush(stderr);
        if (saved >= 0) {
            dup2(saved, fileno(stderr));
            close(saved);
        }
        if (scratch) std::fclose(scratch);
    }
    // What was written since the last call.
    std::string take() {
        std::fflush(stderr);
        if (!scratch) return "";
        const int fd = fileno(scratch);
        const off_t size = lseek(fd, 0, SEEK_END);
        std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        if (size > 0 && pread(fd, &text[0], text.size(), 0) != size) text.clear();
        if (ftruncate(fd, 0) != 0) return text;
        lseek(fd, 0, SEEK_SET);
        return text;
    }
};

struct VoiceDeleter {
    void operator()(VoiceDatabase *voice) const { voice_free(voice); }
};

std::string str(const char *text) { return text ? text : ""; }

bool is_table_letter(char16_t ch) {
    for (const LetterRow &row : letter_table)
        if (row.small_letter == ch || row.capital_letter == ch) return true;
    return false;
}

bool is_letter(char16_t ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || is_table_letter(ch); }

const char *const kOnsets[] = {"ngh", "ng", "nh", "ch", "gh", "gi", "kh", "ph", "qu", "th", "tr", "d!", "b", "c", "d",
                               "g",   "h",  "k",  "l",  "m",  "n",  "p",  "r",  "s",  "t",  "v",  "x",  ""};
const char *const kFinals[] = {"ng", "nh", "ch", "p", "t", "c", "m", "n", ""};
const char *const kVowelGroups[] = {"a",  "e",  "i",  "o",  "u",  "y",  "ai", "ao", "au",  "ay",  "eo",  "eu",
                                    "ia", "ie", "iu", "oa", "oe", "oi", "oo", "ua", "ue",  "ui",  "uo",  "uu",
                                    "uy", "ye", "ieu", "yeu", "oai", "oay", "oao", "oeo", "uoi", "uou", "uya", "uye",
                                    "uyu", "uay"};

bool vowel_group(const std::string &plain) {
    for (const char *group : kVowelGroups)
        if (plain == group) return true;
    return false;
}

}  // namespace

bool VoiceCheckReport::broken() const {
    return !loaded || !missing_positions.empty() || !duplicates.empty() || !bad_names.empty() || !undecodable.empty() ||
           !oversize.empty();
}

int voice_check(const std::string &path, VoiceCheckReport *report) {
    *report = VoiceCheckReport();
    std::unique_ptr<VoiceDatabase, VoiceDeleter> voice(voice_load(path.c_str()));
    if (!voice) return -1;
    report->loaded = true;
    report->header_text_1 = str(voice->header_text_1);
    report->header_text_2 = str(voice->header_text_2);
    report->header_text_3 = str(voice->header_text_3);
    report->header_text_4 = str(voice->header_text_4);
    report->header_text_5 = str(voice->header_text_5);
    report->header_value = voice->header_value;
    report->sample_rate = voice->sample_rate;
    report->channels = voice->channels;
    report->syllable_count = voice->syllable_count;
    report->unit_count = voice->unit_count;

    // The index is sorted, so the units of a syllable and repeated names stand together.
    std::map<std::string, unsigned> positions;
    for (int i = 0; i < voice->unit_count; i++) {
        const std::string name = voice->units[i].name;
        if (i > 0 && name == voice->units[i - 1].name &&
            (report->duplicates.empty() || report->duplicates.back() != name)) {
            report->duplicates.push_back(name);
        }
        const size_t n = name.size();
        if (n < 3 || name[n - 2] != '.' || name[n - 1] < '0' || name[n - 1] > '3') {
            report->bad_names.push_back(name);
            continue;
        }
        positions[name.substr(0, n - 2)] |= 1u << (name[n - 1] - '0');
    }
    for (const auto &entry : positions) {
        report->syllables.insert(entry.first);
        for (int p = 0; p < 4; p++)
            if (!(entry.second & (1u << p))) report->missing_positions.push_back(entry.first + "." + std::to_string(p));
    }

    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        report->loaded = false;
        return -1;
    }
    std::vector<unsigned char> bytes;
    std::vector<unsigned char> pcm(kCheckDecodeLimit);
    const int frame_bytes = 2 * std::max(1, static_cast<int>(voice->channels));
    StderrCapture capture;
    // The builder fills a missing position with a copy of another: the same bytes under two names.
    // Units of one syllable stand together in the index; each group of copies is listed once.
    std::vector<std::pair<std::string, std::vector<unsigned char>>> same_syllable;
    auto syllable_of = [](const std::string &name) { return name.size() > 2 ? name.substr(0, name.size() - 2) : name; };
    std::map<std::string, std::string> copies;  // first unit of a group -> "a=b=c"
    auto flush_copies = [&]() {
        for (const auto &group : copies) report->filled.push_back(group.second);
        copies.clear();
        same_syllable.clear();
    };
    for (int i = 0; i < voice->unit_count; i++) {
        const UnitEntry &unit = voice->units[i];
        const std::string name = unit.name;
        report->audio_bytes += unit.size;
        if (unit.size > kUnitBufferBytes) {
            report->oversize.push_back(name + ": " + std::to_string(unit.size) + " bytes");
            continue;
        }
        bytes.resize(static_cast<size_t>(unit.size));
        if (std::fseek(file, unit.offset, SEEK_SET) != 0 ||
            std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            report->undecodable.push_back(name + ": the file ends inside the unit");
            continue;
        }
        if (!same_syllable.empty() && syllable_of(same_syllable.back().first) != syllable_of(name)) flush_copies();
        for (const auto &other : same_syllable) {
            if (other.second != bytes) continue;
            std::string &group = copies[other.first];
            group = (group.empty() ? other.first : group) + "=" + name;
            break;
        }
        same_syllable.emplace_back(name, bytes);
        SpeexStreamSetup setup;
        const int written = decode_unit(bytes.data(), unit.size, pcm.data(), kCheckDecodeLimit, 0, 0, &setup);
        const std::string messages = capture.take();
        if (written <= 0) {
            report->undecodable.push_back(name + (written < 0 ? ": not a Speex stream" : ": no audio"));
            continue;
        }
        if (messages.find("corrupted") != std::string::npos) {
            report->undecodable.push_back(name + ": corrupted frames");
            continue;
        }
        if (setup.stream_channels != voice->channels) {
            report->undecodable.push_back(name + ": " + std::to_string(setup.stream_channels) + " channels, the voice has " +
                                          std::to_string(voice->channels));
            continue;
        }
        if (written > kPcmBufferBytes) report->cut.push_back(name);
        const double ms = 1000.0 * (written / frame_bytes) / (setup.stream_rate > 0 ? setup.stream_rate : voice->sample_rate);
        if (report->longest.name.empty() || ms > report->longest.ms) report->longest = {name, ms};
        if (report->shortest.name.empty() || ms < report->shortest.ms) report->shortest = {name, ms};
    }
    flush_copies();
    std::fclose(file);
    return 0;
}

std::vector<std::string> lacking_syllables(const VoiceCheckReport &report, const std::vector<std::string> &syllables) {
    std::vector<std::string> lacking;
    for (const std::string &syllable : syllables)
        if (!report.syllables.count(unit_syllable(syllable))) lacking.push_back(syllable);
    return lacking;
}

bool looks_vietnamese(const std::string &ascii_word) {
    if (ascii_word.find_first_of(")(!'`?~.") != std::string::npos) return true;
    for (const char *onset : kOnsets) {
        const size_t length = std::strlen(onset);
        if (ascii_word.compare(0, length, onset) != 0) continue;
        const std::string rest = ascii_word.substr(length);
        for (const char *final_consonant : kFinals) {
            const size_t final_length = std::strlen(final_consonant);
            if (rest.size() <= final_length || rest.compare(rest.size() - final_length, final_length, final_consonant) != 0)
                continue;
            const std::string group = rest.substr(0, rest.size() - final_length);
            if (!vowel_group(group)) continue;
            if (final_length == 0) return true;
            // Without a tone mark a stop final cannot stand, and a vowel group that ends in a glide
            // (ai, ao, eu, ...) or an open diphthong (ia, ua) takes no final.
            if (std::strcmp(final_consonant, "p") == 0 || std::strcmp(final_consonant, "t") == 0 ||
                std::strcmp(final_consonant, "c") == 0 || std::strcmp(final_consonant, "ch") == 0)
                continue;
            if (group.size() > 1 && group != "oa" && group != "oe" && group != "oo" && group != "ue" && group != "uo" &&
                group != "uy" && group != "ie" && group != "ye" && group != "uye")
                continue;
            return true;
        }
    }
    return false;
}

TextCoverage text_coverage(const std::string &utf8_text, const std::set<std::string> &voice_syllables) {
    TextCoverage coverage;
    // Decode to UTF-16 leniently: a malformed byte separates words.
    std::u16string word;
    auto finish_word = [&]() {
        if (word.empty()) return;
        std::vector<char16_t> form(word.size() * 3 + 1);
        char narrow[kNarrowCapacity];
        std::string ascii;
        if (word.size() < kNarrowCapacity / 3 && text_to_ascii(word.c_str(), form.data(), form.size()) >= 0 &&
            narrow_text(form.data(), narrow) >= 0) {
            ascii = lower_narrow(narrow);
        }
        if (!ascii.empty() && looks_vietnamese(ascii)) {
            coverage.vietnamese_syllables++;
            // The engine tests words of at most 7 characters against the voice.
            char key[kNarrowCapacity];
            if (word.size() <= 7 && voice_syllables.count(unit_syllable(ascii))) {
                coverage.spoken++;
            } else if (word.size() == 1) {
                coverage.spelled++;
            } else if (word.size() < kNarrowCapacity && narrow_text(word.c_str(), key) >= 0 &&
                       (lookup_abbreviation(lower_narrow(key)) || lookup_foreign_word(key))) {
                coverage.by_dictionary++;
            } else {
                coverage.lacking[ascii]++;
            }
        } else {
            coverage.other_words++;
        }
        word.clear();
    };
    for (size_t i = 0; i < utf8_text.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8_text[i]);
        char32_t code = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0 && i + 1 < utf8_text.size()) {
            code = (lead & 0x1Fu) << 6 | (utf8_text[i + 1] & 0x3F), length = 2;
        } else if ((lead & 0xF0) == 0xE0 && i + 2 < utf8_text.size()) {
            code = (lead & 0x0Fu) << 12 | (utf8_text[i + 1] & 0x3Fu) << 6 | (utf8_text[i + 2] & 0x3F), length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
        }
        i += length;
        if (code < 0x10000 && is_letter(static_cast<char16_t>(code))) {
            word.push_back(static_cast<char16_t>(code));
        } else {
            finish_word();
        }
    }
    finish_word();
    return coverage;
}
