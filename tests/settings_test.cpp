#include "scheduler/settings.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct SettingsTest : testing::Test {
    void SetUp() override { settings_reset(); }
    void TearDown() override { settings_reset(); }
};

TEST_F(SettingsTest, DefaultsAreNormal) {
    EXPECT_EQ(synth_settings().rate.load(), 100);
    EXPECT_EQ(settings_host_rate(), 50);
    EXPECT_EQ(synth_settings().pitch.load(), 100);
    EXPECT_EQ(synth_settings().volume.load(), 100);
    EXPECT_EQ(audio_callback(), nullptr);
}

TEST_F(SettingsTest, RateIsDoubledAndClamped) {
    struct Case {
        int host;
        int stored;
        int read_back;
    };
    const Case cases[] = {
        {INT_MIN, 50, 25}, {-1, 50, 25},  {0, 50, 25},    {24, 50, 25},   {25, 50, 25},
        {37, 74, 37},      {50, 100, 50}, {99, 198, 99},  {100, 200, 100}, {101, 200, 100},
        {INT_MAX, 200, 100},
    };
    for (const Case &c : cases) {
        settings_set_rate(c.host);
        EXPECT_EQ(synth_settings().rate.load(), c.stored) << "host rate " << c.host;
        EXPECT_EQ(settings_host_rate(), c.read_back) << "host rate " << c.host;
    }
}

TEST_F(SettingsTest, EveryHostRateInRangeRoundTrips) {
    for (int v = 25; v <= 100; ++v) {
        settings_set_rate(v);
        EXPECT_EQ(settings_host_rate(), v);
    }
}

}  // namespace
