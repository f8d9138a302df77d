// Dates and times of day: 9/12/2026 is "ngày chín tháng mười hai năm hai nghìn không trăm hai
// sáu", 10:30 is "mười giờ ba mươi phút". Each reader takes only its exact pattern with valid
// values and refuses anything else, which then reads as it did before these readers.
#pragma once

#include "textnorm/norm_text.h"

// d/m/yyyy, dd/mm/yyyy, d-m-yyyy, d/m and m/yyyy: "ngày %s tháng %s năm %s", "ngày %s tháng %s",
// "tháng %s năm %s". The day must exist in its month (29/2 only in a leap year, or with no year);
// the year has four digits and does not begin with 0. April is "tháng tư". Returns the length,
// or -1 with an empty out.
int read_date(const char16_t *token, char16_t out[kNormTextCapacity]);

// A quarter and its year after "quý" (quý 4/2024): q/yyyy with q from 1 to 4, "%s năm %s".
// Returns the length, or -1 with an empty out.
int read_quarter(const char16_t *token, char16_t out[kNormTextCapacity]);

// hh:mm, hh:mm:ss, 7h30, 7h, 19g30 (h or g, either case): "%s giờ", then "%s phút" unless the
// minutes are 00 in a time without seconds, then "%s giây". Hours 0 to 23 (24 only as 24:00),
// minutes and seconds of two digits, 00 to 59. Returns the length, or -1 with an empty out.
int read_time(const char16_t *token, char16_t out[kNormTextCapacity]);
