// velorin-say, run as a user runs it, against a small test voice.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_voice.h"

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::string &bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

uint16_t le16(const std::string &bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

struct SayTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;
    std::string voice;

    void SetUp() override {
        options.sample_rate = 22050;
        voice = build_test_voice(dir, {"xin", "cha`o", "ba", "hai"}, options);
        ASSERT_FALSE(voice.empty());
    }

    RunResult run(const std::string &arguments, const std::string &input = "", const std::string &environment = "") {
        std::string in = dir.file("stdin"), out = dir.file("stdout"), err = dir.file("stderr");
        std::ofstream(in, std::ios::binary) << input;
        // LeakSanitizer's exit-time scan crashes in a child of a sanitized process; the tool's
        // leaks are checked by the memcheck run instead.
        std::string command = "ASAN_OPTIONS=detect_leaks=0 " + environment + " " + std::string(VELORIN_SAY_PATH) + " " + arguments +
                              " <" + in + " >" + out + " 2>" + err;
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
    }

    int32_t unit_bytes() const { return test_unit_frames(options.unit_ms, options) * 2; }
};

TEST_F(SayTest, WritesAWavWithTheVoiceFormatAndEveryChunk) {
    std::string wav = dir.file("out.wav");
    RunResult r = run("--classic --voice " + voice + " -o " + wav + " 'xin chào'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = read_file(wav);
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 1);
    EXPECT_EQ(le16(bytes, 22), 1);
    EXPECT_EQ(le32(bytes, 24), 22050u);
    EXPECT_EQ(le16(bytes, 34), 16);
    // short pause + xin, short pause + chào, the added full stop, the line end
    uint32_t expected = 4410 + unit_bytes() + 4410 + unit_bytes() + 13230 + 26460;
    EXPECT_EQ(le32(bytes, 40), expected);
    EXPECT_EQ(le32(bytes, 4), 36 + expected);
    EXPECT_EQ(bytes.size(), 44 + expected);
    EXPECT_TRUE(r.out.empty()) << "trace lines leaked to standard output";
}

TEST_F(SayTest, StreamsToStandardOutputWithoutTraceLines) {
    // The classic engine: the unit, the added full stop and the line end. The fluent profile puts
    // no pause after it.
    for (const std::string profile : {"--classic", ""}) {
        SCOPED_TRACE(profile);
        const size_t audio = static_cast<size_t>(unit_bytes() + (profile.empty() ? 0 : 13230 + 26460));
        RunResult r = run(profile + " --voice " + voice + " -o - --raw", "ba");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.size(), audio);
        EXPECT_EQ(r.out.find("cst_find_word"), std::string::npos);
        EXPECT_EQ(r.err.find("Decoding"), std::string::npos) << "decoder messages shown without --verbose";

        r = run(profile + " --voice " + voice + " -o - --verbose", "ba");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 4), "RIFF");
        EXPECT_EQ(r.out.size(), 44 + audio);
        EXPECT_NE(r.err.find("cst_find_word ba.0"), std::string::npos);
        EXPECT_NE(r.err.find("Decoding"), std::string::npos);
    }
}

TEST_F(SayTest, ReadsAFileAndSpeaksOneRequestPerLine) {
    std::string text = dir.file("text.txt");
    std::ofstream(text) << "ba\n\nhai\n";
    RunResult whole = run("--classic --voice " + voice + " --raw -o - -f " + text);
    RunResult lines = run("--classic --voice " + voice + " --raw -o - --lines -f " + text);
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(lines.status, 0) << lines.err;
    // "hai" starts with the voiceless h: a short pause before it.
    EXPECT_EQ(lines.out.size(), 2u * (unit_bytes() + 13230 + 26460) + 4410);
    EXPECT_EQ(whole.out, lines.out);
}

// The fluent profile by default: no pause before the first word nor after the last, and between
// two requests nothing but what the same words in one request get (here the 20 ms consonant pause
// before the h of "hai").
TEST_F(SayTest, SpeaksInTheFluentProfileByDefault) {
    const size_t consonant_pause = 882;
    RunResult r = run("--voice " + voice + " --raw -o - 'xin ba'");
    ASSERT_EQ(r.status, 0) << r.err;
    // The two units overlap by 8 ms.
    EXPECT_EQ(r.out.size(), static_cast<size_t>(2 * unit_bytes() - 2 * 176));
    std::string text = dir.file("text.txt");
    std::ofstream(text) << "ba\n\nhai\n";
    r = run("--voice " + voice + " --raw -o - --lines -f " + text);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), 2 * static_cast<size_t>(unit_bytes()) + consonant_pause);
}

