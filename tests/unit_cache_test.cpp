// The decoded-unit cache: what a kept unit gives is what decoding it again gives, at every
// setting and across evictions, with the same trace lines and messages; the cache keeps to its
// budget, starts empty with every voice, and stays sound while Init replaces the voice under
// speech and while the voice file changes on disk.
#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "voice/diagnostics.h"
#include "voice/unit_cache.h"
#include "voice/unit_lookup.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

#include "support/scratch_dir.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::vector<std::string> kSyllables = {"xin", "cha`o", "ca'c", "ba.n", "hai"};

// Units in an order that repeats some soon and some late.
const std::vector<std::string> kSpoken = {"xin.0", "cha`o.1", "xin.0", "ba.n.2", "ca'c.3", "xin.0", "cha`o.1",
                                          "hai.2", "ba.n.2", "xin.3", "cha`o.1", "xin.0", "hai.2", "ca'c.3"};

struct Spoken {
    int result;
    std::vector<unsigned char> pcm;
    std::string out, err;  // the trace lines and the decoder's messages
    bool operator==(const Spoken &o) const { return result == o.result && pcm == o.pcm && out == o.out && err == o.err; }
};

struct Prosody {
    int rate, pitch, volume, limit;
};

Spoken speak_unit(const std::string &name, const Prosody &p) {
    std::vector<unsigned char> dest(kPcmBufferBytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int result = synthesize_unit(name.c_str(), dest.data(), p.limit, p.rate, p.pitch, p.volume);
    Spoken spoken{result, {}, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    if (result > 0) spoken.pcm.assign(dest.begin(), dest.begin() + result);
    return spoken;
}

struct UnitCacheTest : testing::Test {
    ScratchDir dir;
    void SetUp() override { reset_unit_cache_counts(); }
    void TearDown() override {
        voice_release_current();
        set_unit_cache_budget(kDefaultUnitCacheBytes);
        reset_unit_cache_counts();
        set_diagnostics_enabled(true);
    }
    UnitCacheUse use() { return unit_cache_use(current_voice()->cache); }
};

TEST_F(UnitCacheTest, KeptUnitsSoundAsFreshlyDecodedOnesAtEverySetting) {
    const Prosody settings[] = {
        {100, 100, 100, kPcmBufferBytes}, {200, 100, 100, kPcmBufferBytes}, {50, 100, 100, kPcmBufferBytes},
        {100, 150, 100, kPcmBufferBytes}, {100, 30, 100, kPcmBufferBytes},  {100, 100, 40, kPcmBufferBytes},
        {130, 80, 250, kPcmBufferBytes},  {100, 100, 100, 5001},            {50, 100, 100, 9000},
    };
    for (const TestVoiceOptions &options : {TestVoiceOptions{22050, 1}, TestVoiceOptions{16000, 2}}) {
        SCOPED_TRACE(testing::Message() << options.sample_rate << " Hz, " << options.channels << " channels");
        const std::string path = build_test_voice(dir, kSyllables, options, "voice" + std::to_string(options.channels));
        const int unit_bytes = test_unit_frames(options.unit_ms, options) * 2 * options.channels;
        const struct {
            const char *what;
            int64_t budget;
        } budgets[] = {{"room for all", kDefaultUnitCacheBytes}, {"room for two", unit_bytes * 5 / 2}};
        for (const Prosody &p : settings) {
            SCOPED_TRACE(testing::Message() << "rate " << p.rate << " pitch " << p.pitch << " volume " << p.volume
                                            << " limit " << p.limit);
            // The reference: every unit decoded afresh, keeping none.
            set_unit_cache_budget(0);
            reset_unit_cache_counts();
            ASSERT_EQ(voice_select(path.c_str()), 0);
            std::vector<Spoken> fresh;
            for (const std::string &name : kSpoken) fresh.push_back(speak_unit(name, p));
            voice_release_current();
            ASSERT_GT(fresh[0].result, 0);
            ASSERT_EQ(unit_cache_hits(), 0u);

            for (const auto &budget : budgets) {
                SCOPED_TRACE(budget.what);
                set_unit_cache_budget(budget.budget);
                reset_unit_cache_counts();
                ASSERT_EQ(voice_select(path.c_str()), 0);
                for (size_t i = 0; i < kSpoken.size(); i++) {
                    EXPECT_TRUE(speak_unit(kSpoken[i], p) == fresh[i]) << kSpoken[i] << ", the " << i << "th unit";
                    EXPECT_LE(use().bytes, budget.budget);
                }
                EXPECT_GT(unit_cache_hits(), 0u);
                EXPECT_EQ(unit_cache_hits() + unit_cache_misses(), kSpoken.size());
                if (budget.budget < kDefaultUnitCacheBytes) {
                    EXPECT_LE(use().units, 2);
                }
                voice_release_current();
            }
        }
    }
}

// A unit's audio after prosody, kept for the settings last used with it: spoken again with the
// same settings, with others, through either way of shaping, and with limits that cut it, it
// gives what shaping it afresh gives, trace lines and messages included.
TEST_F(UnitCacheTest, KeptShapesSoundAsFreshlyShapedOnes) {
    struct Call {
        const char *name;
        bool at_speed;  // synthesize_unit_at_speed with speed in millionths, or synthesize_unit at rate
        int64_t speed;
        int pitch, volume, limit;
    };
    constexpr int kRoom = 4 * kPcmBufferBytes + 4;
    const std::vector<Call> calls = {
        {"xin.0", false, 200, 100, 100, kRoom},       {"xin.0", false, 200, 100, 100, kRoom},
        {"xin.0", false, 200, 100, 100, 3001},        {"xin.0", false, 200, 100, 100, kRoom},
        {"cha`o.1", false, 150, 80, 250, kRoom},      {"cha`o.1", false, 150, 80, 250, kRoom},
        {"cha`o.1", false, 150, 81, 250, kRoom},      {"cha`o.1", false, 150, 80, 250, kRoom},
        {"xin.0", true, 2000000, 100, 100, kRoom},    {"xin.0", true, 2000000, 100, 100, kRoom},
        {"xin.0", false, 200, 100, 100, kRoom},       {"xin.0", true, 3500000, 130, 60, kRoom},
        {"xin.0", true, 3500000, 130, 60, 1000},      {"xin.0", true, 3500000, 130, 60, kRoom},
        {"ba.n.2", true, 500000, 100, 100, kRoom},    {"ba.n.2", true, 500000, 100, 100, kRoom},
        {"ba.n.2", true, 250000, 30, 400, kRoom},     {"ba.n.2", true, 250000, 30, 400, 20000},
        {"ba.n.2", true, 250000, 30, 400, kRoom},     {"hai.3", true, 1000000, 100, 100, kRoom},
        {"hai.3", true, 1000000, 100, 100, kRoom},    {"hai.3", true, 1000000, 100, 90, kRoom},
        {"hai.3", true, 1000000, 100, 90, kRoom},     {"hai.3", false, 50, 100, 100, kRoom},
        {"hai.3", false, 50, 100, 100, kRoom},        {"hai.3", false, 100, 100, 100, kRoom},
        {"hai.3", true, 9000000, 500, 1000, kRoom},   {"hai.3", true, 4000000, 400, 400, kRoom},
        {"xin.0", true, 3500000, 130, 60, kRoom},     {"ca'c.1", false, 200, 100, 100, kRoom},
        {"ca'c.1", false, 200, 100, 100, kRoom},      {"xin.0", false, 200, 100, 100, kRoom},
    };
    auto speak = [](const Call &c) {
        std::vector<unsigned char> dest(kRoom);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int result = c.at_speed ? synthesize_unit_at_speed(c.name, dest.data(), c.limit, c.speed, c.pitch, c.volume)
                                      : synthesize_unit(c.name, dest.data(), c.limit, static_cast<int>(c.speed), c.pitch,
                                                        c.volume);
        Spoken spoken{result, {}, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
        if (result > 0) spoken.pcm.assign(dest.begin(), dest.begin() + result);
        return spoken;
    };
    for (const TestVoiceOptions &options : {TestVoiceOptions{22050, 1}, TestVoiceOptions{16000, 2}}) {
        SCOPED_TRACE(testing::Message() << options.sample_rate << " Hz, " << options.channels << " channels");
        const std::string path = build_test_voice(dir, kSyllables, options, "voice" + std::to_string(options.channels));
        set_unit_cache_budget(0);
        ASSERT_EQ(voice_select(path.c_str()), 0);
        std::vector<Spoken> fresh;
        for (const Call &c : calls) fresh.push_back(speak(c));
        voice_release_current();

        const int unit_bytes = test_unit_frames(options.unit_ms, options) * 2 * options.channels;
        for (const int64_t budget : {kDefaultUnitCacheBytes, int64_t{unit_bytes} * 5 / 2, int64_t{unit_bytes} * 9 / 2}) {
            SCOPED_TRACE(testing::Message() << "budget " << budget);
            set_unit_cache_budget(budget);
            reset_unit_cache_counts();
            ASSERT_EQ(voice_select(path.c_str()), 0);
            for (size_t i = 0; i < calls.size(); i++) {
                EXPECT_TRUE(speak(calls[i]) == fresh[i]) << calls[i].name << ", call " << i;
                EXPECT_LE(use().bytes, budget);
            }
            // The counts are those of the decoded units looked up, one each call.
            EXPECT_EQ(unit_cache_hits() + unit_cache_misses(), calls.size());
            voice_release_current();
        }
    }
}

// Audio after prosody is kept beside the decoded units while there is room, never in their place.
TEST_F(UnitCacheTest, ShapesAreKeptInTheRoomTheUnitsLeave) {
    const std::string path = build_test_voice(dir, kSyllables);
    ASSERT_EQ(voice_select(path.c_str()), 0);
    set_diagnostics_enabled(false);
    std::vector<unsigned char> dest(4 * kPcmBufferBytes);
    ASSERT_GT(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 100, 100, 100), 0);
    const UnitCacheUse decoded_only = use();
    ASSERT_EQ(decoded_only.units, 1);
    // Normal rate, pitch and volume are a copy already: nothing more is kept.
    ASSERT_GT(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 100, 100, 100), 0);
    EXPECT_EQ(use().bytes, decoded_only.bytes);
    const int fast = synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 200, 100, 100);
    ASSERT_GT(fast, 0);
    EXPECT_GT(use().bytes, decoded_only.bytes + fast);
    EXPECT_EQ(use().units, 1);
    const int64_t with_shape = use().bytes;
    // Other settings take the place of the first.
    const int slow = synthesize_unit("xin.0", dest.data(), 4 * kPcmBufferBytes, 50, 100, 100);
    ASSERT_GT(slow, fast);
    EXPECT_EQ(use().bytes, with_shape - fast + slow);

    EXPECT_EQ(unit_cache_hits(), 3u);

    // With room for the decoded unit alone, the unit is kept and no shape.
    set_unit_cache_budget(decoded_only.bytes + 100);
    ASSERT_GT(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 200, 100, 100), 0);
    ASSERT_GT(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 200, 100, 100), 0);
    EXPECT_EQ(use().units, 1);
    EXPECT_EQ(use().bytes, decoded_only.bytes);

    // Room for two units and one shape: the unit spoken last takes the shape of the other, never
    // the other unit (units of one length, shapes of one length).
    voice_release_current();
    set_unit_cache_budget(decoded_only.bytes + with_shape + 100);
    ASSERT_EQ(voice_select(path.c_str()), 0);
    reset_unit_cache_counts();
    const struct {
        const char *name;
        int units;
    } spoken[] = {{"xin.0", 1}, {"hai.1", 2}, {"xin.0", 2}};
    for (const auto &unit : spoken) {
        ASSERT_GT(synthesize_unit(unit.name, dest.data(), kPcmBufferBytes, 200, 100, 100), 0);
        EXPECT_EQ(use().units, unit.units) << unit.name;
        EXPECT_EQ(use().bytes, (unit.units - 1) * decoded_only.bytes + with_shape) << unit.name;
    }
    EXPECT_EQ(unit_cache_hits(), 1u);

    // Another voice starts with nothing kept, shapes included.
    TestVoiceOptions longer;
    longer.unit_ms = 250;
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables, longer, "other.voice").c_str()), 0);
    EXPECT_EQ(use().units, 0);
    EXPECT_EQ(use().bytes, 0);
    const int other = synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 200, 100, 100);
    EXPECT_GT(other, fast);
}

