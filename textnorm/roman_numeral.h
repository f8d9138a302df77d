// Roman numerals after the words that take them: thế kỷ XX is "thế kỷ hai mươi", Chương IV
// "chương bốn", lần thứ IV "lần thứ tư". Elsewhere a Roman numeral is left to the other readers.
#pragma once

#include "textnorm/norm_text.h"

// The value of a Roman numeral from I to XXXIX in its one standard upper-case spelling (IV, not
// IIII), or -1.
int roman_numeral_value(const char16_t *token);

// True when the words before a token (folded to lower case; word_before is the one right before
// it, two_before the one before that, either empty) take a Roman numeral: chương, phần, tập,
// quý, thế kỷ, lần thứ ...
bool takes_roman_numeral(const char16_t *word_before, const char16_t *two_before);

// The numeral's reading after those words: its number, and after "thứ" the ordinals "nhất" and
// "tư" for I and IV; two numerals joined by a dash, the first below the second, "%s đến %s". Returns the length, or -1 with an empty out when the token is no numeral or
// the words before do not take one.
int read_roman_numeral(const char16_t *token, const char16_t *word_before, const char16_t *two_before,
                       char16_t out[kNormTextCapacity]);
