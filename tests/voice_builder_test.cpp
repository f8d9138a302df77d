// The voice builder: small voices made with espeak-ng and from generated recordings load, pass
// the check and speak; the check catches broken files; both byte orders give the same index.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "support/test_voice.h"
#include "tools/voice_audio.h"
#include "tools/voice_builder.h"
#include "tools/voice_check.h"
#include "voice/unit_decode.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A few dozen syllables with onsets, finals, every tone and both tone placements.
const std::vector<std::string> kSmallInventory = {
    "xin", "cha`o", "vie).t", "nam", "ho`a", "thu?y", "quy?", "d!i", "a", "nghie)ng", "mo).t", "hai", "ba", "bo)'n",
    "na(m", "sa'u", "ba?y", "ta'm", "chi'n", "mu(o(`i", "tra(m", "nghi`n", "kho'e", "d!u(o(`ng", "tie)'ng", "no'i",
    "xoong", "soo'c", "nguye)~n", "ko)ng", "sa.c"};

// A voiced sound between two stretches of near-silence, as a person's recording has.
PcmAudio recording(int sample_rate, int channels, double pitch, int sound_ms, int silence_ms) {
    PcmAudio audio;
    audio.sample_rate = sample_rate;
    audio.channels = channels;
    const int silence = sample_rate * silence_ms / 1000, sound = sample_rate * sound_ms / 1000;
    for (int i = 0; i < 2 * silence + sound; i++) {
        double value = ((i * 7919) % 13 - 6) * 2.0;  // faint hiss
        if (i >= silence && i < silence + sound) {
            const double t = static_cast<double>(i - silence) / sample_rate;
            for (int h = 1; h < 8; h++) value += 4000.0 / h * std::sin(2 * kPi * pitch * h * t);
        }
        for (int c = 0; c < channels; c++) audio.samples.push_back(static_cast<int16_t>(value));
    }
    return audio;
}

// A WAV file of any integer width or 32-bit float, for the reader's formats.
void write_wav_as(const std::string &path, const PcmAudio &audio, int bits, bool floating) {
    std::vector<unsigned char> out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const uint32_t data_bytes = static_cast<uint32_t>(audio.samples.size() * bits / 8);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + data_bytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(floating ? 3 : 1, 2);
    put(static_cast<uint32_t>(audio.channels), 2);
    put(static_cast<uint32_t>(audio.sample_rate), 4);
    put(static_cast<uint32_t>(audio.sample_rate * audio.channels * bits / 8), 4);
    put(static_cast<uint32_t>(audio.channels * bits / 8), 2);
    put(static_cast<uint32_t>(bits), 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data_bytes, 4);
    for (int16_t s : audio.samples) {
        if (floating) {
            float f = s / 32768.0f;
            uint32_t raw;
            std::memcpy(&raw, &f, 4);
            put(raw, 4);
        } else if (bits == 8) {
            put(static_cast<uint32_t>(s / 256 + 128), 1);
        } else {
            put(static_cast<uint32_t>(static_cast<int32_t>(s) * (1 << (bits - 16))), bits / 8);
        }
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(out.data()), static_cast<std::streamsize>(out.size()));
}

struct RunResult {
    int status;
    std::string out;
};

RunResult run_tool(const ScratchDir &dir, const std::string &arguments) {
    const std::string out = dir.file("tool.out");
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " + std::string(VELORIN_VOICE_PATH) + " " + arguments +
                                " >" + out + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream file(out, std::ios::binary);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())};
}

// Milliseconds a unit of the current voice decodes to at normal rate.
double spoken_ms(const std::string &unit) {
    static std::vector<unsigned char> pcm(kPcmBufferBytes);
    const int bytes = synthesize_unit(unit.c_str(), pcm.data(), kPcmBufferBytes, 100, 100, 100);
    return bytes <= 0 ? 0 : 1000.0 * bytes / 2 / voice_channels() / voice_sample_rate();
}

