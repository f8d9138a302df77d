// Hostile inputs and their defined outcome: text no page should hold, voice files that break
// their format, and unit streams full of noise. The engine must end every one of them with a
// result, never a crash, a hang or a read past a buffer (the sanitizer build runs these too).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "scheduler/items.h"
#include "scheduler/render.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_prosody.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

// The unit lookup traces every word on standard output; inputs of a million words would
// drown the test log, so the heavy cases send it to /dev/null while they run.
struct QuietStdout {
    int saved = -1;
    QuietStdout() {
        std::fflush(stdout);
        saved = dup(1);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            close(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, 1);
            close(saved);
        }
    }
};

bool is_silent(const unsigned char *data, int32_t bytes) {
    for (int32_t i = 0; i < bytes; i++)
        if (data[i] != 0) return false;
    return true;
}

struct Rendered {
    int32_t steps = 0;   // render steps that gave a chunk
    int32_t voiced = 0;  // chunks holding a unit's audio rather than only silence
    bool ended = false;  // the list ran out within the step bound
};

int32_t count_items() {
    int32_t count = 0;
    for (const UtteranceItem *item = item_list().head; item; item = item->next) count++;
    return count;
}

int32_t count_words() {
    int32_t count = 0;
    for (const UtteranceItem *item = item_list().head; item; item = item->next) count += item->kind == ItemKind::Word;
    return count;
}

// Renders what segmentation left, at most max_steps chunks; every chunk is checked against the
// buffer's capacity and the frame size. Every step consumes an item, so items + 1 steps always end.
Rendered render_items(int32_t max_steps) {
    static ChunkBuffer chunk;
    Rendered result;
    for (int32_t step = 0; step < max_steps; step++) {
        chunk.count = 0;
        render_next_item(chunk);
        EXPECT_GE(chunk.count, 0);
        EXPECT_LE(chunk.count, kChunkCapacity);
        EXPECT_EQ(chunk.count % 2, 0);
        if (chunk.count == 0) {
            result.ended = true;
            break;
        }
        result.steps++;
        if (!is_silent(chunk.data, chunk.count)) result.voiced++;
    }
    return result;
}

// Segments the whole text, then renders it to the end.
Rendered speak_directly(std::u16string text) {
    clear_items();
    segment_text(text.data());
    Rendered result = render_items(count_items() + 1);
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(current_item(), nullptr);
    return result;
}

struct HostileTextTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;

    void SetUp() override {
        options.unit_ms = 40;
        std::string path = build_test_voice(dir, {"xin", "cha`o", "ba", "hai"}, options);
        ASSERT_EQ(voice_select(path.c_str()), 0);
        settings_reset();
        ASSERT_TRUE(wait_until_quiet());
    }
    void TearDown() override {
        cancel_speech();
        EXPECT_TRUE(wait_until_quiet());
        capture_stop();
        clear_items();
        voice_release_current();
        settings_reset();
    }
};

int32_t voiced_chunks(const std::vector<CapturedChunk> &chunks) {
    int32_t voiced = 0;
    for (const CapturedChunk &c : chunks) voiced += !is_silent(c.data.data(), c.bytes);
    return voiced;
}

