// How much real text the engine reads as a listener expects: every line of a list (category,
// text, expected reading) goes through segmentation and normalization with a real voice, and the
// syllables the renderer would speak are compared with the expected ones. Prints, per category,
// the share of lines read as expected. Uses only the engine's long-standing internal interfaces,
// so the same program can be built against an older tree to compare (bench/reading/compare).
//
//   reading_bench [--voice VOICE] [--lines FILE] [--misses] [--say TEXT]
//
// The expected reading is Vietnamese words separated by spaces; " | " separates readings that are
// all right. Pauses are not compared, only the syllables spoken and their order. Expected words
// that the voice lacks are listed at the end: their lines measure the voice, not the reading.
#include "lexicon/unit_name.h"
#include "scheduler/items.h"
#include "scheduler/segmentation.h"
#include "voice/voice_file.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::u16string from_utf8(const std::string &text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t code = 0;
        int extra = 0;
        if (c < 0x80) {
            code = c;
        } else if ((c >> 5) == 6) {
            code = c & 0x1F;
            extra = 1;
        } else if ((c >> 4) == 14) {
            code = c & 0x0F;
            extra = 2;
        } else {
            code = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i) code = (code << 6) | (text[i] & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::vector<std::string> split(const std::string &text, const std::string &separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + separator.size();
    }
}

// A word's syllable as the voice names it (lower-case AsciiForm), or "" when it has none.
std::string syllable_of(const std::u16string &word) {
    char name[kUnitNameCapacity];
    if (make_unit_name(word.c_str(), 0, name, sizeof name) != 0) return "";
    const size_t n = std::strlen(name);
    return std::string(name, n - 2);
}

// The syllables the renderer speaks for a text, in order.
std::vector<std::string> spoken(const std::string &text) {
    std::u16string wide = from_utf8(text);
    clear_items();
    segment_text(wide.data());
    std::vector<std::string> out;
    for (UtteranceItem *item = item_list().head; item; item = item->next) {
        if (item->kind != ItemKind::Word) continue;
        char name[kUnitNameCapacity];
        if (known_unit_name(item->norm_text.c_str(), 0, name, sizeof name) != 0) continue;
        out.emplace_back(name, std::strlen(name) - 2);
    }
    clear_items();
    return out;
}

std::vector<std::string> expected_syllables(const std::string &reading, std::vector<std::string> *unknown) {
    std::vector<std::string> out;
    std::istringstream words(reading);
    std::string word;
    while (words >> word) {
        const std::u16string wide = from_utf8(word);
        if (!is_known_unit(wide.c_str())) unknown->push_back(word);
        out.push_back(syllable_of(wide));
    }
    return out;
}

std::string joined(const std::vector<std::string> &words) {
    std::string out;
    for (const std::string &w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

struct Tally {
    int lines = 0;
    int right = 0;
};

}  // namespace

int main(int argc, char **argv) {
    std::string voice = "build/voices/vi-default.voice";
    std::string lines_path = "bench/reading/lines.tsv";
    std::string say;
    bool misses = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--voice" && i + 1 < argc) {
            voice = argv[++i];
        } else if (arg == "--lines" && i + 1 < argc) {
            lines_path = argv[++i];
        } else if (arg == "--say" && i + 1 < argc) {
            say = argv[++i];
        } else if (arg == "--misses") {
            misses = true;
        } else {
            std::cerr << "usage: reading_bench [--voice VOICE] [--lines FILE] [--misses] [--say TEXT]\n";
            return 2;
        }
    }
    // Results go to a copy of standard output; the lookups' trace lines to /dev/null.
    std::fflush(stdout);
    const int report_fd = dup(STDOUT_FILENO);
    if (report_fd < 0 || !std::freopen("/dev/null", "w", stdout)) return 1;
    std::ostringstream report;
    // Written once at the end through the copied descriptor (opening /dev/fd/N would truncate a file).
    struct Flush {
        int fd;
        std::ostringstream &text;
        ~Flush() {
            const std::string out = text.str();
            size_t done = 0;
            while (done < out.size()) {
                const ssize_t n = write(fd, out.data() + done, out.size() - done);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
        }
    } flush{report_fd, report};
    if (voice_select(voice.c_str()) != 0) {
        std::cerr << "reading_bench: cannot load the voice " << voice << "\n";
        return 1;
    }
    if (!say.empty()) {
        report << joined(spoken(say)) << "\n";
        return 0;
    }

    std::ifstream in(lines_path);
    if (!in) {
        std::cerr << "reading_bench: cannot read " << lines_path << "\n";
        return 1;
    }
    std::map<std::string, Tally> tallies;
    std::vector<std::string> order;
    Tally total;
    std::string line;
    int line_number = 0;
    int bad_data = 0;
    std::map<std::string, int> lacking;  // expected words the voice cannot speak, and how often
    while (std::getline(in, line)) {
        ++line_number;
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = split(line, "\t");
        if (fields.size() != 3) {
            std::cerr << lines_path << ":" << line_number << ": expected three fields\n";
            ++bad_data;
            continue;
        }
        const std::string &category = fields[0];
        const std::vector<std::string> got = spoken(fields[1]);
        bool right = false;
        for (const std::string &reading : split(fields[2], " | ")) {
            std::vector<std::string> unknown;
            const std::vector<std::string> want = expected_syllables(reading, &unknown);
            for (const std::string &word : unknown) ++lacking[word];
            right |= want == got;
        }
        if (!tallies.count(category)) order.push_back(category);
        Tally &tally = tallies[category];
        ++tally.lines;
        ++total.lines;
        tally.right += right;
        total.right += right;
        if (misses && !right) {
            std::vector<std::string> ignored;
            report << line_number << " [" << category << "] " << fields[1] << "\n    got:  " << joined(got)
                   << "\n    want: " << joined(expected_syllables(split(fields[2], " | ")[0], &ignored)) << "\n";
        }
    }

    report << "| category | lines | read as expected | share |\n|---|---|---|---|\n";
    for (const std::string &category : order) {
        const Tally &t = tallies[category];
        report << "| " << category << " | " << t.lines << " | " << t.right << " | " << std::fixed << std::setprecision(0)
               << 100.0 * t.right / t.lines << " % |\n";
    }
    report << "| all | " << total.lines << " | " << total.right << " | " << std::fixed << std::setprecision(1)
           << (total.lines ? 100.0 * total.right / total.lines : 0.0) << " % |\n";
    if (!lacking.empty()) {
        // Such a line cannot be read as expected whatever the reading rules do.
        report << "\nexpected words the voice lacks:";
        for (const auto &word : lacking) report << " " << word.first << " (" << word.second << ")";
        report << "\n";
    }
    clear_items();
    voice_release_current();
    return bad_data == 0 ? 0 : 1;
}