// Requests spoken with the cache and without it, at settings that shape every unit in each way:
// the same chunks, trace lines and messages, the second time through as the first.
TEST_F(UnitCacheTest, SpeechIsTheSameWithAndWithoutTheCache) {
    struct Case {
        const char *what;
        int host_rate, pitch, volume, profile, speed, request_rate;
    };
    const Case cases[] = {
        {"classic, normal", 50, 100, 100, kProfileClassic, 100, 100},
        {"classic, host rate 100", 100, 100, 100, kProfileClassic, 100, 100},
        {"classic, host rate 75, pitch and volume", 75, 120, 70, kProfileClassic, 100, 100},
        {"classic, slowest, low pitch", 25, 30, 100, kProfileClassic, 100, 100},
        {"classic, request rate 150", 50, 100, 100, kProfileClassic, 100, 150},
        {"fluent, SPEED 200", 50, 100, 100, kProfileFluent, 200, 100},
        {"fluent, SPEED 400, host rate 100", 100, 100, 100, kProfileFluent, 400, 100},
        {"fluent, SPEED 150, host rate 30, pitch 35, volume 300", 30, 35, 300, kProfileFluent, 150, 100},
        {"fluent, SPEED 50", 50, 100, 100, kProfileFluent, 50, 100},
    };
    const std::string path = build_test_voice(dir, kSyllables);
    const std::u16string text = u"Xin chào các bạn, xin chào các bạn hai. Hai bạn xin chào\ncác bạn xin chào.";
    struct Heard {
        std::vector<std::vector<unsigned char>> chunks;
        std::string out, err;
        bool operator==(const Heard &o) const { return chunks == o.chunks && out == o.out && err == o.err; }
    };
    auto set_up = [&](const Case &c, int64_t budget) {
        ASSERT_EQ(voice_select(path.c_str()), 0);
        settings_set_rate(c.host_rate);
        synth_settings().pitch.store(c.pitch);
        synth_settings().volume.store(c.volume);
        set_engine_parameter(kParamProfile, c.profile);
        set_engine_parameter(kParamSpeed, c.speed);
        set_engine_parameter(kParamRequestRate, c.request_rate);
        set_unit_cache_budget(budget);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Heard heard[2][2];  // without and with the cache; first and second time
        for (int cached = 0; cached < 2; cached++) {
            set_up(c, cached ? kDefaultUnitCacheBytes : 0);
            for (int round = 0; round < 2; round++) {
                capture_start();
                testing::internal::CaptureStdout();
                testing::internal::CaptureStderr();
                speak_text(text.c_str(), round);
                const bool quiet = wait_until_quiet();
                heard[cached][round].out = testing::internal::GetCapturedStdout();
                heard[cached][round].err = testing::internal::GetCapturedStderr();
                ASSERT_TRUE(quiet);
                for (const CapturedChunk &chunk : captured_chunks()) heard[cached][round].chunks.push_back(chunk.data);
                capture_stop();
            }
            EXPECT_TRUE(end_speech_test());
        }
        ASSERT_FALSE(heard[0][0].chunks.empty());
        EXPECT_NE(heard[0][0].out.find("cst_find_word"), std::string::npos);
        for (int round = 0; round < 2; round++) {
            EXPECT_TRUE(heard[1][round] == heard[0][round]) << "round " << round;
        }
        EXPECT_TRUE(heard[0][1] == heard[0][0]);
    }
}