// An unpaired surrogate is a character with no reading and no unit: its word is silent and
// the words around it are spoken.
TEST_F(HostileTextTest, UnpairedSurrogatesAreSilentWords) {
    const struct {
        const char *what;
        std::u16string text;
        int32_t voiced;
    } cases[] = {
        {"lone high", u"\xD800", 0},
        {"lone low", u"\xDC00", 0},
        {"between words", u"xin \xD800 chào", 2},
        {"low before high", u"xin \xDC00\xD800 ba", 2},
        {"high at a word's end", u"xin\xDBFF hai", 1},
        {"high at the text's end", u"ba \xDBFF", 1},
        {"run of highs", u"\xD800\xD800\xD800\xD800 hai", 1},
        {"inside marks", u"(\xDFFF) \"\xD800\" hai.", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(speak_directly(c.text).voiced, c.voiced);
    }
}

// SpeakText copies up to the first U+0000: what follows it in the host's buffer is never read.
TEST_F(HostileTextTest, TextEndsAtTheFirstNul) {
    capture_start();
    const char16_t buffer[] = u"xin\0chào ba hai";
    speak_text(buffer, 1);
    ASSERT_TRUE(wait_until_quiet());
    std::vector<CapturedChunk> with_nul = captured_chunks();

    capture_start();
    speak_text(u"xin", 2);
    ASSERT_TRUE(wait_until_quiet());
    std::vector<CapturedChunk> alone = captured_chunks();
    ASSERT_EQ(with_nul.size(), alone.size());
    for (size_t i = 0; i < alone.size(); i++) EXPECT_EQ(with_nul[i].data, alone[i].data) << "chunk " << i;
    EXPECT_EQ(voiced_chunks(with_nul), 1);

    // A buffer that starts with U+0000 is empty: nothing is queued.
    const char16_t leading[] = u"\0xin";
    speak_text(leading, 3);
    EXPECT_EQ(last_index(), -1);
}

// Ten megabytes of text are segmented whole; speech starts with the first word and a Cancel from
// the first chunk stops it and frees everything.
TEST_F(HostileTextTest, TenMegabyteTextIsSpokenFromItsStartAndCancelled) {
    const std::u16string sentence = u"xin chào ba hai, ";
    std::u16string text;
    text.reserve(5u << 20);
    while (text.size() + sentence.size() <= (5u << 20)) text += sentence;  // 10 MB of UTF-16
    QuietStdout quiet;
    capture_start([](const CapturedChunk &) { cancel_speech(); });
    speak_text(text.c_str(), 10);
    ASSERT_TRUE(wait_until_quiet(std::chrono::seconds(120)));
    std::vector<CapturedChunk> chunks = captured_chunks();
    ASSERT_FALSE(chunks.empty());
    EXPECT_LE(chunks.size(), 2u);  // the chunk that cancelled, and at most one rendered before the Cancel
    EXPECT_FALSE(is_silent(chunks[0].data.data(), chunks[0].bytes));
    EXPECT_EQ(chunks[0].index_during_call, 10);
    EXPECT_EQ(item_list().head, nullptr);
}

// One token of a million code units: a single word that no reader turns into a million words,
// and rendering ends.
TEST_F(HostileTextTest, OneMegabyteTokenEnds) {
    const struct {
        const char *what;
        char16_t first, second;
    } cases[] = {
        {"letters", u'a', u'a'},
        {"digits", u'9', u'9'},
        {"letters and digits", u'a', u'1'},
        {"full stops", u'.', u'.'},
        {"Vietnamese letters", u'ệ', u'ư'},
    };
    QuietStdout quiet;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string token(1u << 20, c.first);
        for (size_t i = 1; i < token.size(); i += 2) token[i] = c.second;
        clear_items();
        segment_text(token.data());
        EXPECT_GE(count_words(), 1);
        EXPECT_LE(count_words(), 2048);  // a reading fills at most the normalized text buffer
        Rendered rendered = render_items(count_items() + 1);
        EXPECT_TRUE(rendered.ended);
    }
}

TEST_F(HostileTextTest, HundredThousandLineFeeds) {
    const std::u16string feeds(100000, u'\n');
    // Line feeds alone give no item, no chunk, and the request is retired.
    clear_items();
    std::u16string only = feeds;
    segment_text(only.data());
    EXPECT_EQ(item_list().head, nullptr);
    capture_start();
    speak_text(feeds.c_str(), 5);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_TRUE(captured_chunks().empty());

    // Around a word they are one separator on each side.
    std::u16string around = feeds + u"xin" + feeds;
    clear_items();
    segment_text(around.data());
    EXPECT_EQ(count_items(), 3);  // the word, the added full stop, the line end
    clear_items();

    // A word on each of 100,000 lines: three items a line, every word alone in its run.
    std::u16string lines;
    for (int i = 0; i < 100000; i++) lines += u"ba\n";
    QuietStdout quiet;
    clear_items();
    segment_text(lines.data());
    EXPECT_EQ(count_items(), 300000);
    int32_t alone = 0;
    for (const UtteranceItem *item = item_list().head; item; item = item->next) alone += item->position == Alone;
    EXPECT_EQ(alone, 100000);
    Rendered start = render_items(30);  // the start is spoken; the rest is cleared unspoken
    EXPECT_EQ(start.voiced, 10);
    clear_items();
}

