// velorin-host-bench: what a host's threads feel while the engine speaks. How long each entry
// waits during a 10 MB request, how soon the first chunk of requests of 1 KB to 10 MB comes,
// what a long request costs in memory, whether Cancel is final, what unloading costs, and how
// the engine fares with careless hosts: an undrained or unbuffered standard output, a FIFO as
// the voice, a failed Init, a low pitch. The engine is loaded at run time and driven through its
// export names only, so the same program measures any build of the library. Every scenario runs
// in a child process of its own, so that a crash or a hang is reported instead of ending the run.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "bench/bench_support.h"

namespace {

const char kUsage[] =
    "Usage: velorin-host-bench --library PATH --voice PATH [OPTIONS] [SCENARIO...]\n"
    "Measures the host's side of the engine; every scenario runs in a child process.\n"
    "\n"
    "  --library PATH   the engine library (libvelorin_nvda.so)\n"
    "  --voice PATH     a voice file (the default voice)\n"
    "  --text FILE      UTF-8 text whose sentences fill the long requests (default: built in)\n"
    "  --runs N         runs of the Cancel finality scenario (default 300)\n"
    "  --cycles N       load and unload cycles (default 100)\n"
    "\n"
    "Scenarios (default: all): waits first-chunk memory unbuffered-stdout stdout-pipe cancel\n"
    "fifo failed-init unload low-pitch\n";

using Clock = std::chrono::steady_clock;

struct Options {
    std::string library;
    std::string voice;
    std::string text_file;
    int runs = 300;
    int cycles = 100;
    std::vector<std::string> scenarios;
};

FILE *g_report = stdout;

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(stderr, "velorin-host-bench: %s\n", message.c_str());
    std::exit(2);
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char *format, ...) __attribute__((format(printf, 1, 2)));
void report(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(g_report, format, arguments);
    va_end(arguments);
    std::fflush(g_report);
}

// ---- the engine through its exports ----

struct Engine {
    void *handle = nullptr;
    VelorinInitFn init;
    VelorinInitSynthFn init_synth;
    VelorinSetIntFn set_rate, set_pitch, set_volume;
    VelorinSpeakTextFn speak_text;
    VelorinGetIntFn last_index;
    VelorinVoidFn cancel, terminate, terminate_synth;
};

Engine open_engine(const std::string &path) {
    Engine engine;
    engine.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!engine.handle) fail(std::string("cannot load ") + path + ": " + dlerror());
    auto get = [&](const char *name) {
        void *entry = dlsym(engine.handle, name);
        if (!entry) fail(path + " has no entry " + name);
        return entry;
    };
    engine.init = reinterpret_cast<VelorinInitFn>(get(VELORIN_NAME_INIT));
    engine.init_synth = reinterpret_cast<VelorinInitSynthFn>(get(VELORIN_NAME_INIT_SYNTH));
    engine.set_rate = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_RATE));
    engine.set_pitch = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_PITCH));
    engine.set_volume = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_VOLUME));
    engine.speak_text = reinterpret_cast<VelorinSpeakTextFn>(get(VELORIN_NAME_SPEAK_TEXT));
    engine.last_index = reinterpret_cast<VelorinGetIntFn>(get(VELORIN_NAME_GET_LAST_INDEX));
    engine.cancel = reinterpret_cast<VelorinVoidFn>(get(VELORIN_NAME_CANCEL));
    engine.terminate = reinterpret_cast<VelorinVoidFn>(get(VELORIN_NAME_TERMINATE));
    engine.terminate_synth = reinterpret_cast<VelorinVoidFn>(get(VELORIN_NAME_TERMINATE_SYNTH));
    return engine;
}

void speak(const Engine &engine, const std::u16string &text, int index) {
    engine.speak_text(reinterpret_cast<const VelorinUtf16 *>(text.c_str()), index);
}

// What the callback saw; one process-wide record, as a host has.
struct Received {
    std::atomic<int64_t> chunks{0};
    std::atomic<int64_t> first_ns{-1};
    std::atomic<bool> after_cancel{false};
    std::atomic<int64_t> late_chunks{0};  // chunks that came after Cancel returned
    std::atomic<int64_t> voiced{0};       // chunks holding anything but silence
    std::atomic<int> max_step{0};         // the largest step between neighbouring samples
    std::atomic<int64_t> steps_over{0};   // steps above kWrapStep
    std::function<void()> inside;         // runs inside the callback when set
    std::mutex mutex;
};

