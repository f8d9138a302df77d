// Fuzz target: bytes as one unit's Speex-in-Ogg stream (page checksums repaired), decoded and given
// rate, pitch and volume.
#include "fuzz/fuzz_entries.h"

#include <ogg/ogg.h>

#include <cstring>
#include <vector>

#include "voice/unit_decode.h"
#include "voice/unit_prosody.h"
#include "voice/unit_synth.h"

namespace {

struct ProsodyCase {
    int limit;  // for decoding; small ones exercise the dropping of frames at the limit
    float speed, pitch, rate, volume;
};

// Chosen by the input's length: normal settings, the extremes the engine allows, small limits.
const ProsodyCase kCases[] = {
    {kPcmBufferBytes, 1.0f, 1.0f, 1.0f, 1.0f},
    {kPcmBufferBytes, 2.0f, 0.25f, 4.0f, 0.0f},
    {4000, 0.5f, 4.0f, 0.25f, 4.0f},
    {3, 1.37f, 0.8f, 1.0f, 1.5f},
};

// Sets the checksum of every whole Ogg page in the bytes, so that a mutation inside a page reaches
// the Speex header and packets instead of ending at libogg's checksum test.
void repair_page_checksums(std::vector<uint8_t> &bytes) {
    size_t at = 0;
    while (at + 27 <= bytes.size()) {
        if (std::memcmp(bytes.data() + at, "OggS", 4) != 0) {
            at++;
            continue;
        }
        const size_t header = 27 + bytes[at + 26];
        if (at + header > bytes.size()) break;
        size_t body = 0;
        for (size_t i = 27; i < header; i++) body += bytes[at + i];
        if (at + header + body > bytes.size()) break;
        ogg_page page;
        page.header = bytes.data() + at;
        page.header_len = static_cast<long>(header);
        page.body = bytes.data() + at + header;
        page.body_len = static_cast<long>(body);
        ogg_page_checksum_set(&page);
        at += header + body;
    }
}

}  // namespace

int fuzz_unit_decoder(const uint8_t *data, size_t size) {
    const ProsodyCase &c = kCases[size % (sizeof kCases / sizeof kCases[0])];
    static unsigned char pcm[kPcmBufferBytes];
    static unsigned char out[kPcmBufferBytes];
    SpeexStreamSetup setup;
    const int count = size > static_cast<size_t>(kUnitBufferBytes) ? kUnitBufferBytes : static_cast<int>(size);
    std::vector<uint8_t> unit(data, data + count);
    repair_page_checksums(unit);
    const int decoded = decode_unit(unit.data(), count, pcm, c.limit, 0, 0, &setup);
    if (decoded < -1 || decoded > c.limit || (decoded > 0 && decoded % 2 != 0)) return -1;
    if (decoded <= 0) return 0;
    // A voice declares 1..32767 Hz and the unit's channel count; the stream's own rate stands in.
    const int sample_rate = setup.stream_rate < 1 ? 1 : setup.stream_rate > 32767 ? 32767 : setup.stream_rate;
    const int written = apply_prosody(pcm, decoded, out, kPcmBufferBytes, c.speed, c.pitch, c.rate, c.volume, 1, 0,
                                      sample_rate, setup.stream_channels);
    if (written < -1 || written > kPcmBufferBytes) return -1;
    return 0;
}
