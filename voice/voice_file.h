// The voice database file: its reader, the in-memory unit index and the process-wide current voice.
//
// File layout (int16 fields in the byte order chosen by the mark; strings are an int16 length L
// and L bytes, no terminator):
//   "VELORIN_DATA-v2.5.0" (19 bytes), mark 01 00 (little-endian) or 00 01 (big-endian),
//   header_text_1, header_text_2 (strings), header_value (int16),
//   header_text_3, header_text_4, header_text_5 (strings),
//   sample_rate, channels, syllable_count (int16),
//   4 x syllable_count records: name (string, plain letters), size (int16), size bytes of Ogg/Speex.
// Only names and sizes are read while loading; the audio stays on disk, in the file the loader
// opened and keeps open, and is fetched per unit with positioned reads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>

constexpr int kVoiceMaxUnits = 40000;
constexpr int kVoiceMaxSyllables = kVoiceMaxUnits / 4;
constexpr int kVoiceMagicLength = 19;
extern const char kVoiceMagic[kVoiceMagicLength + 1];

struct UnitEntry {
    char *name;      // AsciiForm after the rewrite, zero-terminated, owned
    int32_t size;    // bytes of audio
    int32_t offset;  // absolute file offset of the first audio byte
};

struct UnitCache;

struct VoiceDatabase {
    char *path;  // recognises a repeated select
    char *header_text_1;
    char *header_text_2;
    int32_t header_value;
    char *header_text_3;
    char *header_text_4;
    char *header_text_5;
    int32_t sample_rate;
    int32_t channels;
    int32_t syllable_count;
    int32_t unit_count;  // 4 x syllable_count entries of units in use, sorted by name
    // The voice file as the loader opened it; audio is read from it, not from the path, so a file
    // deleted, replaced or turned into a FIFO after loading is read as it was.
    bool has_audio_file;
    int audio_file;
    UnitCache *cache;  // decoded units (and their audio after prosody) kept for reuse; nullptr keeps none
    UnitEntry units[kVoiceMaxUnits];
};

// Zero-filled block of size bytes (0 counts as 1). On a negative size or an allocation failure
// writes its message to standard error and returns nullptr; it never ends the process.
void *must_alloc(int size);

// 0 when the file starts with the magic and a valid byte-order mark, which it reports in
// *big_endian; -1 otherwise.
int voice_check_header(FILE *file, bool *big_endian);

// Opens path for reading if it names a regular file: a file descriptor, or -1 for anything else
// (missing, a directory, a FIFO, a device), without ever waiting for a writer. On Windows the file
// may still be deleted or renamed while it is open, as elsewhere.
int open_regular_file(const char *path);
void close_file(int file);
// Reads count bytes at offset of an open file into buffer, whatever other threads read from it
// meanwhile; true when all of them were read.
bool read_file_at(int file, int64_t offset, unsigned char *buffer, int count);

// Turns a stored plain-letter name into AsciiForm in place (the first character is kept).
void rewrite_unit_name(char *name);

// A new voice read from path, or nullptr when the file cannot be opened or is malformed. The file
// stays open until voice_free.
VoiceDatabase *voice_load(const char *path);
// Releases a voice and everything it owns; nullptr is accepted.
void voice_free(VoiceDatabase *voice);

// Makes the voice at path current: 0 when a voice for path is current afterwards, -1 when loading
// failed (then the voice that was current stays). The identical path string as the current
// voice's is not reloaded. Safe from any thread at any time: the file is read with no lock the
// worker needs, and the voice is swapped between two of the worker's steps.
int voice_select(const char *path);
// Releases the current voice, leaving none (at unload, and in tests and tools).
void voice_release_current();
// Held while the current voice is in use: the worker holds it for each step of reading and
// rendering, voice_select and voice_release_current to swap the voice. Nothing slow is done
// with it held by voice_select, so a step never waits for a voice file being loaded.
std::mutex &voice_mutex();
// The current voice, or nullptr.
const VoiceDatabase *current_voice();
// sample_rate / channels of the current voice, -1 without one.
int voice_sample_rate();
int voice_channels();
