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
#include "textnorm/norm_text.h"
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
