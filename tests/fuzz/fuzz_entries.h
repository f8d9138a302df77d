// Entry functions of the fuzz targets. Each takes one input as raw bytes and returns 0, or -1
// when the engine broke one of its own promises on it (a result past its limit, a list that
// does not end). libFuzzer drives them through libfuzzer_entry.cpp; fuzz_replay_test feeds them
// the seed corpus and the crash reproducers in every ordinary test run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The bytes as UTF-16 code units (little-endian pairs, up to the first U+0000, as SpeakText
// copies them) through segmentation, normalization, unit naming and rendering with a small voice.
int fuzz_text_pipeline(const uint8_t *data, size_t size);

// The bytes as a voice file: loaded, checked, its first units fetched and decoded, then selected
// as the current voice and spoken from.
int fuzz_voice_loader(const uint8_t *data, size_t size);

// The bytes as one unit's Speex-in-Ogg stream, every whole page's checksum set right: decoded, then
// given rate, pitch and volume.
int fuzz_unit_decoder(const uint8_t *data, size_t size);

// Syllables (AsciiForm) of the small voice that the text pipeline speaks with.
const std::vector<std::string> &fuzz_voice_syllables();
// Writes that voice to path; 0, or -1 when it cannot be written.
int write_fuzz_voice(const std::string &path);
