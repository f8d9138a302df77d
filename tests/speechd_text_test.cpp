// The speech-dispatcher module's text side: SSML, punctuation, characters, keys, prosody and its
// configuration file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "speechd/module_config.h"
#include "speechd/speech_text.h"
#include "speechd/ssml_text.h"

namespace {

struct SsmlCase {
    const char *ssml;
    std::vector<std::string> texts;
    std::vector<std::string> marks;
};

TEST(SsmlText, TagsMarksReferencesAndWhiteSpace) {
    const SsmlCase cases[] = {
        // What speech-dispatcher makes of plain text: a speak element and its own marks.
        {"<speak>Xin chào, bạn.<mark name=\"__spd_0\"/> Dòng hai</speak>", {" Xin chào, bạn.", " Dòng hai "}, {"__spd_0"}},
        {"một <mark name='a'/>hai<mark name=\"b\"></mark> ba", {"một ", "hai", "  ba"}, {"a", "b"}},
        {"<mark name=\"x\"/>", {"", ""}, {"x"}},
        {"a<mark/>b", {"a b"}, {}},  // a mark without a name only separates words
        {"<mark name=\"a&amp;b &quot;c&quot;\"/>", {"", ""}, {"a&b \"c\""}},
        {"&lt;tôi&gt; &amp; &quot;bạn&apos; &#65;&#x1EC7;", {"<tôi> & \"bạn' Aệ"}, {}},
        {"&#0; &#xD800; &#1114112;", {"\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"}, {}},
        {"&nbsp; &amp &#x; &", {"&nbsp; &amp &#x; &"}, {}},
        {"a\tb\nc\r\nd", {"a b c  d"}, {}},
        {"<p>một</p><s>hai</s>ba<break time=\"1s\"/>bốn", {"\nmột\n\nhai\nba\nbốn"}, {}},
        {"<?xml version=\"1.0\"?><!DOCTYPE speak><speak>a</speak>", {" a "}, {}},
        {"a<!-- <mark name=\"no\"/> -->b", {"ab"}, {}},
        {"<![CDATA[<mark name=\"no\"/> & x]]>", {"<mark name=\"no\"/> & x"}, {}},
        {"<prosody rate=\"fast\" note='a>b'>nhanh</prosody>", {" nhanh "}, {}},
        // A '<' that opens no tag is text.
        {"1 < 2 và 3 <4", {"1 < 2 và 3 <4"}, {}},
        {"a <b", {"a <b"}, {}},
        {"", {""}, {}},
    };
    for (const SsmlCase &c : cases) {
        SsmlSpeech speech = parse_ssml(c.ssml);
        EXPECT_EQ(speech.texts, c.texts) << c.ssml;
        EXPECT_EQ(speech.marks, c.marks) << c.ssml;
        EXPECT_EQ(speech.texts.size(), speech.marks.size() + 1) << c.ssml;
    }
}

struct PunctuationCase {
    PunctuationMode mode;
    const char *text;
    const char *spoken;
};

TEST(SpeechText, PunctuationAtTheEdgesOfWordsIsSpokenByMode) {
    const PunctuationCase cases[] = {
        {PunctuationMode::None, "Xin chào, (bạn)!", "Xin chào, (bạn)!"},
        // A mark the engine pauses at is written twice: its name, then its pause.
        {PunctuationMode::All, "Xin chào, bạn.", "Xin chào ,, bạn .."},
        {PunctuationMode::All, "(bạn)!", "(( bạn )) !!"},
        {PunctuationMode::All, "Chờ…", "Chờ …"},
        {PunctuationMode::Most, "Xin chào, (bạn)!", "Xin chào, (( bạn ))!"},
        {PunctuationMode::Some, "Xin chào, (bạn)!", "Xin chào, (bạn)!"},
        {PunctuationMode::Some, "#1 & 50%", "# 1 & 50 %"},
        {PunctuationMode::Most, "-5 \"a\"", "- 5 \"\" a \"\""},
        // Inside a word the engine's readers have it.
        {PunctuationMode::All, "TP.HCM 1.250,5 a+b x@y.com", "TP.HCM 1.250,5 a+b x@y.com"},
        // A word that is all punctuation.
        {PunctuationMode::All, "a ... b", "a .. .. .. b"},
        {PunctuationMode::Some, "a && b", "a & & b"},
        {PunctuationMode::All, "  xin,\n", "  xin ,,\n"},
        {PunctuationMode::All, "", ""},
    };
    for (const PunctuationCase &c : cases) EXPECT_EQ(speak_punctuation(c.text, c.mode), c.spoken) << c.text;
}

TEST(SpeechText, PunctuationModeNames) {
    PunctuationMode mode = PunctuationMode::None;
    const std::pair<const char *, PunctuationMode> names[] = {
        {"none", PunctuationMode::None}, {"some", PunctuationMode::Some}, {"most", PunctuationMode::Most}, {"all", PunctuationMode::All}};
    for (const auto &name : names) {
        ASSERT_TRUE(parse_punctuation_mode(name.first, &mode)) << name.first;
        EXPECT_EQ(mode, name.second);
    }
    for (const char *bad : {"", "ALL", "al", "many"}) EXPECT_FALSE(parse_punctuation_mode(bad, &mode)) << bad;
}

TEST(SpeechText, CharactersAndKeys) {
    const std::pair<const char *, const char *> characters[] = {
        {"a", "a"}, {",", ","}, {"ệ", "ệ"}, {" ", "khoảng trắng"}, {"\t", "khoảng trắng"}, {"ab", "ab"}};
    for (const auto &c : characters) EXPECT_EQ(character_text(c.first), c.second) << c.first;

    const std::pair<const char *, const char *> keys[] = {
        {"a", "a"},
        {"A", "A"},
        {"ú", "ú"},
        {"$", "$"},
        {"space", "khoảng trắng"},
        {"underscore", "_"},
        {"double-quote", "\""},
        {"control_s", "Ctrl+S"},
        {"shift_A", "Shift+A"},
        {"control_alt_delete", "Ctrl+Alt+Delete"},
        {"shift_kp-enter", "Shift+NumEnter"},
        {"kp-7", "Num7"},
        {"alt_f4", "Alt+F4"},
        {"f12", "F12"},
        {"escape", "Esc"},
        {"prior", "PageUp"},
        {"next", "PageDown"},
        {"control_space", "Ctrl+Space"},
        {"super_underscore", "Super+_"},
        {"control", "Ctrl"},
        {"window", "Win"},
        {"mystery", "mystery"},
        {"control__s", "Ctrl+S"},
    };
    for (const auto &k : keys) EXPECT_EQ(key_text(k.first), k.second) << k.first;
}

struct ProsodyCase {
    int rate, pitch, volume;
    EngineProsody expected;
};

TEST(SpeechText, SpeechDispatcherScalesOntoTheEngine) {
    const ProsodyCase cases[] = {
        {0, 0, 100, {50, 100, 100, 100}},
        {-100, -100, -100, {25, 100, 50, 0}},
        {-50, 0, 0, {35, 100, 100, 50}},     // 2^-0.5 = 0.707
        {50, 50, 50, {100, 100, 125, 75}},   // twice the speed
        {75, 0, 100, {100, 141, 100, 100}},  // 2.83x: 2x from SetRate, the rest from SPEED
        {100, 100, 100, {100, 200, 150, 100}},
        {25, -1, 1, {71, 100, 99, 51}},  // half steps round away from 0
        // Out of range: held to -100..100.
        {1000, -1000, 500, {100, 200, 50, 100}},
        {-1000, 1000, -500, {25, 100, 150, 0}},
    };
    for (const ProsodyCase &c : cases) {
        EngineProsody p = engine_prosody(c.rate, c.pitch, c.volume);
        EXPECT_EQ(p.host_rate, c.expected.host_rate) << c.rate;
        EXPECT_EQ(p.speed_percent, c.expected.speed_percent) << c.rate;
        EXPECT_EQ(p.pitch_percent, c.expected.pitch_percent) << c.pitch;
        EXPECT_EQ(p.volume_percent, c.expected.volume_percent) << c.volume;
    }
}

TEST(ModuleConfig, SettingsQuotesCommentsAndProblems) {
    const std::string text =
        "# comment\n"
        "\n"
        "VelorinVoiceDirectory \"/usr/share/velorin/voices\"\n"
        "  VelorinVoiceDirectory   /opt/voices  \r\n"
        "VelorinDefaultVoice vi-south\n"
        "VelorinDiagnostics 1\n"
        "VelorinDiagnostics yes\n"
        "VelorinDefaultVoice\n"
        "Debug 0\n"
        "VelorinVoiceDirectory \"with space\"";
    ModuleConfig config;
    std::vector<std::string> problems;
    parse_module_config(text, &config, &problems);
    EXPECT_EQ(config.voice_directories, (std::vector<std::string>{"/usr/share/velorin/voices", "/opt/voices", "with space"}));
    EXPECT_EQ(config.default_voice, "vi-south");
    EXPECT_TRUE(config.diagnostics);
    EXPECT_EQ(problems, (std::vector<std::string>{"line 7: VelorinDiagnostics takes 0 or 1, not yes",
                                                  "line 8: VelorinDefaultVoice has no value",
                                                  "line 9: unknown setting Debug"}));
}

}  // namespace