TEST_F(UnitCacheTest, DecodedUnitGivesTheUnitBeforeProsody) {
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables).c_str()), 0);
    set_diagnostics_enabled(false);
    std::vector<unsigned char> spoken(kPcmBufferBytes);
    const int spoken_bytes = synthesize_unit("hai.1", spoken.data(), kPcmBufferBytes, 100, 100, 100);
    for (int round = 0; round < 2; round++) {  // decoded, then kept
        DecodedUnit unit;
        const int bytes = decoded_unit("hai.1", &unit);
        ASSERT_EQ(bytes, spoken_bytes);
        ASSERT_EQ(unit.bytes, bytes);
        // Faded once where the spoken unit is faded twice: the same apart from the first and last frames.
        const int fade = 16000 / 800;
        EXPECT_EQ(std::memcmp(unit.pcm + 2 * fade, spoken.data() + 2 * fade, static_cast<size_t>(bytes - 4 * fade)), 0);
        EXPECT_EQ(unit.pcm[0] | unit.pcm[1], 0);
    }
    DecodedUnit none;
    EXPECT_EQ(decoded_unit("hai.4", &none), -1);
    EXPECT_EQ(decoded_unit(nullptr, &none), -1);
    voice_release_current();
    EXPECT_EQ(decoded_unit("hai.1", &none), -1);
}

