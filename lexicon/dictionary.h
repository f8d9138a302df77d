// The two pronunciation dictionaries built into the library: abbreviations and English words,
// each a sorted table of 8-bit keys with readings in AsciiForm (syllables separated by spaces).
//
// Layout (the tables are generated at build time from lexicon/data/*.tsv): all keys and
// readings of one dictionary stand in one read-only block of NUL-terminated strings, and two
// offset arrays give, for entry i, where its key and its reading start. Keys are unique and in
// strictly increasing unsigned byte order, so a lookup is a binary search over the offsets:
// no start-up work, no allocation, no relocations to apply when the library loads.
#pragma once

#include <cstdint>

struct Dictionary {
    uint32_t entry_count;
    const char *text;                // keys and readings, each NUL-terminated
    const uint32_t *key_offsets;     // entry i's key starts at text + key_offsets[i]
    const uint32_t *reading_offsets; // entry i's reading starts at text + reading_offsets[i]
};

// Abbreviations, measurement units, places, organisations and acronyms read in full.
extern const Dictionary abbreviation_dictionary;
// English words and names read as runs of Vietnamese syllables.
extern const Dictionary foreign_word_dictionary;

// Key and reading of entry i (i < entry_count).
inline const char *dictionary_key(const Dictionary &dictionary, uint32_t i) {
    return dictionary.text + dictionary.key_offsets[i];
}
inline const char *dictionary_reading(const Dictionary &dictionary, uint32_t i) {
    return dictionary.text + dictionary.reading_offsets[i];
}

// The reading of the entry whose key equals key (compared byte for byte as unsigned values),
// or null when there is none or key is null. The reading is constant data: never changed or
// freed by the caller. An empty reading is still a hit.
const char *dictionary_lookup(const Dictionary &dictionary, const char *key);

// dictionary_lookup over abbreviation_dictionary and foreign_word_dictionary.
const char *lookup_abbreviation(const char *key);
const char *lookup_foreign_word(const char *key);
