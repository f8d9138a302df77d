// Reads a voice database file into its sorted unit index and owns the process-wide current voice.
#include "voice/voice_file.h"

#include "voice/unit_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

const char kVoiceMagic[kVoiceMagicLength + 1] = "VELORIN_DATA-v2.5.0";

namespace {

constexpr int kMaxFieldValue = 32767;
// What an int16 read gives when the file ends before its 2 bytes; outside every int16 value.
constexpr int kReadInt16Failed = -0x10000;

// Written only with both locks held, so either lock is enough to read it.
std::atomic<VoiceDatabase *> g_current_voice{nullptr};
// One voice_select at a time, for the whole load: two host threads never free the same voice.
std::mutex g_select_mutex;
// The voice in use: the worker holds it for each step, voice_select only to swap the pointer.
std::mutex g_voice_mutex;

char *copy_string(const char *text) {
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(kMaxFieldValue)) return nullptr;
    char *copy = static_cast<char *>(must_alloc(static_cast<int>(length) + 1));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

bool names_ascending(const UnitEntry &a, const UnitEntry &b) {
    // strcmp compares as unsigned bytes.
    return std::strcmp(a.name, b.name) < 0;
}

// The file read in large blocks: unit records lie about a kilobyte apart, so one read brings in
// dozens of names and sizes, and the audio between them is passed over in memory. Audio that
// reaches past the block is skipped with a seek.
constexpr int kLoadBlockBytes = 1 << 16;

struct BlockReader {
    FILE *file;
    unsigned char *block;
    bool big_endian;  // the file's byte order, from its mark
    long block_start = 0;  // file offset of block[0]
    int filled = 0;
    int at = 0;

    long tell() const { return block_start + at; }

    // Moves whatever is unread to the front and reads on after it; false when nothing more came.
    bool refill() {
        const int unread = filled - at;
        std::memmove(block, block + at, static_cast<size_t>(unread));
        block_start += at;
        at = 0;
        filled = unread;
        const size_t got = std::fread(block + filled, 1, static_cast<size_t>(kLoadBlockBytes - filled), file);
        filled += static_cast<int>(got);
        return got > 0;
    }

    bool read(void *out, int count) {
        while (filled - at < count) {
            if (count > kLoadBlockBytes || !refill()) return false;
        }
        std::memcpy(out, block + at, static_cast<size_t>(count));
        at += count;
        return true;
    }

    bool skip(int count) {
        if (count <= filled - at) {
            at += count;
            return true;
        }
        const long target = tell() + count;
        // Audio that ends within the next block is read past rather than sought over.
        if (target - (block_start + filled) < kLoadBlockBytes / 2) {
            const int beyond = static_cast<int>(target - (block_start + filled));
            block_start += filled;
            filled = at = 0;
            filled = static_cast<int>(std::fread(block, 1, kLoadBlockBytes, file));
            if (filled >= beyond) {
                at = beyond;
                return true;
            }
        }
        if (std::fseek(file, target, SEEK_SET) != 0) return false;
        block_start = target;
        filled = at = 0;
        return true;
    }

    // An int16 in the file's byte order, or kReadInt16Failed.
    int int16() {
        unsigned char bytes[2];
        if (!read(bytes, 2)) return kReadInt16Failed;
        unsigned value = big_endian ? (bytes[0] << 8 | bytes[1]) : (bytes[1] << 8 | bytes[0]);
        return static_cast<int16_t>(static_cast<uint16_t>(value));
    }
    // A field that must lie in 0..32767; -1 for anything else, including a short read.
    int field() {
        int value = int16();
        return value >= 0 ? value : -1;
    }
    char *string() {
        int length = int16();
        if (length < 0) return nullptr;
        char *text = static_cast<char *>(must_alloc(length + 1));
        if (!text) return nullptr;
        if (!read(text, length)) {
            std::free(text);
            return nullptr;
        }
        text[length] = '\0';
        return text;
    }
};

// Everything after the magic and mark; false when the file breaks the format.
bool read_body(BlockReader &file, long file_size, VoiceDatabase *voice) {
    voice->header_text_1 = file.string();
    if (!voice->header_text_1) return false;
    voice->header_text_2 = file.string();
    if (!voice->header_text_2) return false;
    int header_value = file.int16();
    if (header_value == kReadInt16Failed) return false;
    voice->header_value = header_value;
    voice->header_text_3 = file.string();
    if (!voice->header_text_3) return false;
    voice->header_text_4 = file.string();
    if (!voice->header_text_4) return false;
    voice->header_text_5 = file.string();
    if (!voice->header_text_5) return false;

    int sample_rate = file.field();
    int channels = file.field();
    int syllable_count = file.field();
    if (sample_rate <= 0 || channels <= 0) return false;
    if (syllable_count < 0 || syllable_count > kVoiceMaxSyllables) return false;
    voice->sample_rate = sample_rate;
    voice->channels = channels;
    voice->syllable_count = syllable_count;

    const int unit_count = 4 * syllable_count;
    for (int i = 0; i < unit_count; i++) {
        UnitEntry &entry = voice->units[i];
        entry.name = file.string();
        if (!entry.name) return false;
        // Counted now so that voice_free releases the name even if the record is cut short.
        voice->unit_count = i + 1;
        rewrite_unit_name(entry.name);
        int size = file.field();
        if (size < 0) return false;
        long offset = file.tell();
        if (offset < 0 || offset > file_size - size) return false;  // audio runs past the end
        entry.size = size;
        entry.offset = static_cast<int32_t>(offset);
        if (!file.skip(size)) return false;
    }
    return true;
}

}  // namespace

