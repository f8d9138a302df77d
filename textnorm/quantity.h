// Numbers with what stands around them in one token: a minus sign, a range, a currency, a unit
// per unit, a mathematical symbol. Each reader takes only its own pattern and returns -1 with an
// empty out for anything else. Readers that read a part as a word of its own (the rest after a
// minus sign, the unit of a range's end) get the dispatch's word reader.
#pragma once

#include "textnorm/norm_text.h"

// A hyphen-minus or U+2212 right before a digit: "âm" and the rest as read_word reads it
// (-5 is "âm năm", −3,5 "âm ba phẩy năm", -5°C "âm năm độ xê").
int read_signed_number(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]);

// Two numbers joined by a hyphen or an en dash, the first below the second: "%s đến %s". The
// second may carry a unit or a percent sign (10-15kg, 19-20h), read with read_word.
int read_range(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]);

// A number with a currency: $, US$, €, ¥ or £ before or after it, or đ, ₫, VNĐ or VND after it
// ($100 is "một trăm đô la", 50.000đ "năm mươi nghìn đồng").
int read_money(const char16_t *token, char16_t out[kNormTextCapacity]);

// The reading of a currency sign or code standing alone after a number (100 $, 100.000 đ), or
// null when text is none.
const char16_t *currency_after_number(const char16_t *text);

// A unit per unit, with or without a number before it: đồng/lít is "đồng một lít", %/năm "phần
// trăm một năm", 100km/h "một trăm ki lô mét trên giờ" (measurement units take "trên"). The unit
// after the slash must be a measurement unit or a word of time or count (giờ, ngày, tháng, người,
// lít, kg...).
int read_per_unit(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]);

// A comparison or arithmetic sign before a number (≥18, ±5%, ≈3,5) or between two (3×4, 10÷2,
// 5±0,1), read by its name from the symbol table.
int read_symbol_expression(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]);
