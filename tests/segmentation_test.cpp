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

// One item written as kind letter and the text of its span: W:word, O:(, C:), S:., L; in UTF-8.
// Words that normalization added after a token have no span and are left out.
std::string describe(const UtteranceItem &item) {
    const std::string span = to_utf8(std::u16string_view(item.source ? item.source : u"", item.source ? item.length : 0));
    switch (item.kind) {
    case ItemKind::Word: return "W:" + span;
    case ItemKind::OpeningMark: return "O:" + span;
    case ItemKind::ClosingMark: return "C:" + span;
    case ItemKind::SentenceEnd: return "S:" + span;
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
        {u"(chào.)", {"O:(", "W:chào.", "C:)", "S:.", "L"}},
        {u"(chào).", {"O:(", "W:chào", "C:)", "S:.", "L"}},
        {u"Xin chào, TP.HCM.", {"W:Xin", "W:chào", "C:,", "W:TP.HCM", "S:.", "L"}},
        {u"a!?", {"W:a", "S:!", "L"}},
        {u"?", {"W:?", "L"}},
        {u"a\nb", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"\n\na\n\n\nb\n", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"a\r\nb", {"W:a", "S:.", "L", "W:b", "S:.", "L"}},
        {u"a b  ", {"W:a", "W:b", "S:.", "L"}},
        {u"  \t ", {"L"}},
        {u"a\n \nb", {"W:a", "S:.", "L", "L", "W:b", "S:.", "L"}},
        {u"\n\n\n", {}},
        {u"a\u00a0b", {"W:a\u00a0b", "S:.", "L"}},
        {u"\"a\"", {"O:\"", "W:a", "C:\"", "S:.", "L"}},
        {u"[{a}]", {"O:[", "O:{", "W:a", "C:]", "C:}", "S:.", "L"}},
    };
    for (const SegmentCase &c : cases) EXPECT_EQ(segment(c.text).items, c.items) << "text: " << to_utf8(c.text);
}

// The three mark sets: the ASCII marks, the typographic quotes in both opening and closing, the
// ellipsis among the sentence-final marks and the dashes among the closing ones.
TEST(Segmentation, MarkSets) {
    struct MarkCase {
        char16_t mark;
        bool opening;
        bool closing;
        bool sentence_final;
    };
    const MarkCase cases[] = {
        {u'(', true, false, false},      {u'"', true, true, false},        {u'{', true, false, false},
        {u'\'', true, true, false},      {u'[', true, false, false},       {u',', false, true, false},
        {u';', false, true, true},       {u':', false, true, false},       {u')', false, true, false},
        {u'}', false, true, false},      {u']', false, true, false},       {u'.', false, false, true},
        {u'!', false, false, true},      {u'?', false, false, true},       {u'\u201c', true, true, false},
        {u'\u201d', true, true, false},  {u'\u2018', true, true, false},   {u'\u2019', true, true, false},
        {u'\u00ab', true, true, false},  {u'\u00bb', true, true, false},   {u'\u2039', true, true, false},
        {u'\u203a', true, true, false},  {u'\u2026', false, false, true},  {u'\u2013', false, true, false},
        {u'\u2014', false, true, false}, {u'-', false, false, false},      {u'\u201e', false, false, false},
        {u'\u00a0', false, false, false}, {u'a', false, false, false},     {u'\u2212', false, false, false},
    };
    for (const MarkCase &c : cases) {
        SCOPED_TRACE(to_utf8(std::u16string(1, c.mark)));
        EXPECT_EQ(is_opening_mark(c.mark), c.opening);
        EXPECT_EQ(is_closing_mark(c.mark), c.closing);
        EXPECT_EQ(is_sentence_final_mark(c.mark), c.sentence_final);
    }
}

