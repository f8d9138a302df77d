// Drives velorin_nvda the way the screen reader's driver does: loads the library at run time,
// looks every entry up by its exact export name, speaks UTF-16 text and records the chunks.
// Built for Windows (run under Wine) and for Linux, so the two builds' speech can be compared.
//
//   driver_host LIBRARY VOICE TEXT_FILE CHUNKS_OUT
//
// TEXT_FILE is UTF-8; each non-empty line becomes one SpeakText request. CHUNKS_OUT receives
// "VLCHUNKS" then, per chunk, its byte count (uint32 little-endian) and its bytes.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using InitFn = int (*)(const char *);
using AudioFn = int (*)(char *, int);
using InitSynthFn = bool (*)(AudioFn);
using SetIntFn = void (*)(int);
using GetIntFn = int (*)();
using SpeakTextFn = void (*)(const uint16_t *, int);
using VoidFn = void (*)();
using SetVoiceFn = int (*)(char *);

std::mutex g_chunks_mutex;
std::vector<std::vector<char>> g_chunks;
std::thread::id g_main_thread;
int g_callbacks_on_main_thread = 0;
int g_empty_chunks = 0;

int receive_audio(char *pcm, int bytes) {
    std::lock_guard<std::mutex> lock(g_chunks_mutex);
    if (std::this_thread::get_id() == g_main_thread) ++g_callbacks_on_main_thread;
    if (bytes <= 0) {
        ++g_empty_chunks;
        return 0;
    }
    g_chunks.emplace_back(pcm, pcm + bytes);
    return 0;
}

int fail(const char *what) {
    std::fprintf(stderr, "driver_host: %s\n", what);
    return 1;
}

#if defined(_WIN32)
using Library = HMODULE;
Library open_library(const char *path) { return LoadLibraryA(path); }
void *entry(Library lib, const char *name) { return reinterpret_cast<void *>(GetProcAddress(lib, name)); }
#if defined(_WIN64)
const char *const kEntryPoint = "DllMain";
#else
const char *const kEntryPoint = "DllMain@12";
#endif
#else
using Library = void *;
Library open_library(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void *entry(Library lib, const char *name) { return dlsym(lib, name); }
const char *const kEntryPoint = nullptr;
#endif

// UTF-8 to UTF-16 code units; malformed bytes become U+FFFD.
std::vector<uint16_t> utf16_of(const std::string &text) {
    std::vector<uint16_t> out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) {
            ++i;
        } else {
            cp = len == 1 ? c : c & (0x7F >> len);
            for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            i += len;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<uint16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<uint16_t>(cp));
        }
    }
    out.push_back(0);
    return out;
}

