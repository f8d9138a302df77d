// Readers of dates and times of day.
#include "textnorm/calendar.h"

#include "textnorm/number_reader.h"

namespace {

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A run of 1 to max_digits digits from *p; advances *p past it. -1 when there is none or it is
// longer.
int take_number(const char16_t **p, int max_digits, int *digit_count) {
    int value = 0;
    int count = 0;
    while (is_digit(**p)) {
        if (++count > max_digits) return -1;
        value = value * 10 + (**p - u'0');
        ++*p;
    }
    *digit_count = count;
    return count == 0 ? -1 : value;
}

// The reading of a value as a plain number, leading zeros dropped (09 is chín).
void read_value(int value, char16_t out[kNormTextCapacity]) {
    char16_t digits[12];
    int n = 0;
    char16_t reversed[12];
    do {
        reversed[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 11);
    for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    digits[n] = 0;
    read_number(digits, out);
}

void read_month(int month, char16_t out[kNormTextCapacity]) {
    if (month == 4) {
        fill_format(out, kNormTextCapacity, u"tư", {});
    } else {
        read_value(month, out);
    }
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days of the month; with no year (0), February has 29.
int days_in_month(int month, int year) {
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year != 0 && !is_leap_year(year)) return 28;
    return kDays[month - 1];
}

}  // namespace

int read_date(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    const char16_t *p = token;
    int first_digits = 0;
    const int first = take_number(&p, 4, &first_digits);
    const char16_t separator = *p;
    if (first < 0 || (separator != u'/' && separator != u'-')) return -1;
    ++p;
    int second_digits = 0;
    const int second = take_number(&p, 4, &second_digits);
    if (second < 0) return -1;

    int day = 0;
    int month = 0;
    int year = 0;
    bool has_day = true;
    if (*p == separator) {
        ++p;
        int year_digits = 0;
        year = take_number(&p, 4, &year_digits);
        // A year of four digits never begins with 0.
        if (year_digits != 4 || year < 1000 || *p != 0 || first_digits > 2 || second_digits > 2) return -1;
        day = first;
        month = second;
    } else if (*p == 0 && separator == u'/' && second_digits == 4) {
        if (first_digits > 2 || second < 1000) return -1;
        month = first;
        year = second;
        has_day = false;
    } else if (*p == 0 && separator == u'/' && first_digits <= 2 && second_digits <= 2) {
        day = first;
        month = second;
    } else {
        return -1;
    }
    if (month < 1 || month > 12) return -1;
    if (has_day && (day < 1 || day > days_in_month(month, year))) return -1;

    char16_t day_text[kNormTextCapacity];
    char16_t month_text[kNormTextCapacity];
    char16_t year_text[kNormTextCapacity];
    read_month(month, month_text);
    if (!has_day) {
        read_value(year, year_text);
        return fill_format(out, kNormTextCapacity, u"tháng %s năm %s", {month_text, year_text});
    }
    read_value(day, day_text);
    if (year == 0) return fill_format(out, kNormTextCapacity, u"ngày %s tháng %s", {day_text, month_text});
    read_value(year, year_text);
    return fill_format(out, kNormTextCapacity, u"ngày %s tháng %s năm %s", {day_text, month_text, year_text});
}

int read_quarter(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    const char16_t *p = token;
    int digits = 0;
    const int quarter = take_number(&p, 1, &digits);
    if (quarter < 1 || quarter > 4 || *p != u'/') return -1;
    ++p;
    const int year = take_number(&p, 4, &digits);
    if (digits != 4 || year < 1000 || *p != 0) return -1;
    char16_t quarter_text[kNormTextCapacity];
    char16_t year_text[kNormTextCapacity];
    read_value(quarter, quarter_text);
    read_value(year, year_text);
    return fill_format(out, kNormTextCapacity, u"%s năm %s", {quarter_text, year_text});
}

int read_time(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    const char16_t *p = token;
    int hour_digits = 0;
    const int hour = take_number(&p, 2, &hour_digits);
    if (hour < 0) return -1;
    const char16_t separator = *p;
    const bool colon = separator == u':';
    const bool letter = separator == u'h' || separator == u'H' || separator == u'g' || separator == u'G';
    if (!colon && !letter) return -1;
    ++p;

    int minute = -1;
    int second = -1;
    int digits = 0;
    if (colon || *p != 0) {
        minute = take_number(&p, 2, &digits);
        if (minute < 0 || digits != 2) return -1;
        if (colon && *p == u':') {
            ++p;
            second = take_number(&p, 2, &digits);
            if (second < 0 || digits != 2) return -1;
        }
    }
    if (*p != 0) return -1;
    if (minute > 59 || second > 59) return -1;
    if (hour > 24 || (hour == 24 && (minute > 0 || second > 0))) return -1;

    char16_t hour_text[kNormTextCapacity];
    char16_t minute_text[kNormTextCapacity];
    char16_t second_text[kNormTextCapacity];
    read_value(hour, hour_text);
    if (second >= 0) {
        read_value(minute, minute_text);
        read_value(second, second_text);
        return fill_format(out, kNormTextCapacity, u"%s giờ %s phút %s giây", {hour_text, minute_text, second_text});
    }
    if (minute > 0) {
        read_value(minute, minute_text);
        return fill_format(out, kNormTextCapacity, u"%s giờ %s phút", {hour_text, minute_text});
    }
    return fill_format(out, kNormTextCapacity, u"%s giờ", {hour_text});
}