void *must_alloc(int size) {
    if (size < 0) {
        std::fprintf(stderr, "alloc: asked for negative size %d\n", size);
        return nullptr;
    }
    if (size == 0) size = 1;
    void *block = std::calloc(static_cast<size_t>(size), 1);
    if (!block) std::fprintf(stderr, "alloc: can't alloc %d bytes\n", size);
    return block;
}

int voice_check_header(FILE *file, bool *big_endian) {
    char magic[kVoiceMagicLength + 1] = {};
    if (!file || !big_endian || std::fread(magic, 1, kVoiceMagicLength, file) != kVoiceMagicLength) return -1;
    if (std::strcmp(magic, kVoiceMagic) != 0) return -1;
    unsigned char mark[2];
    if (std::fread(mark, 1, 2, file) != 2) return -1;
    if (mark[0] == 1 && mark[1] == 0) {
        *big_endian = false;
    } else if (mark[0] == 0 && mark[1] == 1) {
        *big_endian = true;
    } else {
        return -1;
    }
    return 0;
}

int open_regular_file(const char *path) {
    if (!path) return -1;
#if defined(_WIN32)
    // The voice stays open while it is loaded: sharing deletion lets the file be deleted, renamed
    // or replaced meanwhile, which _open's sharing would refuse.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return -1;
    }
    const int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (file < 0) {
        CloseHandle(handle);
        return -1;
    }
    struct _stat64 info;
    if (_fstat64(file, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        _close(file);
        return -1;
    }
#else
    // Opening a FIFO for reading waits for a writer, and a device may never end: without
    // O_NONBLOCK the open itself could block, so the type is checked on the open file.
    const int file = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return -1;
    struct stat info;
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(file);
        return -1;
    }
    const int flags = fcntl(file, F_GETFL);
    if (flags < 0 || fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(file);
        return -1;
    }
#endif
    return file;
}

void close_file(int file) {
#if defined(_WIN32)
    _close(file);
#else
    close(file);
#endif
}

