// A voice from one person's reading: the prompts cover the inventory, most frequent first; the
// cutter finds the joins of synthetic takes (espeak-ng voices as stand-in speakers, with room
// noise, level changes and clipping) and refuses faulty takes; the recorder files takes, redoes
// one and resumes after being stopped inside a take; a partial voice built from takes speaks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "scheduler/speech.h"
#include "support/scratch_dir.h"
#include "support/speech_capture.h"
#include "tools/take_cutter.h"
#include "tools/take_synth.h"
#include "tools/voice_builder.h"
#include "tools/voice_check.h"
#include "tools/voice_prompts.h"
#include "tools/voice_recorder.h"
#include "voice/voice_file.h"

namespace fs = std::filesystem;

namespace {

// Sanitizer builds run the same paths on fewer takes.
#ifdef VELORIN_SANITIZED
constexpr int kAccuracyTakes = 30, kVoiceTakes = 40;
#else
constexpr int kAccuracyTakes = 90, kVoiceTakes = 300;
#endif

std::vector<std::string> inventory() {
    std::vector<std::string> syllables;
    std::string error;
    EXPECT_EQ(read_syllable_list(VELORIN_SYLLABLES_PATH, &syllables, &error), 0) << error;
    return syllables;
}

SyllableFrequencies frequencies() {
    SyllableFrequencies counts;
    std::string error;
    EXPECT_EQ(read_syllable_frequencies(VELORIN_FREQUENCIES_PATH, &counts, &error), 0) << error;
    return counts;
}

const std::vector<Prompt> &default_prompts() {
    static const std::vector<Prompt> prompts = make_prompts(inventory(), frequencies());
    return prompts;
}

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs velorin-voice with the given arguments and standard input; its exit status and output.
struct ToolRun {
    int status;
    std::string out;
};
ToolRun run_tool(const ScratchDir &dir, const std::string &arguments, const std::string &input = "") {
    const std::string out = dir.file("tool.out");
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " + std::string(VELORIN_VOICE_PATH) + " " + arguments + " >" +
                                out + " 2>&1";
    signal(SIGPIPE, SIG_IGN);  // the tool may end before it has read all its input
    FILE *pipe = popen(command.c_str(), "w");
    if (!pipe) return {-1, ""};
    std::fwrite(input.data(), 1, input.size(), pipe);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out)};
}

// Synthetic takes of prompts, one WAV per prompt number, as synth-takes makes them.
void write_synthetic_takes(const std::vector<Prompt> &prompts, const std::string &dir, uint32_t seed) {
    fs::create_directories(dir);
    std::mt19937 random(seed);
    for (const Prompt &prompt : prompts) {
        SyntheticTakeOptions style;
        style.words_per_minute = 130 + static_cast<int>(random() % 50);
        style.gain_db = -8.0 + (random() % 80) / 10.0;
        style.noise_db = -66 + (random() % 80) / 10.0;
        SyntheticTake take;
        std::string error;
        ASSERT_EQ(synthesize_take(prompt_words(prompt), prompt.kind, style, random(), &take, &error), 0) << error;
        ASSERT_EQ(write_wav(dir + "/" + std::to_string(prompt.number) + ".wav", take.audio, &error), 0) << error;
    }
}

TEST(Prompts, CoverEveryPositionOfEverySyllableOnce) {
    const std::vector<std::string> syllables = inventory();
    const std::vector<Prompt> &prompts = default_prompts();
    std::map<std::string, int> given;  // unit -> times a prompt gives it
    for (size_t i = 0; i < prompts.size(); i++) {
        ASSERT_EQ(prompts[i].number, static_cast<int>(i) + 1);
        ASSERT_EQ(prompts[i].words.size(), 3u);
        for (const PromptWord &word : prompts[i].words)
            for (const std::string &unit : word.units) given[unit]++;
    }
    for (const std::string &syllable : syllables) {
        for (int p = 0; p < 4; p++) {
            const std::string unit = syllable + "." + std::to_string(p);
            EXPECT_EQ(given[unit], 1) << unit;
        }
    }
    EXPECT_EQ(given.size(), syllables.size() * 4);
    // Groups of four takes; the two spellings of one tone placement are read once.
    EXPECT_EQ(prompts.size() % 4, 0u);
    EXPECT_LT(prompts.size(), syllables.size() * 4 / 3 + 4);
}