std::string file_bytes(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Everything the engine's index holds: names, sizes and each unit's stored bytes.
std::vector<std::string> index_contents(const std::string &path) {
    std::vector<std::string> contents;
    VoiceDatabase *voice = voice_load(path.c_str());
    if (!voice) return contents;
    const std::string file = file_bytes(path);
    for (int i = 0; i < voice->unit_count; i++) {
        const UnitEntry &unit = voice->units[i];
        contents.push_back(std::string(unit.name) + " " + std::to_string(unit.size) + " " +
                           file.substr(static_cast<size_t>(unit.offset), static_cast<size_t>(unit.size)));
    }
    voice_free(voice);
    return contents;
}

TEST(ToneSpelling, OtherPlacementOnlyWhereSpellingAllowsTwo) {
    const std::map<std::string, std::string> cases = {
        {"ho`a", "hoa`"}, {"hoa`", "ho`a"}, {"thu?y", "thuy?"}, {"thuy?", "thu?y"}, {"kho'e", "khoe'"},
        {"o`a", "oa`"},   {"u?y", "uy?"},   {"d!o.a", "d!oa."}, {"quy?", ""},       {"qua'", ""},
        {"hoa`n", ""},    {"thuy", ""},     {"hoa", ""},        {"thu(?a", ""},     {"nghie)ng", ""}};
    for (const auto &c : cases) EXPECT_EQ(other_tone_placement(c.first), c.second) << c.first;

    const std::vector<std::string> both = with_both_tone_placements({"ho`a", "hoa`", "thu?y", "xin"});
    EXPECT_EQ(both, (std::vector<std::string>{"ho`a", "hoa`", "thu?y", "thuy?", "xin"}));
}

TEST(ToneSpelling, AsciiFormBackToVietnameseAndAgain) {
    const std::map<std::string, std::string> cases = {{"vie).t", "việt"},     {"d!u(o(`ng", "đường"}, {"a)'", "ấ"},
                                                      {"xin", "xin"},         {"nghie)ng", "nghiêng"}, {"thuy?", "thuỷ"},
                                                      {"ho`a", "hòa"},        {"tu(?", "tử"}};
    for (const auto &c : cases) {
        EXPECT_EQ(ascii_to_vietnamese(c.first), c.second) << c.first;
        EXPECT_EQ(vietnamese_to_ascii(c.second), c.first) << c.second;
    }
    EXPECT_EQ(vietnamese_to_ascii("Việt"), "vie).t");
}

TEST(RecordingNames, UnicodeAndPlainLetterSpellings) {
    const std::map<std::string, std::string> cases = {
        {"việt.2.wav", "vie).t.2"}, {"vieejt.2.WAV", "vie).t.2"}, {"chafo.1.wav", "cha`o.1"}, {"xin.0.wav", "xin.0"},
        {"đi.3.wav", "d!i.3"},      {"xin.4.wav", ""},            {"xin.wav", ""},           {"xin.0.mp3", ""},
        {"x_n.0.wav", ""},          {"notes.txt", ""},            {"xoOng.0.wav", "xoOng.0"}, {"xoong.0.wav", "xo)ng.0"},
        {"XOONG.0.wav", "xo)ng.0"}, {"soóc.1.wav", "soO'c.1"},    {"xông.1.wav", "xo)ng.1"}};
    for (const auto &c : cases) EXPECT_EQ(unit_name_of_recording(c.first), c.second) << c.first;
    EXPECT_EQ(recording_file_name("vie).t", 2), "việt.2.wav");
    // Every syllable's file name reads back as the engine names its unit.
    for (const char *syllable : {"vie).t", "xin", "xoong", "soo'c", "tra", "xo)ng", "boong"})
        EXPECT_EQ(unit_name_of_recording(recording_file_name(syllable, 3)), unit_syllable(syllable) + ".3") << syllable;
}

TEST(BuilderAudio, ResampleMixTrimAndLevel) {
    PcmAudio stereo = recording(44100, 2, 200, 300, 150);
    PcmAudio mono = resample(mix_channels(stereo, 1), 22050);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_NEAR(audio_ms(mono), audio_ms(stereo), 0.1);
    // The pitch survives: count rising zero crossings of the fundamental-dominated sound.
    int crossings = 0;
    const int start = 22050 * 150 / 1000, end = start + 22050 * 300 / 1000;
    for (int i = start + 1; i < end; i++) crossings += mono.samples[i - 1] < 0 && mono.samples[i] >= 0;
    EXPECT_NEAR(crossings, 60, 3);

    ASSERT_GT(trim_silence(&mono, kTrimKeepMs), 0);
    EXPECT_NEAR(audio_ms(mono), 300 + 2 * kTrimKeepMs, 12);
    level_unit(&mono);
    EXPECT_NEAR(gated_loudness(mono, kUnitLoudnessBlockMs), kUnitLoudnessLufs, 0.2);
    EXPECT_LE(peak_sample(mono.samples), kUnitPeakCeiling);

    PcmAudio silent = recording(16000, 1, 200, 0, 200);
    EXPECT_EQ(trim_silence(&silent, kTrimKeepMs), 0);
}

PcmAudio sine(int sample_rate, int channels, double hz, double amplitude, int ms) {
    PcmAudio audio;
    audio.sample_rate = sample_rate;
    audio.channels = channels;
    for (int i = 0; i < sample_rate * ms / 1000; i++) {
        const auto value = static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * kPi * hz * i / sample_rate)));
        for (int c = 0; c < channels; c++) audio.samples.push_back(value);
    }
    return audio;
}

