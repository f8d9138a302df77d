// sd_velorin run as speech-dispatcher runs it, with pipes on its standard input and output: each
// command and its reply, the events and audio of a message, how it stops, and what it starts
// with. The audio it sends is compared with what this process's own engine makes of the same
// text with the same settings.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "speechd/speech_text.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"
#include "tools/utf8_text.h"
#include "voice/voice_file.h"

namespace {

// A running sd_velorin.
struct Module {
    pid_t pid = -1;
    int to_module = -1;
    int from_module = -1;
    std::string pending;

    void start(const std::string &config_path) {
        int in[2], out[2];
        ASSERT_EQ(pipe(in), 0);
        ASSERT_EQ(pipe(out), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[0]), close(in[1]), close(out[0]), close(out[1]);
            // LeakSanitizer's exit-time scan fails in a child of a sanitized process.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(SD_VELORIN_PATH, SD_VELORIN_PATH, config_path.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_module = in[1];
        from_module = out[0];
    }

    void send(const std::string &text) {
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(to_module, text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
    }

    // The next line with its newline; "" when the module ends or says nothing for 20 s.
    std::string line() {
        for (;;) {
            size_t newline = pending.find('\n');
            if (newline != std::string::npos) {
                std::string out = pending.substr(0, newline + 1);
                pending.erase(0, newline + 1);
                return out;
            }
            pollfd p{from_module, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) return "";
            char chunk[65536];
            ssize_t n = read(from_module, chunk, sizeof chunk);
            if (n <= 0) return "";
            pending.append(chunk, static_cast<size_t>(n));
        }
    }

    // The next message as the server reads it: lines up to one whose code is followed by a space.
    // Without its last newline; "" when nothing comes.
    std::string message() {
        std::string out;
        for (;;) {
            std::string l = line();
            if (l.empty()) return "";
            out += l;
            if (l.size() < 5 || l[3] == ' ') break;
        }
        out.pop_back();
        return out;
    }

    // Goes away as the server does, closing both pipes, and waits for the module: its exit
    // status, or -1.
    int finish() {
        if (to_module >= 0) close(to_module);
        if (from_module >= 0) close(from_module);
        to_module = from_module = -1;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return -1;
    }

    ~Module() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            finish();
        }
    }
};

// One "705 AUDIO" message taken apart.
struct AudioBlock {
    int bits = 0, channels = 0, sample_rate = 0, samples = 0, big_endian = -1;
    std::string pcm;
    int escapes = 0;
};

bool parse_audio(const std::string &message, AudioBlock *block) {
    size_t at = 0;
    for (;;) {
        size_t end = message.find('\n', at);
        if (end == std::string::npos) return false;
        const std::string line = message.substr(at, end - at);
        if (line.compare(0, 10, std::string("705-AUDIO\0", 10)) == 0) {
            for (size_t i = 10; i < line.size(); ++i) {
                if (line[i] == 0x7D && i + 1 < line.size()) {
                    block->pcm += static_cast<char>(line[++i] ^ 0x20);
                    ++block->escapes;
                } else {
                    block->pcm += line[i];
                }
            }
            return message.substr(end + 1) == "705 AUDIO";
        }
        size_t equals = line.find('=');
        if (line.compare(0, 4, "705-") != 0 || equals == std::string::npos) return false;
        const std::string name = line.substr(4, equals - 4);
        const int value = std::atoi(line.c_str() + equals + 1);
        if (name == "bits") block->bits = value;
        else if (name == "num_channels") block->channels = value;
        else if (name == "sample_rate") block->sample_rate = value;
        else if (name == "num_samples") block->samples = value;
        else if (name == "big_endian") block->big_endian = value;
        else return false;
        at = end + 1;
    }
}

// What a message's events come to: each message as it stands, marks as "700 name", and every
// run of audio blocks as one "AUDIO", whose samples are collected.
struct Events {
    std::vector<std::string> summary;
    std::string pcm;
    std::vector<AudioBlock> blocks;
};