TEST(Prompts, TonePlacementsShareAWordAndShortGroupsAreFilled) {
    const std::vector<Prompt> prompts = make_prompts({"ho`a", "hoa`", "xin"}, {});
    ASSERT_EQ(prompts.size(), 4u);  // one group: hòa/hoà, xin and a filler
    std::set<std::string> units;
    int fillers = 0;
    for (const Prompt &prompt : prompts) {
        for (const PromptWord &word : prompt.words) {
            units.insert(word.units.begin(), word.units.end());
            fillers += word.units.empty();
            if (word.syllable == "ho`a" || word.syllable == "hoa`") {
                EXPECT_EQ(word.units.size(), 2u);
            }
        }
    }
    EXPECT_EQ(units.size(), 12u);  // four positions of ho`a, hoa` and xin
    EXPECT_EQ(fillers, 4);
    EXPECT_EQ(prompts[3].kind, PromptKind::Alone);
    EXPECT_NE(prompt_text(prompts[3]).find(" · "), std::string::npos);

    const std::vector<Prompt> one = make_prompts({"ba"}, {});
    ASSERT_EQ(one.size(), 4u);
    std::set<std::string> one_units;
    for (const Prompt &prompt : one)
        for (const PromptWord &word : prompt.words) one_units.insert(word.units.begin(), word.units.end());
    EXPECT_EQ(one_units, (std::set<std::string>{"ba.0", "ba.1", "ba.2", "ba.3"}));
}

TEST(Prompts, JoinDifficulty) {
    const struct {
        const char *first, *second;
        int difficulty;
    } cases[] = {{"mo).t", "a", 0},       {"xin", "cha`o", 0}, {"ba", "d!i", 0}, {"ba", "la`", 1},
                 {"cho.n", "ca'c", 0},    {"xin", "a", 2},     {"ba", "a", 3},   {"xin", "nam", 3},
                 {"ba", "nam", 1},        {"hai", "o)ng", 3}};
    for (const auto &c : cases) EXPECT_EQ(join_difficulty(c.first, c.second), c.difficulty) << c.first << " " << c.second;
}

TEST(Prompts, CoverageRisesSteeplyThenFlattens) {
    const SyllableFrequencies counts = frequencies();
    ASSERT_GT(counts.total, 100000);
    std::vector<int> at;
    for (int n = 4; n <= 9000; n += 4) at.push_back(n);
    const std::vector<CoveragePoint> curve = prompt_coverage(default_prompts(), counts, at);
    ASSERT_EQ(curve.size(), at.size() + 1);
    for (size_t i = 1; i < curve.size(); i++) {
        EXPECT_GE(curve[i].speakable, curve[i - 1].speakable) << curve[i].takes;
        EXPECT_GE(curve[i].complete, curve[i - 1].complete) << curve[i].takes;
    }
    auto after = [&](int takes) {
        for (const CoveragePoint &point : curve)
            if (point.takes == takes) return point;
        return CoveragePoint{};
    };
    EXPECT_GT(after(500).complete, 85.0);
    EXPECT_GT(after(1000).complete, 95.0);
    // The first hundred takes do more than the last five thousand.
    EXPECT_GT(after(100).speakable, curve.back().speakable - after(4000).speakable);
    EXPECT_GT(curve.back().complete, 99.0);
    for (int n : {500, 1000, 2000})
        std::printf("coverage after %d takes: %.2f%% (all four positions)\n", n, after(n).complete);
}