bool read_file_at(int file, int64_t offset, unsigned char *buffer, int count) {
    if (offset < 0 || count < 0 || (count > 0 && !buffer)) return false;
    int got = 0;
#if defined(_WIN32)
    // Each read names its offset, so threads reading the same handle never meet at its position.
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    if (handle == INVALID_HANDLE_VALUE) return false;
    while (got < count) {
        const uint64_t position = static_cast<uint64_t>(offset) + static_cast<uint64_t>(got);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD read = 0;
        if (!ReadFile(handle, buffer + got, static_cast<DWORD>(count - got), &read, &at) || read == 0) break;
        got += static_cast<int>(read);
    }
#else
    while (got < count) {
        const ssize_t n = pread(file, buffer + got, static_cast<size_t>(count - got), static_cast<off_t>(offset) + got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<int>(n);
    }
#endif
    return got == count;
}

void rewrite_unit_name(char *name) {
    if (!name || name[0] == '\0') return;
    for (size_t j = 1; name[j] != '\0'; j++) {
        const char before = name[j - 1];  // already rewritten
        char &c = name[j];
        switch (c) {
        case 'a':
        case 'e':
        case 'o':
            if (before == c) c = ')';
            break;
        case 'd': c = '!'; break;
        case 'f': c = '`'; break;
        case 'j': c = '.'; break;
        case 'r':
            if (!(j == 1 && name[0] == 't')) c = '?';
            break;
        case 's': c = '\''; break;
        case 'w': c = '('; break;
        case 'x': c = '~'; break;
        default: break;
        }
    }
}

VoiceDatabase *voice_load(const char *path) {
    if (!path) return nullptr;
    auto *voice = static_cast<VoiceDatabase *>(must_alloc(static_cast<int>(sizeof(VoiceDatabase))));
    if (!voice) return nullptr;
    voice->path = copy_string(path);
    if (!voice->path) {
        voice_free(voice);
        return nullptr;
    }
    const int descriptor = open_regular_file(path);
    if (descriptor < 0) {
        voice_free(voice);
        return nullptr;
    }
    voice->audio_file = descriptor;
    voice->has_audio_file = true;
    // The loader reads through a stream of its own, on a duplicate that it closes; the file
    // itself stays open for the audio.
#if defined(_WIN32)
    const int duplicate = _dup(descriptor);
    FILE *file = duplicate < 0 ? nullptr : _fdopen(duplicate, "rb");
#else
    const int duplicate = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    FILE *file = duplicate < 0 ? nullptr : fdopen(duplicate, "rb");
#endif
    if (!file && duplicate >= 0) close_file(duplicate);
    unsigned char *block = static_cast<unsigned char *>(must_alloc(kLoadBlockBytes));
    if (!file || !block) {
        if (file) std::fclose(file);
        std::free(block);
        voice_free(voice);
        return nullptr;
    }
    // The block is the only buffer: every read goes straight into it.
    std::setvbuf(file, nullptr, _IONBF, 0);
    long file_size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) file_size = std::ftell(file);
    bool big_endian = false;
    bool ok = file_size >= 0 && std::fseek(file, 0, SEEK_SET) == 0 && voice_check_header(file, &big_endian) == 0;
    if (ok) {
        BlockReader reader{file, block, big_endian};
        reader.block_start = std::ftell(file);
        ok = reader.block_start >= 0 && read_body(reader, file_size, voice);
    }
    std::fclose(file);
    std::free(block);
    if (!ok) {
        voice_free(voice);
        return nullptr;
    }
    // A voice written in index order needs no sort.
    if (!std::is_sorted(voice->units, voice->units + voice->unit_count, names_ascending))
        std::sort(voice->units, voice->units + voice->unit_count, names_ascending);
    // Without room for a cache the voice speaks all the same, decoding every unit.
    voice->cache = unit_cache_create(voice->unit_count);
    return voice;
}

void voice_free(VoiceDatabase *voice) {
    if (!voice) return;
    unit_cache_free(voice->cache);
    if (voice->has_audio_file) close_file(voice->audio_file);
    for (int i = 0; i < voice->unit_count; i++) std::free(voice->units[i].name);
    std::free(voice->path);
    std::free(voice->header_text_1);
    std::free(voice->header_text_2);
    std::free(voice->header_text_3);
    std::free(voice->header_text_4);
    std::free(voice->header_text_5);
    std::free(voice);
}

int voice_select(const char *path) {
    std::lock_guard<std::mutex> select_lock(g_select_mutex);
    VoiceDatabase *current = g_current_voice.load();
    if (current && path && std::strcmp(current->path, path) == 0) return 0;
    // The file is read while the worker goes on speaking with the current voice, which stays
    // when the new one cannot be loaded.
    VoiceDatabase *loaded = voice_load(path);
    if (!loaded) return -1;
    {
        std::lock_guard<std::mutex> voice_lock(g_voice_mutex);
        g_current_voice.store(loaded);
    }
    voice_free(current);
    return 0;
}

void voice_release_current() {
    std::lock_guard<std::mutex> select_lock(g_select_mutex);
    VoiceDatabase *current = nullptr;
    {
        std::lock_guard<std::mutex> voice_lock(g_voice_mutex);
        current = g_current_voice.exchange(nullptr);
    }
    voice_free(current);
}

std::mutex &voice_mutex() { return g_voice_mutex; }

const VoiceDatabase *current_voice() { return g_current_voice.load(); }

int voice_sample_rate() {
    const VoiceDatabase *voice = current_voice();
    return voice ? voice->sample_rate : -1;
}

int voice_channels() {
    const VoiceDatabase *voice = current_voice();
    return voice ? voice->channels : -1;
}