// A kept unit writes the decoder's messages again, even when they were held back by diagnostics
// being off as it was decoded; with diagnostics off nothing is written at all.
TEST_F(UnitCacheTest, KeptUnitsWriteTheDecodersMessagesAgain) {
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables).c_str()), 0);
    const Prosody normal{100, 100, 100, kPcmBufferBytes};
    const Spoken decoded = speak_unit("xin.1", normal);
    EXPECT_EQ(decoded.out, "cst_find_word xin.1\n");
    EXPECT_EQ(decoded.err, "Decoding 16000 Hz audio using wideband (sub-band CELP) mode (mono)\nVelorin unit encoder\n");
    EXPECT_TRUE(speak_unit("xin.1", normal) == decoded);
    EXPECT_EQ(unit_cache_hits(), 1u);

    set_diagnostics_enabled(false);
    const Spoken quiet = speak_unit("ba.n.2", normal);
    EXPECT_EQ(quiet.out + quiet.err, "");
    set_diagnostics_enabled(true);
    const Spoken kept = speak_unit("ba.n.2", normal);
    EXPECT_EQ(unit_cache_hits(), 2u);
    EXPECT_EQ(kept.out, "cst_find_word ba.n.2\n");
    EXPECT_EQ(kept.err, decoded.err);
    EXPECT_EQ(kept.pcm, quiet.pcm);
}

