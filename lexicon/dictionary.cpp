// Lookup in the built-in pronunciation dictionaries: binary search over the sorted keys.
#include "lexicon/dictionary.h"

#include <cstring>

const char *dictionary_lookup(const Dictionary &dictionary, const char *key) {
    if (key == nullptr) return nullptr;
    // Half-open range [lo, hi); strcmp orders as unsigned bytes, and a key sorts before
    // every longer key that begins with it ("khcn" before "khcn&mt").
    uint32_t lo = 0;
    uint32_t hi = dictionary.entry_count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        int order = std::strcmp(key, dictionary_key(dictionary, mid));
        if (order == 0) return dictionary_reading(dictionary, mid);
        if (order > 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return nullptr;
}

const char *lookup_abbreviation(const char *key) {
    return dictionary_lookup(abbreviation_dictionary, key);
}

const char *lookup_foreign_word(const char *key) {
    return dictionary_lookup(foreign_word_dictionary, key);
}