bool is_end(const std::string &message) {
    return message.compare(0, 3, "702") == 0 || message.compare(0, 3, "703") == 0 || message.compare(0, 3, "704") == 0;
}

// Messages up to and including the first END, STOP or PAUSE (or until `stop_at`, when given).
Events read_events(Module &m, const std::string &stop_at = "") {
    Events e;
    for (;;) {
        const std::string message = m.message();
        if (message.empty()) {
            e.summary.push_back("(nothing)");
            return e;
        }
        if (message.compare(0, 3, "705") == 0) {
            AudioBlock block;
            if (!parse_audio(message, &block)) {
                e.summary.push_back("(bad audio)");
                return e;
            }
            e.pcm += block.pcm;
            e.blocks.push_back(block);
            if (e.summary.empty() || e.summary.back() != "AUDIO") e.summary.push_back("AUDIO");
        } else if (message.compare(0, 4, "700-") == 0) {
            e.summary.push_back("700 " + message.substr(4, message.find('\n') - 4));
        } else {
            e.summary.push_back(message);
        }
        if (is_end(message) || (!stop_at.empty() && e.summary.back() == stop_at)) return e;
    }
}

// Equal PCM, or where it first differs (without printing all of it).
testing::AssertionResult same_pcm(const std::string &actual, const std::string &expected) {
    if (actual == expected) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return testing::AssertionFailure() << actual.size() << " bytes of audio where " << expected.size()
                                       << " were expected, the first difference at byte " << at;
}

std::u16string utf16(const std::string &utf8) {
    std::u16string out;
    size_t bad = 0;
    utf8_to_utf16(utf8, &out, &bad);
    return out;
}

const std::vector<std::string> kSyllables = {"xin", "cha`o", "ba", "hai", "khoa?ng", "tra('ng", "pha)?y", "cha)'m",
                                              "xe)", "te)", "ro(`", "e", "lo(`", "co).ng", "so(`", "mo).t", "nam"};
const char kVoiceList[] = "200-vi-default\tvi\tnone\n200-vi-other\tvi\tnone\n200 OK VOICE LIST SENT";

struct ModuleTest : testing::Test {
    ScratchDir dir;
    std::string default_voice;
    std::string config;
    Module m;

    static void SetUpTestSuite() { signal(SIGPIPE, SIG_IGN); }

    void SetUp() override {
        ASSERT_EQ(mkdir(dir.file("voices").c_str(), 0755), 0);
        TestVoiceOptions options;
        options.unit_ms = 120;
        default_voice = build_test_voice(dir, kSyllables, options, "voices/vi-default.voice");
        options.sample_rate = 22050;
        ASSERT_FALSE(build_test_voice(dir, kSyllables, options, "voices/vi-other.voice").empty());
        // Not a voice: never listed.
        std::ofstream(dir.file("voices/broken.voice")) << "not a voice";
        config = dir.file("velorin.conf");
        std::ofstream(config) << "VelorinVoiceDirectory \"" << dir.file("voices") << "\"\n";
    }

    void TearDown() override { voice_release_current(); }

    void start_initialized() {
        m.start(config);
        m.send("INIT\n");
        const std::string reply = m.message();
        ASSERT_EQ(reply.substr(0, 12), "299-Velorin ") << reply;
        ASSERT_NE(reply.find("\n299 OK LOADED SUCCESSFULLY"), std::string::npos) << reply;
        m.send("AUDIO\naudio_output_method=server\n.\n");
        ASSERT_EQ(m.message(), "207 OK RECEIVING AUDIO SETTINGS");
        ASSERT_EQ(m.message(), "203 OK AUDIO INITIALIZED");
    }

    void set(const std::string &settings) {
        m.send("SET\n" + settings + ".\n");
        ASSERT_EQ(m.message(), "203 OK RECEIVING SETTINGS");
        ASSERT_EQ(m.message(), "203 OK SETTINGS RECEIVED");
    }

