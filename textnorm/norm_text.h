// Normalized text: the Vietnamese words a reader writes for one token, separated by spaces, in
// the caller's buffer of kNormTextCapacity code units; and the bounded writing every reader uses.
#pragma once

#include <cstddef>
#include <initializer_list>

// Code units of one normalized text, terminator included (2047 characters at most).
constexpr int kNormTextCapacity = 2048;

// A lone comma among the words of a normalized text is a pause, not a word: the dispatch makes it
// a closing-mark item (between the groups of a phone number). No reader writes a comma otherwise:
// the comma's spelled name is "phẩy".
constexpr char16_t kPauseWord[] = u",";

// Writes the normalized text of one word into out and returns its length: the word itself when
// the voice speaks it as it is. The dispatch gives one to the readers that read a token by parts.
using WordReader = int (*)(const char16_t *word, char16_t out[kNormTextCapacity]);

// How a reader refuses a token it began to write: out becomes empty, and the result is -1.
inline int refuse(char16_t *out) {
    out[0] = 0;
    return -1;
}

// Length of a terminated wide text; a null text has length 0.
size_t wide_length(const char16_t *text);

// Writes format into out, replacing each "%s" from left to right by the next of args (a missing
// or null argument gives nothing). out has room for capacity units, terminator included, and
// must not overlap any argument. A text that would not fit is cut at a word boundary: the word
// that would pass the end is dropped whole, never split, along with everything after it.
// Returns the length written; 0 with nothing written when capacity is 0.
int fill_format(char16_t *out, size_t capacity, const char16_t *format,
                std::initializer_list<const char16_t *> args);