TEST(BuilderAudio, LoudnessAsTheStandardMeasuresIt) {
    // A 997 Hz sine at half of full scale on one channel reads -9.03 LUFS at any rate; on two
    // channels the powers add; a tenth of the amplitude is 20 dB down.
    for (int rate : {16000, 22050, 48000}) {
        EXPECT_NEAR(gated_loudness(sine(rate, 1, 997, 0.5, 3000)), -9.03, 0.1) << rate;
        EXPECT_NEAR(gated_loudness(sine(rate, 2, 997, 0.5, 3000)), -6.02, 0.1) << rate;
        EXPECT_NEAR(gated_loudness(sine(rate, 1, 997, 0.05, 3000)), -29.03, 0.1) << rate;
    }
    // The K-weighting lifts the highs and cuts the lows.
    EXPECT_GT(gated_loudness(sine(22050, 1, 4000, 0.5, 1000)), -9.03 + 3);
    EXPECT_LT(gated_loudness(sine(22050, 1, 40, 0.5, 1000)), -9.03 - 2);
    // Silence passes no gate; a quiet tail after speech is gated out (but for the blocks that
    // straddle the end of the sine).
    EXPECT_EQ(gated_loudness(sine(22050, 1, 997, 0, 1000)), kSilentLufs);
    PcmAudio with_tail = sine(22050, 1, 997, 0.5, 2000);
    const PcmAudio tail = sine(22050, 1, 997, 0.001, 2000);
    with_tail.samples.insert(with_tail.samples.end(), tail.samples.begin(), tail.samples.end());
    EXPECT_NEAR(gated_loudness(with_tail), -9.03, 0.5);
    // A unit shorter than one block is measured whole.
    EXPECT_NEAR(gated_loudness(sine(22050, 1, 997, 0.5, 60), kUnitLoudnessBlockMs), -9.03, 0.3);
}

TEST(BuilderAudio, TrimKeepsTheReleaseOfAStopFinal) {
    // A vowel, a silent closure, the weak burst of the release (45 dB under the vowel) and
    // silence: the burst stays, the silence after it goes.
    for (int hiss : {0, 6}) {
        SCOPED_TRACE(hiss ? "over hiss" : "in digital silence");
        PcmAudio unit = sine(22050, 1, 150, 0.5, 200);
        const int closure = 22050 * 60 / 1000, burst = 22050 * 30 / 1000, after = 22050 * 150 / 1000;
        uint32_t seed = 7;
        for (int i = 0; i < closure + burst + after; i++) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * 2;
            const double level = i >= closure && i < closure + burst ? 66 : hiss;
            unit.samples.push_back(static_cast<int16_t>(std::lround(noise * level * 1.7)));
        }
        const PcmAudio before = unit;
        ASSERT_GT(trim_silence(&unit, kTrimKeepMs), 0);
        EXPECT_NEAR(audio_ms(unit), 200 + 60 + 30 + kTrimKeepMs, 6);
        EXPECT_TRUE(std::equal(unit.samples.begin(), unit.samples.end(), before.samples.begin()));
    }
}

