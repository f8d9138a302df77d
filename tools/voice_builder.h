// The voice builder: syllable lists, spelling helpers, and the making of a voice file from
// espeak-ng or from a folder of recordings (the library behind velorin-voice build).
#pragma once

#include "voice/unit_encoder.h"
#include "voice/unit_synth.h"
#include "voice/voice_writer.h"

#include <string>
#include <vector>

constexpr int kMaxStoredUnitBytes = kUnitBufferBytes;  // the engine fetches no larger unit
constexpr int kTrimKeepMs = 8;              // silence kept on each side of a trimmed unit

// Reads a syllable list (AsciiForm, one a line; empty lines and lines starting with '#' are
// skipped; repeats are dropped). 0, or -1 with a reason in *error.
int read_syllable_list(const std::string &path, std::vector<std::string> *syllables, std::string *error);

// The other placement of the tone mark for a syllable ending in oa, oe or uy with the tone on one
// of the two vowels ("ho`a" <-> "hoa`", "thu?y" <-> "thuy?"), or "" when spelling allows only one
// ("quy?", "hoa`n", "thuy").
std::string other_tone_placement(const std::string &ascii);
// The list with the other tone placement of each syllable added after it, when missing.
std::vector<std::string> with_both_tone_placements(const std::vector<std::string> &syllables);

// Unicode (UTF-8) Vietnamese for an AsciiForm text: "vie).t" gives "việt". Signs that follow no
// letter that can carry them are kept as they are.
std::string ascii_to_vietnamese(const std::string &ascii);
// AsciiForm, lower case, of a UTF-8 text, as the engine names units; "" when the text holds
// characters outside U+0001..U+00FF that are not Vietnamese letters.
std::string vietnamese_to_ascii(const std::string &utf8);

// The syllable part of a unit's name: the AsciiForm syllable with its long o named as the voice
// file can hold it ("xoong" -> "xoOng", as the engine names the unit), and the way back.
std::string unit_syllable(const std::string &ascii_syllable);
std::string syllable_of_unit(const std::string &unit_syllable);

// Recordings are named "<syllable>.<position>.wav": the syllable in Vietnamese letters (UTF-8,
// lower case, precomposed: "việt.2.wav") or in the voice file's plain-letter spelling
// ("vieejt.2.wav"); position 0 alone, 1 first, 2 middle, 3 last.
std::string recording_file_name(const std::string &ascii_syllable, int position);
// The unit name ("vie).t.2", "xoOng.0") of a recording's file name, or "" when it is not one. A
// plain-letter name is read as the voice file's loader reads it ("xoong" is xông there).
std::string unit_name_of_recording(const std::string &file_name);

enum class UnitSource { Espeak, Recordings };

struct VoiceBuildOptions {
    UnitSource source = UnitSource::Espeak;
    std::string recordings_dir;
    std::vector<std::string> syllables;  // AsciiForm; with recordings, empty means all found
    std::string output;
    std::string espeak_variant = "northern";  // northern, central or southern (espeak-ng's vi voices)
    std::string voice_name = "vi-default";
    int sample_rate = 22050;
    int channels = 1;
    SpeexBand band = SpeexBand::Wideband;
    int quality = 5;
    VoiceByteOrder byte_order = VoiceByteOrder::Little;
    int threads = 0;       // 0: one per core
    bool partial = false;  // write the voice even when some syllables could not be made
    bool fill = false;     // a syllable missing positions takes them from the nearest it has
    bool progress = false;  // progress bar on standard error
};

struct VoiceBuildReport {
    int syllables_written = 0;
    int units_written = 0;
    long file_bytes = 0;
    double seconds = 0;
    std::vector<std::string> missing_recordings;  // file names expected and not found
    std::vector<std::string> unit_errors;         // "<unit>: reason" (silent, too large, ...)
    std::vector<std::string> left_out;            // syllables not in the voice
    std::vector<std::string> unstorable;          // syllables no unit name in the file can spell
    int units_below_loudness = 0;                 // more than 1 dB under the common loudness
    int units_lowered_for_codec = 0;              // lowered again so that the decoder does not clip them
    std::vector<std::string> clipping;            // units the decoder clips all the same
    std::vector<std::string> filled;              // "xin.0<-xin.3": a unit that is a copy of another
    std::string error;                            // why nothing was written
};

// The position whose unit stands in for a missing one, from the positions a syllable has (bit p
// set: position p recorded): the nearest along alone - last - inside - first, the first of two
// equally near in that order's direction (alone from last, last from inside, inside from first).
// -1 when it has none.
int fill_source_position(int missing, unsigned recorded);

// Makes every unit, then writes the voice (through a temporary file, so an interrupted build never
// leaves a half voice behind). Syllables with any unit that could not be made are left out; unless
// options.partial, that fails the build. 0 when the file was written, -1 otherwise.
int voice_build(const VoiceBuildOptions &options, VoiceBuildReport *report);
