// What the hosts share: voice folders and names, and UTF-8 input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "tools/utf8_text.h"
#include "tools/voice_catalog.h"

namespace {

TEST(VoiceCatalog, VoicesAreNamedByFileAndAnEarlierFolderWins) {
    ScratchDir dir;
    for (const char *folder : {"first", "second"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0);
    for (const char *file : {"first/vi-south.voice", "first/vi-default.voice", "first/notes.txt", "second/vi-default.voice",
                             "second/vi-central.voice", "second/.voice"})
        std::ofstream(dir.file(file)) << "x";
    ASSERT_EQ(mkdir(dir.file("first/folder.voice").c_str(), 0755), 0);

    const std::vector<VoiceFileEntry> voices = find_voice_files({dir.file("first"), dir.file("missing"), dir.file("second")});
    std::vector<std::string> names, paths;
    for (const VoiceFileEntry &voice : voices) names.push_back(voice.name), paths.push_back(voice.path);
    EXPECT_EQ(names, (std::vector<std::string>{"vi-central", "vi-default", "vi-south"}));
    EXPECT_EQ(voice_file_path(voices, "vi-default"), dir.file("first/vi-default.voice"));
    EXPECT_EQ(voice_file_path(voices, "vi-central"), dir.file("second/vi-central.voice"));
    EXPECT_EQ(voice_file_path(voices, "vi-north"), "");
    EXPECT_TRUE(find_voice_files({}).empty());
}

TEST(Utf8Text, RefusedOrReplaced) {
    struct Case {
        std::string in;
        size_t bad_offset;          // npos: valid
        std::u16string replaced;
    };
    const size_t valid = std::string::npos;
    const Case cases[] = {
        {"Xin chào", valid, u"Xin chào"},
        {"\xEF\xBB\xBFvi\xE1\xBB\x87t", valid, u"việt"},
        {"\xF0\x9F\x98\x80", valid, u"\U0001F600"},
        {"a\xC3", 1, u"a\uFFFD"},                 // truncated
        {"\xC0\xAF!", 0, u"\uFFFD\uFFFD!"},       // overlong
        {"\xED\xA0\x80x", 0, u"\uFFFD\uFFFD\uFFFDx"},  // a surrogate
        {"a\xFF" "b", 1, u"a\uFFFDb"},
        {std::string("a\0b", 3), 1, u"ab"},       // NUL is dropped
    };
    for (const Case &c : cases) {
        std::u16string out;
        size_t bad = 0;
        EXPECT_EQ(utf8_to_utf16(c.in, &out, &bad), c.bad_offset == valid) << c.in;
        if (c.bad_offset != valid) {
            EXPECT_EQ(bad, c.bad_offset) << c.in;
        }
        EXPECT_TRUE(utf8_to_utf16(c.in, &out, &bad, Utf8Errors::Replace)) << c.in;
        EXPECT_EQ(out, c.replaced) << c.in;
    }
}

}  // namespace
