// The last resort of normalization: a number followed by a unit or other text (5kg, 3,5kg,
// 12abc) is read as the number and then the unit's name or the spelled rest; any other token
// is spelled character by character.
#pragma once

#include "textnorm/norm_text.h"

// A lower-case unit abbreviation and its reading.
struct MeasureUnit {
    const char16_t *abbreviation;
    const char16_t *reading;
};

constexpr int kMeasureTableRows = 24;
// Searched in order; the first abbreviation equal to the whole folded rest wins.
extern const MeasureUnit measure_table[kMeasureTableRows];

// Only this many leading characters of a token are considered for a number and its rest.
constexpr int kMixedTokenScanLength = 2048;
// Spelled-out text stops before the first character whose name would pass this length.
constexpr int kSpelledTextLimit = 2028;

// Writes the normalized text of token into out and returns its length. Spelled text begins with
// a space; a number followed by spelled text leaves two spaces between them. When a number's
// reading and a spelled rest together pass kNormTextCapacity - 1 characters, the text is cut
// after the last whole word that fits. A null or empty token gives an empty text.
int split_mixed(const char16_t *token, char16_t out[kNormTextCapacity]);