    // What this process's engine, set as the module sets it, makes of the texts, one request each.
    std::string engine_pcm(const std::vector<std::string> &texts, int rate = 0, int pitch = 0, int volume = 100) {
        reset_engine_parameters();
        set_engine_parameter(kParamProfile, kProfileFluent);
        set_engine_parameter(kParamDiagnostics, 0);
        const EngineProsody p = engine_prosody(rate, pitch, volume);
        settings_set_rate(p.host_rate);
        set_engine_parameter(kParamSpeed, p.speed_percent);
        synth_settings().pitch.store(p.pitch_percent);
        synth_settings().volume.store(p.volume_percent);
        EXPECT_EQ(voice_select(default_voice.c_str()), 0);
        capture_start();
        set_speech_parameter(kParamHold, 1);
        for (size_t i = 0; i < texts.size(); ++i) speak_text(utf16(texts[i]).c_str(), static_cast<int32_t>(i));
        set_speech_parameter(kParamHold, 0);
        EXPECT_TRUE(wait_until_quiet());
        std::string pcm;
        for (const CapturedChunk &chunk : captured_chunks()) pcm.append(chunk.data.begin(), chunk.data.end());
        capture_stop();
        settings_reset();
        reset_engine_parameters();
        return pcm;
    }
};

struct Exchange {
    std::string send;
    std::vector<std::string> replies;
};

TEST_F(ModuleTest, EveryCommandGetsItsReply) {
    start_initialized();
    const std::string receiving = "203 OK RECEIVING SETTINGS";
    const Exchange session[] = {
        {"AUDIO\naudio_output_method=pulse\naudio_pulse_device=default\n.\n",
         {"207 OK RECEIVING AUDIO SETTINGS", "303 ERROR INVALID PARAMETER OR VALUE"}},
        {"LOGLEVEL\nlog_level=4\n.\n", {"207 OK RECEIVING LOGLEVEL SETTINGS", "203 OK LOGLEVEL SET"}},
        {"LOGLEVEL\nlog_level=high\n.\n", {"207 OK RECEIVING LOGLEVEL SETTINGS", "303 ERROR INVALID PARAMETER OR VALUE"}},
        {"LIST VOICES\n", {kVoiceList}},
        // Everything speech-dispatcher 0.11 sends, and a setting a later one might.
        {"SET\npitch=-10\npitch_range=50\nrate=20\nvolume=100\npunctuation_mode=all\nspelling_mode=on\n"
         "cap_let_recogn=none\nvoice=male1\nlanguage=vi\nsynthesis_voice=NULL\nfuture_setting=1\n.\n",
         {receiving, "203 OK SETTINGS RECEIVED"}},
        {"SET\n.\n", {receiving, "203 OK SETTINGS RECEIVED"}},
        {"SET\nrate\n.\n", {receiving, "302 ERROR BAD SYNTAX"}},
        {"SET\nrate=\n.\n", {receiving, "302 ERROR BAD SYNTAX"}},
        {"SET\n=5\n.\n", {receiving, "302 ERROR BAD SYNTAX"}},
        {"SET\nrate=fast\n.\n", {receiving, "303 ERROR INVALID PARAMETER OR VALUE"}},
        {"SET\nvolume=1e3\n.\n", {receiving, "303 ERROR INVALID PARAMETER OR VALUE"}},
        {"SET\npunctuation_mode=loud\n.\n", {receiving, "303 ERROR INVALID PARAMETER OR VALUE"}},
        {"SET\nrate=fast\nbroken\n.\n", {receiving, "303 ERROR INVALID PARAMETER OR VALUE"}},  // the first error
        {"DEBUG ON /nonexistent/folder/debug.log\n", {"303 CANT OPEN CUSTOM DEBUG FILE"}},
        {"DEBUG ON " + dir.file("debug.log") + "\n", {"200 OK DEBUGGING ON"}},
        {"DEBUG OFF\n", {"200 OK DEBUGGING OFF"}},
        {"DEBUG MAYBE\n", {"302 ERROR BAD SYNTAX"}},
        {"HELLO\n", {"300 ERR UNKNOWN COMMAND"}},
        {"\n", {"300 ERR UNKNOWN COMMAND"}},
        {"INIT\n", {"300 ERR UNKNOWN COMMAND"}},
        {"SPEAK\n.\n", {"202 OK RECEIVING MESSAGE", "301 ERROR CANT SPEAK"}},
        {"CHAR\na\nb\n.\n", {"202 OK RECEIVING MESSAGE", "305 DATA MORE THAN ONE LINE"}},
        {"KEY\na\nb\n.\n", {"202 OK RECEIVING MESSAGE", "305 DATA MORE THAN ONE LINE"}},
        // Nothing speaks: STOP and PAUSE send nothing.
        {"STOP\nPAUSE\nLIST VOICES\n", {kVoiceList}},
        {"SOUND_ICON\nbell\n.\n", {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "706-bell\n706 ICON", "702 END"}},
        // Nothing to say but a mark: it is passed, and the message ends.
        {"SPEAK\n<speak> <mark name=\"only\"/> </speak>\n.\n",
         {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "700-only\n700 INDEX MARK", "702 END"}},
        {"QUIT\n", {"210 OK QUIT"}},
    };
    for (const Exchange &exchange : session) {
        m.send(exchange.send);
        for (const std::string &expected : exchange.replies) EXPECT_EQ(m.message(), expected) << "after " << exchange.send;
    }
    EXPECT_EQ(m.finish(), 0);
}

