// Word normalization through segmentation: text in, the words to voice out.
#include "scheduler/normalize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scheduler/items.h"
#include "scheduler/segmentation.h"
#include "support/test_voice.h"
#include "support/wide_text.h"
#include "textnorm/char_names.h"
#include "lexicon/unit_name.h"
#include "textnorm/norm_text.h"

#include <cstring>
#include "voice/voice_file.h"

namespace {

using Words = std::vector<std::string>;

struct NormalizeTest : testing::Test {
    ScratchDir dir;

    void SetUp() override {
        std::string path = build_test_voice(dir, {"xin", "cha`o", "ca'c", "ba.n"});
        ASSERT_EQ(voice_select(path.c_str()), 0);
    }
    void TearDown() override {
        clear_items();
        voice_release_current();
    }

    // The norm_text of every word item, in UTF-8, and their position codes.
    Words words_of(std::u16string text, std::vector<int> *positions = nullptr) {
        clear_items();
        testing::internal::CaptureStdout();
        segment_text(text.data());
        testing::internal::GetCapturedStdout();
        Words words;
        for (UtteranceItem *item = item_list().head; item; item = item->next) {
            if (item->kind != ItemKind::Word) continue;
            words.push_back(to_utf8(item->norm_text));
            if (positions) positions->push_back(item->position);
        }
        clear_items();
        return words;
    }
};

TEST_F(NormalizeTest, TextInWordsOut) {
    struct Case {
        std::u16string text;
        Words words;
    };
    const Case cases[] = {
        {u"1.000", {"một", "nghìn"}},
        {u"3,5", {"ba", "phẩy", "năm"}},
        {u"TP.HCM", {"tha`nh", "pho)'", "ho)`", "chi'", "minh"}},
        {u"Google", {"gu.c", "ga)n"}},
        {u"BBC", {"bi", "bi", "xi"}},
        {u"CNN", {"xi", "en", "en"}},
        {u"khcn&mt", {"khoa", "ho.c", "co)ng", "nghe).", "va`", "mo)i", "tru(o(`ng"}},
        {u"%", {"phần", "trăm"}},
        {u"7", {"bảy"}},
        {u"xin", {"xin"}},
        {u"Xin chào", {"Xin", "chào"}},
        {u"kg", {"ki", "lo)", "gam"}},
        {u"5kg", {"năm", "ki", "lô", "gam"}},
        {u"000000", {"000000"}},
    };
    for (const Case &c : cases) EXPECT_EQ(words_of(c.text), c.words) << to_utf8(c.text);
}

// A voice for the readers: the syllables of their words and of the words around them.
struct ReaderDispatchTest : NormalizeTest {
    void SetUp() override {
        std::vector<std::string> syllables;
        const char16_t *const words[] = {
            u"ngày", u"tháng", u"năm", u"hôm", u"nay", u"thế", u"kỷ", u"chương", u"lần", u"thứ", u"sinh",
            u"một", u"hai", u"ba", u"bốn", u"tư", u"sáu", u"bảy", u"tám", u"chín", u"mười", u"mươi", u"không",
            u"trăm", u"nghìn", u"linh", u"đồng", u"đê", u"âm", u"đến", u"ca", u"ra", u"ô", u"kê", u"tô", u"an",
            u"chấm", u"a", u"còng", u"con", u"trôn", u"cộng", u"ét", u"xin", u"chào", u"tôi", u"có", u"ích",
            u"giờ", u"phút", u"lít", u"phần", u"độ", u"xê", u"nhân", u"gi", u"meo", u"com", u"mốt", u"lăm",
            u"quý", u"số", u"trang", u"đường", u"suộc", u"chéo", u"mở", u"cửa",
        };
        for (const char16_t *word : words) {
            char name[kUnitNameCapacity];
            ASSERT_EQ(make_unit_name(word, 0, name, sizeof name), 0);
            syllables.emplace_back(name, std::strlen(name) - 2);
        }
        TestVoiceOptions options;
        options.unit_ms = 20;
        ASSERT_EQ(voice_select(build_test_voice(dir, syllables, options).c_str()), 0);
    }