TEST_F(SayTest, SpeedMultipliesTheRate) {
    RunResult normal = run("--voice " + voice + " --raw -o - 'ba ba ba'");
    RunResult fast = run("--voice " + voice + " --raw -o - --speed 4 'ba ba ba'");
    RunResult faster = run("--voice " + voice + " --raw -o - --rate 100 --speed 4 'ba ba ba'");
    ASSERT_EQ(normal.status, 0) << normal.err;
    ASSERT_EQ(fast.status, 0) << fast.err;
    ASSERT_EQ(faster.status, 0) << faster.err;
    EXPECT_NEAR(static_cast<double>(fast.out.size()), normal.out.size() / 4.0, 8);
    EXPECT_EQ(faster.out, fast.out) << "4x is the top speed";
}

TEST_F(SayTest, RateChangesTheLength) {
    RunResult slow = run("--voice " + voice + " --raw -o - --rate 25 ba");
    RunResult fast = run("--voice " + voice + " --raw -o - --rate 100 ba");
    ASSERT_EQ(slow.status, 0) << slow.err;
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_GT(slow.out.size(), 2 * fast.out.size());
}

TEST_F(SayTest, FailuresGiveOneLineAndANonZeroStatus) {
    struct Case {
        std::string arguments;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {"--voice /nonexistent.voice ba", "", "cannot open voice"},
        {"--voice " + voice + " -f /nonexistent.txt", "", "cannot read /nonexistent.txt"},
        {"--voice " + voice + " -o -", std::string("ba \xC3\x28"), "not valid UTF-8"},
        {"--voice " + voice + " -o /nonexistent/dir/out.wav ba", "", "cannot write"},
        {"--voice " + dir.file("stdin") + " ba", "not a voice", "not a Velorin voice"},
        {"--rate fast ba", "", "invalid number"},
        {"--speed 5 ba", "", "invalid value for --speed: '5' (0.5 to 4)"},
        {"--speed 0.4 ba", "", "invalid value for --speed"},
        {"--speed x ba", "", "invalid value for --speed"},
        {"--frobnicate", "", "unknown option"},
    };
    for (const Case &c : cases) {
        RunResult r = run(c.arguments, c.input);
        EXPECT_NE(r.status, 0) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(SayTest, VoicesBesideTheDefaultAreFoundByName) {
    ASSERT_EQ(std::system(("mkdir -p " + dir.file("voices")).c_str()), 0);
    TestVoiceOptions south_options;
    south_options.sample_rate = 16000;
    const std::string south = build_test_voice(dir, {"ba", "hai"}, south_options, "voices/vi-south.voice");
    ASSERT_FALSE(south.empty());
    ASSERT_EQ(std::system(("cp " + voice + " " + dir.file("voices/vi-default.voice")).c_str()), 0);
    const std::string environment = "VELORIN_VOICE=" + dir.file("voices/vi-default.voice");

    RunResult list = run("--list-voices", "", environment);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("vi-default "), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("vi-south "), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("16000 Hz"), std::string::npos) << list.out;

    // By name, the voice's own format; by path, as before; an unknown name is an error.
    const std::string wav = dir.file("south.wav");
    RunResult r = run("--voice vi-south -o " + wav + " ba", "", environment);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(le32(read_file(wav), 24), 16000u);
    r = run("--voice " + south + " -o " + wav + " ba");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(le32(read_file(wav), 24), 16000u);
    r = run("-o " + wav + " ba", "", environment);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(le32(read_file(wav), 24), 22050u);
    r = run("--voice vi-north -o " + wav + " ba", "", environment);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("no voice vi-north"), std::string::npos) << r.err;
}

TEST_F(SayTest, HelpAndVersion) {
    RunResult help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: velorin-say"), std::string::npos);
    RunResult version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("velorin-say ", 0), 0u);
}

}  // namespace
