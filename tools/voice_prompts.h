// Recording prompts: the script a speaker reads to lend a voice, made from the syllable inventory
// and the syllable frequencies of running text.
//
// Syllables go in groups of three (a, b, c), most frequent first. A group is four takes: three
// runs read as one phrase, "a b c", "b c a", "c a b", which give each syllable first, inside and
// last in a run of words, and one take of the three words each said alone. The other spelling of a
// tone placement (hòa, hoà) is the same sound: one word gives the units of both.
#pragma once

#include <map>
#include <string>
#include <vector>

constexpr int kPromptWords = 3;

enum class PromptKind { Run, Alone };

struct PromptWord {
    std::string syllable;            // AsciiForm, as read
    std::vector<std::string> units;  // unit names it gives ("xin.1"; "hoa`.1", "ho`a.1"); none: a filler
};

struct Prompt {
    int number = 0;  // from 1, in recording order
    PromptKind kind = PromptKind::Run;
    std::vector<PromptWord> words;
};

// How hard the join of a word into the next is to find in a phrase (AsciiForm syllables): 0 where
// a closure or a hiss marks it (the first ends in a stop, or the second starts with a stop or a
// voiceless consonant), 1 before another consonant, 2 before a vowel, 3 where nothing marks it (a
// nasal into a nasal, a vowel into a vowel).
int join_difficulty(const std::string &first, const std::string &second);

// What the speaker reads: "xin chào việt" for a run, "xin · chào · việt" for words said alone.
std::string prompt_text(const Prompt &prompt);

struct SyllableFrequencies {
    std::map<std::string, long> counts;  // AsciiForm syllable -> occurrences in the texts
    long total = 0;
};

// Reads a frequency table (AsciiForm TAB count a line; '#' lines are comments). 0, or -1 with a
// reason in *error.
int read_syllable_frequencies(const std::string &path, SyllableFrequencies *frequencies, std::string *error);

// The prompts that record every syllable of the inventory in all four positions, the groups in
// order of falling frequency (the two tone placements of a syllable count together).
std::vector<Prompt> make_prompts(const std::vector<std::string> &inventory, const SyllableFrequencies &frequencies);

// The prompt list as a file, with the origin (how it was made) in its comment lines. 0, or -1 with
// a reason in *error.
int write_prompts(const std::string &path, const std::vector<Prompt> &prompts, const std::string &origin,
                  std::string *error);
// Reads a file written by write_prompts. 0, or -1 with a reason (and the line) in *error.
int read_prompts(const std::string &path, std::vector<Prompt> *prompts, std::string *error);

struct CoveragePoint {
    int takes = 0;
    double speakable = 0;  // % of the syllables of running text with at least one unit recorded
    double complete = 0;   // % with all four positions recorded
};

// Coverage of running text after the first N takes, for each N of takes (and the whole list last).
std::vector<CoveragePoint> prompt_coverage(const std::vector<Prompt> &prompts, const SyllableFrequencies &frequencies,
                                           const std::vector<int> &takes);