TEST_F(ModuleTest, MarksComeAfterTheAudioBeforeThemAndTheAudioArrivesWhole) {
    start_initialized();
    set("rate=0\npitch=0\nvolume=100\n");
    // Every mark ends a request and comes after the audio before it; the requests join as the
    // words of one request do.
    m.send("SPEAK\n<speak><mark name=\"start\"/>xin <mark name=\"a\"/>chào ba.<mark name=\"__spd_0\"/> "
           "<mark name=\"b\"/>hai<mark name=\"c\"/></speak>\n.\n");
    Events e = read_events(m);
    EXPECT_EQ(e.summary, (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "700 start",
                                                   "AUDIO", "700 a", "AUDIO", "700 __spd_0", "700 b", "AUDIO", "700 c",
                                                   "702 END"}));
    EXPECT_TRUE(same_pcm(e.pcm, engine_pcm({"xin ", "chào ba.", " hai"})));
    EXPECT_TRUE(same_pcm(e.pcm, engine_pcm({"xin chào ba.", "hai"})));
    int escapes = 0;
    for (const AudioBlock &block : e.blocks) {
        EXPECT_EQ(block.bits, 16);
        EXPECT_EQ(block.channels, 1);
        EXPECT_EQ(block.sample_rate, 16000);
        EXPECT_EQ(block.big_endian, 0);
        EXPECT_EQ(static_cast<size_t>(block.samples) * 2, block.pcm.size());
        EXPECT_LE(block.pcm.size(), 8192u);
        escapes += block.escapes;
    }
    // The audio held newlines and escape bytes, which went through escaped.
    EXPECT_GT(escapes, 0);
}

struct SpokenCase {
    const char *command;  // SPEAK, CHAR or KEY
    const char *data;     // its line as sent
    const char *settings;
    std::vector<std::string> engine_texts;
};

TEST_F(ModuleTest, CharactersKeysPunctuationAndSettingsReachTheEngineAsText) {
    start_initialized();
    const SpokenCase cases[] = {
        {"CHAR", "3", "", {"3"}},
        {"CHAR", "space", "", {"khoảng trắng"}},
        {"CHAR", "..", "", {"."}},  // a data line starting with a dot carries one more
        {"KEY", "control_s", "", {"Ctrl+S"}},
        {"KEY", "space", "", {"khoảng trắng"}},
        {"SPEAK", "<speak>xin, chào.</speak>", "punctuation_mode=all\n", {"xin ,, chào .."}},
        {"SPEAK", "<speak>xin, chào.</speak>", "punctuation_mode=none\n", {"xin, chào."}},
        {"SPEAK", "xin &amp; chào", "punctuation_mode=some\n", {"xin & chào"}},
    };
    for (const SpokenCase &c : cases) {
        set(std::string("rate=0\npitch=0\nvolume=100\n") + c.settings);
        m.send(std::string(c.command) + "\n" + c.data + "\n.\n");
        Events e = read_events(m);
        EXPECT_EQ(e.summary.back(), "702 END") << c.command << " " << c.data;
        EXPECT_TRUE(same_pcm(e.pcm, engine_pcm(c.engine_texts))) << c.command << " " << c.data;
    }
}