TEST_F(UnitCacheTest, EveryVoiceStartsWithAnEmptyCache) {
    TestVoiceOptions short_units;
    short_units.unit_ms = 100;
    TestVoiceOptions long_units;
    long_units.unit_ms = 250;
    const std::string short_path = build_test_voice(dir, kSyllables, short_units, "short.voice");
    const std::string long_path = build_test_voice(dir, kSyllables, long_units, "long.voice");
    set_diagnostics_enabled(false);
    const Prosody normal{100, 100, 100, kPcmBufferBytes};
    ASSERT_EQ(voice_select(short_path.c_str()), 0);
    EXPECT_EQ(speak_unit("xin.0", normal).result, 3200);
    EXPECT_EQ(speak_unit("xin.0", normal).result, 3200);
    EXPECT_EQ(use().units, 1);
    ASSERT_EQ(voice_select(long_path.c_str()), 0);  // same unit names, other recordings
    EXPECT_EQ(use().units, 0);
    EXPECT_EQ(speak_unit("xin.0", normal).result, 8000);
    EXPECT_EQ(unit_cache_hits(), 1u);
    EXPECT_EQ(unit_cache_misses(), 2u);
    // The same file loaded again under another spelling is another voice, with its own cache.
    ASSERT_EQ(voice_select((dir.path + "/./long.voice").c_str()), 0);
    EXPECT_EQ(use().units, 0);
}

TEST_F(UnitCacheTest, TheCountsAreEngineParameters) {
    ASSERT_EQ(voice_select(build_test_voice(dir, kSyllables).c_str()), 0);
    set_diagnostics_enabled(false);
    const Prosody normal{100, 100, 100, kPcmBufferBytes};
    for (const char *name : {"xin.0", "xin.0", "hai.1", "xin.0"}) speak_unit(name, normal);
    EXPECT_EQ(engine_parameter(kParamUnitCacheHits), 2);
    EXPECT_EQ(engine_parameter(kParamUnitCacheMisses), 2);
    EXPECT_EQ(set_engine_parameter(kParamUnitCacheMisses, 12), 0);
    EXPECT_EQ(engine_parameter(kParamUnitCacheHits), 0);
    EXPECT_EQ(engine_parameter(kParamUnitCacheMisses), 0);

    // The budget in KB; 0 keeps nothing, and lowering it lets go of what no longer fits.
    EXPECT_EQ(set_engine_parameter(kParamUnitCache, 0), 0);
    EXPECT_EQ(unit_cache_budget(), 0);
    speak_unit("xin.0", normal);
    EXPECT_EQ(use().units, 0);
    EXPECT_EQ(engine_parameter(kParamUnitCacheHits), 0);
    EXPECT_EQ(set_engine_parameter(kParamUnitCache, 64), 0);
    EXPECT_EQ(unit_cache_budget(), 64 * 1024);
    reset_engine_parameters();
    EXPECT_EQ(unit_cache_budget(), kDefaultUnitCacheBytes);
    set_diagnostics_enabled(false);
}

