// Recording prompts: grouping the inventory by frequency, the prompt file, the coverage curve.
#include "tools/voice_prompts.h"

#include "lexicon/unit_name.h"
#include "tools/voice_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace {

const char kAloneSeparator[] = " \xC2\xB7 ";  // " · "
const char kFillerSuffix[] = ".-";

constexpr size_t kPartnerWindow = 9;  // a group's two partners come from this many next in frequency

// What a join needs to know of the words on either side of it.
struct SyllableEnds {
    bool stop_final = false;  // p, t, c, ch
    bool open_end = false;    // a vowel or a glide; else m, n, ng, nh
    enum { None, Marked, Nasal, Other } onset = None;  // Marked: a stop or a voiceless consonant
};

SyllableEnds syllable_ends(const std::string &syllable) {
    SyllableEnds ends;
    parse_syllable((syllable + ".0").c_str());
    ends.stop_final = final_needs_pause();
    ends.open_end = syllable_final()[0] == 0;
    const std::string onset = syllable_onset();
    if (onset.empty()) {
        ends.onset = SyllableEnds::None;
    } else if (onset_needs_pause() || onset == "b" || onset == "d" || onset == "p") {
        ends.onset = SyllableEnds::Marked;
    } else if (onset == "m" || onset == "n" || onset == "nh" || onset == "ng" || onset == "ngh") {
        ends.onset = SyllableEnds::Nasal;
    } else {
        ends.onset = SyllableEnds::Other;
    }
    return ends;
}

int join_difficulty(const SyllableEnds &first, const SyllableEnds &second) {
    if (first.stop_final || second.onset == SyllableEnds::Marked) return 0;
    if (second.onset == SyllableEnds::None) return first.open_end ? 3 : 2;
    return second.onset == SyllableEnds::Nasal && !first.open_end ? 3 : 1;
}

int cycle_cost(const SyllableEnds &a, const SyllableEnds &b, const SyllableEnds &c) {
    return join_difficulty(a, b) + join_difficulty(b, c) + join_difficulty(c, a);
}

// Groups of three in frequency order: each group the most frequent syllable left and the two
// partners among the next few that make its joins easiest to find, in the order (a->b, b->c,
// c->a) whose joins are easiest.
std::vector<std::vector<std::string>> easy_groups(const std::vector<std::string> &order) {
    std::vector<SyllableEnds> ends;
    for (const std::string &syllable : order) ends.push_back(syllable_ends(syllable));
    std::vector<int> left(order.size());
    for (size_t i = 0; i < order.size(); i++) left[i] = static_cast<int>(i);
    std::vector<std::vector<std::string>> groups;
    while (left.size() >= kPromptWords) {
        const size_t window = std::min(left.size(), kPartnerWindow + 1);
        const SyllableEnds &a = ends[left[0]];
        size_t best_b = 1, best_c = 2;
        bool swap = false;
        int best_cost = 1 << 30;
        for (size_t b = 1; b < window; b++) {
            for (size_t c = b + 1; c < window; c++) {
                const int forward = cycle_cost(a, ends[left[b]], ends[left[c]]);
                const int backward = cycle_cost(a, ends[left[c]], ends[left[b]]);
                if (std::min(forward, backward) < best_cost)
                    best_cost = std::min(forward, backward), best_b = b, best_c = c, swap = backward < forward;
            }
        }
        const int b = left[swap ? best_c : best_b], c = left[swap ? best_b : best_c];
        groups.push_back({order[left[0]], order[b], order[c]});
        left.erase(left.begin() + static_cast<long>(best_c));
        left.erase(left.begin() + static_cast<long>(best_b));
        left.erase(left.begin());
    }
    std::vector<std::string> rest;
    for (int i : left) rest.push_back(order[i]);
    if (!rest.empty()) groups.push_back(rest);
    return groups;
}

uint32_t spelling_hash(const std::string &text) {  // FNV-1a
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return hash;
}

PromptWord word_for(const std::string &syllable, const std::string &alias, int position) {
    PromptWord word;
    word.syllable = syllable;
    if (position < 0) return word;
    word.units.push_back(syllable + "." + std::to_string(position));
    if (!alias.empty()) word.units.push_back(alias + "." + std::to_string(position));
    return word;
}