void put_u32(std::ofstream &out, uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    out.write(reinterpret_cast<char *>(b), 4);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 5) return fail("usage: driver_host LIBRARY VOICE TEXT_FILE CHUNKS_OUT");
    g_main_thread = std::this_thread::get_id();

    Library lib = open_library(argv[1]);
    if (!lib) return fail("cannot load the library");

    const char *names[] = {"Init", "_Z9InitSynthPFiPciE", "SetRate", "SetPitch", "SetVolume", "GetRate",
                           "GetPitch", "GetVolume", "_Z9SpeakTextPwi", "Cancel", "GetLastIndex", "Terminate",
                           "_Z14TerminateSynthv", "GetVoice", "_Z8SetVoicePc", "Pause", "SetOutputDevice",
                           "VelorinSetParameter", "VelorinGetParameter"};
    int missing = 0;
    for (const char *name : names) {
        if (!entry(lib, name)) {
            std::fprintf(stderr, "driver_host: no entry %s\n", name);
            ++missing;
        }
    }
    if (kEntryPoint && !entry(lib, kEntryPoint)) {
        std::fprintf(stderr, "driver_host: no entry %s\n", kEntryPoint);
        ++missing;
    }
    if (missing) return 1;

    auto init = reinterpret_cast<InitFn>(entry(lib, "Init"));
    auto init_synth = reinterpret_cast<InitSynthFn>(entry(lib, "_Z9InitSynthPFiPciE"));
    auto set_rate = reinterpret_cast<SetIntFn>(entry(lib, "SetRate"));
    auto set_pitch = reinterpret_cast<SetIntFn>(entry(lib, "SetPitch"));
    auto set_volume = reinterpret_cast<SetIntFn>(entry(lib, "SetVolume"));
    auto get_rate = reinterpret_cast<GetIntFn>(entry(lib, "GetRate"));
    auto get_pitch = reinterpret_cast<GetIntFn>(entry(lib, "GetPitch"));
    auto get_volume = reinterpret_cast<GetIntFn>(entry(lib, "GetVolume"));
    auto speak_text = reinterpret_cast<SpeakTextFn>(entry(lib, "_Z9SpeakTextPwi"));
    auto get_last_index = reinterpret_cast<GetIntFn>(entry(lib, "GetLastIndex"));
    auto terminate_synth = reinterpret_cast<VoidFn>(entry(lib, "_Z14TerminateSynthv"));
    auto get_voice = reinterpret_cast<GetIntFn>(entry(lib, "GetVoice"));
    auto set_voice = reinterpret_cast<SetVoiceFn>(entry(lib, "_Z8SetVoicePc"));

    std::ifstream text_file(argv[3], std::ios::binary);
    if (!text_file) return fail("cannot read the text file");
    std::string text((std::istreambuf_iterator<char>(text_file)), std::istreambuf_iterator<char>());

    std::string missing_voice = std::string(argv[2]) + ".missing";
    if (init(missing_voice.c_str()) != -1) return fail("Init with a missing voice did not return -1");
    if (init(argv[2]) != 0) return fail("Init with the test voice failed");
    if (!init_synth(receive_audio)) return fail("InitSynth returned false");
    char voice_name[] = "vi";
    if (set_voice(voice_name) != 0 || get_voice() != 0) return fail("SetVoice/GetVoice did not return 0");
    set_rate(60);
    set_pitch(110);
    set_volume(90);
    if (get_rate() != 60 || get_pitch() != 110 || get_volume() != 90) return fail("settings did not read back");

    int requests = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) {
            std::vector<uint16_t> units = utf16_of(line);
            speak_text(units.data(), 100 + requests);
            ++requests;
        }
        start = end + 1;
    }
    if (requests == 0) return fail("the text file holds no text");

    // The driver polls the index until the queue is empty.
    std::vector<int> seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        int index = get_last_index();
        if (seen.empty() || seen.back() != index) seen.push_back(index);
        if (index == -1) break;
        if (std::chrono::steady_clock::now() > deadline) return fail("GetLastIndex did not reach -1 within 60 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    terminate_synth();

    std::unique_lock<std::mutex> lock(g_chunks_mutex);
    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    out.write("VLCHUNKS", 8);
    size_t total = 0;
    for (const auto &chunk : g_chunks) {
        put_u32(out, static_cast<uint32_t>(chunk.size()));
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        total += chunk.size();
    }
    out.close();
    if (!out) return fail("cannot write the chunks file");

    std::printf("requests %d, chunks %zu, bytes %zu, indexes seen:", requests, g_chunks.size(), total);
    for (int index : seen) std::printf(" %d", index);
    std::printf("\n");
    if (g_callbacks_on_main_thread) return fail("the audio callback ran on the calling thread");
    if (g_empty_chunks) return fail("the audio callback got an empty chunk");
    if (g_chunks.empty()) return fail("no audio arrived");
    const size_t spoken = g_chunks.size();
    lock.unlock();

    // The engine keeps the voice file open while it is loaded; the file may still be deleted (an
    // add-on update replaces it), and the voice goes on speaking.
    const std::string copy = std::string(argv[2]) + ".loaded";
    {
        std::ifstream from(argv[2], std::ios::binary);
        std::ofstream to(copy, std::ios::binary | std::ios::trunc);
        to << from.rdbuf();
    }
    if (init(copy.c_str()) != 0) return fail("Init with a copy of the test voice failed");
    if (std::remove(copy.c_str()) != 0) return fail("the loaded voice file cannot be deleted");
    std::vector<uint16_t> words = utf16_of("xin chào");
    speak_text(words.data(), 1);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (get_last_index() != -1) {
        if (std::chrono::steady_clock::now() > deadline) return fail("speech after deleting the voice did not end");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    terminate_synth();
    lock.lock();
    std::printf("voice file deleted while loaded: %zu chunks after\n", g_chunks.size() - spoken);
    if (g_chunks.size() == spoken) return fail("no audio after the loaded voice file was deleted");
    return 0;
}
