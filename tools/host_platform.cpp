// POSIX and Windows versions of the host's platform needs.
#include "tools/host_platform.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
const char kLibraryName[] = "velorin_nvda.dll";
#else
const char kLibraryName[] = "libvelorin_nvda.so";
#endif

fs::path program_dir() {
#if defined(_WIN32)
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0 || n == MAX_PATH) return fs::current_path();
    return fs::path(buffer).parent_path();
#else
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : exe.parent_path();
#endif
}

}  // namespace

void *load_library(const std::string &path, std::string *error) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) *error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void *>(module);
#else
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) *error = dlerror();
    return handle;
#endif
}

void *library_entry(void *library, const char *name) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

std::string program_directory() { return program_dir().string(); }

std::string default_library_path() {
    if (const char *env = std::getenv("VELORIN_LIBRARY"); env && *env) return env;
    fs::path beside = program_dir() / kLibraryName;
#if defined(VELORIN_INSTALLED_LIBRARY)
    // An installed program has no library beside it: the library sits in the library folder.
    std::error_code error;
    if (!fs::exists(beside, error)) return VELORIN_INSTALLED_LIBRARY;
#endif
    return beside.string();
}

FILE *duplicate_stdout_for_audio() {
    std::fflush(stdout);
#if defined(_WIN32)
    int fd = _dup(_fileno(stdout));
    if (fd < 0) return nullptr;
    _setmode(fd, _O_BINARY);
    return _fdopen(fd, "wb");
#else
    int fd = dup(STDOUT_FILENO);
    return fd < 0 ? nullptr : fdopen(fd, "wb");
#endif
}

FILE *route_engine_output(bool verbose) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (verbose) {
        // Whole trace lines, in step with what the engine writes to standard error.
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
#if defined(_WIN32)
        _dup2(_fileno(stderr), _fileno(stdout));
#else
        dup2(STDERR_FILENO, STDOUT_FILENO);
#endif
        return stderr;
    }
#if defined(_WIN32)
    int fd = _dup(_fileno(stderr));
    FILE *messages = fd < 0 ? nullptr : _fdopen(fd, "w");
    const char *null_device = "NUL";
#else
    int fd = dup(STDERR_FILENO);
    FILE *messages = fd < 0 ? nullptr : fdopen(fd, "w");
    const char *null_device = "/dev/null";
#endif
    if (!messages) return stderr;
    setvbuf(messages, nullptr, _IONBF, 0);
    // Should a reopen fail, the engine's output stays where it was; the messages go on either way.
    (void)std::freopen(null_device, "w", stdout);
    (void)std::freopen(null_device, "w", stderr);
    return messages;
}

bool stderr_is_terminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr));
#else
    return isatty(STDERR_FILENO);
#endif
}

void set_binary_mode(FILE *stream) {
#if defined(_WIN32)
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}