std::string trim(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

bool valid_position_suffix(const std::string &name) {
    const size_t n = name.size();
    return n >= 3 && name[n - 2] == '.' && name[n - 1] >= '0' && name[n - 1] <= '3';
}

}  // namespace

int join_difficulty(const std::string &first, const std::string &second) {
    return join_difficulty(syllable_ends(first), syllable_ends(second));
}

std::string prompt_text(const Prompt &prompt) {
    std::string text;
    for (const PromptWord &word : prompt.words) {
        if (!text.empty()) text += prompt.kind == PromptKind::Alone ? kAloneSeparator : " ";
        text += ascii_to_vietnamese(word.syllable);
    }
    return text;
}

int read_syllable_frequencies(const std::string &path, SyllableFrequencies *frequencies, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return -1;
    }
    *frequencies = SyllableFrequencies();
    std::string line;
    for (int number = 1; std::getline(file, line); number++) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        char *end = nullptr;
        const long count = tab == std::string::npos ? -1 : std::strtol(line.c_str() + tab + 1, &end, 10);
        if (count < 0 || (end && *end)) {
            *error = path + ":" + std::to_string(number) + ": not \"syllable<TAB>count\"";
            return -1;
        }
        frequencies->counts[line.substr(0, tab)] += count;
        frequencies->total += count;
    }
    return 0;
}

std::vector<Prompt> make_prompts(const std::vector<std::string> &inventory, const SyllableFrequencies &frequencies) {
    // One entry per sound: a syllable and the other spelling of its tone placement, if listed.
    const std::set<std::string> listed(inventory.begin(), inventory.end());
    struct Entry {
        std::string syllable, alias;
        long count;
        size_t order;
    };
    auto count_of = [&](const std::string &syllable) {
        const auto found = frequencies.counts.find(syllable);
        return found == frequencies.counts.end() ? 0L : found->second;
    };
    std::vector<Entry> entries;
    std::set<std::string> taken;
    for (const std::string &syllable : inventory) {
        if (taken.count(syllable)) continue;
        std::string alias = other_tone_placement(syllable);
        if (!listed.count(alias)) alias.clear();
        // The more frequent spelling is the one read.
        Entry entry{syllable, alias, count_of(syllable) + (alias.empty() ? 0 : count_of(alias)), entries.size()};
        if (!alias.empty() && count_of(alias) > count_of(syllable)) std::swap(entry.syllable, entry.alias);
        taken.insert(syllable);
        if (!alias.empty()) taken.insert(alias);
        entries.push_back(entry);
    }
    // Equally frequent syllables (most of the rare ones never occur in the texts) in a mixed but
    // fixed order, so that a group does not hold three neighbours of the alphabet ("bần bầng bầy"),
    // which are hard to read and to tell apart.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.count != b.count) return a.count > b.count;
        return spelling_hash(a.syllable) < spelling_hash(b.syllable);
    });

    std::map<std::string, std::string> alias_of;
    for (const Entry &entry : entries) alias_of[entry.syllable] = entry.alias;
    std::vector<std::string> order;
    for (const Entry &entry : entries) order.push_back(entry.syllable);
    std::vector<Prompt> prompts;
    for (std::vector<std::string> group : easy_groups(order)) {
        // A short last group is filled with the most frequent syllables (repeated in an inventory
        // smaller than a group), which give no units there.
        const size_t real = group.size();
        for (size_t i = 0; group.size() < kPromptWords; i++) {
            const std::string &filler = entries[i % entries.size()].syllable;
            if (entries.size() < kPromptWords || std::find(group.begin(), group.end(), filler) == group.end())
                group.push_back(filler);
        }
        std::vector<bool> gives_units(kPromptWords, false);
        std::fill(gives_units.begin(), gives_units.begin() + static_cast<long>(real), true);
        for (int rotation = 0; rotation <= kPromptWords; rotation++) {
            Prompt prompt;
            prompt.number = static_cast<int>(prompts.size()) + 1;
            prompt.kind = rotation < kPromptWords ? PromptKind::Run : PromptKind::Alone;
            for (int k = 0; k < kPromptWords; k++) {
                const int member = (rotation + k) % kPromptWords;
                const int position = prompt.kind == PromptKind::Alone ? 0 : k == 0 ? 1 : k == kPromptWords - 1 ? 3 : 2;
                prompt.words.push_back(word_for(group[member], alias_of[group[member]], gives_units[member] ? position : -1));
            }
            prompts.push_back(prompt);
        }
    }
    return prompts;
}