TEST(BuilderAudio, LevellingHoldsPeaksUnderTheCeiling) {
    // Quiet speech with loud clicks: brought up to the loudness, the clicks held down smoothly.
    for (double amplitude : {0.02, 0.3, 0.9}) {
        PcmAudio unit = recording(22050, 1, 140, 300, 0);
        for (int16_t &s : unit.samples) s = static_cast<int16_t>(s * amplitude);
        for (int i = 0; i < 5; i++) unit.samples[1000 + i * 1200] = static_cast<int16_t>(30000 * std::min(1.0, amplitude * 5));
        level_unit(&unit);
        EXPECT_LE(peak_sample(unit.samples), kUnitPeakCeiling) << amplitude;
        EXPECT_NEAR(gated_loudness(unit, kUnitLoudnessBlockMs), kUnitLoudnessLufs, 0.3) << amplitude;
        int largest_step = 0;
        for (size_t i = 1; i < unit.samples.size(); i++)
            largest_step = std::max(largest_step, std::abs(unit.samples[i] - unit.samples[i - 1]));
        EXPECT_LT(largest_step, 32768) << amplitude;
    }
    PcmAudio silent = sine(22050, 1, 997, 0, 100);
    level_unit(&silent);
    EXPECT_EQ(peak_sample(silent.samples), 0);
}

TEST(BuilderAudio, ReadsEveryWavSampleFormat) {
    ScratchDir dir;
    const PcmAudio original = recording(16000, 2, 180, 100, 20);
    const struct {
        int bits;
        bool floating;
        int tolerance;
    } formats[] = {{8, false, 256}, {16, false, 0}, {24, false, 0}, {32, false, 0}, {32, true, 1}};
    for (const auto &f : formats) {
        const std::string path = dir.file("f" + std::to_string(f.bits) + (f.floating ? "f" : "i") + ".wav");
        write_wav_as(path, original, f.bits, f.floating);
        PcmAudio read;
        std::string error;
        ASSERT_EQ(read_wav(path, &read, &error), 0) << error;
        EXPECT_EQ(read.sample_rate, 16000);
        ASSERT_EQ(read.samples.size(), original.samples.size());
        for (size_t i = 0; i < read.samples.size(); i += 97)
            EXPECT_NEAR(read.samples[i], original.samples[i], f.tolerance) << f.bits << " bits, sample " << i;
    }
    std::ofstream(dir.file("junk.wav")) << "RIFF....WAVEjunk";
    PcmAudio read;
    std::string error;
    EXPECT_EQ(read_wav(dir.file("junk.wav"), &read, &error), -1);
    EXPECT_FALSE(error.empty());
}

struct RecordedVoiceTest : testing::Test {
    ScratchDir dir;
    std::string recordings;
    const std::vector<std::string> syllables = {"xin", "cha`o", "vie).t", "ho`a", "d!i", "ba"};

    void SetUp() override {
        recordings = dir.file("rec");
        ASSERT_EQ(system(("mkdir -p " + recordings).c_str()), 0);
        // Each position its own length, and a mix of rates, channel counts and sample formats.
        const int lengths[4] = {300, 200, 150, 400};
        for (size_t s = 0; s < syllables.size(); s++) {
            for (int p = 0; p < 4; p++) {
                const int rate = (s % 3 == 0) ? 44100 : (s % 3 == 1) ? 16000 : 22050;
                const PcmAudio audio = recording(rate, 1 + static_cast<int>(s % 2), 120.0 + 15 * s + 5 * p, lengths[p], 120);
                std::string name = recording_file_name(syllables[s], p);
                if (s % 2) {  // plain-letter spelling
                    std::string plain;
                    ASSERT_EQ(plain_unit_name(syllables[s], &plain), 0);
                    name = plain + "." + std::to_string(p) + ".wav";
                }
                write_wav_as(recordings + "/" + name, audio, s == 4 ? 24 : 16, false);
            }
        }
    }

    VoiceBuildOptions options(const std::string &output) const {
        VoiceBuildOptions o;
        o.source = UnitSource::Recordings;
        o.recordings_dir = recordings;
        o.output = dir.file(output);
        o.threads = 2;
        return o;
    }
};

