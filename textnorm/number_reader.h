// Reading of whole numbers (digits, optionally grouped by dots) as compact colloquial
// Vietnamese: 21 is "hai mốt", 105 "một trăm linh năm", groups joined by nghìn, triệu, tỷ, and
// above a thousand billion by nghìn tỷ and triệu tỷ.
#pragma once

#include "textnorm/norm_text.h"

// Longest number token without dots in every group (plain digits, 1234.567), dots included.
// A longer digit string (an account number, an ID) is no number and is read digit by digit.
constexpr int kNumberMaxLength = 12;
// A number with a dot before every group of three may have up to 18 digits (six groups).
constexpr int kDottedNumberMaxDigits = 18;
constexpr int kDottedNumberMaxLength = kDottedNumberMaxDigits + kDottedNumberMaxDigits / 3 - 1;

// True when token is 1 to 12 characters of digits '0'..'9' and dots, each dot standing directly
// before the last 3, 7 or 11 characters (1.000, 1234.567, .123), or 13 to 23 characters grouped
// in full: one to three digits, then groups of a dot and three digits (1.000.000.000, at most
// 18 digits). Null is not a number.
bool is_number(const char16_t *token);

// Writes the reading of token into out. Returns its length, or -1 with an empty out when token
// is not a number. A reading may be empty (000000) or end in a space (1.000).
int read_number(const char16_t *token, char16_t out[kNormTextCapacity]);

// The word of one digit; an empty text for any other character.
const char16_t *digit_word(char16_t digit);

// Reading of the two digits x y, and of the group of three digits x y z. Return the length, or
// -1 with an empty out when an argument is not a digit.
int read_tens(char16_t x, char16_t y, char16_t out[kNormTextCapacity]);
int read_hundreds(char16_t x, char16_t y, char16_t z, char16_t out[kNormTextCapacity]);