Received g_received;
constexpr int kWrapStep = 40000;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int receive(char *pcm, int bytes) {
    int64_t none = -1;
    g_received.first_ns.compare_exchange_strong(none, now_ns());
    g_received.chunks++;
    if (g_received.after_cancel.load()) g_received.late_chunks++;
    bool voiced = false;
    int previous = 0, max_step = g_received.max_step.load();
    for (int i = 0; i + 1 < bytes; i += 2) {
        int16_t sample;
        std::memcpy(&sample, pcm + i, 2);
        voiced |= sample != 0;
        const int step = std::abs(sample - previous);
        if (i > 0 && step > max_step) max_step = step;
        if (i > 0 && step > kWrapStep) g_received.steps_over++;
        previous = sample;
    }
    g_received.max_step.store(max_step);
    if (voiced) g_received.voiced++;
    if (g_received.inside) g_received.inside();
    return 0;
}

void reset_received() {
    g_received.chunks = 0;
    g_received.first_ns = -1;
    g_received.after_cancel = false;
    g_received.late_chunks = 0;
    g_received.voiced = 0;
    g_received.max_step = 0;
    g_received.steps_over = 0;
}

bool wait_for_first_chunk(std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (g_received.first_ns.load() < 0) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// The queue is empty, and a little later still nothing has come: the worker has let go.
void wait_until_quiet(const Engine &engine) {
    while (engine.last_index() != -1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int64_t chunks = -1;
    while (chunks != g_received.chunks.load()) {
        chunks = g_received.chunks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

// ---- texts ----

const char kBuiltInText[] =
    "Xin chào các bạn, hôm nay trời đẹp quá.\n"
    "Tôi đang đọc một cuốn sách hay về lịch sử Việt Nam, nói về những người đã xây dựng đất nước.\n"
    "Chúng ta cùng nhau học tiếng Việt mỗi ngày, từng chữ một, cho đến khi nói được thật lưu loát.\n"
    "Buổi sáng ở thành phố rất đông người đi làm; ai cũng vội vàng nhưng vẫn mỉm cười chào nhau.\n";

std::u16string g_sentences;  // the base text of the sentence requests

// The base text repeated to `bytes` bytes of UTF-16 (cut at a line feed when one is near).
std::u16string sentences_of(size_t bytes) {
    const size_t units = bytes / 2;
    std::u16string text;
    text.reserve(units);
    while (text.size() < units) text += g_sentences;
    text.resize(units);
    const size_t line = text.rfind(u'\n');
    if (line != std::u16string::npos && units - line < 400) text.resize(line + 1);
    return text;
}

// Twelve-digit numbers, ten on a line.
std::u16string numbers_of(size_t bytes) {
    std::u16string text;
    text.reserve(bytes / 2);
    for (uint64_t n = 123456789012; text.size() < bytes / 2; n += 7919) {
        text += to_utf16(std::to_string(n));
        text += (n / 7919) % 10 == 0 ? u'\n' : u' ';
    }
    text.resize(bytes / 2);
    return text;
}

// ---- measurements ----

struct Waits {
    std::vector<double> ms;
    void add(double value) { ms.push_back(value); }
    double max() const { return ms.empty() ? NAN : *std::max_element(ms.begin(), ms.end()); }
    double median() const { return ::median(ms); }
};

template <typename Fn>
double timed_ms(Fn &&call) {
    const auto start = Clock::now();
    call();
    return ms_since(start);
}

// Runs call on a thread; its duration, or -1 when it has not returned within limit (the thread
// is then left behind, as the child process ends soon after).
double timed_or_stuck_ms(std::function<void()> call, std::chrono::milliseconds limit) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    const auto start = Clock::now();
    std::thread([call, done] {
        call();
        done->store(true);
    }).detach();
    while (!done->load()) {
        if (Clock::now() - start > limit) return -1;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return ms_since(start);
}

std::string wait_text(double ms, std::chrono::milliseconds limit) {
    char text[64];
    if (ms < 0)
        std::snprintf(text, sizeof text, "still waiting after %lld ms", static_cast<long long>(limit.count()));
    else
        std::snprintf(text, sizeof text, "%.3f ms", ms);
    return text;
}

Engine start_engine(const Options &options) {
    Engine engine = open_engine(options.library);
    if (engine.init(options.voice.c_str()) != 0) fail("cannot load the voice " + options.voice);
    engine.init_synth(receive);
    return engine;
}

// The host's entries while the worker speaks a 10 MB request: three host threads call SpeakText (a
// short request), GetLastIndex and the setters over and over, as a screen reader's threads do,
// from SpeakText of the long request until a second after its first chunk; then Cancel.
void scenario_waits(const Options &options, const char *what, const std::u16string &text) {
    Engine engine = start_engine(options);
    Waits speak_short, last_index, setters, cancel;
    std::atomic<bool> stop{false};
    auto repeat = [&stop](Waits *waits, std::function<void()> call) {
        return std::thread([&stop, waits, call] {
            while (!stop.load()) {
                waits->add(timed_ms(call));
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    };
    const int64_t asked = now_ns();
    const double speak_long = timed_ms([&] { speak(engine, text, 1); });
    std::atomic<int> index{2};
    std::vector<std::thread> hosts;
    hosts.push_back(repeat(&speak_short, [&] {
        if (index.load() < 400) speak(engine, u"xin chào", index++);
    }));
    hosts.push_back(repeat(&last_index, [&] { engine.last_index(); }));
    hosts.push_back(repeat(&setters, [&] {
        engine.set_rate(50);
        engine.set_pitch(100);
        engine.set_volume(100);
    }));
    wait_for_first_chunk(std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    stop = true;
    for (std::thread &host : hosts) host.join();
    cancel.add(timed_ms([&] { engine.cancel(); }));
    report("waits during 10 MB of %s: SpeakText(10 MB) %.2f ms; then SpeakText max %.3f ms, GetLastIndex max %.3f ms, "
           "the setters max %.3f ms (%zu calls); Cancel %.3f ms; first chunk after %.1f ms\n",
           what, speak_long, speak_short.max(), last_index.max(), setters.max(),
           speak_short.ms.size() + last_index.ms.size() + setters.ms.size(), cancel.max(),
           static_cast<double>(g_received.first_ns.load() - asked) / 1e6);
    wait_until_quiet(engine);
    engine.terminate_synth();
}

// The first chunk's time from the SpeakText call; *after_return gets it from SpeakText's return,
// which leaves out the copy of the text that SpeakText makes on the host's thread.
double first_chunk_ms(const Engine &engine, const std::u16string &text, double *after_return = nullptr) {
    reset_received();
    const int64_t asked = now_ns();
    speak(engine, text, 1);
    const int64_t returned = now_ns();
    if (!wait_for_first_chunk(std::chrono::seconds(60))) return NAN;
    const double ms = static_cast<double>(g_received.first_ns.load() - asked) / 1e6;
    if (after_return) *after_return = static_cast<double>(g_received.first_ns.load() - returned) / 1e6;
    engine.cancel();
    wait_until_quiet(engine);
    return ms;
}

void scenario_first_chunk(const Options &options) {
    Engine engine = start_engine(options);
    first_chunk_ms(engine, sentences_of(1000));  // warms the caches
    const std::u16string first_line = g_sentences.substr(0, g_sentences.find(u'\n') + 1);
    for (const auto &[what, text] : std::vector<std::pair<const char *, std::u16string>>{
             {"its first line alone", first_line},
             {"1 KB", sentences_of(1000)},
             {"1 MB", sentences_of(1u << 20)},
             {"10 MB", sentences_of(10u << 20)}}) {
        Waits runs, after_return;
        for (int i = 0; i < 7; i++) {
            double after = NAN;
            runs.add(first_chunk_ms(engine, text, &after));
            after_return.add(after);
        }
        report("first chunk, request of %s: median %.3f ms from the call (max %.3f), %.3f ms from its return "
               "(max %.3f), 7 runs\n",
               what, runs.median(), runs.max(), after_return.median(), after_return.max());
    }
    engine.terminate_synth();
}

void scenario_memory(const Options &options, const char *what, const std::u16string &text) {
    Engine engine = start_engine(options);
    first_chunk_ms(engine, sentences_of(1000));
    const double before = resident_mb();
    reset_peak_rss();
    reset_received();
    speak(engine, text, 1);
    wait_for_first_chunk(std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double peak = peak_rss_mb();
    engine.cancel();
    wait_until_quiet(engine);
    report("memory, 10 MB of %s: peak %.1f MB, %.1f MB above the %.1f MB before the request (its text is 10 MB)\n",
           what, peak, peak - before, before);
    engine.terminate_synth();
}

// A host whose C standard output is unbuffered (Python with -u, or one that set it so).
void scenario_unbuffered_stdout(const Options &options) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Engine engine = start_engine(options);
    first_chunk_ms(engine, sentences_of(1000));
    report("unbuffered standard output: first chunk of 10 MB of sentences %.1f ms, of 1 KB %.3f ms\n",
           first_chunk_ms(engine, sentences_of(10u << 20)), first_chunk_ms(engine, sentences_of(1000)));
    engine.terminate_synth();
}

// A host whose standard output is a pipe that nobody reads.
void scenario_stdout_pipe(const Options &options) {
    int ends[2];
    if (pipe(ends) != 0) fail("pipe");
    std::fflush(stdout);
    dup2(ends[1], STDOUT_FILENO);
    // Fill the pipe first, so the engine's first trace line finds it full.
    fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
    char filler[4096];
    std::memset(filler, 'x', sizeof filler);
    while (write(STDOUT_FILENO, filler, sizeof filler) > 0) {
    }
    fcntl(STDOUT_FILENO, F_SETFL, 0);
    Engine engine = start_engine(options);
    speak(engine, sentences_of(1u << 20), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto limit = std::chrono::milliseconds(2000);
    const double index_ms = timed_or_stuck_ms([&] { engine.last_index(); }, limit);
    const double cancel_ms = timed_or_stuck_ms([&] { engine.cancel(); }, limit);
    report("standard output a full pipe: GetLastIndex %s, Cancel %s\n", wait_text(index_ms, limit).c_str(),
           wait_text(cancel_ms, limit).c_str());
    // Drain it, so that the worker can end.
    std::thread([fd = ends[0]] {
        char buffer[65536];
        while (read(fd, buffer, sizeof buffer) > 0) {
        }
    }).detach();
    wait_until_quiet(engine);
    engine.terminate_synth();
}

void scenario_cancel(const Options &options) {
    Engine engine = start_engine(options);
    const std::u16string text = g_sentences.substr(0, g_sentences.find(u'\n') + 1);
    int late_runs = 0;
    for (int run = 0; run < options.runs; run++) {
        reset_received();
        speak(engine, text, run);
        wait_for_first_chunk(std::chrono::seconds(10));
        engine.cancel();
        g_received.after_cancel = true;
        wait_until_quiet(engine);
        if (g_received.late_chunks.load() > 0) late_runs++;
    }
    report("Cancel after the first chunk: a chunk came after Cancel returned in %d of %d runs\n", late_runs,
           options.runs);
    engine.terminate_synth();
}

// A FIFO as the voice path, and the voice file replaced by one while speaking.
void scenario_fifo(const Options &options, bool replaced_while_speaking) {
    char dir_template[] = "/tmp/velorin-host-bench-XXXXXX";
    const char *dir = mkdtemp(dir_template);
    if (!dir) fail("mkdtemp");
    const std::string fifo = std::string(dir) + "/fifo", voice = std::string(dir) + "/voice";
    mkfifo(fifo.c_str(), 0600);
    Engine engine = open_engine(options.library);
    engine.init_synth(receive);
    const auto limit = std::chrono::milliseconds(2000);
    if (!replaced_while_speaking) {
        int result = 99;
        const double init_ms = timed_or_stuck_ms([&] { result = engine.init(fifo.c_str()); }, limit);
        report("Init with a FIFO as the voice: %s%s\n", wait_text(init_ms, limit).c_str(),
               init_ms < 0 ? "" : (", result " + std::to_string(result)).c_str());
    } else {
        {
            std::ifstream in(options.voice, std::ios::binary);
            std::ofstream out(voice, std::ios::binary);
            out << in.rdbuf();
        }
        if (engine.init(voice.c_str()) != 0) fail("cannot load the copied voice");
        reset_received();
        speak(engine, sentences_of(100000), 1);
        wait_for_first_chunk(std::chrono::seconds(10));
        rename(fifo.c_str(), voice.c_str());
        const int64_t chunks = g_received.chunks.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int64_t chunks_after = g_received.chunks.load() - chunks;
        const double index_ms = timed_or_stuck_ms([&] { engine.last_index(); }, limit);
        const double cancel_ms = timed_or_stuck_ms([&] { engine.cancel(); }, limit);
        report("voice replaced by a FIFO while speaking: %lld chunks in the 300 ms after; then GetLastIndex %s, "
               "Cancel %s\n",
               static_cast<long long>(chunks_after), wait_text(index_ms, limit).c_str(),
               wait_text(cancel_ms, limit).c_str());
    }
    unlink(voice.c_str());
    unlink(fifo.c_str());
    rmdir(dir);
    std::fflush(nullptr);
    _exit(0);  // a thread stuck in the FIFO would never let TerminateSynth return
}

void scenario_failed_init(const Options &options) {
    Engine engine = start_engine(options);
    const int failed = engine.init("/nonexistent/voice");
    reset_received();
    speak(engine, u"Xin chào các bạn, hôm nay trời đẹp quá.", 1);
    wait_until_quiet(engine);
    report("a failed Init (result %d) after a good one: %lld of %lld chunks voiced\n", failed,
           static_cast<long long>(g_received.voiced.load()), static_cast<long long>(g_received.chunks.load()));
    engine.terminate_synth();
}

// Load, speak, TerminateSynth, unload: the resident memory across the cycles.
void scenario_unload_cycles(const Options &options) {
    const std::u16string text = u"xin chào các bạn";
    double first = NAN;
    for (int cycle = 1; cycle <= options.cycles; cycle++) {
        Engine engine = start_engine(options);
        reset_received();
        speak(engine, text, 1);
        wait_until_quiet(engine);
        engine.terminate_synth();
        dlclose(engine.handle);
        if (cycle == 1) first = resident_mb();
    }
    const double last = resident_mb();
    report("unload cycles: resident %.1f MB after the first, %.1f MB after %d (%.3f MB a cycle)\n", first, last,
           options.cycles, (last - first) / std::max(1, options.cycles - 1));
}

// Unloading while the worker speaks: with no TerminateSynth, or after one from inside the callback.
void scenario_unload_while_speaking(const Options &options, bool terminate_in_callback) {
    Engine engine = start_engine(options);
    std::atomic<bool> called{false};
    if (terminate_in_callback) {
        g_received.inside = [&] {
            if (called.exchange(true)) return;
            engine.terminate_synth();
            // The host unloads the library while this callback is still on its way back.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        };
    }
    speak(engine, sentences_of(100000), 1);
    wait_for_first_chunk(std::chrono::seconds(10));
    if (terminate_in_callback)
        while (g_received.chunks.load() < 1 || !called.load()) std::this_thread::yield();
    dlclose(engine.handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    g_received.inside = nullptr;
}

void scenario_low_pitch(const Options &options) {
    Engine engine = start_engine(options);
    const std::u16string text = g_sentences.substr(0, 400);
    for (int pitch : {25, 26, 27, 30, 35, 40, 50, 100, 200, 400}) {
        reset_received();
        engine.set_pitch(pitch);
        speak(engine, text, 1);
        wait_until_quiet(engine);
        report("pitch %3d: largest step between samples %5d, %lld steps over %d\n", pitch, g_received.max_step.load(),
               static_cast<long long>(g_received.steps_over.load()), kWrapStep);
    }
    engine.terminate_synth();
}

// Runs one scenario in a child process, with a time limit.
void run_child(const std::string &name, std::function<void()> body, int limit_seconds = 180,
               bool report_normal_end = false) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) fail("fork");
    if (child == 0) {
        body();
        std::fflush(nullptr);
        _exit(0);
    }
    const auto start = Clock::now();
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (ms_since(start) > limit_seconds * 1000.0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            report("%s: killed after %d s\n", name.c_str(), limit_seconds);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFSIGNALED(status))
        report("%s: the process died of signal %d (%s)\n", name.c_str(), WTERMSIG(status), strsignal(WTERMSIG(status)));
    else if (WEXITSTATUS(status) != 0)
        report("%s: exit status %d\n", name.c_str(), WEXITSTATUS(status));
    else if (report_normal_end)
        report("%s: ended normally\n", name.c_str());
}

Options parse_options(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("option " + arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--library") {
            options.library = value();
        } else if (arg == "--voice") {
            options.voice = value();
        } else if (arg == "--text") {
            options.text_file = value();
        } else if (arg == "--runs") {
            options.runs = std::atoi(value().c_str());
        } else if (arg == "--cycles") {
            options.cycles = std::atoi(value().c_str());
        } else if (!arg.empty() && arg[0] != '-') {
            options.scenarios.push_back(arg);
        } else {
            fail("unknown option " + arg + " (see --help)");
        }
    }
    if (options.library.empty() || options.voice.empty()) fail("give --library and --voice (see --help)");
    return options;
}

}  // namespace

int main(int argc, char **argv) {
    const Options options = parse_options(argc, argv);
    if (options.text_file.empty()) {
        g_sentences = to_utf16(kBuiltInText);
    } else {
        std::ifstream file(options.text_file, std::ios::binary);
        if (!file) fail("cannot read " + options.text_file);
        std::ostringstream content;
        content << file.rdbuf();
        g_sentences = to_utf16(content.str());
    }

    // The engine's trace and messages go nowhere, as in a screen reader; the report keeps a copy
    // of the real standard output.
    std::fflush(nullptr);
    const int report_fd = dup(STDOUT_FILENO);
    if (report_fd < 0) fail("cannot duplicate standard output");
    g_report = fdopen(report_fd, "w");
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
        fail("cannot redirect standard output");

    std::string load = "?";
    if (std::ifstream loadavg("/proc/loadavg"); loadavg) std::getline(loadavg, load);
    report("velorin-host-bench: %s, voice %s; load average %s\n", options.library.c_str(), options.voice.c_str(),
           load.c_str());

    auto wanted = [&](const char *name) {
        return options.scenarios.empty() ||
               std::find(options.scenarios.begin(), options.scenarios.end(), name) != options.scenarios.end();
    };
    if (wanted("waits")) {
        run_child("waits, sentences", [&] { scenario_waits(options, "sentences", sentences_of(10u << 20)); });
        run_child("waits, numbers", [&] { scenario_waits(options, "numbers", numbers_of(10u << 20)); });
    }
    if (wanted("first-chunk")) run_child("first chunk", [&] { scenario_first_chunk(options); });
    if (wanted("memory")) {
        run_child("memory, numbers", [&] { scenario_memory(options, "numbers", numbers_of(10u << 20)); });
        run_child("memory, sentences", [&] { scenario_memory(options, "sentences", sentences_of(10u << 20)); });
    }
    if (wanted("unbuffered-stdout")) run_child("unbuffered stdout", [&] { scenario_unbuffered_stdout(options); });
    if (wanted("stdout-pipe")) run_child("stdout pipe", [&] { scenario_stdout_pipe(options); }, 60);
    if (wanted("cancel")) run_child("cancel", [&] { scenario_cancel(options); });
    if (wanted("fifo")) {
        run_child("fifo as the voice", [&] { scenario_fifo(options, false); }, 30);
        run_child("fifo while speaking", [&] { scenario_fifo(options, true); }, 30);
    }
    if (wanted("failed-init")) run_child("failed Init", [&] { scenario_failed_init(options); });
    if (wanted("unload")) {
        run_child("unload cycles", [&] { scenario_unload_cycles(options); });
        for (int run = 1; run <= 3; run++) {
            const std::string number = ", run " + std::to_string(run);
            run_child("unload while speaking, no TerminateSynth" + number,
                      [&] { scenario_unload_while_speaking(options, false); }, 30, true);
            run_child("unload after TerminateSynth from the callback" + number,
                      [&] { scenario_unload_while_speaking(options, true); }, 30, true);
        }
    }
    if (wanted("low-pitch")) run_child("low pitch", [&] { scenario_low_pitch(options); });
    return 0;
}