TEST_F(RecordedVoiceTest, BuildsLoadsPassesCheckAndSpeaks) {
    VoiceBuildReport report;
    ASSERT_EQ(voice_build(options("rec.voice"), &report), 0) << report.error;
    for (const std::string &e : report.unit_errors) ADD_FAILURE() << e;
    for (const std::string &e : report.missing_recordings) ADD_FAILURE() << e;
    EXPECT_EQ(report.syllables_written, 6);
    EXPECT_EQ(report.units_written, 24);

    VoiceCheckReport check;
    ASSERT_EQ(voice_check(dir.file("rec.voice"), &check), 0);
    EXPECT_FALSE(check.broken());
    EXPECT_EQ(check.syllable_count, 6);
    EXPECT_EQ(check.sample_rate, 22050);
    EXPECT_EQ(check.channels, 1);
    EXPECT_EQ(check.syllables, std::set<std::string>(syllables.begin(), syllables.end()));
    EXPECT_EQ(check.longest.name.substr(check.longest.name.size() - 2), ".3");

    ASSERT_EQ(voice_select(dir.file("rec.voice").c_str()), 0);
    // Trimmed to the sound plus a few milliseconds each side, whatever the silence recorded.
    EXPECT_NEAR(spoken_ms("vie).t.0"), 300 + 2 * kTrimKeepMs, 15);
    EXPECT_NEAR(spoken_ms("d!i.2"), 150 + 2 * kTrimKeepMs, 15);
    EXPECT_NEAR(spoken_ms("cha`o.3"), 400 + 2 * kTrimKeepMs, 15);
    voice_release_current();
}

TEST_F(RecordedVoiceTest, MissingRecordingsAreReported) {
    std::remove((recordings + "/" + recording_file_name("xin", 3)).c_str());
    VoiceBuildReport report;
    EXPECT_EQ(voice_build(options("strict.voice"), &report), -1);
    EXPECT_EQ(report.missing_recordings, std::vector<std::string>{"xin.3.wav"});
    EXPECT_EQ(report.left_out, std::vector<std::string>{"xin"});
    EXPECT_FALSE(std::ifstream(dir.file("strict.voice")).good());

    VoiceBuildOptions partial = options("partial.voice");
    partial.partial = true;
    partial.syllables = {"xin", "ba", "mo).t"};  // an inventory: mo).t was never recorded
    ASSERT_EQ(voice_build(partial, &report), 0) << report.error;
    EXPECT_EQ(report.syllables_written, 1);
    EXPECT_EQ(report.missing_recordings.size(), 5u);  // xin.3 and the four of mo).t
    VoiceCheckReport check;
    ASSERT_EQ(voice_check(dir.file("partial.voice"), &check), 0);
    EXPECT_FALSE(check.broken());
    EXPECT_EQ(lacking_syllables(check, {"xin", "ba", "mo).t"}), (std::vector<std::string>{"xin", "mo).t"}));
}

TEST_F(RecordedVoiceTest, UnitsOverTheStoredLimitAreRefused) {
    PcmAudio long_noise;
    long_noise.sample_rate = 22050;
    long_noise.channels = 1;
    uint32_t seed = 1;
    for (int i = 0; i < 22050 * 6; i++) {
        seed = seed * 1664525u + 1013904223u;
        long_noise.samples.push_back(static_cast<int16_t>((seed >> 16) % 20000 - 10000));
    }
    std::string error;
    ASSERT_EQ(write_wav(recordings + "/" + recording_file_name("ba", 0), long_noise, &error), 0);
    VoiceBuildOptions o = options("big.voice");
    o.quality = 10;
    VoiceBuildReport report;
    EXPECT_EQ(voice_build(o, &report), -1);
    ASSERT_EQ(report.unit_errors.size(), 1u);
    EXPECT_NE(report.unit_errors[0].find("ba.0:"), std::string::npos);
    EXPECT_NE(report.unit_errors[0].find("20000"), std::string::npos);
}

