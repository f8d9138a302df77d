// AsciiForm: the ASCII tone-mark notation that names syllable units and dictionary entries,
// the letter table behind it, and the steps from wide text to a lower-case 8-bit string.
//
// A Vietnamese letter with diacritics is written as its bare lower-case letter, then the
// quality sign (")" circumflex, "(" breve or horn, "!" the stroke of d), then the tone sign
// ("'" sac, "`" huyen, "?" hoi, "~" nga, "." nang). "ấ" is "a)'", "đ" is "d!". Every other
// character stays as it is. The conversion goes one way only.
#pragma once

#include <cstddef>

// One row of the letter table: a small letter with diacritics, its Unicode capital, and the
// lower-case AsciiForm both share (two or three characters, terminated).
struct LetterRow {
    char16_t small_letter;
    char16_t capital_letter;
    char16_t ascii_form[4];
};

constexpr int kLetterTableRows = 67;
// Rows in the order a, â, ă, đ, e, ê, i, o, ô, ơ, u, ư, y; tones sac, huyen, hoi, nga, nang.
extern const LetterRow letter_table[kLetterTableRows];

// Room for the AsciiForm of one letter and its terminator.
constexpr int kLetterAsciiCapacity = 4;
// Room for the 8-bit form of a word, terminator included.
constexpr int kNarrowCapacity = 2048;

// Writes the AsciiForm of one code unit into out: the row of a table capital, else the row of
// a table small letter, else ch itself. Returns the length (1 to 3).
int letter_to_ascii(char16_t ch, char16_t out[kLetterAsciiCapacity]);

// Writes the AsciiForm of the terminated text into out, which has room for capacity units
// (terminator included); three units per input character are always enough. A null or empty
// text gives an empty out. Returns the length, or -1 with an empty out if the result does not
// fit (a cut AsciiForm would name the wrong unit) or out is null or has no room.
int text_to_ascii(const char16_t *text, char16_t *out, size_t capacity);

// Converts a terminated wide text to 8-bit characters in out (room for kNarrowCapacity bytes):
// U+0001..U+00FF become the byte of the same value. Returns the number of bytes written, or -1
// with an empty out if any code unit is above U+00FF, or if the text has more than
// kNarrowCapacity - 1 characters (a longer word is refused, never cut). A null text gives an
// empty out and 0; a null out gives -1.
int narrow_text(const char16_t *wide, char out[kNarrowCapacity]);

// Lowers the bytes 'A'..'Z' in place, leaving every other byte (0x80 and up included) alone.
// Returns text.
char *lower_narrow(char *text);