// Quotation marks of typeset text, the ellipsis and the dashes.
TEST(Segmentation, TypographicMarks) {
    const SegmentCase cases[] = {
        {u"\u201cxin\u201d", {"O:\u201c", "W:xin", "C:\u201d", "S:.", "L"}},
        {u"\u2018xin\u2019", {"O:\u2018", "W:xin", "C:\u2019", "S:.", "L"}},
        {u"\u00abxin\u00bb \u2039a\u203a", {"O:\u00ab", "W:xin", "C:\u00bb", "O:\u2039", "W:a", "C:\u203a", "S:.", "L"}},
        // Either way round, as languages pair them differently.
        {u"\u201exin\u201c", {"W:\u201exin", "C:\u201c", "S:.", "L"}},
        {u"\u00bbxin\u00ab", {"O:\u00bb", "W:xin", "C:\u00ab", "S:.", "L"}},
        {u"\u201cT\u00f4i s\u1ebd quay l\u1ea1i.\u201d",
         {"O:\u201c", "W:T\u00f4i", "W:s\u1ebd", "W:quay", "W:l\u1ea1i", "C:\u201d", "S:.", "L"}},
        // The sentence ends inside the closer: no full stop is added after it.
        {u"\u0111\u00e2u?\u201d", {"W:\u0111\u00e2u", "C:\u201d", "S:?", "L"}},
        {u"\u0111i!)", {"W:\u0111i", "C:)", "S:!", "L"}},
        {u"(ch\u1edd\u2026)", {"O:(", "W:ch\u1edd", "C:)", "S:\u2026", "L"}},
        {u"a?\u201d)", {"W:a", "C:)", "C:\u201d", "S:?", "L"}},
        {u"a?\u201d b", {"W:a", "C:\u201d", "S:?", "W:b", "S:.", "L"}},
        // The ellipsis ends a sentence; alone it is a word, spelled.
        {u"xin\u2026", {"W:xin", "S:\u2026", "L"}},
        {u"xin\u2026 ch\u00e0o", {"W:xin", "S:\u2026", "W:ch\u00e0o", "S:.", "L"}},
        {u"xin...", {"W:xin", "S:.", "L"}},
        {u"\u2026", {"W:\u2026", "L"}},
        // Dashes between words are pauses; a hyphen is not.
        {u"H\u00e0 N\u1ed9i \u2013 th\u1ee7 \u0111\u00f4",
         {"W:H\u00e0", "W:N\u1ed9i", "C:\u2013", "W:th\u1ee7", "W:\u0111\u00f4", "S:.", "L"}},
        {u"a \u2014 b", {"W:a", "C:\u2014", "W:b", "S:.", "L"}},
        {u"a\u2014 b", {"W:a", "C:\u2014", "W:b", "S:.", "L"}},
        {u"a \u2014", {"W:a", "C:\u2014", "S:.", "L"}},
        {u"2020\u20132025", {"W:2020\u20132025", "S:.", "L"}},
        {u"a - b", {"W:a", "W:-", "W:b", "S:.", "L"}},
        // Apostrophes inside words stay.
        {u"don\u2019t", {"W:don\u2019t", "S:.", "L"}},
        {u"\u2018don't\u2019", {"O:\u2018", "W:don't", "C:\u2019", "S:.", "L"}},
        // A full stop before an ASCII closer stays in its word, as before.
        {u"\"ch\u00e0o.\"", {"O:\"", "W:ch\u00e0o.", "C:\"", "S:.", "L"}},
    };
    for (const SegmentCase &c : cases) EXPECT_EQ(segment(c.text).items, c.items) << "text: " << to_utf8(c.text);
}

// Text with combining marks is composed before it is cut into words.
TEST(Segmentation, DecomposedLinesAreComposedFirst) {
    const SegmentCase cases[] = {
        {u"To\u0302i co\u0301", {"W:T\u00f4i", "W:c\u00f3", "S:.", "L"}},
        {u"a\u0323\u0306 \u01a1\u0301", {"W:\u1eb7", "W:\u1edb", "S:.", "L"}},
        {u"\u201cho\u0300a\u201d\nxin", {"O:\u201c", "W:h\u00f2a", "C:\u201d", "S:.", "L", "W:xin", "S:.", "L"}},
    };
    for (const SegmentCase &c : cases) EXPECT_EQ(segment(c.text).items, c.items) << "text: " << to_utf8(c.text);
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
