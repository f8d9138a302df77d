// Segmentation of request texts into items and their position codes.
#include "scheduler/segmentation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scheduler/items.h"
#include "support/test_voice.h"
#include "support/wide_text.h"
#include "voice/voice_file.h"

namespace {

// One item written as kind letter and the text of its span: W:word, O:(, C:), S:., L.
// Words that normalization added after a token have no span and are left out.
std::string describe(const UtteranceItem &item) {
    switch (item.kind) {
    case ItemKind::Word: {
        std::string text;
        for (int32_t i = 0; i < item.length; ++i) {
            char16_t c = item.source[i];
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return "W:" + text;
    }
    case ItemKind::OpeningMark: return std::string("O:") + static_cast<char>(item.source[0]);
    case ItemKind::ClosingMark: return std::string("C:") + static_cast<char>(item.source[0]);
    case ItemKind::SentenceEnd: return std::string("S:") + static_cast<char>(item.source[0]);
    case ItemKind::LineEnd: return "L";
    }
    return "?";
}

struct Segmented {
    std::vector<std::string> items;
    std::vector<int> positions;
};

Segmented segment(std::u16string text) {
    clear_items();
    segment_text(text.data());
    Segmented out;
    for (UtteranceItem *item = item_list().head; item; item = item->next) {
        if (item->kind == ItemKind::Word && !item->source) continue;
        out.items.push_back(describe(*item));
        out.positions.push_back(item->position);
    }
    clear_items();
    return out;
}

using Items = std::vector<std::string>;

struct SegmentCase {
    std::u16string text;
    Items items;
};

TEST(Segmentation, ItemsOfTexts) {
    const SegmentCase cases[] = {
        {u"a.", {"W:a", "S:.", "L"}},
        {u"a,", {"W:a", "C:,", "S:.", "L"}},
        {u"(a)", {"O:(", "W:a", "C:)", "S:.", "L"}},
        {u"abc;)", {"W:abc", "C:)", "C:;", "S:.", "L"}},
        {u"abc);", {"W:abc", "C:)", "S:;", "L"}},
        {u"...", {"W:.", "S:.", "L"}},
        {u"((", {"O:(", "W:(", "S:.", "L"}},
        {u"don't", {"W:don't", "S:.", "L"}},
        {u"'don't'", {"O:'", "W:don't", "C:'", "S:.", "L"}},
        {u"(chào.)", {"O:(", "W:ch?o.", "C:)", "S:.", "L"}},
        {u"(chào).", {"O:(", "W:ch?o", "C:)", "S:.", "L"}},
        {u"Xin chào, TP.HCM.", {"W:Xin", "W:ch?o", "C:,", "W:TP.HCM", "S:.", "L"}},
        {u"a!?", {"W:a", "S:!", "L"}},
        {u"?", {"W:?", "L"}},
        {u"a\nb", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"\n\na\n\n\nb\n", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"a\r\nb", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"a b  ", {"W:a", "W:b", "S:.", "L"}},
        {u"  \t ", {"L"}},
        {u"a\n \nb", {"W:a", "S:.", "L", "L", "W:b", "S:.", "L"}},
        {u"\n\n\n", {}},
        {u"a\u00a0b", {"W:a?b", "S:.", "L"}},
        {u"xin\u2026", {"W:xin?", "S:.", "L"}},
        {u"\u201cxin\u201d", {"W:?xin?", "S:.", "L"}},
        {u"\"a\"", {"O:\"", "W:a", "C:\"", "S:.", "L"}},
        {u"[{a}]", {"O:[", "O:{", "W:a", "C:]", "C:}", "S:.", "L"}},
    };
    for (const SegmentCase &c : cases) {
        std::string shown(c.text.begin(), c.text.end());
        EXPECT_EQ(segment(c.text).items, c.items) << "text: " << shown;
    }
}

struct PositionCase {
    std::u16string text;
    std::vector<int> positions;
};

TEST(Segmentation, PositionCodes) {
    // Words of the voice stay one item each.
    ScratchDir dir;
    ASSERT_EQ(voice_select(build_test_voice(dir, {"xin", "cha`o", "ca'c", "ba.n"}).c_str()), 0);
    testing::internal::CaptureStdout();
    const PositionCase cases[] = {
        {u"xin chào các bạn", {First, Middle, Middle, Last, NotWord, NotWord}},
        {u"xin\nbạn", {Alone, NotWord, NotWord, Alone, NotWord, NotWord}},
        {u"xin, chào bạn", {Alone, NotWord, First, Last, NotWord, NotWord}},
        {u"(xin chào)", {NotWord, First, Last, NotWord, NotWord, NotWord}},
    };
    for (const PositionCase &c : cases) EXPECT_EQ(segment(c.text).positions, c.positions);
    testing::internal::GetCapturedStdout();
    voice_release_current();
}

TEST(Segmentation, LeftoverItemsComeFirstAndKeepTheirTextAndPositions) {
    ScratchDir dir;
    ASSERT_EQ(voice_select(build_test_voice(dir, {"xin", "cha`o", "ca'c"}).c_str()), 0);
    testing::internal::CaptureStdout();
    clear_items();
    std::u16string first = u"xin chào";
    segment_text(first.data());
    advance_cursor();  // "xin" was spoken before the interruption
    first.assign(first.size(), u'#');  // the interrupted request's text is gone

    std::u16string second = u"các";
    segment_text(second.data());
    std::vector<std::string> texts;
    std::vector<int> positions;
    for (UtteranceItem *item = item_list().head; item; item = item->next) {
        if (item->kind != ItemKind::Word) continue;
        texts.push_back(to_utf8(item->norm_text));
        positions.push_back(item->position);
    }
    EXPECT_EQ(texts, (Items{"chào", "các"}));
    // "chào" keeps the recording it was read with, the last of its run, though "xin" is gone.
    EXPECT_EQ(positions, (std::vector<int>{Last, Alone}));
    EXPECT_EQ(item_list().cursor, item_list().head);
    clear_items();
    testing::internal::GetCapturedStdout();
    voice_release_current();
}

// Read one token at a time, a text gives the items and positions of reading it whole, and the
// list never holds more than the token being read and the one before it.
TEST(Segmentation, ReadingAheadGivesTheItemsOfTheWholeText) {
    ScratchDir dir;
    ASSERT_EQ(voice_select(build_test_voice(dir, {"xin", "cha`o", "ca'c", "ba.n"}).c_str()), 0);
    testing::internal::CaptureStdout();
    const std::u16string texts[] = {u"xin chào các bạn", u"(xin, chào) 123 các\n\nbạn.", u"TP.HCM xin\r\n  \nchào"};
    for (const std::u16string &text : texts) {
        std::vector<std::string> whole;
        clear_items();
        std::u16string copy = text;
        segment_text(copy.data());
        for (UtteranceItem *item = item_list().head; item; item = item->next)
            whole.push_back(to_utf8(item->norm_text) + "/" + std::to_string(item->position));
        clear_items();

        std::vector<std::string> read;
        copy = text;
        TextReader reader;
        start_reading(reader, copy.data());
        size_t most = 0;
        for (;;) {
            while (!item_is_ready(reader, current_item()))
                if (!read_ahead(reader)) break;
            UtteranceItem *item = current_item();
            if (!item) break;
            size_t held = 0;
            for (UtteranceItem *i = item_list().head; i; i = i->next) held++;
            most = std::max(most, held);
            read.push_back(to_utf8(item->norm_text) + "/" + std::to_string(item->position));
            advance_cursor();
        }
        EXPECT_EQ(read, whole) << to_utf8(text);
        EXPECT_LE(most, 12u) << to_utf8(text);  // a number read as several words, and the item before them
    }
    testing::internal::GetCapturedStdout();
    voice_release_current();
}

// The full stop the engine adds to a line, and the line end of the request's last line, are
// marked for the renderer.
TEST(Segmentation, AddedFullStopsAndTheLastLineEndAreMarked) {
    const struct {
        std::u16string text;
        Items marked;  // A: an added full stop, E: the request's last line end
    } cases[] = {
        {u"a", {"A", "E"}},
        {u"a.", {"E"}},
        {u"a\nb!", {"A", "-", "E"}},
        {u"a.\n\n\n", {"E"}},
        {u"a,\n  ", {"A", "-", "E"}},
        {u"\n\na", {"A", "E"}},
    };
    for (const auto &c : cases) {
        clear_items();
        std::u16string text = c.text;
        segment_text(text.data());
        Items marked;
        for (UtteranceItem *item = item_list().head; item; item = item->next) {
            if (item->kind == ItemKind::SentenceEnd && item->added_full_stop) marked.push_back("A");
            if (item->kind == ItemKind::LineEnd) marked.push_back(item->ends_request ? "E" : "-");
            if (item->kind != ItemKind::SentenceEnd) {
                EXPECT_FALSE(item->added_full_stop);
            }
            if (item->kind != ItemKind::LineEnd) {
                EXPECT_FALSE(item->ends_request);
            }
        }
        EXPECT_EQ(marked, c.marked) << to_utf8(c.text);
        clear_items();
    }
}

TEST(ItemList, AdvanceFreesSpokenItemsAndClearEmpties) {
    clear_items();
    std::u16string text = u"a b";
    segment_text(text.data());
    ASSERT_NE(current_item(), nullptr);
    advance_cursor();
    EXPECT_EQ(item_list().head, item_list().cursor);
    while (current_item()) advance_cursor();
    EXPECT_EQ(item_list().head, nullptr);
    EXPECT_EQ(item_list().tail, nullptr);
    clear_items();
    clear_items();
    EXPECT_EQ(item_list().head, nullptr);
}

}  // namespace
