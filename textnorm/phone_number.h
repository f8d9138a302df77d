// Phone numbers, read digit by digit with a pause between the groups: 0912 345 678 is "không chín
// một hai, ba bốn năm, sáu bảy tám". A number is 0 and nine or ten more digits (the second not
// 0), or +84 and nine or ten digits; anything else is left to the other readers.
#pragma once

#include "textnorm/norm_text.h"

// One token holding the whole number: 0912345678, 0912.345.678, 0912-345-678, +84912345678.
// Groups are those written with dots or hyphens; without them 4-3-3 (ten digits) or 3-4-4
// (eleven), and after +84 3-3-3 or 2-4-4. Returns the length, or -1 with an empty out.
int read_phone_number(const char16_t *token, char16_t out[kNormTextCapacity]);

// A number written in groups separated by spaces, one token per group (0912 345 678, 024 3826
// 1234, +84 912 345 678): the digits gathered so far.
struct PhoneGroups {
    bool international = false;  // opened by +84, whose digits do not count
    int digits = 0;
};

// True when the length code units of text can open such a number: 0 and one to three digits,
// the second not 0, or +84.
bool opens_phone_number(const char16_t *text, int length, PhoneGroups *groups);
// True when they can follow as the next group (two to four digits) without passing the longest
// number; the group's digits are then counted in.
bool continues_phone_number(const char16_t *text, int length, PhoneGroups *groups);
// True when the groups so far make a whole number.
bool is_whole_phone_number(const PhoneGroups &groups);

// The reading of one group: its digits one by one (+84 is "cộng tám bốn"), and a pause after it
// when pause_after is set. Returns the length.
int read_phone_group(const char16_t *text, int length, bool pause_after, char16_t out[kNormTextCapacity]);
