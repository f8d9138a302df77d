// Reading of decimal numbers with the comma as separator (3,14 is "ba phẩy mười bốn"): both
// sides are read as whole numbers, the fraction too, never digit by digit.
#pragma once

#include "textnorm/norm_text.h"

// Longest decimal token: two twelve-character numbers and the comma.
constexpr int kDecimalMaxLength = 25;

// True when token holds exactly one comma and the non-empty parts on both sides are numbers.
bool is_decimal(const char16_t *token);

// Writes "whole phẩy fraction" into out. Returns its length, or -1 with an empty out when token
// is not a decimal number.
int read_decimal(const char16_t *token, char16_t out[kNormTextCapacity]);
