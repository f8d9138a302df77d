// Unit names, the known-unit test and the syllable parse. Only the worker thread calls
// these, so the scratch buffers and the parse state are process-wide without a lock.
#include "lexicon/unit_name.h"

#include <cstdio>
#include <cstring>

#include "lexicon/ascii_form.h"
#include "voice/unit_lookup.h"

namespace {

// Searched longest first; within one length every entry matches at most once.
const char *const kOnsetTable[] = {"th", "tr", "ch", "ngh", "nh", "ng", "ph", "kh", "qu", "gi",
                                   "gh", "t",  "k",  "c",   "b",  "dd", "l",  "m",  "n",  "x",
                                   "s",  "h",  "p",  "q",   "v",  "d",  "r",  "g"};
const char *const kFinalTable[] = {"p", "t", "c", "ch", "m", "n", "ng", "nh"};
const char *const kPauseOnsets[] = {"th", "t", "tr", "ch", "q", "qu", "k", "c", "ph", "x", "s", "kh", "h"};
const char *const kPauseFinals[] = {"t", "ch", "c", "p"};

char g_onset[4];
char g_final[3];

// A word's lower-case AsciiForm in 8 bits; false when it has none or it does not fit.
bool syllable_ascii(const char16_t *word, char *out, size_t capacity) {
    char16_t ascii[kUnitNameCapacity];
    if (text_to_ascii(word, ascii, kUnitNameCapacity) < 0) return false;
    char narrow[kNarrowCapacity];
    int length = narrow_text(ascii, narrow);
    if (length < 0 || static_cast<size_t>(length) >= capacity) return false;
    std::memcpy(out, narrow, static_cast<size_t>(length) + 1);
    lower_narrow(out);
    name_long_o(out);
    return true;
}

template <size_t N>
bool table_has(const char *const (&table)[N], const char *text) {
    for (const char *entry : table)
        if (std::strcmp(entry, text) == 0) return true;
    return false;
}

// The table entry of exactly `length` characters equal to text[0..length), or null.
template <size_t N>
const char *match_entry(const char *const (&table)[N], const char *text, size_t length) {
    for (const char *entry : table)
        if (std::strlen(entry) == length && std::strncmp(entry, text, length) == 0) return entry;
    return nullptr;
}

void copy_part(char *out, const char *entry) { std::strcpy(out, entry ? entry : ""); }

}  // namespace

void name_long_o(char *syllable) {
    for (size_t i = 0; syllable && syllable[i] != 0 && syllable[i + 1] != 0; i++) {
        if (syllable[i] == 'o' && syllable[i + 1] == 'o') syllable[++i] = 'O';
    }
}

namespace {

// The test behind is_known_unit. Leaves the word's syllable in name (with ".0" after it) and its
// length in *syllable_length; *has_form is false when the word has no 8-bit form.
bool lookup_position_zero(const char16_t *word, char (&name)[kUnitNameCapacity], size_t *syllable_length,
                          bool *has_form) {
    *has_form = false;
    *syllable_length = 0;
    size_t length = 0;
    size_t letters = 0;
    bool ascii = true;
    while (word && word[length] != 0) {
        const char16_t c = word[length];
        if (++length > static_cast<size_t>(kMaxSyllableAsciiChars)) return false;
        ascii = ascii && c < 0x80;
        letters += (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    }
    // A syllable has at most 7 letters. Written in AsciiForm, as the dictionaries' readings are,
    // its quality and tone signs come on top ("tru(o(`ng" has 9 characters, 6 of them letters).
    if (length > static_cast<size_t>(kMaxSyllableChars) && !(ascii && letters <= static_cast<size_t>(kMaxSyllableChars)))
        return false;
    // A word with no 8-bit form asks for ".0", which no voice holds.
    *has_form = syllable_ascii(word, name, kUnitNameCapacity - 2);
    if (!*has_form) name[0] = 0;
    *syllable_length = std::strlen(name);
    std::memcpy(name + *syllable_length, ".0", 3);
    return unit_exists(name) == 0;
}

}  // namespace

bool is_known_unit(const char16_t *word) {
    char name[kUnitNameCapacity];
    size_t syllable_length = 0;
    bool has_form = false;
    return lookup_position_zero(word, name, &syllable_length, &has_form);
}

int known_unit_name(const char16_t *word, int position, char *out, size_t capacity) {
    char name[kUnitNameCapacity];
    size_t length = 0;
    bool has_form = false;
    if (!lookup_position_zero(word, name, &length, &has_form) || !has_form || !out) return -1;
    if (position >= 0 && position <= 9) {
        if (length + 3 > capacity) return -1;
        std::memcpy(out, name, length);
        out[length] = '.';
        out[length + 1] = static_cast<char>('0' + position);
        out[length + 2] = 0;
        return 0;
    }
    name[length] = 0;
    const int written = std::snprintf(out, capacity, "%s.%d", name, position);
    return written > 0 && static_cast<size_t>(written) < capacity ? 0 : -1;
}

int make_unit_name(const char16_t *word, int position, char *out, size_t capacity) {
    char syllable[kUnitNameCapacity];
    if (!syllable_ascii(word, syllable, sizeof syllable)) return -1;
    int written = std::snprintf(out, capacity, "%s.%d", syllable, position);
    return written > 0 && static_cast<size_t>(written) < capacity ? 0 : -1;
}

void parse_syllable(const char *name) {
    size_t name_length = std::strlen(name);
    size_t n = name_length >= 2 ? name_length - 2 : 0;

    const char *onset = nullptr;
    if (n >= 4) onset = match_entry(kOnsetTable, name, 3);
    if (!onset && n >= 3) onset = match_entry(kOnsetTable, name, 2);
    if (!onset && n >= 2) onset = match_entry(kOnsetTable, name, 1);
    copy_part(g_onset, onset);

    const char *final_consonant = nullptr;
    if (n >= 3) final_consonant = match_entry(kFinalTable, name + n - 2, 2);
    if (!final_consonant && n >= 2) final_consonant = match_entry(kFinalTable, name + n - 1, 1);
    copy_part(g_final, final_consonant);
}

bool onset_needs_pause() { return table_has(kPauseOnsets, g_onset); }
bool final_needs_pause() { return table_has(kPauseFinals, g_final); }
const char *syllable_onset() { return g_onset; }
const char *syllable_final() { return g_final; }