// The cache on its own: least recently used out first, and a budget kept.
TEST(UnitCache, KeepsTheMostRecentlyUsedWithinItsBudget) {
    UnitCache *cache = unit_cache_create(8);
    ASSERT_NE(cache, nullptr);
    const std::vector<unsigned char> pcm(1000, 7);
    const char messages[] = "m\n";
    CachedUnit unit;
    auto add = [&](int position) {
        return unit_cache_add(cache, position, pcm.data(), static_cast<int>(pcm.size()), messages, 2, &unit);
    };
    auto held = [&] {
        std::string positions;
        for (int p = 0; p < 8; p++)
            if (unit_cache_holds(cache, p)) positions += std::to_string(p);
        return positions;
    };
    ASSERT_TRUE(add(0));
    const int64_t one = unit_cache_use(cache).bytes;
    EXPECT_GT(one, 1002);
    set_unit_cache_budget(3 * one);
    ASSERT_TRUE(add(1));
    ASSERT_TRUE(add(2));
    EXPECT_EQ(held(), "012");
    EXPECT_TRUE(unit_cache_find(cache, 0, &unit));  // 0 is now the most recent, 1 the least
    EXPECT_EQ(unit.pcm_bytes, 1000);
    EXPECT_EQ(std::string(unit.messages, static_cast<size_t>(unit.message_bytes)), "m\n");
    ASSERT_TRUE(add(3));
    EXPECT_EQ(held(), "023");
    EXPECT_TRUE(add(3));  // kept already
    EXPECT_EQ(held(), "023");
    EXPECT_FALSE(unit_cache_find(cache, 5, &unit));
    EXPECT_FALSE(unit_cache_find(cache, -1, &unit));
    EXPECT_FALSE(unit_cache_find(cache, 8, &unit));

    set_unit_cache_budget(5 * one);
    EXPECT_TRUE(add(4));
    EXPECT_TRUE(add(5));
    EXPECT_EQ(held(), "02345");
    EXPECT_TRUE(unit_cache_find(cache, 2, &unit));
    EXPECT_TRUE(add(6));
    EXPECT_EQ(held(), "23456");

    set_unit_cache_budget(2 * one);
    EXPECT_EQ(held(), "23456");  // until the cache is next used
    unit_cache_trim(cache);
    EXPECT_EQ(held(), "26");
    EXPECT_EQ(unit_cache_use(cache).units, 2);
    EXPECT_EQ(unit_cache_use(cache).bytes, 2 * one);
    set_unit_cache_budget(one - 1);
    EXPECT_FALSE(add(7));  // larger than the budget, and nothing else is left either
    EXPECT_EQ(held(), "");
    EXPECT_FALSE(unit_cache_add(cache, 7, pcm.data(), 0, nullptr, 0, &unit));
    set_unit_cache_budget(kDefaultUnitCacheBytes);
    unit_cache_free(cache);
    unit_cache_free(nullptr);
    EXPECT_FALSE(unit_cache_find(nullptr, 0, &unit));
    reset_unit_cache_counts();
}

