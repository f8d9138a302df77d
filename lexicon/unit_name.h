// Unit names and the syllable parse. A unit is named by the lower-case AsciiForm of its
// syllable, ".", and the word's position digit: "vie).t.2" is "Việt" inside a run of words.
// The parse of a name tells whether the syllable takes a short pause before (voiceless
// onset) or after (stop final).
#pragma once

#include <cstddef>

// Words longer than this are never one syllable of the voice, unless they are written in
// AsciiForm: then only their letters count, the signs after them do not.
constexpr int kMaxSyllableChars = 7;
// Longest AsciiForm of a syllable: three characters per letter.
constexpr int kMaxSyllableAsciiChars = 3 * kMaxSyllableChars;
// Room for a unit name: three AsciiForm characters per letter, ".", the digit, the terminator.
constexpr int kUnitNameCapacity = kMaxSyllableAsciiChars + 3;

// The voice file cannot name the long o of "xoong" or "soóc": its loader reads a stored "oo" as
// "o)" (ô). Such a syllable is named with its second o as a capital, which the loader keeps and
// no lower-cased word reaches: "xoong" is the unit "xoOng", "soo'c" the unit "soO'c". Rewrites a
// lower-case AsciiForm syllable in place.
void name_long_o(char *syllable);

// True when the current voice has the word's position-0 unit.
bool is_known_unit(const char16_t *word);

// Writes the name under which a word's audio is fetched ("%s.%d"). 0, or -1 when the word has
// no 8-bit form or its name does not fit.
int make_unit_name(const char16_t *word, int position, char *out, size_t capacity);

// is_known_unit and then make_unit_name with one conversion of the word: 0 with the name in out,
// or -1 when the word is not a known unit or its name does not fit. The lookup writes the same
// trace line as is_known_unit.
int known_unit_name(const char16_t *word, int position, char *out, size_t capacity);

// Sets the current onset and final from a unit name (its syllable part: all but the last two
// characters).
void parse_syllable(const char *name);
bool onset_needs_pause();
bool final_needs_pause();
const char *syllable_onset();
const char *syllable_final();
