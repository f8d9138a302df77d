// Wide (UTF-16) text in tests: UTF-8 for readable failure messages, a quoted equality check
// that shows leading and trailing spaces, and the split of normalized text into words.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

inline std::string to_utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::string quote_wide(std::u16string_view text) { return "\"" + to_utf8(text) + "\""; }

inline testing::AssertionResult wide_text_eq(const char *actual_expr, const char *expected_expr,
                                             std::u16string_view actual,
                                             std::u16string_view expected) {
    if (actual == expected) return testing::AssertionSuccess();
    return testing::AssertionFailure() << actual_expr << " is " << quote_wide(actual) << "\n"
                                       << expected_expr << " is " << quote_wide(expected);
}

#define EXPECT_WIDE_EQ(actual, expected) EXPECT_PRED_FORMAT2(wide_text_eq, actual, expected)
#define ASSERT_WIDE_EQ(actual, expected) ASSERT_PRED_FORMAT2(wide_text_eq, actual, expected)

// The words of a normalized text: cut at spaces, runs of spaces giving no empty word.
inline std::vector<std::u16string> split_words(std::u16string_view text) {
    std::vector<std::u16string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u' ', start);
        if (end == std::u16string_view::npos) end = text.size();
        if (end > start) words.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

inline std::string words_utf8(const std::vector<std::u16string> &words) {
    std::string out = "[";
    for (size_t i = 0; i < words.size(); ++i) out += (i ? ", " : "") + quote_wide(words[i]);
    return out + "]";
}