// What speech does when the voice file changes after Init: a unit spoken before is spoken as
// before; one not spoken yet is read from the file as loaded, or fails alone when the file no
// longer holds it as it was (the word is left out).
TEST_F(UnitCacheTest, SpeechAfterTheFileChanged) {
    const Prosody normal{100, 100, 100, kPcmBufferBytes};
    const struct {
        const char *what;
        void (*change)(const std::string &path, const std::string &other, int32_t last_offset);
        bool unspoken_as_loaded;
    } cases[] = {
        {"deleted", [](const std::string &path, const std::string &, int32_t) { std::filesystem::remove(path); }, true},
        {"cut short",
         [](const std::string &path, const std::string &, int32_t) {
             std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
         },
         false},
        {"renamed over by another voice",
         [](const std::string &path, const std::string &other, int32_t) { std::filesystem::rename(other, path); }, true},
        {"written over in place with zeros",
         [](const std::string &path, const std::string &, int32_t last_offset) {
             std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(last_offset);
             const std::string zeros(200, '\0');
             file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
         },
         false},
    };
    TestVoiceOptions other_options;
    other_options.unit_ms = 90;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = build_test_voice(dir, kSyllables, {}, "voice.dat");
        const std::string other = build_test_voice(dir, kSyllables, other_options, "other.dat");
        ASSERT_EQ(voice_select(path.c_str()), 0);
        const Spoken first = speak_unit("xin.0", normal);
        ASSERT_GT(first.result, 0);
        // The last unit of the file, as the writer lays them out; heard once from a fresh voice.
        const Spoken last_as_loaded = speak_unit("hai.3", normal);
        voice_release_current();
        ASSERT_EQ(voice_select(path.c_str()), 0);
        EXPECT_TRUE(speak_unit("xin.0", normal) == first);
        testing::internal::CaptureStdout();
        const int32_t last_offset = current_voice()->units[cst_find_word(current_voice(), "hai.3")].offset;
        testing::internal::GetCapturedStdout();

        c.change(path, other, last_offset);
        EXPECT_TRUE(speak_unit("xin.0", normal) == first);
        const Spoken last = speak_unit("hai.3", normal);
        if (c.unspoken_as_loaded) {
            EXPECT_TRUE(last == last_as_loaded);
        } else {  // a unit that fails
            EXPECT_EQ(last.result, -1);
            EXPECT_EQ(last.out, "cst_find_word hai.3\n");
        }
        voice_release_current();
        std::filesystem::remove(path);
        std::filesystem::remove(other);
    }
}

// Init replaces the voice while the worker speaks, over and over: the caches of the voices in
// turn are used by the worker under the voice lock and freed by Init after the swap
// (ThreadSanitizer watches), and once it settles the voice speaks exactly as from a fresh start.
TEST_F(UnitCacheTest, InitRacingSpeechLeavesTheNewVoiceSpeakingAsItself) {
    TestVoiceOptions short_units;
    short_units.unit_ms = 40;
    TestVoiceOptions long_units;
    long_units.unit_ms = 70;
    const std::string paths[] = {build_test_voice(dir, kSyllables, short_units, "a.voice"),
                                 build_test_voice(dir, kSyllables, long_units, "b.voice")};
    set_engine_parameter(kParamDiagnostics, 0);
    const std::u16string text = u"xin chào các bạn hai, xin chào";
    auto speak_alone = [&]() {
        capture_start();
        speak_text(text.c_str(), 1);
        EXPECT_TRUE(wait_until_quiet());
        std::vector<std::vector<unsigned char>> chunks;
        for (const CapturedChunk &chunk : captured_chunks()) chunks.push_back(chunk.data);
        capture_stop();
        return chunks;
    };
    std::vector<std::vector<unsigned char>> alone[2];
    for (int v = 0; v < 2; v++) {
        ASSERT_EQ(voice_select(paths[v].c_str()), 0);
        alone[v] = speak_alone();
        ASSERT_FALSE(alone[v].empty());
        voice_release_current();
    }

    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(); i++) voice_select(paths[i % 2].c_str());
    });
    capture_start();
    for (int i = 0; i < 40; i++) {
        speak_text(text.c_str(), i);
        if (i % 4 == 3) {
            EXPECT_TRUE(wait_until_quiet());
        }
    }
    EXPECT_TRUE(wait_until_quiet());
    stop.store(true);
    host.join();
    capture_stop();
    EXPECT_GT(captured_chunks().size(), 0u);

    const int current = std::string(current_voice()->path) == paths[0] ? 0 : 1;
    EXPECT_EQ(speak_alone(), alone[current]);
    EXPECT_EQ(speak_alone(), alone[current]);  // from its cache now
    reset_engine_parameters();
}

}  // namespace
