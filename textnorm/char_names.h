// Spoken names of single characters (letters, tone-marked vowels, digits, symbols) and the case
// folding used throughout text normalization.
#pragma once

#include "textnorm/norm_text.h"

// One character, as it stands after folding, and its reading of one to three words.
struct CharName {
    char16_t character;
    const char16_t *reading;
};

constexpr int kCharNameTableRows = 83;
extern const CharName char_name_table[kCharNameTableRows];

// Symbols of typeset text (mathematics, currency, arrows, marks of law and trade) by the names a
// reader says; consulted after char_name_table.
constexpr int kSymbolNameTableRows = 24;
extern const CharName symbol_name_table[kSymbolNameTableRows];

// Capitals of the letter table become their small letters and 'A'..'Z' become 'a'..'z'; every
// other character (Ç, Ö, Greek, Cyrillic, digits, symbols) is returned unchanged.
char16_t fold_letter(char16_t c);

// Folds every character of text in place; returns text (null stays null).
char16_t *fold_text(char16_t *text);

// Writes the reading of the first character of text into out: its reading in char_name_table or
// symbol_name_table, else the folded character alone. A null or empty text gives an empty reading. Returns the length.
int spell_char(const char16_t *text, char16_t out[kNormTextCapacity]);