TEST(Prompts, FileRoundTripAndBadFiles) {
    ScratchDir dir;
    std::vector<Prompt> prompts(default_prompts().begin(), default_prompts().begin() + 40);
    std::string error;
    ASSERT_EQ(write_prompts(dir.file("p.tsv"), prompts, "test list\nsecond line", &error), 0) << error;
    std::vector<Prompt> read;
    ASSERT_EQ(read_prompts(dir.file("p.tsv"), &read, &error), 0) << error;
    ASSERT_EQ(read.size(), prompts.size());
    for (size_t i = 0; i < read.size(); i++) {
        EXPECT_EQ(prompt_text(read[i]), prompt_text(prompts[i]));
        ASSERT_EQ(read[i].words.size(), prompts[i].words.size());
        for (size_t k = 0; k < read[i].words.size(); k++) EXPECT_EQ(read[i].words[k].units, prompts[i].words[k].units);
    }
    EXPECT_NE(read_file(dir.file("p.tsv")).find("# second line"), std::string::npos);

    const char *bad[] = {"1\trun\txin\n", "2\trun\txin chào ba\txin.1\tcha`o.2\tba.3\n", "1\tsung\tx\txin.1\tba.2\ta.3\n",
                         "1\trun\txin ba a\txin.7\tba.2\ta.3\n", "# nothing\n"};
    for (const char *text : bad) {
        std::ofstream(dir.file("bad.tsv"), std::ios::binary) << text;
        EXPECT_EQ(read_prompts(dir.file("bad.tsv"), &read, &error), -1) << text;
        EXPECT_FALSE(error.empty());
    }
}

// The stand-in speakers: espeak-ng voices other than the one the cutter aligns against.
const char *const kSpeakers[] = {"vi+f2", "vi+m3", "vi+f4", "vi+m1", "vi-vn-x-south", "vi+klatt"};

TEST(Cutter, FindsTheJoinsOfSyntheticTakes) {
    const uint32_t seed = 2024;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    const std::vector<Prompt> &prompts = default_prompts();
    int joins = 0, within = 0, takes = 0, refused = 0;
    for (int n = 0; n < kAccuracyTakes; n++) {
        const Prompt &prompt = prompts[(n * 97 + 5) % prompts.size()];
        SyntheticTakeOptions style;
        style.voice = kSpeakers[n % 6];
        style.words_per_minute = 115 + static_cast<int>(random() % 85);
        style.pitch = 30 + static_cast<int>(random() % 40);
        style.gain_db = -16.0 + (random() % 160) / 10.0;  // the level changes from take to take
        style.noise_db = -70 + (random() % 120) / 10.0;   // and so does the room
        if (n % 10 == 3) style.clip_db = 3.0;             // a little clipping now and then
        SyntheticTake take;
        std::string error;
        ASSERT_EQ(synthesize_take(prompt_words(prompt), prompt.kind, style, random(), &take, &error), 0) << error;
        TakeCut cut;
        ASSERT_EQ(cut_take(take.audio, prompt, &cut, &error), 0) << error;
        const std::vector<std::string> level = level_problems(measure_take(take.audio));
        EXPECT_EQ(!level.empty(), style.clip_db > 0) << prompt_text(prompt) << (level.empty() ? "" : ": " + level[0]);
        takes++;
        refused += !cut.problems.empty();
        ASSERT_EQ(cut.edges.size(), take.joins.size() + 2) << prompt_text(prompt);
        for (size_t k = 0; k < take.joins.size(); k++) {
            const int at = cut.edges[k + 1];
            const int off = at < take.joins[k].first ? take.joins[k].first - at : at > take.joins[k].second ? at - take.joins[k].second : 0;
            const double ms = 1000.0 * off / take.audio.sample_rate;
            joins++;
            within += ms <= 20;
            if (ms > 20) std::printf("  %s (%s): join %zu off by %.0f ms\n", prompt_text(prompt).c_str(), style.voice.c_str(), k + 1, ms);
        }
    }
    std::printf("%d of %d joins within 20 ms (%.1f%%); %d of %d good takes refused\n", within, joins, 100.0 * within / joins,
                refused, takes);
    EXPECT_GE(within, joins * 95 / 100);
    EXPECT_LE(refused, takes / 10);
}

