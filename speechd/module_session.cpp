// The output-module protocol, the engine's audio and the end of speech.
//
// Threads: the main thread reads commands and answers them; the engine's worker delivers audio
// through receive_audio; a watcher notices when the engine has spoken everything, and cancels
// what follows a pause. All three write to the server only under out_mutex, one whole message at
// a time, which also guards the utterance. None of them calls into the engine while holding
// out_mutex; engine_mutex, taken before out_mutex, keeps a pause's Cancel off the next message.
#include "speechd/module_session.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "speechd/speech_text.h"
#include "speechd/ssml_text.h"
#include "tools/engine_host.h"
#include "tools/utf8_text.h"
#include "tools/voice_catalog.h"

namespace {

const char kBadSyntax[] = "302 ERROR BAD SYNTAX";
const char kBadParameter[] = "303 ERROR INVALID PARAMETER OR VALUE";
const char kCannotSpeak[] = "301 ERROR CANT SPEAK";

// The server receives audio in blocks of at most this many bytes: it drops the blocks it has
// not played when it is told to stop, so smaller blocks stop sooner.
constexpr size_t kAudioBlockBytes = 8192;
// How often the watcher asks the engine whether it has spoken everything.
constexpr std::chrono::milliseconds kEndPoll{2};
constexpr int32_t kLastRequestIndex = 0x7FFFFFFF;

enum class MessageKind { Text, Character, Key, SoundIcon };

// An index mark and the request before whose audio it is sent (the number of requests: at the end).
struct PlacedMark {
    std::string name;
    size_t before_segment;
};

// speech-dispatcher's own marks, at each sentence's end, where it resumes a paused message.
bool is_server_mark(const std::string &name) { return name.compare(0, 6, "__spd_") == 0; }

// The message being spoken: its engine requests are first_index .. first_index + segments - 1.
struct Utterance {
    bool active = false;  // from "200 OK SPEAKING" until its END, STOP or PAUSE is sent
    bool queued = false;  // every request is with the engine
    bool pause_requested = false;  // PAUSE came: it ends at speech-dispatcher's next own mark
    uint64_t serial = 0;
    int32_t first_index = 0;
    int32_t segments = 0;
    std::vector<PlacedMark> marks;  // in order
    size_t marks_sent = 0;
    VoiceFormat format;
};

// speech-dispatcher's settings for the next message, on its own scales.
struct MessageSettings {
    int rate = 0;
    int pitch = 0;
    int volume = 100;
    PunctuationMode punctuation = PunctuationMode::None;
    std::string voice;  // a name from LIST VOICES, "" for the default
};

struct ModuleState {
    std::mutex out_mutex;
    int out_fd = -1;
    bool out_broken = false;  // the server stopped reading
    Utterance utterance;
    // Set by STOP before it waits for out_mutex: a chunk being sent stops between blocks
    // instead of filling the server's pipe with audio it will drop.
    std::atomic<bool> stop_requested{false};
    bool quitting = false;
    bool cancel_pending = false;  // a paused utterance's requests are still with the engine
    std::condition_variable watcher_wake;
    std::thread watcher;
    std::mutex engine_mutex;
    // Under engine_mutex: a Cancel happened since the last message was queued. The chunk the
    // engine was making then may still come; a request queued ahead of the next message takes it.
    bool needs_fence = false;

