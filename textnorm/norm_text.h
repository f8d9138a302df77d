// Normalized text: the Vietnamese words a reader writes for one token, separated by spaces, in
// the caller's buffer of kNormTextCapacity code units; and the bounded writing every reader uses.
#pragma once

#include <cstddef>
#include <initializer_list>

// Code units of one normalized text, terminator included (2047 characters at most).
constexpr int kNormTextCapacity = 2048;

// Length of a terminated wide text; a null text has length 0.
size_t wide_length(const char16_t *text);

// Writes format into out, replacing each "%s" from left to right by the next of args (a missing
// or null argument gives nothing). out has room for capacity units, terminator included, and
// must not overlap any argument. A text that would not fit is cut at a word boundary: the word
// that would pass the end is dropped whole, never split, along with everything after it.
// Returns the length written; 0 with nothing written when capacity is 0.
int fill_format(char16_t *out, size_t capacity, const char16_t *format,
                std::initializer_list<const char16_t *> args);
