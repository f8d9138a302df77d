// The small voice the text-pipeline fuzzer and the memory check speak with.
#include "fuzz/fuzz_entries.h"

#include "support/test_voice.h"
#include "voice/voice_writer.h"

const std::vector<std::string> &fuzz_voice_syllables() {
    // The syllables of "Xin chào các bạn. Hôm nay trời đẹp, chúng ta đi học. Một hai ba bốn năm."
    static const std::vector<std::string> syllables = {
        "xin", "cha`o", "ca'c", "ba.n", "ho)m", "nay", "tro(`i", "d!e.p", "chu'ng",
        "ta",  "d!i",   "ho.c", "mo).t", "hai", "ba",  "bo)'n",  "na(m",
    };
    return syllables;
}

int write_fuzz_voice(const std::string &path) {
    TestVoiceOptions options;
    options.unit_ms = 40;  // short units keep decoding cheap
    VoiceFileHeader header;
    header.header_text_1 = "fuzz speaker";
    header.sample_rate = options.sample_rate;
    header.channels = options.channels;
    std::vector<VoiceUnitData> units;
    for (const std::string &syllable : fuzz_voice_syllables()) {
        for (int position = 0; position < 4; position++) {
            const std::string name = syllable + "." + std::to_string(position);
            units.push_back({name, test_unit_bytes(name, options.unit_ms, options)});
        }
    }
    return voice_write(path.c_str(), header, units, VoiceByteOrder::Little);
}