TEST_F(ModuleTest, RatePitchVolumeAndVoiceAreAppliedToTheNextMessage) {
    start_initialized();
    set("rate=60\npitch=-40\nvolume=20\n");
    m.send("SPEAK\nxin chào\n.\n");
    Events e = read_events(m);
    EXPECT_TRUE(same_pcm(e.pcm, engine_pcm({"xin chào"}, 60, -40, 20)));
    EXPECT_LT(e.pcm.size(), engine_pcm({"xin chào"}).size());

    const std::pair<const char *, int> voices[] = {{"vi-other", 22050}, {"nobody", 16000}, {"NULL", 16000}, {"vi-other", 22050}};
    for (const auto &voice : voices) {
        set(std::string("synthesis_voice=") + voice.first + "\n");
        m.send("SPEAK\nba\n.\n");
        Events spoken = read_events(m);
        ASSERT_FALSE(spoken.blocks.empty()) << voice.first;
        EXPECT_EQ(spoken.blocks.front().sample_rate, voice.second) << voice.first;
    }
}

// Words enough that their audio cannot all wait in the pipe: a command sent after the first
// block arrives while the engine still speaks them.
std::string many_words() {
    std::string words;
    for (int i = 0; i < 200; ++i) words += "xin chào ba hai ";
    return words;
}

TEST_F(ModuleTest, StopEndsTheMessageAtOnceAndNothingOfItFollows) {
    start_initialized();
    m.send("SPEAK\n<speak>" + many_words() + "<mark name=\"late\"/>ba</speak>\n.\n");
    ASSERT_EQ(read_events(m, "AUDIO").summary.back(), "AUDIO");
    m.send("STOP\nLIST VOICES\n");
    Events stopped = read_events(m);
    EXPECT_EQ(stopped.summary.back(), "703 STOP");
    for (const std::string &s : stopped.summary) EXPECT_TRUE(s == "AUDIO" || s == "703 STOP") << s;
    // The next message answers the next command: no audio, mark or END of the stopped message.
    EXPECT_EQ(m.message(), kVoiceList);
    m.send("SPEAK\nxin\n.\n");
    Events next = read_events(m);
    EXPECT_EQ(next.summary.back(), "702 END");
    EXPECT_TRUE(same_pcm(next.pcm, engine_pcm({"xin"})));
}

TEST_F(ModuleTest, PauseEndsTheMessageAtTheServersNextMark) {
    start_initialized();
    // speech-dispatcher marks each sentence's end with a mark of its own, where it resumes.
    const std::string text = "<speak>" + many_words() + "<mark name=\"a\"/>ba.<mark name=\"__spd_0\"/>" + many_words() +
                             ".<mark name=\"__spd_1\"/>hai.</speak>";
    m.send("SPEAK\n" + text + "\n.\n");
    ASSERT_EQ(read_events(m, "AUDIO").summary.back(), "AUDIO");
    m.send("PAUSE\n");
    Events paused = read_events(m);
    EXPECT_EQ(paused.summary, (std::vector<std::string>{"AUDIO", "700 a", "AUDIO", "700 __spd_0", "704 PAUSE"}));
    m.send("LIST VOICES\n");
    EXPECT_EQ(m.message(), kVoiceList);
    // What the engine had still to speak of it was cancelled: the next message is all its own.
    m.send("SPEAK\nxin\n.\n");
    Events next = read_events(m);
    EXPECT_EQ(next.summary.back(), "702 END");
    EXPECT_TRUE(same_pcm(next.pcm, engine_pcm({"xin"})));

    // With no mark of the server's ahead, the message is spoken to its end.
    m.send("SPEAK\n<speak>" + many_words() + "<mark name=\"b\"/>ba</speak>\n.\n");
    ASSERT_EQ(read_events(m, "AUDIO").summary.back(), "AUDIO");
    m.send("PAUSE\n");
    EXPECT_EQ(read_events(m).summary, (std::vector<std::string>{"AUDIO", "700 b", "AUDIO", "702 END"}));
}