    // The main thread's alone.
    ModuleConfig config;
    std::vector<VoiceFileEntry> voices;
    std::string voice_path;  // the voice the engine holds
    VoiceFormat format;
    MessageSettings settings;
    int32_t next_index = 0;
    uint64_t next_serial = 1;
    int log_level = 3;
    FILE *debug_log = nullptr;
};

ModuleState &state() {
    static ModuleState s;
    return s;
}

// The module's log: speech-dispatcher keeps the module's standard error in its log folder.
// Level 0 is always written; speech-dispatcher's LOGLEVEL decides the rest.
void log_line(int level, const char *format, ...) {
    ModuleState &s = state();
    if (level > s.log_level) return;
    FILE *out = s.debug_log ? s.debug_log : stderr;
    va_list args;
    va_start(args, format);
    std::fputs("sd_velorin: ", out);
    std::vfprintf(out, format, args);
    std::fputc('\n', out);
    std::fflush(out);
    va_end(args);
}

// --- Writing to the server -------------------------------------------------------------------

// Writes one whole message (its lines end in '\n'); out_mutex is held.
void send_locked(ModuleState &s, const std::string &message) {
    const char *p = message.data();
    size_t left = message.size();
    while (left > 0 && !s.out_broken) {
        ssize_t n = ::write(s.out_fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            s.out_broken = true;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void reply(ModuleState &s, const std::string &line) {
    std::lock_guard<std::mutex> lock(s.out_mutex);
    send_locked(s, line + "\n");
}

// One "705 AUDIO" message: the header lines, then the samples on one line with every newline and
// escape byte written as the escape byte and the byte with bit 5 inverted.
std::string audio_message(const char *pcm, size_t bytes, const VoiceFormat &format) {
    const size_t frames = bytes / (2 * static_cast<size_t>(format.channels));
    std::string message = "705-bits=16\n705-num_channels=" + std::to_string(format.channels) +
                          "\n705-sample_rate=" + std::to_string(format.sample_rate) +
                          "\n705-num_samples=" + std::to_string(frames) + "\n705-big_endian=0\n705-AUDIO";
    message += '\0';
    const char kEscape = 0x7D;
    for (size_t i = 0; i < bytes; ++i) {
        char c = pcm[i];
        if (c == '\n' || c == kEscape) {
            message += kEscape;
            c = static_cast<char>(c ^ 0x20);
        }
        message += c;
    }
    message += "\n705 AUDIO\n";
    return message;
}

// Sends the marks that come before segment `segment`; out_mutex is held. After a PAUSE the
// utterance ends at speech-dispatcher's next own mark ("__spd_"), where the server resumes it
// later without a gap or a repetition; the watcher cancels the rest.
void send_marks_before_locked(ModuleState &s, size_t segment) {
    Utterance &u = s.utterance;
    while (u.active && u.marks_sent < u.marks.size() && u.marks[u.marks_sent].before_segment <= segment) {
        const std::string &mark = u.marks[u.marks_sent++].name;
        send_locked(s, "700-" + mark + "\n700 INDEX MARK\n");
        if (u.pause_requested && is_server_mark(mark)) {
            send_locked(s, "704 PAUSE\n");
            u.active = false;
            s.cancel_pending = true;
            s.watcher_wake.notify_all();
        }
    }
}

// Ends the utterance with its remaining marks and END; out_mutex is held.
void finish_locked(ModuleState &s) {
    // Everything has been spoken: a pause that found no mark of the server's ends with it.
    s.utterance.pause_requested = false;
    send_marks_before_locked(s, static_cast<size_t>(s.utterance.segments));
    send_locked(s, "702 END\n");
    s.utterance.active = false;
}

// The engine's audio callback, on its worker thread.
int receive_audio(char *pcm, int bytes) {
    if (!pcm || bytes <= 0) return 0;
    // Which request this chunk is from: the one at the head of the engine's queue.
    const int32_t index = GetLastIndex();
    ModuleState &s = state();
    std::lock_guard<std::mutex> lock(s.out_mutex);
    Utterance &u = s.utterance;
    const int64_t segment = static_cast<int64_t>(index) - u.first_index;
    // Audio of a message that was stopped is dropped.
    if (!u.active || index < 0 || segment < 0 || segment >= u.segments) return 0;
    send_marks_before_locked(s, static_cast<size_t>(segment));
    if (!u.active) return 0;
    const size_t frame = 2 * static_cast<size_t>(u.format.channels);
    const size_t whole = static_cast<size_t>(bytes) / frame * frame;
    const size_t block = kAudioBlockBytes / frame * frame;
    for (size_t at = 0; at < whole && !s.stop_requested.load(); at += block)
        send_locked(s, audio_message(pcm + at, std::min(block, whole - at), u.format));
    return 0;
}

// The Cancel a pause left to do; engine_mutex is held, out_mutex is not.
void cancel_if_pending(ModuleState &s) {
    bool pending = false;
    {
        std::lock_guard<std::mutex> lock(s.out_mutex);
        pending = s.cancel_pending;
        s.cancel_pending = false;
    }
    if (pending) {
        Cancel();
        s.needs_fence = true;
    }
}

// Sends END once the engine has spoken every request of the utterance, and cancels what follows
// a pause.
void watch_engine() {
    ModuleState &s = state();
    std::unique_lock<std::mutex> lock(s.out_mutex);
    for (;;) {
        s.watcher_wake.wait(lock, [&] { return s.quitting || s.cancel_pending || (s.utterance.active && s.utterance.queued); });
        if (s.quitting) return;
        if (s.cancel_pending) {
            lock.unlock();
            {
                std::lock_guard<std::mutex> engine(s.engine_mutex);
                cancel_if_pending(s);
            }
            lock.lock();
            continue;
        }
        const uint64_t serial = s.utterance.serial;
        lock.unlock();
        std::this_thread::sleep_for(kEndPoll);
        const bool engine_idle = GetLastIndex() == -1;
        lock.lock();
        if (engine_idle && s.utterance.active && s.utterance.serial == serial) finish_locked(s);
    }
}

// How a stopped utterance ends: with a STOP event, or silently where the server no longer reads
// events of it (its reply reader would wait for an event reader that is not there).
enum class StopEvent { Send, None };

// Stops the utterance at once; nothing if none speaks.
void stop_utterance(ModuleState &s, StopEvent event) {
    s.stop_requested.store(true);
    {
        std::lock_guard<std::mutex> lock(s.out_mutex);
        if (!s.utterance.active) return;
        // From here no audio, mark or END of it reaches the server.
        s.utterance.active = false;
    }
    {
        std::lock_guard<std::mutex> engine(s.engine_mutex);
        Cancel();
        s.needs_fence = true;
    }
    if (event == StopEvent::Send) reply(s, "703 STOP");
}

// PAUSE: speech goes on to speech-dispatcher's next own mark and ends there.
void pause_utterance(ModuleState &s) {
    std::lock_guard<std::mutex> lock(s.out_mutex);
    if (s.utterance.active) s.utterance.pause_requested = true;
}

// --- Reading from the server -----------------------------------------------------------------

struct LineReader {
    int fd = -1;
    std::string buffer;
    size_t start = 0;
    bool ended = false;
};

// The next line without its newline; false at the end of the input (an unfinished last line is
// dropped).
bool read_line(LineReader &in, std::string *line) {
    for (;;) {
        size_t newline = in.buffer.find('\n', in.start);
        if (newline != std::string::npos) {
            line->assign(in.buffer, in.start, newline - in.start);
            in.start = newline + 1;
            return true;
        }
        if (in.ended) return false;
        in.buffer.erase(0, in.start);
        in.start = 0;
        char chunk[65536];
        ssize_t n = ::read(in.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            in.ended = true;
            continue;
        }
        in.buffer.append(chunk, static_cast<size_t>(n));
    }
}

// The lines of a block up to its "." line, the dot that protects a line starting with one removed.
bool read_block(LineReader &in, std::vector<std::string> *lines) {
    std::string line;
    while (read_line(in, &line)) {
        if (line == ".") return true;
        lines->push_back(line[0] == '.' ? line.substr(1) : line);
    }
    return false;
}

// Reads a block of "name=value" lines and hands each to `apply`, which returns false for a value
// it refuses. Answers the first reply at once and the closing one at the end: `done`, or the
// first error. False when the input ended.
template <typename Apply>
bool read_settings(ModuleState &s, LineReader &in, const std::string &receiving, const std::string &done, Apply apply) {
    reply(s, receiving);
    std::vector<std::string> lines;
    if (!read_block(in, &lines)) return false;
    const char *error = nullptr;
    for (const std::string &line : lines) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == line.size()) {
            if (!error) error = kBadSyntax;
        } else if (!apply(line.substr(0, equals), line.substr(equals + 1)) && !error) {
            error = kBadParameter;
        }
    }
    reply(s, error ? error : done);
    return true;
}

bool parse_int(const std::string &text, int *value) {
    char *end = nullptr;
    errno = 0;
    long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno != 0 || number < -1000000 || number > 1000000) return false;
    *value = static_cast<int>(number);
    return true;
}

// --- Voices and engine settings --------------------------------------------------------------

// The voice files that are readable voices, the configured default first.
void scan_voices(ModuleState &s) {
    std::vector<VoiceFileEntry> found = find_voice_files(s.config.voice_directories);
    s.voices.clear();
    for (const VoiceFileEntry &voice : found) {
        VoiceFormat format;
        std::string error;
        if (read_voice_format(voice.path, &format, &error) != 0) {
            log_line(0, "%s", error.c_str());
            continue;
        }
        if (voice.name == s.config.default_voice)
            s.voices.insert(s.voices.begin(), voice);
        else
            s.voices.push_back(voice);
    }
}

// The voice a message is spoken with: the one asked for, else the configured default, else the
// first found.
std::string chosen_voice_path(const ModuleState &s) {
    std::string path = voice_file_path(s.voices, s.settings.voice);
    if (path.empty()) path = voice_file_path(s.voices, s.config.default_voice);
    if (path.empty() && !s.voices.empty()) path = s.voices.front().path;
    return path;
}

// Gives the engine the voice at path (nothing is speaking). False, with the voice before kept,
// when it cannot be loaded.
bool load_voice(ModuleState &s, const std::string &path) {
    if (path == s.voice_path) return true;
    VoiceFormat format;
    std::string error;
    if (read_voice_format(path, &format, &error) != 0 || Init(path.c_str()) != 0) {
        log_line(0, "cannot load the voice %s%s%s", path.c_str(), error.empty() ? "" : ": ", error.c_str());
        if (!s.voice_path.empty()) Init(s.voice_path.c_str());
        return false;
    }
    s.voice_path = path;
    s.format = format;
    log_line(3, "voice %s (%d Hz, %d channels)", path.c_str(), format.sample_rate, format.channels);
    return true;
}

void apply_prosody(const MessageSettings &settings) {
    const EngineProsody prosody = engine_prosody(settings.rate, settings.pitch, settings.volume);
    SetRate(prosody.host_rate);
    VelorinSetParameter(VELORIN_PARAM_SPEED, prosody.speed_percent);
    SetPitch(prosody.pitch_percent);
    SetVolume(prosody.volume_percent);
}

bool apply_setting(ModuleState &s, const std::string &name, const std::string &value) {
    MessageSettings &settings = s.settings;
    if (name == "rate") return parse_int(value, &settings.rate);
    if (name == "pitch") return parse_int(value, &settings.pitch);
    if (name == "volume") return parse_int(value, &settings.volume);
    if (name == "punctuation_mode") return value == "NULL" || parse_punctuation_mode(value, &settings.punctuation);
    if (name == "synthesis_voice") {
        settings.voice = value == "NULL" ? "" : value;
        return true;
    }
    // pitch_range, spelling_mode, cap_let_recogn, voice (the voice type), language and whatever
    // later servers send: accepted, and the engine speaks as it does.
    return true;
}

// --- Messages --------------------------------------------------------------------------------

bool is_blank(const std::u16string &text) {
    for (char16_t c : text)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
    return true;
}

std::u16string engine_text(const std::string &utf8) {
    std::u16string text;
    size_t ignored = 0;
    utf8_to_utf16(utf8, &text, &ignored, Utf8Errors::Replace);
    return is_blank(text) ? std::u16string() : text;
}

// The requests and marks of a message.
struct SpeechPlan {
    std::vector<std::u16string> segments;  // one engine request each; "" where there is nothing to speak
    std::vector<PlacedMark> marks;
};

// The text of a message as engine requests: a request ends at each mark, so that the mark is sent
// when the audio before it has been, and a pause ends exactly at speech-dispatcher's own marks (a
// sentence's end). The requests of a message join as the words of one request do, so a client's
// marks (Orca marks every word) cut nothing audible; the end of the last unit before a mark,
// its crossfade into the next word, is sent after it.
void plan_text(const ModuleState &s, const std::string &ssml, SpeechPlan *plan) {
    const SsmlSpeech speech = parse_ssml(ssml);
    std::string request;
    bool request_has_words = false;
    for (size_t i = 0; i < speech.texts.size(); ++i) {
        request += speech.texts[i];
        request_has_words = request_has_words || request.find_first_not_of(" \t\r\n") != std::string::npos;
        if (i == speech.marks.size()) break;
        const std::string &mark = speech.marks[i];
        if (request_has_words || is_server_mark(mark)) {
            plan->segments.push_back(engine_text(speak_punctuation(request, s.settings.punctuation)));
            request.clear();
            request_has_words = false;
        }
        plan->marks.push_back({mark, plan->segments.size()});
    }
    plan->segments.push_back(engine_text(speak_punctuation(request, s.settings.punctuation)));
}

SpeechPlan plan_speech(const ModuleState &s, MessageKind kind, const std::string &text) {
    SpeechPlan plan;
    if (kind == MessageKind::Character) {
        plan.segments.push_back(engine_text(character_text(text)));
    } else if (kind == MessageKind::Key) {
        plan.segments.push_back(engine_text(key_text(text)));
    } else {
        plan_text(s, text, &plan);
    }
    return plan;
}

void speak_message(ModuleState &s, MessageKind kind, const std::string &text) {
    if (kind == MessageKind::SoundIcon) {
        // The server plays its own sound icons.
        std::lock_guard<std::mutex> lock(s.out_mutex);
        send_locked(s, "200 OK SPEAKING\n701 BEGIN\n706-" + text + "\n706 ICON\n702 END\n");
        return;
    }
    // What is done to the engine's queue here is not undone by a pause's late Cancel.
    std::lock_guard<std::mutex> engine(s.engine_mutex);
    cancel_if_pending(s);
    if (!load_voice(s, chosen_voice_path(s))) {
        reply(s, kCannotSpeak);
        return;
    }
    apply_prosody(s.settings);
    SpeechPlan plan = plan_speech(s, kind, text);
    const int32_t segments = static_cast<int32_t>(plan.segments.size());
    if (s.next_index > kLastRequestIndex - segments - 1) s.next_index = 0;
    if (s.needs_fence) {
        // Its index is outside the message's: whatever reaches the callback while it is at the
        // head of the engine's queue is dropped.
        static const char16_t kFence[] = u" ";
        VelorinSpeakText(reinterpret_cast<const VelorinUtf16 *>(kFence), s.next_index++);
        s.needs_fence = false;
    }
    const int32_t first = s.next_index;
    s.next_index += segments;

    bool nothing_to_speak = true;
    for (const std::u16string &segment : plan.segments) nothing_to_speak = nothing_to_speak && segment.empty();
    {
        std::lock_guard<std::mutex> lock(s.out_mutex);
        Utterance &u = s.utterance;
        s.stop_requested.store(false);
        u.active = true;
        u.queued = false;
        u.pause_requested = false;
        u.serial = s.next_serial++;
        u.first_index = first;
        u.segments = segments;
        u.marks = std::move(plan.marks);
        u.marks_sent = 0;
        u.format = s.format;
        send_locked(s, "200 OK SPEAKING\n701 BEGIN\n");
        if (nothing_to_speak) {
            finish_locked(s);
            return;
        }
    }
    // Held while queuing: each segment's end then knows that the next one follows it.
    VelorinSetParameter(VELORIN_PARAM_HOLD, 1);
    for (int32_t i = 0; i < segments; ++i) {
        if (!plan.segments[i].empty()) VelorinSpeakText(reinterpret_cast<const VelorinUtf16 *>(plan.segments[i].c_str()), first + i);
    }
    VelorinSetParameter(VELORIN_PARAM_HOLD, 0);
    std::lock_guard<std::mutex> lock(s.out_mutex);
    s.utterance.queued = true;
    s.watcher_wake.notify_all();
}

// SPEAK, CHAR, KEY and SOUND_ICON: the message's lines, then speech. False when the input ended.
bool handle_message(ModuleState &s, LineReader &in, MessageKind kind) {
    // The server sends a message only once the one before has ended; if it did not wait, the
    // one before is over for it, and ends here without an event.
    stop_utterance(s, StopEvent::None);
    reply(s, "202 OK RECEIVING MESSAGE");
    std::vector<std::string> lines;
    if (!read_block(in, &lines)) return false;
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
    if (text.empty()) {
        reply(s, kCannotSpeak);
        return true;
    }
    if (kind != MessageKind::Text && lines.size() > 1) {
        reply(s, "305 DATA MORE THAN ONE LINE");
        return true;
    }
    if (kind == MessageKind::Character && text == "space") text = " ";
    speak_message(s, kind, text);
    return true;
}

void handle_list_voices(ModuleState &s) {
    scan_voices(s);
    if (s.voices.empty()) {
        reply(s, "304 CANT LIST VOICES");
        return;
    }
    std::string message;
    for (const VoiceFileEntry &voice : s.voices) message += "200-" + voice.name + "\tvi\tnone\n";
    message += "200 OK VOICE LIST SENT\n";
    std::lock_guard<std::mutex> lock(s.out_mutex);
    send_locked(s, message);
}

void handle_debug(ModuleState &s, const std::string &line) {
    if (line == "DEBUG OFF" || line.compare(0, 10, "DEBUG OFF ") == 0) {
        if (s.debug_log) std::fclose(s.debug_log);
        s.debug_log = nullptr;
        reply(s, "200 OK DEBUGGING OFF");
        return;
    }
    if (line.compare(0, 9, "DEBUG ON ") != 0 || line.size() == 9) {
        reply(s, kBadSyntax);
        return;
    }
    std::string path = line.substr(9);
    while (!path.empty() && path.back() == ' ') path.pop_back();
    FILE *file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
    if (!file) {
        reply(s, "303 CANT OPEN CUSTOM DEBUG FILE");
        return;
    }
    if (s.debug_log) std::fclose(s.debug_log);
    s.debug_log = file;
    reply(s, "200 OK DEBUGGING ON");
}

// INIT: the engine with the fluent profile and the default voice. False when it cannot speak.
bool initialize(ModuleState &s) {
    VelorinSetParameter(VELORIN_PARAM_DIAGNOSTICS, s.config.diagnostics ? 1 : 0);
    VelorinSetParameter(VELORIN_PARAM_PROFILE, VELORIN_PROFILE_FLUENT);
    scan_voices(s);
    std::string path = chosen_voice_path(s);
    std::string folders;
    for (const std::string &folder : s.config.voice_directories) folders += (folders.empty() ? "" : ", ") + folder;
    if (path.empty()) {
        reply(s, "399-no Velorin voice (*.voice) in " + folders + "\n399 ERR CANT INIT MODULE");
        return false;
    }
    if (!load_voice(s, path)) {
        reply(s, "399-cannot load the voice " + path + "\n399 ERR CANT INIT MODULE");
        return false;
    }
    VelorinInitSynth(receive_audio);
    s.watcher = std::thread(watch_engine);
    reply(s, "299-Velorin " VELORIN_VERSION ", voice " + path + "\n299 OK LOADED SUCCESSFULLY");
    return true;
}

void shut_down(ModuleState &s) {
    stop_utterance(s, StopEvent::None);
    {
        std::lock_guard<std::mutex> engine(s.engine_mutex);
        cancel_if_pending(s);
    }
    {
        std::lock_guard<std::mutex> lock(s.out_mutex);
        s.quitting = true;
        s.watcher_wake.notify_all();
    }
    if (s.watcher.joinable()) s.watcher.join();
    VelorinTerminateSynth();
    if (s.debug_log) std::fclose(s.debug_log);
    s.debug_log = nullptr;
}

}  // namespace