TEST(Cutter, RefusesTakesWithAWordTooFewOrTooMany) {
    const std::vector<Prompt> &prompts = default_prompts();
    std::mt19937 random(7);
    int dropped = 0, dropped_found = 0, added = 0, added_found = 0;
    for (int n = 0; n < 24; n++) {
        const Prompt &prompt = prompts[(n * 389 + 11) % prompts.size()];
        std::vector<std::string> words = prompt_words(prompt);
        const bool drop = n % 2 == 0;
        if (drop) {
            words.erase(words.begin() + static_cast<long>(random() % words.size()));
        } else {
            words.insert(words.begin() + static_cast<long>(random() % (words.size() + 1)), words[random() % words.size()]);
        }
        SyntheticTakeOptions style;
        style.voice = kSpeakers[n % 6];
        SyntheticTake take;
        std::string error;
        ASSERT_EQ(synthesize_take(words, prompt.kind, style, random(), &take, &error), 0) << error;
        TakeCut cut;
        ASSERT_EQ(cut_take(take.audio, prompt, &cut, &error), 0) << error;
        const bool found = !cut.problems.empty();
        (drop ? dropped : added)++;
        (drop ? dropped_found : added_found) += found;
        if (!found) std::printf("  not refused: \"%s\" for \"%s\" (%s)\n", words[0].c_str(), prompt_text(prompt).c_str(), style.voice.c_str());
    }
    std::printf("refused %d of %d takes a word short, %d of %d a word long\n", dropped_found, dropped, added_found, added);
    EXPECT_GE(dropped_found, dropped - 1);
    EXPECT_GE(added_found, added * 2 / 3);
}

TEST(Cutter, LevelChecks) {
    const Prompt &prompt = default_prompts()[0];
    const struct {
        double gain_db, noise_db, clip_db;
        const char *problem;
    } cases[] = {{0, -62, 0, ""}, {-32, -80, 0, "too quiet"}, {-6, -35, 0, "too much noise"}, {0, -62, 2, "clipped"}};
    for (const auto &c : cases) {
        SyntheticTakeOptions style;
        style.gain_db = c.gain_db, style.noise_db = c.noise_db, style.clip_db = c.clip_db;
        SyntheticTake take;
        std::string error;
        ASSERT_EQ(synthesize_take(prompt_words(prompt), prompt.kind, style, 3, &take, &error), 0) << error;
        const std::vector<std::string> problems = level_problems(measure_take(take.audio));
        if (!*c.problem) {
            EXPECT_TRUE(problems.empty()) << problems[0];
        } else {
            ASSERT_EQ(problems.size(), 1u) << c.problem;
            EXPECT_EQ(problems[0].rfind(c.problem, 0), 0u) << problems[0];
        }
    }
}

