#include "scheduler/settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "voice/diagnostics.h"

namespace {

struct SettingsTest : testing::Test {
    void SetUp() override {
        settings_reset();
        reset_engine_parameters();
    }
    void TearDown() override {
        settings_reset();
        reset_engine_parameters();
    }
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

struct ParameterCase {
    int parameter;
    int32_t classic;
    int32_t low;
    int32_t high;
    int32_t fluent;  // -1: the fluent profile leaves it alone
};

const ParameterCase kParameters[] = {
    {kParamLeadingSilence, 0, 0, 1, 1},      {kParamConsonantPauses, 100, 0, 200, 20},
    {kParamPunctuationPause, 300, 0, 2000, 200}, {kParamLineEndPause, 600, 0, 4000, 300},
    {kParamRequestEndPause, 600, 0, 4000, 0},  {kParamAddedFullStop, 1, 0, 1, 0},
    {kParamPauseClock, 0, 0, 1, 1},          {kParamSpeed, 100, 50, 400, 100},
    {kParamJoin, 0, 0, 20, 8},               {kParamDiagnostics, 1, 0, 1, -1},
    {kParamRequestRate, 100, 50, 400, -1},   {kParamRequestPitch, 100, 25, 400, -1},
    {kParamRequestVolume, 100, 0, 400, -1},  {kParamGain, 100, 0, 100, 88},
    {kParamUnitCache, 12288, 0, 262144, -1}, {kParamRequestUtterance, 0, 0, 1, -1},
    {kParamHold, 0, 0, 1, -1},
};

TEST_F(SettingsTest, ParametersStartClassicAndClampAtTheirLimits) {
    EXPECT_EQ(engine_parameter(kParamProfile), kProfileClassic);
    for (const ParameterCase &c : kParameters) {
        SCOPED_TRACE(c.parameter);
        EXPECT_EQ(engine_parameter(c.parameter), c.classic);
        EXPECT_EQ(set_engine_parameter(c.parameter, INT32_MIN), 0);
        EXPECT_EQ(engine_parameter(c.parameter), c.low);
        EXPECT_EQ(set_engine_parameter(c.parameter, c.low - 1), 0);
        EXPECT_EQ(engine_parameter(c.parameter), c.low);
        EXPECT_EQ(set_engine_parameter(c.parameter, c.high + 1), 0);
        EXPECT_EQ(engine_parameter(c.parameter), c.high);
        EXPECT_EQ(set_engine_parameter(c.parameter, INT32_MAX), 0);
        EXPECT_EQ(engine_parameter(c.parameter), c.high);
    }
}

TEST_F(SettingsTest, UnknownParametersAreRefused) {
    for (int parameter : {-1, static_cast<int>(kParamCount), INT_MAX, INT_MIN}) {
        EXPECT_EQ(set_engine_parameter(parameter, 1), -1) << parameter;
        EXPECT_EQ(engine_parameter(parameter), -1) << parameter;
    }
}

TEST_F(SettingsTest, ProfilesWriteTheirColumnAndLeaveTheRest) {
    set_engine_parameter(kParamDiagnostics, 0);
    set_engine_parameter(kParamRequestPitch, 150);
    set_engine_parameter(kParamProfile, kProfileFluent);
    EXPECT_EQ(engine_parameter(kParamProfile), kProfileFluent);
    for (const ParameterCase &c : kParameters) {
        if (c.fluent >= 0) {
            EXPECT_EQ(engine_parameter(c.parameter), c.fluent) << c.parameter;
        }
    }
    EXPECT_EQ(engine_parameter(kParamDiagnostics), 0);
    EXPECT_EQ(engine_parameter(kParamRequestPitch), 150);

    set_engine_parameter(kParamProfile, kProfileClassic);
    EXPECT_EQ(engine_parameter(kParamProfile), kProfileClassic);
    for (const ParameterCase &c : kParameters) {
        if (c.fluent >= 0) {
            EXPECT_EQ(engine_parameter(c.parameter), c.classic) << c.parameter;
        }
    }
    EXPECT_EQ(engine_parameter(kParamDiagnostics), 0);
}

TEST_F(SettingsTest, DiagnosticsParameterSwitchesTheVoiceMessages) {
    set_engine_parameter(kParamDiagnostics, 0);
    EXPECT_FALSE(diagnostics_enabled());
    set_engine_parameter(kParamDiagnostics, 1);
    EXPECT_TRUE(diagnostics_enabled());
}

}  // namespace