// Every code point of the Basic Multilingual Plane once, in order (U+0000 ends a text, so it is
// left out), first as one text and then each as a token of its own.
TEST_F(HostileTextTest, EveryBmpCodePointOnce) {
    std::u16string in_order, tokens;
    for (char32_t c = 1; c <= 0xFFFF; c++) {
        in_order.push_back(static_cast<char16_t>(c));
        tokens.push_back(static_cast<char16_t>(c));
        tokens.push_back(u' ');
    }
    QuietStdout quiet;
    speak_directly(in_order);
    // Every code point but the four separators is a word of its own, read by the character reader.
    clear_items();
    segment_text(tokens.data());
    EXPECT_GE(count_words(), 0xFFFF - 4);
    Rendered each = render_items(count_items() + 1);
    EXPECT_TRUE(each.ended);
    EXPECT_GT(each.steps, 0);
}

// --- Voice files that break their format ---

// Builds voice files field by field and remembers where each field starts.
struct VoiceBytes {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<std::string, size_t>> fields;  // name and offset of each int16 field

    void mark(const std::string &name) { fields.emplace_back(name, bytes.size()); }
    void put16(int value) {
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    }
    void put_string(const std::string &name, const std::string &text) {
        mark(name);
        put16(static_cast<int>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    void put_unit(const std::string &label, const std::string &plain_name, const std::vector<uint8_t> &data) {
        put_string(label + " name", plain_name);
        mark(label + " size");
        put16(static_cast<int>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    // Magic, little-endian mark, header texts and values up to and including the syllable count.
    void put_header(int sample_rate, int channels, int syllable_count) {
        bytes.assign(kVoiceMagic, kVoiceMagic + kVoiceMagicLength);
        bytes.push_back(1);
        bytes.push_back(0);
        put_string("header_text_1", "speaker");
        put_string("header_text_2", "");
        mark("header_value");
        put16(7);
        put_string("header_text_3", "x");
        put_string("header_text_4", "");
        put_string("header_text_5", "");
        mark("sample_rate");
        put16(sample_rate);
        mark("channels");
        put16(channels);
        mark("syllable_count");
        put16(syllable_count);
    }
    size_t offset_of(const std::string &name) const {
        for (const auto &field : fields)
            if (field.first == name) return field.second;
        ADD_FAILURE() << "no field " << name;
        return 0;
    }
    void set16(const std::string &name, int value) {
        size_t at = offset_of(name);
        bytes[at] = static_cast<uint8_t>(value & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    }
};

struct HostileVoiceTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;

    void SetUp() override { options.unit_ms = 30; }
    void TearDown() override {
        clear_items();
        voice_release_current();
    }

    std::string write(const std::vector<uint8_t> &bytes, const std::string &name = "voice.dat") {
        std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Selecting the file as Init does: 0 with a voice current, or -1 with none.
    int select(const std::vector<uint8_t> &bytes) {
        voice_release_current();
        const int result = voice_select(write(bytes).c_str());
        EXPECT_EQ(result == 0, current_voice() != nullptr);
        return result;
    }

    // A valid voice of two syllables ("xin", "ba") with every field's place recorded.
    VoiceBytes two_syllable_voice() {
        VoiceBytes voice;
        voice.put_header(options.sample_rate, 1, 2);
        for (const char *syllable : {"xin", "ba"}) {
            for (int position = 0; position < 4; position++) {
                const std::string name = std::string(syllable) + "." + std::to_string(position);
                voice.put_unit(name, name, test_unit_bytes(name, options.unit_ms, options));
            }
        }
        return voice;
    }
};

TEST_F(HostileVoiceTest, TruncatedAtEveryRecordBoundaryIsRefused) {
    const VoiceBytes voice = two_syllable_voice();
    ASSERT_EQ(select(voice.bytes), 0);
    // Every byte of the magic and mark; at every field's start and inside its length, its text
    // or its audio; and one byte short of the whole file.
    std::vector<std::pair<std::string, size_t>> cuts;
    for (size_t length = 0; length <= 21; length++) cuts.emplace_back("magic and mark", length);
    for (size_t i = 0; i < voice.fields.size(); i++) {
        const size_t start = voice.fields[i].second;
        const size_t next = i + 1 < voice.fields.size() ? voice.fields[i + 1].second : voice.bytes.size();
        for (size_t length : {start, start + 1, start + 2, (start + 2 + next) / 2, next - 1})
            cuts.emplace_back(voice.fields[i].first, length);
    }
    for (const auto &cut : cuts) {
        std::vector<uint8_t> bytes(voice.bytes.begin(), voice.bytes.begin() + static_cast<long>(cut.second));
        EXPECT_EQ(select(bytes), -1) << "cut at " << cut.first << ", after " << cut.second << " of "
                                     << voice.bytes.size() << " bytes";
    }
    // Bytes after the last record are never read.
    std::vector<uint8_t> longer = voice.bytes;
    longer.insert(longer.end(), 100, 0xAB);
    EXPECT_EQ(select(longer), 0);
}

TEST_F(HostileVoiceTest, NegativeLengthsSizesAndCountsAreRefused) {
    const char *const fields[] = {"header_text_1", "header_text_3", "header_text_5", "sample_rate",
                                  "channels",      "syllable_count", "xin.0 name",    "xin.0 size",
                                  "ba.3 name",     "ba.3 size"};
    for (const char *field : fields) {
        for (int value : {-1, -32768}) {
            VoiceBytes voice = two_syllable_voice();
            voice.set16(field, value);
            EXPECT_EQ(select(voice.bytes), -1) << field << " = " << value;
        }
    }
    // The header value is a number, not a length: any int16 is kept.
    VoiceBytes voice = two_syllable_voice();
    voice.set16("header_value", -32768);
    ASSERT_EQ(select(voice.bytes), 0);
    EXPECT_EQ(current_voice()->header_value, -32768);
}

// The index holds 40,000 units: 10,000 syllables load, 10,001 are refused.
TEST_F(HostileVoiceTest, MoreThanTenThousandSyllablesAreRefused) {
    for (int syllables : {10000, 10001}) {
        VoiceBytes voice;
        voice.put_header(16000, 1, syllables);
        for (int s = 0; s < syllables; s++) {
            for (int position = 0; position < 4; position++) {
                const std::string name = "u" + std::to_string(s) + "." + std::to_string(position);
                voice.bytes.push_back(static_cast<uint8_t>(name.size()));
                voice.bytes.push_back(0);
                voice.bytes.insert(voice.bytes.end(), name.begin(), name.end());
                voice.put16(0);
            }
        }
        if (syllables == 10000) {
            ASSERT_EQ(select(voice.bytes), 0);
            EXPECT_EQ(current_voice()->unit_count, 40000);
            QuietStdout quiet;
            EXPECT_EQ(unit_exists("u9999.3"), 0);
        } else {
            EXPECT_EQ(select(voice.bytes), -1);
        }
    }
}

// A unit of 32,767 bytes is a valid record but larger than any unit the engine decodes: its word
// is skipped and the rest is spoken. A name of 32,767 bytes loads and is never found.
TEST_F(HostileVoiceTest, UnitsOf32767BytesAreSkipped) {
    VoiceBytes voice;
    voice.put_header(options.sample_rate, 1, 3);
    for (int position = 0; position < 4; position++) {
        const std::string name = "xin." + std::to_string(position);
        std::vector<uint8_t> data = test_unit_bytes(name, options.unit_ms, options);
        data.resize(32767, 0x5A);
        voice.put_unit(name, name, data);
        const std::string ba = "ba." + std::to_string(position);
        voice.put_unit(ba, ba, test_unit_bytes(ba, options.unit_ms, options));
        voice.put_unit("long " + std::to_string(position), std::string(32767, 'b'), {});
    }
    ASSERT_EQ(select(voice.bytes), 0);
    QuietStdout quiet;
    static unsigned char out[kUnitAudioLimit];
    EXPECT_EQ(synthesize_unit("xin.0", out, kUnitAudioLimit, 100, 100, 100), -1);
    EXPECT_EQ(speak_directly(u"xin ba xin").voiced, 1);
}

// Only a regular file is read as a voice: a FIFO (whose open would wait for a writer that never
// comes), a directory, a device that never ends and a missing file are refused at once, and the
// voice that was current goes on speaking.
TEST_F(HostileVoiceTest, VoicePathsThatNameNoRegularFileAreRefused) {
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char *what;
        std::string path;
    } cases[] = {
        {"FIFO", fifo},
        {"directory", dir.path},
        {"directory with a slash", dir.path + "/"},
        {"device", "/dev/zero"},
        {"missing file", dir.file("missing.dat")},
        {"empty path", ""},
    };
    ASSERT_EQ(select(two_syllable_voice().bytes), 0);
    const VoiceDatabase *kept = current_voice();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(voice_load(c.path.c_str()), nullptr);
        EXPECT_EQ(voice_select(c.path.c_str()), -1);
        EXPECT_EQ(current_voice(), kept);
    }
    QuietStdout quiet;
    EXPECT_EQ(speak_directly(u"xin ba").voiced, 2);
}

// A failed Init after a good one: the worker speaks on with the voice it had.
TEST_F(HostileVoiceTest, FailedSelectKeepsTheVoiceSpeaking) {
    ASSERT_EQ(select(two_syllable_voice().bytes), 0);
    EXPECT_EQ(voice_select(dir.file("missing.dat").c_str()), -1);
    QuietStdout quiet;
    capture_start();
    speak_text(u"xin ba, xin", 1);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(voiced_chunks(captured_chunks()), 3);
    capture_stop();
}

// The voice file replaced by a FIFO while speaking: the audio is read from the file opened at
// loading, so nothing waits for the FIFO and every word is spoken.
TEST_F(HostileVoiceTest, VoiceFileReplacedByAFifoWhileSpeaking) {
    const std::string path = write(two_syllable_voice().bytes);
    ASSERT_EQ(voice_select(path.c_str()), 0);
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    QuietStdout quiet;
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) {
            EXPECT_EQ(std::rename(fifo.c_str(), path.c_str()), 0);
        }
    });
    speak_text(u"xin ba xin, ba xin ba", 1);
    ASSERT_TRUE(wait_until_quiet());
    const std::vector<CapturedChunk> chunks = captured_chunks();
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_FALSE(is_silent(chunks[0].data.data(), chunks[0].bytes));
    EXPECT_EQ(voiced_chunks(chunks), 6);
    capture_stop();
}