TEST(Levels, GainGateAndUnits) {
    const Prompt &prompt = default_prompts()[4];
    SyntheticTakeOptions style;
    style.gain_db = -12;
    style.noise_db = -74;
    SyntheticTake take;
    std::string error;
    ASSERT_EQ(synthesize_take(prompt_words(prompt), prompt.kind, style, 5, &take, &error), 0) << error;
    const TakeLevels before = measure_take(take.audio);
    const double gain = take_gain_db(take.audio, before);
    apply_gain_db(&take.audio, gain);
    const TakeLevels after = measure_take(take.audio);
    EXPECT_NEAR(after.speech_db, kTakeTargetDb, 1.0);
    EXPECT_NEAR(after.noise_db - before.noise_db, gain, 1.0);

    // One gate for takes from a quiet and a noisy room: over the noisier, under the speech.
    const double gate = shared_gate_db({-70, -66, after.noise_db, -72});
    EXPECT_NEAR(gate, after.noise_db + 6, 0.01);
    EXPECT_GT(gate, after.noise_db);
    EXPECT_LT(gate, kTakeTargetDb - 25);
    TakeCut cut;
    ASSERT_EQ(cut_take(take.audio, prompt, &cut, &error), 0) << error;
    apply_noise_gate(&take.audio, gate);
    const TakeLevels gated = measure_take(take.audio);
    EXPECT_LT(gated.noise_db, -100);                     // the room is gone
    EXPECT_NEAR(gated.speech_db, after.speech_db, 0.5);  // the words are not

    ScratchDir dir;
    std::vector<std::string> left_out;
    ASSERT_EQ(write_take_units(take.audio, prompt, cut, dir.path, &left_out, &error), 3) << error;
    EXPECT_TRUE(left_out.empty());
    for (const PromptWord &word : prompt.words) {
        const std::string &unit = word.units[0];
        PcmAudio audio;
        ASSERT_EQ(read_wav(dir.file(recording_file_name(unit.substr(0, unit.size() - 2), unit.back() - '0')), &audio, &error), 0)
            << error;
        EXPECT_GT(audio_ms(audio), 80) << unit;
        EXPECT_LT(audio_ms(audio), 900) << unit;
        EXPECT_EQ(audio.samples.front(), 0) << unit;  // faded in and out
        EXPECT_EQ(audio.samples.back(), 0) << unit;
    }
    // An untrusted join keeps the words beside it out.
    cut.confidence[0] = 0.1;
    ScratchDir other;
    EXPECT_EQ(write_take_units(take.audio, prompt, cut, other.path, &left_out, &error), 1);
    EXPECT_EQ(left_out.size(), 2u);
    EXPECT_EQ(weak_joins(cut), std::vector<std::string>{"join 1 (0.10)"});
}

TEST(Fill, NearestRecordedPosition) {
    const struct {
        int missing;
        unsigned recorded;
        int source;
    } cases[] = {{0, 0b1000, 3}, {0, 0b0100, 2}, {0, 0b0010, 1}, {0, 0b0110, 2}, {3, 0b0101, 2}, {3, 0b0011, 0},
                 {2, 0b1010, 1}, {2, 0b1001, 3}, {2, 0b0001, 0}, {1, 0b1101, 2}, {1, 0b1001, 3}, {1, 0b0001, 0},
                 {1, 0b0000, -1}};
    for (const auto &c : cases) EXPECT_EQ(fill_source_position(c.missing, c.recorded), c.source) << c.missing << " " << c.recorded;
}

// A recording folder with synthetic takes of its first prompts.
struct RecordingFolderTest : testing::Test {
    ScratchDir dir;
    std::string folder, fake, prompts_file;
    std::vector<Prompt> prompts;

    void SetUp() override {
        folder = dir.file("voice");
        fake = dir.file("fake");
        prompts_file = dir.file("prompts.tsv");
        prompts.assign(default_prompts().begin(), default_prompts().begin() + 12);
        std::string error;
        ASSERT_EQ(write_prompts(prompts_file, prompts, "the first twelve", &error), 0) << error;
        write_synthetic_takes(prompts, fake, 11);
    }
    std::set<int> takes() const {
        std::set<int> numbers;
        std::error_code ec;
        for (fs::directory_iterator it(folder + "/takes", ec), end; !ec && it != end; it.increment(ec))
            if (int n = take_number(it->path().filename().string())) numbers.insert(n);
        return numbers;
    }
    // A recorder that copies the synthetic take of the prompt; it sets no handler for the stop
    // signal, so it always finishes its copy.
    std::string recorder(const std::string &extra = "") const {
        return "--recorder \"" + extra + "cp " + fake + "/{prompt}.wav {file}\"";
    }
};

