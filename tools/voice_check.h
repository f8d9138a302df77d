// Checks of a voice file (the library behind velorin-voice check): its index, every unit's
// audio, and which syllables of a list or a text it lacks.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct UnitLength {
    std::string name;
    double ms = 0;
};

struct VoiceCheckReport {
    bool loaded = false;  // false: not a voice file, or one broken before its units
    std::string header_text_1, header_text_2, header_text_3, header_text_4, header_text_5;
    int header_value = 0;
    int sample_rate = 0;
    int channels = 0;
    int syllable_count = 0;  // from the header
    int unit_count = 0;
    long audio_bytes = 0;
    std::set<std::string> syllables;              // syllables with at least one unit, as units name them ("xoOng")
    std::vector<std::string> missing_positions;   // "xin.3": a syllable's unit that is not there
    std::vector<std::string> duplicates;          // names stored more than once
    std::vector<std::string> bad_names;           // names without a position suffix .0 to .3
    std::vector<std::string> undecodable;         // "name: reason"
    std::vector<std::string> oversize;            // "name: N bytes": the engine never fetches them
    std::vector<std::string> cut;                 // units longer than the engine's chunk buffer holds
    std::vector<std::string> filled;              // "xin.0=xin.3": units of one syllable that share one recording
    UnitLength longest, shortest;

    // A file the engine would not speak in full: not loaded, or any list above but cut non-empty.
    bool broken() const;
};

// Loads the voice and decodes every unit (decoder messages are caught, not shown). 0 when the file
// loaded (look at broken()), -1 when it is not a voice file.
int voice_check(const std::string &path, VoiceCheckReport *report);

// Syllables of a list that the voice lacks, in list order.
std::vector<std::string> lacking_syllables(const VoiceCheckReport &report, const std::vector<std::string> &syllables);

struct TextCoverage {
    long vietnamese_syllables = 0;      // words of the text that are Vietnamese syllables
    long spoken = 0;                    // of those, the ones the voice has a unit for
    long spelled = 0;                   // single letters the voice lacks, which the engine spells
    long by_dictionary = 0;             // words the voice lacks that a built-in dictionary reads
    std::map<std::string, long> lacking;  // AsciiForm of the others, with their counts
    long other_words = 0;               // letter runs that are not Vietnamese (English, names)
};

// A word (lower-case AsciiForm) that is a Vietnamese syllable: one with a diacritic, or a plain one
// spelled as Vietnamese spells: an onset, a vowel group and a final that the group and the level
// tone allow ("xin", "nghieng" yes; "git", "main", "package" no).
bool looks_vietnamese(const std::string &ascii_word);
// Cuts a UTF-8 text into letter runs, and counts those that are Vietnamese syllables and whether
// the voice speaks them (its unit "<AsciiForm>.0", as the engine tests a word), or else the engine
// spells them (one letter) or reads them from its dictionaries (English words such as "by").
TextCoverage text_coverage(const std::string &utf8_text, const std::set<std::string> &voice_syllables);