TEST_F(RecordedVoiceTest, BothByteOrdersLoadToTheSameIndex) {
    VoiceBuildOptions little = options("little.voice"), big = options("big.voice");
    big.byte_order = VoiceByteOrder::Big;
    VoiceBuildReport report;
    ASSERT_EQ(voice_build(little, &report), 0) << report.error;
    ASSERT_EQ(voice_build(big, &report), 0) << report.error;
    EXPECT_NE(file_bytes(little.output), file_bytes(big.output));
    const std::vector<std::string> a = index_contents(little.output), b = index_contents(big.output);
    ASSERT_EQ(a.size(), 24u);
    EXPECT_EQ(a, b);
}

TEST(EspeakVoice, SmallVoiceLoadsPassesCheckAndSpeaksByPosition) {
    ScratchDir dir;
    VoiceBuildOptions o;
    o.source = UnitSource::Espeak;
    o.syllables = with_both_tone_placements(kSmallInventory);
    o.output = dir.file("espeak.voice");
    VoiceBuildReport report;
    ASSERT_EQ(voice_build(o, &report), 0) << report.error;
    EXPECT_EQ(report.syllables_written, static_cast<int>(kSmallInventory.size()) + 3);  // hoa`, thuy?, khoe'

    VoiceCheckReport check;
    ASSERT_EQ(voice_check(o.output, &check), 0);
    EXPECT_FALSE(check.broken());
    EXPECT_TRUE(lacking_syllables(check, {"ho`a", "hoa`", "thu?y", "thuy?", "xoong", "soo'c"}).empty());
    EXPECT_TRUE(report.unstorable.empty());

    ASSERT_EQ(voice_select(o.output.c_str()), 0);
    double by_position[4] = {0, 0, 0, 0};
    for (const std::string &syllable : kSmallInventory) {
        for (int p = 0; p < 4; p++) {
            const double ms = spoken_ms(unit_syllable(syllable) + "." + std::to_string(p));
            EXPECT_GT(ms, 30) << syllable << "." << p;
            by_position[p] += ms;
        }
    }
    // Inside a phrase shorter than alone, the last of a phrase longer.
    EXPECT_LT(by_position[2], by_position[0] * 0.9);
    EXPECT_LT(by_position[1], by_position[0] * 0.95);
    EXPECT_GT(by_position[3], by_position[0] * 1.05);
    voice_release_current();
}

// espeak-ng carries state from one syllable to the next within a process, so each build runs as a
// program of its own, as a voice is built.
TEST(EspeakVoice, SameInputsBuildTheSameBytes) {
    ScratchDir dir;
    {
        std::ofstream list(dir.file("inventory.txt"));
        for (const std::string &syllable : kSmallInventory) list << syllable << "\n";
    }
    std::string first;
    int count = 0;
    for (const char *jobs : {"2", "2", "1"}) {
        const std::string voice = dir.file("espeak" + std::to_string(count++) + ".voice");
        const RunResult result = run_tool(dir, "build --espeak --inventory " + dir.file("inventory.txt") + " --jobs " + jobs +
                                                   " --no-progress -o " + voice);
        ASSERT_EQ(result.status, 0) << result.out;
        const std::string bytes = file_bytes(voice);
        ASSERT_FALSE(bytes.empty());
        if (first.empty()) {
            first = bytes;
        } else {
            EXPECT_TRUE(bytes == first) << jobs << " jobs: the voice differs from the first build";
        }
    }
}

TEST(EspeakVoice, RegionalVariants) {
    ScratchDir dir;
    {
        std::ofstream list(dir.file("inventory.txt"));
        list << "xin\ncha`o\nvie).t\n";
    }
    const std::string inventory = " --inventory " + dir.file("inventory.txt") + " --no-progress -o ";
    ASSERT_EQ(run_tool(dir, "build --espeak" + inventory + dir.file("north.voice")).status, 0);
    RunResult result = run_tool(dir, "build --espeak --variant southern" + inventory + dir.file("south.voice"));
    ASSERT_EQ(result.status, 0) << result.out;
    ASSERT_EQ(run_tool(dir, "build --espeak=central" + inventory + dir.file("central.voice")).status, 0);
    VoiceCheckReport north, south, central;
    ASSERT_EQ(voice_check(dir.file("north.voice"), &north), 0);
    ASSERT_EQ(voice_check(dir.file("south.voice"), &south), 0);
    ASSERT_EQ(voice_check(dir.file("central.voice"), &central), 0);
    EXPECT_EQ(north.header_text_1, "vi-default");
    EXPECT_EQ(north.header_text_2, "espeak-ng vi");
    EXPECT_EQ(south.header_text_1, "vi-south");
    EXPECT_EQ(south.header_text_2, "espeak-ng vi-vn-x-south");
    EXPECT_EQ(central.header_text_1, "vi-central");
    EXPECT_EQ(central.header_text_2, "espeak-ng vi-vn-x-central");
    EXPECT_EQ(north.syllables, south.syllables);
    EXPECT_NE(file_bytes(dir.file("north.voice")), file_bytes(dir.file("south.voice")));
    EXPECT_EQ(run_tool(dir, "build --espeak --variant western" + inventory + dir.file("x.voice")).status, 2);
    EXPECT_EQ(run_tool(dir, "build --recordings " + dir.path + " --variant southern -o " + dir.file("x.voice")).status, 2);
}