TEST_F(RecordingFolderTest, FromAFolderOfTakes) {
    // Prompt 2 clipped, prompt 3 with a word missing, a file that is no WAV, a number past the list.
    SyntheticTakeOptions clipped;
    clipped.clip_db = 3;
    SyntheticTake take;
    std::string error;
    ASSERT_EQ(synthesize_take(prompt_words(prompts[1]), prompts[1].kind, clipped, 1, &take, &error), 0);
    ASSERT_EQ(write_wav(fake + "/2.wav", take.audio, &error), 0);
    std::vector<std::string> short_words = prompt_words(prompts[2]);
    short_words.pop_back();
    ASSERT_EQ(synthesize_take(short_words, prompts[2].kind, {}, 1, &take, &error), 0);
    ASSERT_EQ(write_wav(fake + "/0003.wav", take.audio, &error), 0);
    fs::remove(fake + "/3.wav");
    std::ofstream(fake + "/5.wav") << "not a wav";
    fs::copy_file(fake + "/1.wav", fake + "/99.wav");
    std::ofstream(fake + "/notes.txt") << "ignored";

    ToolRun run = run_tool(dir, "record " + folder + " --prompts " + prompts_file + " --from " + fake);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("9 takes filed, 4 refused; 9 of 12 prompts done"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("refused 2: clipped"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("refused 3: heard"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("refused 5:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("refused 99: no such prompt"), std::string::npos) << run.out;
    EXPECT_EQ(takes(), (std::set<int>{1, 4, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(read_file(folder + "/prompts.tsv"), read_file(prompts_file));

    // Cutting: units of the kept takes, and a list of what to record again.
    run = run_tool(dir, "cut " + folder);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("9 takes cut into"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(folder + "/units/" + recording_file_name(prompts[0].words[0].syllable, 1)));
    EXPECT_TRUE(fs::exists(folder + "/retakes.tsv"));
    // Another folder of recordings is never emptied to take the units.
    fs::create_directories(dir.file("mine"));
    std::ofstream(dir.file("mine/xin.0.wav")) << "someone's recording";
    run = run_tool(dir, "cut " + folder + " -o " + dir.file("mine"));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("give an empty folder"), std::string::npos) << run.out;
    EXPECT_EQ(read_file(dir.file("mine/xin.0.wav")), "someone's recording");
}

TEST_F(RecordingFolderTest, LiveSessionRedoesAndResumesAfterAStopInsideATake) {
    // Three takes, the third recorded again, then the session is killed inside the fifth.
    const std::string kill_in_fifth = "if [ {prompt} = 5 ]; then head -c 9000 " + fake + "/5.wav > {file}; kill -9 \\$PPID; exit 0; fi; ";
    ToolRun run = run_tool(dir, "record " + folder + " --prompts " + prompts_file + " " + recorder(kill_in_fifth),
                           "\n\n" "\n\n" "\n\n" "r\n" "\n\n" "\n\n" "\n\n");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(takes(), (std::set<int>{1, 2, 3, 4}));
    EXPECT_TRUE(fs::exists(folder + "/takes/.recording.wav"));  // the half take
    EXPECT_NE(run.out.find("Prompt 3"), run.out.rfind("Prompt 3")) << run.out;  // asked twice
    EXPECT_NE(run.out.find("[0 of 12 done, 12 to go, about"), std::string::npos) << run.out;

    // The next session drops the half take and goes on from the fifth prompt.
    run = run_tool(dir, "record " + folder + " " + recorder(), "\n\n" "\n\n" "q\n");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("Prompt 4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Prompt 5"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("[4 of 12 done"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 takes kept in this session; 6 of 12 prompts done"), std::string::npos) << run.out;
    EXPECT_EQ(takes(), (std::set<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(fs::exists(folder + "/takes/.recording.wav"));

    // A take that fails its check is asked for again, or kept on request.
    std::ofstream(dir.file("quiet.sh")) << "head -c 44 " << fake << "/7.wav > $1; head -c 200000 /dev/zero >> $1\n";
    run = run_tool(dir, "record " + folder + " --recorder \"sh " + dir.file("quiet.sh") + " {file}\"", "\n\n" "s\n" "\n\n" "k\n" "q\n");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Take again:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("no speech"), std::string::npos) << run.out;
    EXPECT_EQ(takes(), (std::set<int>{1, 2, 3, 4, 5, 6, 8}));
}

TEST(Recording, PartialVoiceFromTakesSpeaksAndReportsFillIns) {
    ScratchDir dir;
    const std::string folder = dir.file("voice"), fake = dir.file("fake");
    std::vector<Prompt> prompts(default_prompts().begin(), default_prompts().begin() + kVoiceTakes);
    std::string error;
    ASSERT_EQ(write_prompts(dir.file("prompts.tsv"), default_prompts(), "all", &error), 0) << error;
    write_synthetic_takes(prompts, fake, 300);
    // Two takes never made: their syllables lack the positions those takes give.
    fs::remove(fake + "/4.wav");
    fs::remove(fake + "/10.wav");

    ToolRun run = run_tool(dir, "record " + folder + " --prompts " + dir.file("prompts.tsv") + " --from " + fake);
    ASSERT_EQ(run.status, 0) << run.out;
    run = run_tool(dir, "build --takes " + folder + " --no-progress -o " + dir.file("mine.voice"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("units filled in from another position"), std::string::npos) << run.out;

    VoiceCheckReport check;
    ASSERT_EQ(voice_check(dir.file("mine.voice"), &check), 0);
    EXPECT_FALSE(check.broken());
    EXPECT_GE(check.syllables.size(), kVoiceTakes * 3 / 4 * 95 / 100u);  // a few takes refused
    // Prompt 4 was the alone take of the first group: its words now speak alone from their last.
    for (const PromptWord &word : default_prompts()[3].words) {
        const std::string syllable = word.syllable;
        const bool listed = std::any_of(check.filled.begin(), check.filled.end(), [&](const std::string &group) {
            return group.find(syllable + ".0=") != std::string::npos;
        });
        EXPECT_TRUE(listed || !check.syllables.count(syllable)) << syllable;
    }
    run = run_tool(dir, "check " + dir.file("mine.voice"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("positions filled in from one recording"), std::string::npos) << run.out;

    // The voice speaks a paragraph of running text: most of its words from recorded units.
    const std::u16string paragraph =
        u"Bạn có thể chọn một ô trong bảng và nhấn phím để hiển thị hộp thoại. Trong hộp thoại này, bạn có thể "
        u"thay đổi kiểu dữ liệu của cột, sửa tên trường và thêm một trang mới vào tài liệu. Nếu không tìm thấy "
        u"tập tin, hãy dùng lệnh mở để chọn đường dẫn khác.";
    int words = 0, spoken = 0;
    {
        std::string utf8;
        for (char16_t c : paragraph) {
            if (c < 0x80) {
                utf8 += static_cast<char>(c);
            } else if (c < 0x800) {
                utf8 += static_cast<char>(0xC0 | c >> 6), utf8 += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                utf8 += static_cast<char>(0xE0 | c >> 12), utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    utf8 += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        const TextCoverage coverage = text_coverage(utf8, check.syllables);
        words = static_cast<int>(coverage.vietnamese_syllables);
        spoken = static_cast<int>(coverage.spoken);
    }
    if (kVoiceTakes >= 300) {
        EXPECT_GE(spoken, words * 8 / 10) << spoken << " of " << words;
    }
    ASSERT_EQ(voice_select(dir.file("mine.voice").c_str()), 0);
    capture_start();
    speak_text(paragraph.c_str(), 1);
    ASSERT_TRUE(wait_until_quiet());
    int sounding = 0;
    for (const CapturedChunk &chunk : captured_chunks()) {
        bool sound = false;
        for (size_t i = 0; i + 1 < chunk.data.size() && !sound; i += 2)
            sound = std::abs(static_cast<int16_t>(chunk.data[i] | chunk.data[i + 1] << 8)) > 300;
        sounding += sound;
    }
    capture_stop();
    voice_release_current();
    EXPECT_GE(sounding, spoken * 9 / 10) << sounding << " chunks with sound, " << spoken << " words in the voice";
}

}  // namespace
