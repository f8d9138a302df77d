// Encodes 16-bit PCM into the Speex-in-Ogg streams that voice units are stored as.
//
// The stream holds a header page, a comment page (vendor string, no comments), a page with the
// first audio packet alone and the remaining audio packets, one frame each. Granule positions
// count the input's samples less the encoder's lookahead and the last one is the input's length,
// so decode_unit trims the codec's delay and padding and returns exactly the input's length per
// channel, aligned with it. A very short input (under 81 samples per channel in narrowband, 98 in
// wideband) is padded with silence to that length, the shortest the trimming can express.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SpeexBand { Narrowband, Wideband };

struct UnitEncoderOptions {
    SpeexBand band = SpeexBand::Wideband;
    int sample_rate = 16000;  // written to the header; the codec itself runs at 8 or 16 kHz
    int channels = 1;         // 1, or 2 (interleaved input, intensity stereo)
    int quality = 8;          // 0..10
    int serial = 1;           // Ogg stream serial number
};

// Encodes frames samples per channel (interleaved for stereo) into *out. Returns 0, or -1 with a
// reason in *error when given (bad channel count, quality or rate, negative length, codec failure).
// When decoded is given, it receives what the engine's decoder (enhancement on) makes of the
// stream, aligned with the input and as long, before the engine's edge fades.
int encode_unit(const int16_t *samples, int frames, const UnitEncoderOptions &options, std::vector<uint8_t> *out,
                std::string *error = nullptr, std::vector<int16_t> *decoded = nullptr);

// Samples per channel that encode_unit makes of an input of frames samples per channel.
int encoded_unit_frames(SpeexBand band, int frames);