TEST(EspeakVoice, UnitsDoNotClipAndShareOneLoudness) {
    ScratchDir dir;
    VoiceBuildOptions o;
    o.source = UnitSource::Espeak;
    o.syllables = kSmallInventory;
    o.output = dir.file("level.voice");
    VoiceBuildReport report;
    ASSERT_EQ(voice_build(o, &report), 0) << report.error;
    EXPECT_TRUE(report.clipping.empty());

    VoiceDatabase *voice = voice_load(o.output.c_str());
    ASSERT_NE(voice, nullptr);
    const std::string file = file_bytes(o.output);
    std::vector<unsigned char> pcm(kPcmBufferBytes);
    std::vector<double> loudness;
    for (int i = 0; i < voice->unit_count; i++) {
        const UnitEntry &unit = voice->units[i];
        testing::internal::CaptureStderr();
        const int bytes = decode_unit(reinterpret_cast<const unsigned char *>(file.data()) + unit.offset, unit.size, pcm.data(),
                                      kPcmBufferBytes, 0, 0);
        testing::internal::GetCapturedStderr();
        ASSERT_GT(bytes, 0) << unit.name;
        PcmAudio audio;
        audio.sample_rate = voice->sample_rate;
        audio.channels = 1;
        audio.samples.resize(static_cast<size_t>(bytes) / 2);
        std::memcpy(audio.samples.data(), pcm.data(), audio.samples.size() * 2);
        EXPECT_LT(peak_sample(audio.samples), 32767) << unit.name << " clips";
        loudness.push_back(gated_loudness(audio, kUnitLoudnessBlockMs));
        EXPECT_NEAR(loudness.back(), kUnitLoudnessLufs, 2.0) << unit.name;
    }
    voice_free(voice);
    std::sort(loudness.begin(), loudness.end());
    EXPECT_NEAR(loudness[loudness.size() / 2], kUnitLoudnessLufs, 0.5);
    const auto within = std::count_if(loudness.begin(), loudness.end(), [](double l) { return std::fabs(l - kUnitLoudnessLufs) <= 1.0; });
    EXPECT_GE(within, static_cast<long>(loudness.size() * 95 / 100));
}

struct BrokenVoiceTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions voice_options;

    std::string write(const std::vector<VoiceUnitData> &units) {
        VoiceFileHeader header;
        header.sample_rate = voice_options.sample_rate;
        const std::string path = dir.file("broken" + std::to_string(count++) + ".voice");
        std::string error;
        EXPECT_EQ(voice_write(path.c_str(), header, units, VoiceByteOrder::Little, &error), 0) << error;
        return path;
    }
    VoiceUnitData unit(const std::string &name) { return {name, test_unit_bytes(name, 120, voice_options)}; }
    int count = 0;
};