TEST_F(ModuleTest, AMessageThatDoesNotWaitEndsTheOneBeforeWithoutAnEvent) {
    start_initialized();
    m.send("SPEAK\n" + many_words() + "\n.\n");
    ASSERT_EQ(read_events(m, "AUDIO").summary.back(), "AUDIO");
    // The server has done with the first message: an event of it would reach no reader there.
    m.send("SPEAK\nba\n.\n");
    Events e = read_events(m, "202 OK RECEIVING MESSAGE");
    for (const std::string &s : e.summary) EXPECT_TRUE(s == "AUDIO" || s == "202 OK RECEIVING MESSAGE") << s;
    Events next = read_events(m);
    EXPECT_EQ(next.summary, (std::vector<std::string>{"200 OK SPEAKING", "701 BEGIN", "AUDIO", "702 END"}));
    EXPECT_TRUE(same_pcm(next.pcm, engine_pcm({"ba"})));

    // QUIT while speaking: the reply alone.
    m.send("SPEAK\n" + many_words() + "\n.\n");
    ASSERT_EQ(read_events(m, "AUDIO").summary.back(), "AUDIO");
    m.send("QUIT\n");
    Events quit = read_events(m, "210 OK QUIT");
    for (const std::string &s : quit.summary) EXPECT_TRUE(s == "AUDIO" || s == "210 OK QUIT") << s;
    EXPECT_EQ(quit.summary.back(), "210 OK QUIT");
    EXPECT_EQ(m.finish(), 0);
}

TEST_F(ModuleTest, TheEngineTraceNeverReachesTheProtocol) {
    std::ofstream(config, std::ios::app) << "VelorinDiagnostics 1\n";
    start_initialized();
    m.send("SPEAK\nxin chào\n.\n");
    Events e = read_events(m);
    EXPECT_EQ(e.summary, (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "AUDIO", "702 END"}));
    m.send("QUIT\n");
    EXPECT_EQ(m.message(), "210 OK QUIT");
    EXPECT_EQ(m.finish(), 0);
}

TEST_F(ModuleTest, TheConfiguredDefaultVoiceComesFirst) {
    std::ofstream(config, std::ios::app) << "VelorinDefaultVoice vi-other\n";
    start_initialized();
    m.send("LIST VOICES\nSPEAK\nba\n.\n");
    EXPECT_EQ(m.message(), "200-vi-other\tvi\tnone\n200-vi-default\tvi\tnone\n200 OK VOICE LIST SENT");
    Events e = read_events(m);
    ASSERT_FALSE(e.blocks.empty());
    EXPECT_EQ(e.blocks.front().sample_rate, 22050);
}

TEST_F(ModuleTest, StartsWithInitAndAVoiceOrNotAtAll) {
    m.start(config);
    m.send("SPEAK\n");
    EXPECT_EQ(m.finish(), 3);

    Module without_voices;
    const std::string empty_config = dir.file("empty.conf");
    std::ofstream(empty_config) << "VelorinVoiceDirectory \"" << dir.file("nowhere") << "\"\n";
    without_voices.start(empty_config);
    without_voices.send("INIT\n");
    EXPECT_EQ(without_voices.message(), "399-no Velorin voice (*.voice) in " + dir.file("nowhere") + "\n399 ERR CANT INIT MODULE");
    EXPECT_EQ(without_voices.finish(), 1);

    // The server goes away: the module ends.
    Module orphan;
    orphan.start(config);
    orphan.send("INIT\n");
    EXPECT_EQ(orphan.message().substr(0, 4), "299-");
    orphan.send("SPEAK\nxin chào\n.\n");
    EXPECT_EQ(orphan.finish(), 2);
}

}  // namespace