// The header may declare any positive channel count, though units have one or two: words of such
// a voice are silent, and its pauses, whole frames of all those channels, still fit the chunk.
TEST_F(HostileVoiceTest, HugeChannelCountsKeepPausesInsideTheChunk) {
    for (int channels : {3, 29411, 32767}) {
        SCOPED_TRACE(channels);
        VoiceBytes voice = two_syllable_voice();
        voice.set16("channels", channels);
        ASSERT_EQ(select(voice.bytes), 0);
        QuietStdout quiet;
        for (int host_rate : {25, 50, 100}) {
            settings_set_rate(host_rate);
            EXPECT_EQ(speak_directly(u"xin, ba (xin)\nba xin.").voiced, 0);
        }
        settings_reset();
    }
}

// sonic divides by the pitch period of its lowest pitch, which is no sample at all below 65 Hz:
// a voice at such a rate (its units recorded at it) has silent words instead of ending the host.
TEST_F(HostileVoiceTest, SampleRatesTooLowForProsodyGiveSilentWords) {
    for (int sample_rate : {1, 20, 64, 65}) {
        SCOPED_TRACE(sample_rate);
        options.sample_rate = sample_rate;
        options.unit_ms = 2000;
        std::string path = build_test_voice(dir, {"xin", "ba"}, options, "low" + std::to_string(sample_rate));
        voice_release_current();
        ASSERT_EQ(voice_select(path.c_str()), 0);
        QuietStdout quiet;
        EXPECT_EQ(speak_directly(u"xin ba").voiced, sample_rate < 65 ? 0 : 2);
    }
    std::vector<int16_t> samples(4000, 1000);
    static unsigned char out[kPcmBufferBytes];
    for (int sample_rate : {1, 2, 64}) {
        EXPECT_EQ(apply_prosody(reinterpret_cast<const unsigned char *>(samples.data()), 8000, out, kPcmBufferBytes,
                                2.0f, 0.5f, 1.0f, 1.0f, 1, 0, sample_rate, 1),
                  -1)
            << sample_rate;
    }
}

