// Small voices for tests: every syllable gets its four positional units ("<syllable>.0" to ".3"),
// each a distinct synthetic voiced sound encoded with the engine's own Speex encoder and written
// with the engine's voice writer.
//
//   ScratchDir dir;
//   std::string path = build_test_voice(dir, {"xin", "cha`o", "vie).t"});
//   ASSERT_EQ(voice_select(path.c_str()), 0);
//
// A unit decodes to exactly unit_ms of audio (test_unit_frames), so rendering tests can predict
// lengths; test_unit_signal gives the samples that were encoded, for comparisons with a tolerance.
#pragma once

#include "support/scratch_dir.h"
#include "voice/voice_writer.h"

#include <cstdint>
#include <string>
#include <vector>

struct TestVoiceOptions {
    int sample_rate = 16000;  // 8000 is narrowband Speex, anything else wideband (e.g. 16000, 22050)
    int channels = 1;         // 1 or 2
    VoiceByteOrder byte_order = VoiceByteOrder::Little;
    int unit_ms = 200;  // length of every unit
    int lead_ms = 0;    // of it, digital silence before the sound starts
    std::string name = "test speaker";  // the voice's name in its header
};

struct TestSyllable {
    std::string ascii;  // AsciiForm without position, e.g. "vie).t"
    int unit_ms;        // length of its four units
};

// Frames (samples per channel) of a unit of the given length.
int test_unit_frames(int unit_ms, const TestVoiceOptions &options);

// The interleaved samples encoded for the unit with this full name (e.g. "xin.1"): a voiced sound
// whose pitch depends on the name, so that units can be told apart.
std::vector<int16_t> test_unit_signal(const std::string &unit_name, int unit_ms, const TestVoiceOptions &options);

// The unit's Ogg/Speex bytes as stored in the voice.
std::vector<uint8_t> test_unit_bytes(const std::string &unit_name, int unit_ms, const TestVoiceOptions &options);

// Writes the voice to dir/file_name and returns its path; "" after a test failure is recorded
// (unrepresentable name, encoder or writer error).
std::string build_test_voice(const ScratchDir &dir, const std::vector<std::string> &syllables,
                             const TestVoiceOptions &options = {}, const std::string &file_name = "voice.dat");
// The same with a length per syllable (options.unit_ms unused).
std::string build_test_voice_timed(const ScratchDir &dir, const std::vector<TestSyllable> &syllables,
                             const TestVoiceOptions &options = {}, const std::string &file_name = "voice.dat");
