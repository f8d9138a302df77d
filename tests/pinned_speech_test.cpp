// The speech of a handful of texts, pinned: every chunk the worker hands over, hashed together
// with the chunk sizes. The figures were taken before the worker read requests as it speaks
// them; any change to scheduling that alters a byte, a chunk boundary or the order shows here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

// FNV-1a over the chunk sizes and bytes, in order.
uint64_t speech_hash(const std::vector<CapturedChunk> &chunks) {
    uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](unsigned char byte) { hash = (hash ^ byte) * 1099511628211ull; };
    for (const CapturedChunk &chunk : chunks) {
        for (int shift = 0; shift < 32; shift += 8) add(static_cast<unsigned char>(chunk.bytes >> shift));
        for (unsigned char byte : chunk.data) add(byte);
    }
    return hash;
}

struct PinnedCase {
    const char *what;
    std::u16string text;
    int host_rate, pitch, volume;
    uint64_t hash;
    size_t chunks;
};

struct PinnedSpeechTest : testing::Test {
    ScratchDir dir;

    void TearDown() override {
        capture_stop();
        settings_reset();
        voice_release_current();
    }

    void check(const std::vector<PinnedCase> &cases) {
        for (const PinnedCase &c : cases) {
            SCOPED_TRACE(c.what);
            settings_set_rate(c.host_rate);
            synth_settings().pitch.store(c.pitch);
            synth_settings().volume.store(c.volume);
            capture_start();
            testing::internal::CaptureStdout();
            speak_text(c.text.c_str(), 1);
            const bool quiet = wait_until_quiet();
            testing::internal::GetCapturedStdout();
            ASSERT_TRUE(quiet);
            const std::vector<CapturedChunk> chunks = captured_chunks();
            const uint64_t hash = speech_hash(chunks);
            EXPECT_EQ(chunks.size(), c.chunks);
            EXPECT_EQ(hash, c.hash) << "0x" << std::hex << hash;
        }
    }
};

const std::vector<std::string> kSyllables = {
    "xin", "cha`o", "ca'c", "ba.n", "ba", "hai", "mo).t", "tra(m", "mu(o(i", "tha`nh", "pho)'", "ho)`",
    "chi'", "minh", "tha('t", "bo)'n", "la(m", "pha)?y", "sa'u", "nghi`n", "kho)ng", "vie).t", "na(m",
};

TEST_F(PinnedSpeechTest, MonoVoice) {
    TestVoiceOptions options;
    options.unit_ms = 120;
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables, options).c_str()), 0);
    check({
        {"greeting", u"Xin chào, các bạn.", 50, 100, 100, 0x7e1b761e0099873eull, 7},
        {"two lines", u"xin chào các bạn\nba hai (một)", 50, 100, 100, 0x6178a749ab5675b5ull, 13},
        {"numbers", u"123 ba, 45,6 và 2024.", 50, 100, 100, 0x1c429fd416032bf0ull, 17},
        {"abbreviation", u"TP.HCM xin chào! Việt Nam", 50, 100, 100, 0x83f2b39bb505f177ull, 11},
        {"unknown words and stop finals", u"thắt qwerty bạn; (xin) zz\n\n\nthắt", 50, 100, 100, 0xac82972fba06477bull, 11},
        {"slowest", u"Xin chào, các bạn.\nthắt 45", 25, 100, 100, 0x5d7a81895b09ceaeull, 12},
        {"fastest", u"Xin chào, các bạn.\nthắt 45", 100, 100, 100, 0x7f0ceecae1eff9bcull, 12},
        {"high pitch", u"xin chào các bạn, 123", 50, 150, 100, 0x7bedb6bed35356b7ull, 11},
        {"low pitch and volume", u"xin chào các bạn, 123", 37, 60, 50, 0xdac2a5602cf20d42ull, 11},
    });
}

TEST_F(PinnedSpeechTest, StereoVoice) {
    TestVoiceOptions options;
    options.channels = 2;
    options.sample_rate = 22050;
    options.unit_ms = 90;
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables, options).c_str()), 0);
    check({
        {"stereo greeting", u"Xin chào, các bạn.\nthắt 2024", 50, 100, 100, 0xd356a9af5ea43940ull, 15},
        {"stereo slow", u"Xin chào, các bạn.\nthắt 2024", 30, 120, 80, 0xb79fb496eea54ee3ull, 15},
    });
}

}  // namespace