int write_prompts(const std::string &path, const std::vector<Prompt> &prompts, const std::string &origin,
                  std::string *error) {
    std::ostringstream out;
    out << "# Recording prompts of velorin-voice record: number, kind, what to read, then per word the units it\n"
           "# gives (\"/\" between the spellings of one sound, \".-\" for a word that gives none).\n"
           "# run: the three words as one phrase; alone: each word on its own, with a pause between.\n";
    for (const std::string &line : split(origin, '\n')) out << "# " << line << "\n";
    for (const Prompt &prompt : prompts) {
        out << prompt.number << '\t' << (prompt.kind == PromptKind::Run ? "run" : "alone") << '\t' << prompt_text(prompt);
        for (const PromptWord &word : prompt.words) {
            out << '\t';
            if (word.units.empty()) out << word.syllable << kFillerSuffix;
            for (size_t i = 0; i < word.units.size(); i++) out << (i ? "/" : "") << word.units[i];
        }
        out << '\n';
    }
    std::ofstream file(path, std::ios::binary);
    if (!file || !(file << out.str()) || !file.flush()) {
        *error = "cannot write " + path;
        return -1;
    }
    return 0;
}

int read_prompts(const std::string &path, std::vector<Prompt> *prompts, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return -1;
    }
    prompts->clear();
    std::string line;
    for (int number = 1; std::getline(file, line); number++) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trim(line).empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = split(line, '\t');
        auto fail = [&](const std::string &why) {
            *error = path + ":" + std::to_string(number) + ": " + why;
            return -1;
        };
        if (fields.size() < 4) return fail("expected number, kind, text and words");
        Prompt prompt;
        prompt.number = std::atoi(fields[0].c_str());
        if (prompt.number != static_cast<int>(prompts->size()) + 1) return fail("prompt numbers must count up from 1");
        if (fields[1] == "run") {
            prompt.kind = PromptKind::Run;
        } else if (fields[1] == "alone") {
            prompt.kind = PromptKind::Alone;
        } else {
            return fail("kind is run or alone");
        }
        for (size_t i = 3; i < fields.size(); i++) {
            PromptWord word;
            const std::string &field = fields[i];
            if (field.size() > 2 && field.compare(field.size() - 2, 2, kFillerSuffix) == 0) {
                word.syllable = field.substr(0, field.size() - 2);
            } else {
                word.units = split(field, '/');
                for (const std::string &unit : word.units)
                    if (!valid_position_suffix(unit)) return fail("\"" + unit + "\" is no unit name");
                word.syllable = word.units[0].substr(0, word.units[0].size() - 2);
            }
            prompt.words.push_back(word);
        }
        prompts->push_back(prompt);
    }
    if (prompts->empty()) {
        *error = path + ": no prompts";
        return -1;
    }
    return 0;
}

std::vector<CoveragePoint> prompt_coverage(const std::vector<Prompt> &prompts, const SyllableFrequencies &frequencies,
                                           const std::vector<int> &takes) {
    std::vector<int> points;
    for (int n : takes)
        if (n > 0 && n < static_cast<int>(prompts.size())) points.push_back(n);
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    points.push_back(static_cast<int>(prompts.size()));

    std::map<std::string, unsigned> positions;  // syllable -> positions recorded
    long speakable = 0, complete = 0;
    std::vector<CoveragePoint> curve;
    size_t next_point = 0;
    auto percent = [&](long count) { return frequencies.total ? 100.0 * count / frequencies.total : 0.0; };
    for (size_t i = 0; i < prompts.size() && next_point < points.size(); i++) {
        for (const PromptWord &word : prompts[i].words) {
            for (const std::string &unit : word.units) {
                const std::string syllable = unit.substr(0, unit.size() - 2);
                unsigned &mask = positions[syllable];
                const unsigned before = mask;
                mask |= 1u << (unit.back() - '0');
                const auto found = frequencies.counts.find(syllable);
                const long count = found == frequencies.counts.end() ? 0 : found->second;
                if (before == 0) speakable += count;
                if (before != 15 && mask == 15) complete += count;
            }
        }
        if (static_cast<int>(i) + 1 == points[next_point]) {
            curve.push_back({points[next_point], percent(speakable), percent(complete)});
            next_point++;
        }
    }
    return curve;
}