    // Every item: W:text for words, C, S, O for marks, L for line ends.
    Words items_of(std::u16string text) {
        clear_items();
        testing::internal::CaptureStdout();
        segment_text(text.data());
        testing::internal::GetCapturedStdout();
        Words items;
        for (UtteranceItem *item = item_list().head; item; item = item->next) {
            switch (item->kind) {
            case ItemKind::Word: items.push_back("W:" + to_utf8(item->norm_text)); break;
            case ItemKind::OpeningMark: items.push_back("O"); break;
            case ItemKind::ClosingMark: items.push_back("C"); break;
            case ItemKind::SentenceEnd: items.push_back("S"); break;
            case ItemKind::LineEnd: items.push_back("L"); break;
            }
        }
        clear_items();
        return items;
    }
};

TEST_F(ReaderDispatchTest, TextInWordsOut) {
    struct Case {
        std::u16string text;
        Words words;
    };
    const Case cases[] = {
        // A date after the word it begins with does not repeat it; a mark between them does.
        {u"ngày 9/12/2026", {"ngày", "chín", "tháng", "mười", "hai", "năm", "hai", "nghìn", "không", "trăm", "hai", "sáu"}},
        {u"Ngày 9/12", {"Ngày", "chín", "tháng", "mười", "hai"}},
        {u"tháng 12/2026", {"tháng", "mười", "hai", "năm", "hai", "nghìn", "không", "trăm", "hai", "sáu"}},
        {u"hôm nay 9/12", {"hôm", "nay", "ngày", "chín", "tháng", "mười", "hai"}},
        {u"ngày: 9/12", {"ngày", "ngày", "chín", "tháng", "mười", "hai"}},
        {u"ngày\n9/12", {"ngày", "ngày", "chín", "tháng", "mười", "hai"}},
        // Roman numerals only after the words that take them.
        {u"thế kỷ XX", {"thế", "kỷ", "hai", "mươi"}},
        {u"Chương IV:", {"Chương", "bốn"}},
        {u"lần thứ IV", {"lần", "thứ", "tư"}},
        {u"XX", {"ích", "ích"}},
        {u"kỷ XX", {"kỷ", "ích", "ích"}},
        // SN before a year is sinh năm; alone it keeps its dictionary reading.
        {u"SN 1990", {"sinh", "năm", "một", "nghìn", "chín", "trăm", "chín", "mươi"}},
        {u"SN", {"sinh", "nha).t"}},
        {u"SN 19", {"sinh", "nha).t", "mười", "chín"}},
        // A currency sign alone after a number.
        {u"100.000 đ", {"một", "trăm", "nghìn", "đồng"}},
        {u"đ", {"đê"}},
        {u"có đ", {"có", "đê"}},
        // Đ folded to d for the dictionaries.
        {u"HĐND", {"ho).i", "d!o)`ng", "nha)n", "da)n"}},
        {u"ĐH", {"d!a.i", "ho.c"}},
        {u"SĐT", {"so)'", "d!ie).n", "thoa.i"}},
        {u"VNĐ", {"vie).t", "nam", "d!o)`ng"}},
        // Hyphenated syllables, k before a back vowel read as c.
        {u"ka-ra-ô-kê", {"ca", "ra", "ô", "kê"}},
        {u"Ô-tô", {"Ô", "tô"}},
        {u"ô-xyz", {"ô", "gạch", "ngang", "ích", "y", "dét"}},
        {u"wi-fi", {"oai", "phai"}},
        // Minus signs, typographic quotes and decomposed text.
        {u"-5", {"âm", "năm"}},
        {u"\u22125", {"âm", "năm"}},
        {u"\u201cxin ch\u00e0o\u201d", {"xin", "chào"}},
        {u"To\u0302i co\u0301", {"Tôi", "có"}},
        // Readers that read by parts use the whole dispatch for each part.
        {u"an@gmail.com", {"an", "a", "còng", "gi", "meo", "chấm", "com"}},
        {u"Ctrl+S", {"con", "trôn", "cộng", "ét"}},
        {u"đồng/lít", {"đồng", "một", "lít"}},
        {u"25°C", {"hai", "lăm", "độ", "xê"}},
        {u"-5°C", {"âm", "năm", "độ", "xê"}},
        {u"3×4", {"ba", "nhân", "bốn"}},
        {u"10:30", {"mười", "giờ", "ba", "mươi", "phút"}},
        {u"10-15", {"mười", "đến", "mười", "lăm"}},
        {u"1.000.000.000", {"một", "tỷ"}},
        // The words before a number that looks like a date or a Roman numeral decide its reading.
        {u"quý 4/2024", {"quý", "bốn", "năm", "hai", "nghìn", "không", "trăm", "hai", "tư"}},
        {u"quý II", {"quý", "hai"}},
        {u"4/2024", {"tháng", "tư", "năm", "hai", "nghìn", "không", "trăm", "hai", "tư"}},
        {u"thế kỷ XI\u2013XII", {"thế", "kỷ", "mười", "một", "đến", "mười", "hai"}},
        {u"Đường 3/2", {"Đường", "ba", "tháng", "hai"}},
        {u"số 12/2020", {"số", "mười", "hai", "suộc", "chéo", "hai", "không", "hai", "không"}},
        {u"trang 1/10", {"trang", "một", "suộc", "chéo", "một", "không"}},
        {u"mở cửa 24/7", {"mở", "cửa", "hai", "tư", "suộc", "chéo", "bảy"}},
        {u"ngày 24/7", {"ngày", "hai", "tư", "tháng", "bảy"}},
        {u"24/7", {"hai", "tư", "suộc", "chéo", "bảy"}},
    };
    for (const Case &c : cases) EXPECT_EQ(words_of(c.text), c.words) << to_utf8(c.text);
}

TEST_F(ReaderDispatchTest, PhoneNumbersPauseBetweenTheirGroups) {
    const Words mobile = {"W:không", "W:chín", "W:một", "W:hai", "C", "W:ba", "W:bốn", "W:năm",
                          "C", "W:sáu", "W:bảy", "W:tám"};
    Words expected = mobile;
    expected.insert(expected.end(), {"S", "L"});
    EXPECT_EQ(items_of(u"0912345678"), expected);
    EXPECT_EQ(items_of(u"0912 345 678"), expected);
    EXPECT_EQ(items_of(u"0912.345.678"), expected);
    // Groups written with spaces end where the number is whole; what follows reads as ever.
    Words then_word = mobile;
    then_word.insert(then_word.end(), {"C", "W:xin", "S", "L"});
    EXPECT_EQ(items_of(u"0912 345 678, xin"), then_word);
    Words then_number = mobile;
    then_number.insert(then_number.end(), {"W:chín", "S", "L"});
    EXPECT_EQ(items_of(u"0912 345 678 9"), then_number);
    EXPECT_EQ(items_of(u"+84 912 345 678"),
              (Words{"W:cộng", "W:tám", "W:bốn", "C", "W:chín", "W:một", "W:hai", "C", "W:ba", "W:bốn", "W:năm", "C",
                     "W:sáu", "W:bảy", "W:tám", "S", "L"}));
    // Too few digits, or a mark inside: the groups are numbers again.
    EXPECT_EQ(items_of(u"0912 345"), (Words{"W:không", "W:nghìn", "W:chín", "W:trăm", "W:mười", "W:hai", "W:ba",
                                            "W:trăm", "W:bốn", "W:lăm", "S", "L"}));
    EXPECT_EQ(items_of(u"091234567"),
              (Words{"W:không", "W:trăm", "W:chín", "W:mốt", "W:triệu", "W:hai", "W:trăm", "W:ba", "W:tư", "W:nghìn",
                     "W:năm", "W:trăm", "W:sáu", "W:bảy", "S", "L"}));
    // The positions run within each group: a pause breaks the run of words.
    std::vector<int> positions;
    words_of(u"0912 345 678", &positions);
    EXPECT_EQ(positions, (std::vector<int>{First, Middle, Middle, Last, First, Middle, Last, First, Middle, Last}));
}

// However a token is read, its reading fits the normalized text's buffer.
TEST_F(ReaderDispatchTest, EveryReadingFitsItsBuffer) {
    auto repeated = [](const std::u16string &piece, int times) {
        std::u16string out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    };
    const std::u16string tokens[] = {
        repeated(u"ô-", 3000) + u"ô",
        repeated(u"ka-", 3000) + u"ka",
        u"an@" + repeated(u"gmail.", 500) + u"com",
        u"https://a.com/" + repeated(u"a/", 2000),
        u"https://a.com/" + repeated(u"/", 3000),
        u"-" + repeated(u"5", 3000),
        u"-" + repeated(u"5", 10) + repeated(u"w", 2000),
        u"1-" + repeated(u"2", 3000),
        u"1-2" + repeated(u"w", 3000),
        u"$" + repeated(u"9", 3000),
        u"≥" + repeated(u"9", 3000),
        u"≥1" + repeated(u"w", 3000),
        u"9×" + repeated(u"w", 3000),
        u"100" + repeated(u"w", 3000) + u"/năm",
        u"Ctrl+" + repeated(u"Ctrl+", 1000) + u"S",
        repeated(u"X", 3000),
        u"0912" + repeated(u"5", 3000),
    };
    // The token alone, and after words that give it a context (the words before stay one each).
    const std::pair<std::u16string, size_t> contexts[] = {{u"", 0}, {u"thế kỷ ", 2}, {u"ngày ", 1}, {u"SN ", 2}};
    for (const std::u16string &token : tokens) {
        for (const auto &context : contexts) {
            const std::u16string text = context.first + token;
            clear_items();
            testing::internal::CaptureStdout();
            std::u16string copy = text;
            segment_text(copy.data());
            testing::internal::GetCapturedStdout();
            // The token's reading: its words with one space between each two.
            size_t length = 0;
            size_t words = 0;
            for (UtteranceItem *item = item_list().head; item; item = item->next) {
                if (item->kind != ItemKind::Word || ++words <= context.second) continue;
                length += item->norm_text.size() + (words > context.second + 1 ? 1 : 0);
            }
            clear_items();
            EXPECT_GT(words, context.second) << to_utf8(text.substr(0, 40));
            EXPECT_LE(length, static_cast<size_t>(kNormTextCapacity - 1)) << to_utf8(text.substr(0, 40));
        }
    }
}

TEST_F(NormalizeTest, LongWordWithVietnameseLettersIsSpelled) {
    std::u16string word = u"đườngđường";  // 10 characters, no 8-bit form
    Words expected;
    for (char16_t c : word) {
        char16_t reading[kNormTextCapacity];
        char16_t one[2] = {c, 0};
        spell_char(one, reading);
        for (const std::u16string &w : split_words(reading)) expected.push_back(to_utf8(w));
    }
    EXPECT_EQ(words_of(word), expected);
}

TEST_F(NormalizeTest, ReadingsJoinTheRunOfTheirNeighbours) {
    std::vector<int> positions;
    EXPECT_EQ(words_of(u"xin 1.000 bạn", &positions), (Words{"xin", "một", "nghìn", "bạn"}));
    EXPECT_EQ(positions, (std::vector<int>{First, Middle, Middle, Last}));
}

}  // namespace