int run_module(int in_fd, int out_fd, const ModuleConfig &config) {
    ModuleState &s = state();
    s.out_fd = out_fd;
    s.config = config;
    LineReader in;
    in.fd = in_fd;

    std::string line;
    if (!read_line(in, &line)) return 2;
    if (line != "INIT") {
        log_line(0, "the server did not start with INIT but with '%s'", line.c_str());
        return 3;
    }
    if (!initialize(s)) return 1;

    bool more = true;
    while (more && read_line(in, &line)) {
        log_line(5, "command %s", line.c_str());
        if (line == "SPEAK") {
            more = handle_message(s, in, MessageKind::Text);
        } else if (line == "CHAR") {
            more = handle_message(s, in, MessageKind::Character);
        } else if (line == "KEY") {
            more = handle_message(s, in, MessageKind::Key);
        } else if (line == "SOUND_ICON") {
            more = handle_message(s, in, MessageKind::SoundIcon);
        } else if (line == "STOP") {
            stop_utterance(s, StopEvent::Send);
        } else if (line == "PAUSE") {
            pause_utterance(s);
        } else if (line == "SET") {
            more = read_settings(s, in, "203 OK RECEIVING SETTINGS", "203 OK SETTINGS RECEIVED",
                                 [&](const std::string &name, const std::string &value) { return apply_setting(s, name, value); });
        } else if (line == "AUDIO") {
            // Audio goes through the server, which 0.11 always offers first.
            more = read_settings(s, in, "207 OK RECEIVING AUDIO SETTINGS", "203 OK AUDIO INITIALIZED",
                                 [](const std::string &name, const std::string &value) {
                                     return name == "audio_output_method" && value == "server";
                                 });
        } else if (line == "LOGLEVEL") {
            more = read_settings(s, in, "207 OK RECEIVING LOGLEVEL SETTINGS", "203 OK LOGLEVEL SET",
                                 [&](const std::string &name, const std::string &value) {
                                     return name == "log_level" && parse_int(value, &s.log_level);
                                 });
        } else if (line == "LIST VOICES") {
            handle_list_voices(s);
        } else if (line.compare(0, 5, "DEBUG") == 0) {
            handle_debug(s, line);
        } else if (line == "QUIT") {
            shut_down(s);
            reply(s, "210 OK QUIT");
            return 0;
        } else {
            reply(s, "300 ERR UNKNOWN COMMAND");
        }
    }
    shut_down(s);
    return 2;
}