// --- Unit streams with noise after a valid header ---

// The byte just past the Ogg page that starts at `at`.
size_t ogg_page_end(const std::vector<uint8_t> &bytes, size_t at) {
    const size_t segments = bytes.at(at + 26);
    size_t end = at + 27 + segments;
    for (size_t i = 0; i < segments; i++) end += bytes.at(at + 27 + i);
    return end;
}

// Runs a stream through decoding and prosody as the worker does, checking every result's bounds.
void decode_and_shape(const std::vector<uint8_t> &unit, int limit) {
    static unsigned char pcm[kPcmBufferBytes];
    static unsigned char out[kPcmBufferBytes];
    SpeexStreamSetup setup;
    const int count = static_cast<int>(unit.size());
    const int decoded = decode_unit(unit.data(), count, pcm, limit, 0, 0, &setup);
    ASSERT_GE(decoded, -1);
    ASSERT_LE(decoded, limit);
    ASSERT_EQ(decoded % 2, 0);
    if (decoded <= 0) return;
    const int written = apply_prosody(pcm, decoded, out, kPcmBufferBytes, 1.5f, 0.8f, 1.0f, 1.2f, 1, 0, 16000,
                                      setup.stream_channels);
    EXPECT_GE(written, 0);
    EXPECT_LE(written, kPcmBufferBytes);
}