TEST_F(BrokenVoiceTest, CheckFindsEachFault) {
    VoiceCheckReport check;
    // xin lacks .3 and holds .2 twice.
    ASSERT_EQ(voice_check(write({unit("xin.0"), unit("xin.1"), unit("xin.2"), unit("xin.2")}), &check), 0);
    EXPECT_TRUE(check.broken());
    EXPECT_EQ(check.missing_positions, std::vector<std::string>{"xin.3"});
    EXPECT_EQ(check.duplicates, std::vector<std::string>{"xin.2"});

    VoiceUnitData corrupt = unit("ba.2");
    for (size_t i = 0; i < corrupt.bytes.size(); i++) corrupt.bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    VoiceUnitData oversize = unit("ba.3");
    oversize.bytes.resize(kUnitBufferBytes + 1, 0);
    ASSERT_EQ(voice_check(write({unit("ba.0"), unit("ba.1"), corrupt, oversize}), &check), 0);
    EXPECT_TRUE(check.missing_positions.empty());
    ASSERT_EQ(check.undecodable.size(), 1u);
    EXPECT_EQ(check.undecodable[0].rfind("ba.2:", 0), 0u);
    ASSERT_EQ(check.oversize.size(), 1u);
    EXPECT_EQ(check.oversize[0].rfind("ba.3:", 0), 0u);
    EXPECT_TRUE(check.broken());

    std::ofstream(dir.file("junk.voice")) << "VELORIN_DATA-v2.5.0\x02\x02";
    EXPECT_EQ(voice_check(dir.file("junk.voice"), &check), -1);
    EXPECT_TRUE(check.broken());
}

TEST_F(BrokenVoiceTest, CommandLineCheckAndList) {
    const std::string good = build_test_voice(dir, {"xin", "cha`o"}, voice_options, "good.voice");
    const std::string bad = write({unit("xin.0"), unit("xin.1"), unit("xin.2"), unit("xin.2")});
    std::ofstream(dir.file("text.txt")) << "Xin chào các bạn, hello!";

    RunResult result = run_tool(dir, "check --text " + dir.file("text.txt") + " " + good);
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("4 Vietnamese syllables, 2 spoken"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("ca'c"), std::string::npos) << result.out;

    result = run_tool(dir, "check " + bad);
    EXPECT_EQ(result.status, 1) << result.out;
    EXPECT_NE(result.out.find("xin.3"), std::string::npos) << result.out;
    EXPECT_EQ(run_tool(dir, "check " + dir.file("nothing.voice")).status, 1);

    result = run_tool(dir, "list " + good);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "cha`o.0\ncha`o.1\ncha`o.2\ncha`o.3\nxin.0\nxin.1\nxin.2\nxin.3\n");
    EXPECT_EQ(run_tool(dir, "build --espeak -o x.voice").status, 2);  // no inventory
}

TEST(TextCoverage, CountsVietnameseSyllablesOnly) {
    const TextCoverage coverage = text_coverage("Xin chào Việt Nam! Gói package git the 1.2-1 NGHIÊNG", {"xin", "cha`o", "nam", "the"});
    // Vietnamese: xin chào việt nam gói the nghiêng; not: package git.
    EXPECT_EQ(coverage.vietnamese_syllables, 7);
    EXPECT_EQ(coverage.spoken, 4);
    EXPECT_EQ(coverage.lacking, (std::map<std::string, long>{{"vie).t", 1}, {"go'i", 1}, {"nghie)ng", 1}}));
    EXPECT_EQ(coverage.other_words, 2);
    // A lone letter is spelled and an English word read by the dictionary: neither is a miss.
    const TextCoverage others = text_coverage("đi đ by", {"d!i"});
    EXPECT_EQ(others.vietnamese_syllables, 3);
    EXPECT_EQ(others.spoken, 1);
    EXPECT_EQ(others.spelled, 1);
    EXPECT_EQ(others.by_dictionary, 1);
    EXPECT_TRUE(others.lacking.empty());
    // The long o is looked up under the voice's name for it.
    const TextCoverage long_o = text_coverage("Cái xoong, quần soóc", {"ca'i", "xoOng", "qua)`n"});
    EXPECT_EQ(long_o.spoken, 3);
    EXPECT_EQ(long_o.lacking, (std::map<std::string, long>{{"soo'c", 1}}));
    for (const char *word : {"xin", "nghieng", "quyen", "hoa", "khuya"}) EXPECT_TRUE(looks_vietnamese(word)) << word;
    for (const char *word : {"git", "main", "package", "debian", "muan", "bach"}) EXPECT_FALSE(looks_vietnamese(word)) << word;
}

}  // namespace