struct NoisyUnitTest : testing::Test {
    TestVoiceOptions options;
    std::vector<uint8_t> unit = test_unit_bytes("xin.0", 200, options);
    size_t header_end = ogg_page_end(unit, 0);
    size_t comment_end = ogg_page_end(unit, header_end);
};

TEST_F(NoisyUnitTest, RandomBytesAfterTheHeaderPage) {
    std::mt19937 random(20240611);
    std::printf("seed 20240611\n");
    for (int trial = 0; trial < 300; trial++) {
        SCOPED_TRACE(trial);
        std::vector<uint8_t> noisy(unit.begin(), unit.begin() + static_cast<long>(trial % 2 ? comment_end : header_end));
        const size_t extra = random() % 6000;
        for (size_t i = 0; i < extra; i++) noisy.push_back(static_cast<uint8_t>(random()));
        decode_and_shape(noisy, trial % 3 ? kPcmBufferBytes : 2000);
    }
}

// Well-framed Ogg pages whose packets are noise: the Speex decoder itself reads random bits.
TEST_F(NoisyUnitTest, RandomPacketsInValidPages) {
    std::mt19937 random(7);
    std::printf("seed 7\n");
    for (int trial = 0; trial < 200; trial++) {
        SCOPED_TRACE(trial);
        std::vector<uint8_t> noisy(unit.begin(), unit.begin() + static_cast<long>(comment_end));
        ogg_stream_state stream;
        ogg_stream_init(&stream, 1);  // the serial number of the header's pages
        stream.pageno = 2;
        const int packets = 1 + static_cast<int>(random() % 20);
        std::vector<uint8_t> payload;
        for (int p = 0; p < packets; p++) {
            payload.resize(random() % 200);
            for (uint8_t &b : payload) b = static_cast<uint8_t>(random());
            ogg_packet packet{};
            packet.packet = payload.data();
            packet.bytes = static_cast<long>(payload.size());
            packet.e_o_s = p == packets - 1;
            packet.granulepos = static_cast<ogg_int64_t>(random() % 100000) - 1000;
            packet.packetno = 2 + p;
            ogg_stream_packetin(&stream, &packet);
            ogg_page page;
            while (ogg_stream_pageout(&stream, &page) || (packet.e_o_s && ogg_stream_flush(&stream, &page))) {
                noisy.insert(noisy.end(), page.header, page.header + page.header_len);
                noisy.insert(noisy.end(), page.body, page.body + page.body_len);
            }
        }
        ogg_stream_clear(&stream);
        decode_and_shape(noisy, kPcmBufferBytes);
    }
}

// Through the voice: a unit of noise after its header makes its word silent or short, and the
// other words are spoken.
TEST_F(HostileVoiceTest, NoisyUnitInAVoiceLeavesTheOtherWords) {
    std::mt19937 random(99);
    std::printf("seed 99\n");
    VoiceBytes voice;
    voice.put_header(options.sample_rate, 1, 2);
    for (int position = 0; position < 4; position++) {
        const std::string name = "xin." + std::to_string(position);
        std::vector<uint8_t> data = test_unit_bytes(name, options.unit_ms, options);
        data.resize(ogg_page_end(data, 0));
        for (int i = 0; i < 3000; i++) data.push_back(static_cast<uint8_t>(random()));
        voice.put_unit(name, name, data);
        const std::string ba = "ba." + std::to_string(position);
        voice.put_unit(ba, ba, test_unit_bytes(ba, options.unit_ms, options));
    }
    ASSERT_EQ(select(voice.bytes), 0);
    QuietStdout quiet;
    const Rendered rendered = speak_directly(u"ba xin ba xin ba");
    EXPECT_GE(rendered.voiced, 3);
}

}  // namespace
