// Unit audio: Speex encoding and decoding, header and frame faults, edge fades, prosody and the
// whole fetch-decode-prosody path within its byte limit.
#include "voice/diagnostics.h"
#include "voice/unit_decode.h"
#include "voice/unit_encoder.h"
#include "voice/unit_prosody.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include "support/scratch_dir.h"
#include "support/test_voice.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <speex/speex_header.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Packet {
    std::vector<uint8_t> data;
    int64_t granule;
    bool eos;
};

std::vector<Packet> packets_of(const std::vector<uint8_t> &stream) {
    std::vector<Packet> packets;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(stream.size()));
    std::memcpy(buffer, stream.data(), stream.size());
    ogg_sync_wrote(&sync, static_cast<long>(stream.size()));
    ogg_stream_state os;
    bool have_stream = false;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!have_stream) ogg_stream_init(&os, ogg_page_serialno(&page));
        have_stream = true;
        ogg_stream_pagein(&os, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&os, &packet) == 1) {
            packets.push_back({std::vector<uint8_t>(packet.packet, packet.packet + packet.bytes), packet.granulepos,
                               packet.e_o_s != 0});
        }
    }
    if (have_stream) ogg_stream_clear(&os);
    ogg_sync_clear(&sync);
    return packets;
}

// Pages as the encoder lays them out: the header, the comments and the first audio packet alone.
std::vector<uint8_t> stream_of(const std::vector<Packet> &packets) {
    std::vector<uint8_t> out;
    ogg_stream_state os;
    ogg_stream_init(&os, 7);
    ogg_page page;
    for (size_t i = 0; i < packets.size(); i++) {
        ogg_packet packet{};
        packet.packet = const_cast<unsigned char *>(packets[i].data.data());
        packet.bytes = static_cast<long>(packets[i].data.size());
        packet.b_o_s = i == 0;
        packet.e_o_s = packets[i].eos;
        packet.granulepos = packets[i].granule;
        packet.packetno = static_cast<ogg_int64_t>(i);
        ogg_stream_packetin(&os, &packet);
        if (i <= 2) {
            while (ogg_stream_flush(&os, &page)) {
                out.insert(out.end(), page.header, page.header + page.header_len);
                out.insert(out.end(), page.body, page.body + page.body_len);
            }
        }
    }
    while (ogg_stream_flush(&os, &page)) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }
    ogg_stream_clear(&os);
    return out;
}

double correlation(const std::vector<int16_t> &a, const std::vector<int16_t> &b, int channels, int channel) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = channel; i < a.size() && i < b.size(); i += channels) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

std::vector<int16_t> as_samples(const std::vector<unsigned char> &bytes, int count) {
    std::vector<int16_t> samples(static_cast<size_t>(count) / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

struct UnitAudioTest : testing::Test {
    // Without a voice, decoding applies no fades, so decoded samples compare with the input.
    void SetUp() override { voice_release_current(); }
    void TearDown() override { voice_release_current(); }

    std::vector<unsigned char> out = std::vector<unsigned char>(kPcmBufferBytes);

    int decode(const std::vector<uint8_t> &bytes, SpeexStreamSetup *setup = nullptr) {
        return decode_unit(bytes.data(), static_cast<int>(bytes.size()), out.data(), static_cast<int>(out.size()), 0, 0, setup);
    }
};

TEST_F(UnitAudioTest, RoundTripKeepsLengthAndShape) {
    const struct {
        int sample_rate;
        int channels;
        const char *mode_line;
    } cases[] = {
        {8000, 1, "Decoding 8000 Hz audio using narrowband mode (mono)\n"},
        {8000, 2, "Decoding 8000 Hz audio using narrowband mode (stereo)\n"},
        {16000, 1, "Decoding 16000 Hz audio using wideband (sub-band CELP) mode (mono)\n"},
        {22050, 1, "Decoding 22050 Hz audio using wideband (sub-band CELP) mode (mono)\n"},
        {22050, 2, "Decoding 22050 Hz audio using wideband (sub-band CELP) mode (stereo)\n"},
    };
    for (const auto &c : cases) {
        for (int ms : {7, 120, 300}) {
            SCOPED_TRACE(testing::Message() << c.sample_rate << " Hz, " << c.channels << " channels, " << ms << " ms");
            TestVoiceOptions options;
            options.sample_rate = c.sample_rate;
            options.channels = c.channels;
            const std::vector<int16_t> input = test_unit_signal("ba.1", ms, options);
            const std::vector<uint8_t> bytes = test_unit_bytes("ba.1", ms, options);
            SpeexStreamSetup setup;
            testing::internal::CaptureStderr();
            const int written = decode(bytes, &setup);
            const std::string messages = testing::internal::GetCapturedStderr();
            EXPECT_EQ(messages, std::string(c.mode_line) + "Velorin unit encoder\n");
            EXPECT_EQ(setup.stream_rate, c.sample_rate);
            EXPECT_EQ(setup.stream_channels, c.channels);
            const int frames = test_unit_frames(ms, options);
            const SpeexBand band = c.sample_rate == 8000 ? SpeexBand::Narrowband : SpeexBand::Wideband;
            ASSERT_EQ(written, encoded_unit_frames(band, frames) * 2 * c.channels);
            if (ms < 100) continue;  // too short to compare with the codec's onset
            EXPECT_EQ(written, frames * 2 * c.channels);
            const std::vector<int16_t> decoded = as_samples(out, written);
            for (int channel = 0; channel < c.channels; channel++) {
                EXPECT_GT(correlation(input, decoded, c.channels, channel), 0.9) << "channel " << channel;
            }
        }
    }
}

TEST_F(UnitAudioTest, EncoderDecodesAsTheEngineDoes) {
    for (const auto &c : {std::make_pair(8000, 1), std::make_pair(16000, 1), std::make_pair(22050, 1), std::make_pair(22050, 2)}) {
        for (int ms : {7, 300}) {
            SCOPED_TRACE(testing::Message() << c.first << " Hz, " << c.second << " channels, " << ms << " ms");
            TestVoiceOptions voice;
            voice.sample_rate = c.first;
            voice.channels = c.second;
            const std::vector<int16_t> input = test_unit_signal("ba.1", ms, voice);
            UnitEncoderOptions options;
            options.band = c.first == 8000 ? SpeexBand::Narrowband : SpeexBand::Wideband;
            options.sample_rate = c.first;
            options.channels = c.second;
            std::vector<uint8_t> bytes;
            std::vector<int16_t> decoded;
            ASSERT_EQ(encode_unit(input.data(), test_unit_frames(ms, voice), options, &bytes, nullptr, &decoded), 0);
            testing::internal::CaptureStderr();
            const int written = decode(bytes);
            testing::internal::GetCapturedStderr();
            ASSERT_GT(written, 0);
            EXPECT_EQ(decoded, as_samples(out, written));
        }
    }
}

TEST(UnitEncoder, RefusesBadOptions) {
    const int16_t samples[4] = {};
    std::vector<uint8_t> bytes;
    std::string error;
    UnitEncoderOptions options;
    options.channels = 3;
    EXPECT_EQ(encode_unit(samples, 2, options, &bytes, &error), -1);
    EXPECT_FALSE(error.empty());
    options.channels = 1;
    options.quality = 11;
    EXPECT_EQ(encode_unit(samples, 2, options, &bytes, &error), -1);
    options.quality = 5;
    EXPECT_EQ(encode_unit(samples, -1, options, &bytes, &error), -1);
    EXPECT_EQ(encode_unit(samples, 2, options, &bytes, &error), 0);
}

TEST_F(UnitAudioTest, BytesWithoutASpeexHeaderYieldNothing) {
    Packet not_speex{std::vector<uint8_t>(80, 'V'), 0, false};
    const std::vector<std::vector<uint8_t>> units = {
        {},
        std::vector<uint8_t>(500, 'x'),
        stream_of({not_speex, {{1, 2, 3}, 0, true}}),
    };
    for (const auto &unit : units) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(decode(unit), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "This doesn't look like a Speex file\n");
    }
}

TEST_F(UnitAudioTest, JunkBeforeThePagesIsSkipped) {
    TestVoiceOptions options;
    const std::vector<uint8_t> unit = test_unit_bytes("xin.0", 200, options);
    std::vector<uint8_t> junk_first(333 + unit.size(), 0x11);
    std::copy(unit.begin(), unit.end(), junk_first.begin() + 333);
    testing::internal::CaptureStderr();
    const int clean = decode(unit);
    const std::vector<unsigned char> clean_pcm(out.begin(), out.begin() + clean);
    EXPECT_EQ(decode(junk_first), clean);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + clean), clean_pcm);
}

TEST_F(UnitAudioTest, RejectedHeadersFailTheUnitOnly) {
    TestVoiceOptions options;
    const std::vector<Packet> valid = packets_of(test_unit_bytes("xin.0", 200, options));
    ASSERT_GT(valid.size(), 3u);
    SpeexHeader original;
    std::memcpy(&original, valid[0].data.data(), sizeof original);  // the packet is the little-endian struct

    const struct {
        const char *label;
        void (*change)(SpeexHeader *);
        const char *message;
    } cases[] = {
        {"mode 3", [](SpeexHeader *h) { h->mode = 3; }, "Mode number 3 does not"},
        {"mode -1", [](SpeexHeader *h) { h->mode = -1; }, "Mode number -1 does not"},
        {"bit-stream version 2", [](SpeexHeader *h) { h->speex_version_id = 2; },
         "This file was encoded with Speex bit-stream version 2, which I don't know how to decode\n"},
        {"newer mode", [](SpeexHeader *h) { h->mode_bitstream_version += 1; },
         "The file was encoded with a newer version of Speex. You need to upgrade in order to play it.\n"},
        {"older mode", [](SpeexHeader *h) { h->mode_bitstream_version -= 1; },
         "The file was encoded with an older version of Speex. You would need to downgrade the version in order to "
         "play it.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        SpeexHeader header = original;
        c.change(&header);
        std::vector<Packet> packets = valid;
        packets[0].data.assign(reinterpret_cast<uint8_t *>(&header), reinterpret_cast<uint8_t *>(&header) + sizeof header);
        testing::internal::CaptureStderr();
        EXPECT_EQ(decode(stream_of(packets)), -1);
        const std::string messages = testing::internal::GetCapturedStderr();
        // The library refuses an unknown mode itself, before the mode test can run.
        const bool expected = messages.find(c.message) != std::string::npos ||
                              (std::strncmp(c.label, "mode", 4) == 0 && messages.find("Cannot read header\n") != std::string::npos);
        EXPECT_TRUE(expected) << messages;
        EXPECT_EQ(messages.find("Decoding"), std::string::npos) << messages;
    }

    std::vector<Packet> short_header = valid;
    short_header[0].data.resize(40);
    testing::internal::CaptureStderr();
    EXPECT_EQ(decode(stream_of(short_header)), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot read header\n"), std::string::npos);

    // The process is still here, and the next unit decodes.
    testing::internal::CaptureStderr();
    EXPECT_GT(decode(stream_of(valid)), 0);
    testing::internal::GetCapturedStderr();
}

TEST_F(UnitAudioTest, CorruptFramesKeepTheSamplesBeforeThem) {
    TestVoiceOptions options;
    const std::vector<Packet> valid = packets_of(test_unit_bytes("xin.0", 300, options));
    testing::internal::CaptureStderr();
    const int clean = decode(stream_of(valid));
    testing::internal::GetCapturedStderr();
    const std::vector<unsigned char> clean_pcm(out.begin(), out.begin() + clean);

    std::vector<Packet> corrupt = valid;
    for (size_t i = 6; i < corrupt.size(); i++) std::fill(corrupt[i].data.begin(), corrupt[i].data.end(), 0xff);
    testing::internal::CaptureStderr();
    const int written = decode(stream_of(corrupt));
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("corrupted stream?\n"), std::string::npos) << messages;
    ASSERT_GT(written, 0);
    EXPECT_LT(written, clean);
    // The first four audio packets decode as before (a later frame's enhancement aside).
    const int kept = 3 * 320 * 2;
    ASSERT_GE(written, kept);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + kept),
              std::vector<unsigned char>(clean_pcm.begin(), clean_pcm.begin() + kept));
}

TEST_F(UnitAudioTest, DecodingStopsAtTheLimit) {
    TestVoiceOptions options;
    options.channels = 2;
    const std::vector<uint8_t> bytes = test_unit_bytes("xin.0", 200, options);
    testing::internal::CaptureStderr();
    const int full = decode(bytes);
    for (int limit : {0, 1, 3, 1000, 1280, 1281, full - 1, full}) {
        std::vector<unsigned char> dest(static_cast<size_t>(full) + 64, 0xa5);
        const int written = decode_unit(bytes.data(), static_cast<int>(bytes.size()), dest.data(), limit, 0, 0);
        EXPECT_LE(written, limit);
        EXPECT_GE(written, 0);
        EXPECT_EQ(written % 4, 0);
        for (size_t i = static_cast<size_t>(std::max(written, limit)); i < dest.size(); i++) ASSERT_EQ(dest[i], 0xa5) << i;
        if (limit == full) {
            EXPECT_EQ(written, full);
        }
    }
    testing::internal::GetCapturedStderr();
}

TEST(ReportComments, PrintsWhatFitsThePacket) {
    auto le32 = [](uint32_t v) {
        return std::string{char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
    };
    const struct {
        std::string packet;
        const char *printed;
    } cases[] = {
        {le32(3) + "abc" + le32(0), "abc\n"},
        {le32(1) + "v" + le32(2) + le32(3) + "x=1" + le32(2) + "yy", "v\nx=1\nyy\n"},
        {le32(1) + "v" + le32(0x80000001u), "v\n"},
        {std::string(7, '\0'), "Invalid/corrupted comments\n"},
        {le32(9) + "abcd", "Invalid/corrupted comments\n"},
        {le32(0x80000000u) + "abcd", "Invalid/corrupted comments\n"},
        {le32(1) + "v" + "ab" + "cd", "v\nInvalid/corrupted comments\n"},
        {le32(1) + "v" + le32(3) + le32(1) + "c", "v\nc\nInvalid/corrupted comments\n"},
        {le32(1) + "v" + le32(1) + le32(5) + "c", "v\nInvalid/corrupted comments\n"},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        report_comments(reinterpret_cast<const unsigned char *>(c.packet.data()), static_cast<int>(c.packet.size()));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed);
    }
}

TEST(EdgeFades, RampLinearlyOverOneEightHundredthOfASecond) {
    const struct {
        int sample_rate;
        int channels;
        int fade;
    } cases[] = {{16000, 1, 20}, {22050, 1, 27}, {16000, 2, 20}, {22050, 2, 27}, {8000, 1, 10}};
    for (const auto &c : cases) {
        for (int value : {10000, -10000, 1}) {
            SCOPED_TRACE(testing::Message() << c.sample_rate << " Hz " << c.channels << " ch value " << value);
            const int frames = 100;
            std::vector<int16_t> samples(static_cast<size_t>(frames) * c.channels, static_cast<int16_t>(value));
            apply_edge_fades(samples.data(), static_cast<int>(samples.size()), c.sample_rate, c.channels);
            for (int f = 0; f < frames; f++) {
                const int from_edge = std::min(f, frames - 1 - f);
                // value x i / L truncated toward zero
                const int expected = from_edge < c.fade ? value * from_edge / c.fade : value;
                for (int ch = 0; ch < c.channels; ch++) ASSERT_EQ(samples[f * c.channels + ch], expected) << "frame " << f;
            }
        }
    }
}

TEST(EdgeFades, ShortUnitsAreLeftAlone) {
    for (int frames : {0, 1, 39, 53}) {
        const int sample_rate = frames == 53 ? 22050 : 16000;
        std::vector<int16_t> samples(static_cast<size_t>(frames), 1234);
        apply_edge_fades(samples.data(), frames, sample_rate, 1);
        EXPECT_EQ(samples, std::vector<int16_t>(static_cast<size_t>(frames), 1234)) << frames;
    }
    std::vector<int16_t> samples(40, 1234);
    apply_edge_fades(samples.data(), 40, 16000, 1);
    EXPECT_EQ(samples.front(), 0);
    EXPECT_EQ(samples.back(), 0);
    apply_edge_fades(samples.data(), 40, 16000, 0);
    apply_edge_fades(samples.data(), 40, 700, 1);
}

struct ProsodyTest : testing::Test {
    TestVoiceOptions options;
    std::vector<int16_t> input;
    std::vector<unsigned char> dest = std::vector<unsigned char>(kPcmBufferBytes);

    void SetUp() override {
        options.sample_rate = 22050;
        input = test_unit_signal("cha`o.2", 300, options);
    }
    int run(float speed, float pitch, float volume, int limit = kPcmBufferBytes, int channels = 1) {
        return apply_prosody(reinterpret_cast<const unsigned char *>(input.data()), static_cast<int>(input.size() * 2),
                             dest.data(), limit, speed, pitch, 1.0f, volume, 1, 0, options.sample_rate, channels);
    }
};

TEST_F(ProsodyTest, NormalSettingsPassSamplesThroughFaded) {
    const int written = run(1, 1, 1);
    ASSERT_EQ(written, static_cast<int>(input.size() * 2));
    std::vector<int16_t> expected = input;
    apply_edge_fades(expected.data(), static_cast<int>(expected.size()), 22050, 1);
    EXPECT_EQ(as_samples(dest, written), expected);
}

TEST_F(ProsodyTest, RateChangesLengthPitchAndVolumeDoNot) {
    const double length = input.size() * 2.0;
    EXPECT_NEAR(run(2.0f, 1, 1) / length, 0.5, 0.05);
    EXPECT_NEAR(run(0.5f, 1, 1) / length, 2.0, 0.1);
    EXPECT_NEAR(run(0.74f, 1, 1) / length, 1 / 0.74, 0.07);
    for (float pitch : {0.25f, 0.6f, 1.5f, 4.0f}) EXPECT_NEAR(run(1, pitch, 1) / length, 1.0, 0.01) << pitch;
    EXPECT_NEAR(run(1, 1, 0.5f) / length, 1.0, 0.001);
    EXPECT_EQ(run(0, 1, 1), -1);
    EXPECT_EQ(run(1, 0, 1), -1);
    // Stereo halves the frames of the same bytes.
    EXPECT_NEAR(run(2.0f, 1, 1, kPcmBufferBytes, 2) / length, 0.5, 0.05);
}

TEST_F(ProsodyTest, NeverWritesPastTheLimit) {
    for (float speed : {0.5f, 1.0f, 2.0f}) {
        for (int limit : {0, 1, 2, 3, 999, 4096, 13231}) {
            SCOPED_TRACE(testing::Message() << "speed " << speed << " limit " << limit);
            std::fill(dest.begin(), dest.end(), 0xa5);
            const int written = run(speed, 1, 1, limit);
            EXPECT_GE(written, 0);
            EXPECT_LE(written, limit);
            for (size_t i = static_cast<size_t>(std::max(written, limit)); i < dest.size(); i++) ASSERT_EQ(dest[i], 0xa5);
        }
    }
    EXPECT_EQ(apply_prosody(dest.data(), 100, dest.data() + 200, 100, 1, 1, 1, 1, 1, 0, 16000, 0), -1);
    EXPECT_EQ(apply_prosody(dest.data(), 100, dest.data() + 200, 100, 1, 1, 1, 1, 1, 0, -1, 1), -1);
}

// A frame must fit the block of 2048 samples; with more channels no frame could ever be passed
// on, and the block loop would not advance.
TEST_F(ProsodyTest, ChannelCountsPastTheBlockAreRefused) {
    for (int channels : {2049, 3000, 32767}) EXPECT_EQ(run(1.5f, 1, 1, kPcmBufferBytes, channels), -1) << channels;
    EXPECT_GE(run(1.5f, 1, 1, kPcmBufferBytes, 2048), 0);
}

struct SynthesizeUnitTest : testing::Test {
    ScratchDir dir;
    std::vector<unsigned char> dest = std::vector<unsigned char>(kPcmBufferBytes + 64, 0xa5);
    void TearDown() override { voice_release_current(); }

    std::string write_units(const std::vector<VoiceUnitData> &units, int sample_rate, int channels) {
        VoiceFileHeader header;
        header.sample_rate = sample_rate;
        header.channels = channels;
        std::string error;
        const std::string path = dir.file("units.dat");
        EXPECT_EQ(voice_write(path.c_str(), header, units, VoiceByteOrder::Big, &error), 0) << error;
        return path;
    }
};

TEST_F(SynthesizeUnitTest, SpeaksUnitsOfTheVoiceAtTheirLength) {
    for (int channels : {1, 2}) {
        TestVoiceOptions options;
        options.sample_rate = 22050;
        options.channels = channels;
        const std::string path = build_test_voice(dir, {"xin", "cha`o"}, options, "voice" + std::to_string(channels));
        ASSERT_EQ(voice_select(path.c_str()), 0);
        const int unit_bytes = test_unit_frames(options.unit_ms, options) * 2 * channels;
        testing::internal::CaptureStderr();
        EXPECT_EQ(synthesize_unit("xin.1", dest.data(), kPcmBufferBytes, 100, 100, 100), unit_bytes);
        EXPECT_NEAR(synthesize_unit("cha`o.3", dest.data(), kPcmBufferBytes, 200, 100, 100), unit_bytes / 2.0,
                    unit_bytes * 0.05);
        EXPECT_NEAR(synthesize_unit("cha`o.3", dest.data(), kPcmBufferBytes, 100, 140, 60), unit_bytes, unit_bytes * 0.03);
        // Host values outside sonic's sane range are held to it.
        EXPECT_NEAR(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 100, -5, -100), unit_bytes, unit_bytes * 0.05);
        EXPECT_NEAR(synthesize_unit("xin.0", dest.data(), kPcmBufferBytes, 0, 100, 100), unit_bytes * 2.0, unit_bytes * 0.1);
        EXPECT_EQ(synthesize_unit("xin.4", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
        testing::internal::GetCapturedStderr();
    }
}

// The largest step between neighbouring samples of the interleaved 16-bit PCM.
int largest_step(const unsigned char *pcm, int bytes, int channels) {
    int largest = 0;
    for (int i = 2 * channels; i + 1 < bytes; i += 2) {
        int16_t a, b;
        std::memcpy(&a, pcm + i - 2 * channels, 2);
        std::memcpy(&b, pcm + i, 2);
        largest = std::max(largest, std::abs(b - a));
    }
    return largest;
}

// However low the pitch, no sample wraps: the steps between neighbouring samples stay within
// what the recording itself has, where a wrapped sum jumps by tens of thousands.
TEST_F(SynthesizeUnitTest, LowestPitchesNeverWrap) {
    TestVoiceOptions options;
    options.sample_rate = 22050;
    options.unit_ms = 300;
    ASSERT_EQ(voice_select(build_test_voice(dir, {"xin", "cha`o", "ca'c", "ba.n"}, options).c_str()), 0);
    set_diagnostics_enabled(false);
    int recorded = 0;
    for (const char *name : {"xin.0", "cha`o.1", "ca'c.2", "ba.n.3"}) {
        const int written = synthesize_unit(name, dest.data(), kPcmBufferBytes, 100, 100, 100);
        ASSERT_GT(written, 0);
        recorded = std::max(recorded, largest_step(dest.data(), written, 1));
    }
    for (int pitch : {25, 26, 27, 30, 33, 35, 39, 40, 60}) {
        for (int rate : {50, 100, 200}) {
            for (const char *name : {"xin.0", "cha`o.1", "ca'c.2", "ba.n.3"}) {
                const int written = synthesize_unit(name, dest.data(), kPcmBufferBytes, rate, pitch, 100);
                ASSERT_GT(written, 0);
                EXPECT_LE(largest_step(dest.data(), written, 1), recorded)
                    << name << " at pitch " << pitch << ", rate " << rate << " (the recordings' largest step is "
                    << recorded << ")";
            }
        }
    }
    set_diagnostics_enabled(true);
}

TEST_F(SynthesizeUnitTest, WritesOnlyTheRoomItIsGiven) {
    ASSERT_EQ(voice_select(build_test_voice(dir, {"xin"}).c_str()), 0);
    const int pause = 4410;
    testing::internal::CaptureStderr();
    for (int limit : {0, 1, 2000, kPcmBufferBytes - pause}) {
        std::fill(dest.begin(), dest.end(), 0xa5);
        std::fill(dest.begin(), dest.begin() + pause, 0);
        const int written = synthesize_unit("xin.2", dest.data() + pause, limit, 50, 100, 100);
        EXPECT_LE(written, limit);
        for (int i = 0; i < pause; i++) ASSERT_EQ(dest[i], 0) << i;
        for (size_t i = static_cast<size_t>(pause + std::max(written, limit)); i < dest.size(); i++) ASSERT_EQ(dest[i], 0xa5);
    }
    testing::internal::GetCapturedStderr();
}

TEST_F(SynthesizeUnitTest, UnitsOverTheUnitBufferAreNeverDecoded) {
    TestVoiceOptions options;
    std::vector<uint8_t> speex = test_unit_bytes("xin.0", 200, options);
    std::vector<VoiceUnitData> units = {{"a.0", speex}, {"a.1", speex}, {"a.2", speex}, {"a.3", speex}};
    units[0].bytes.resize(kUnitBufferBytes, 0);  // trailing bytes after the last page are ignored
    units[1].bytes.resize(kUnitBufferBytes + 1, 0);
    ASSERT_EQ(voice_select(write_units(units, 16000, 1).c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_GT(synthesize_unit("a.0", dest.data(), kPcmBufferBytes, 100, 100, 100), 0);
    testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_EQ(synthesize_unit("a.1", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SynthesizeUnitTest, UnitsThatDoNotMatchTheVoice) {
    TestVoiceOptions mono;
    TestVoiceOptions at_22050;
    at_22050.sample_rate = 22050;
    const std::vector<uint8_t> mono_unit = test_unit_bytes("xin.0", 200, mono);
    const std::vector<uint8_t> fast_unit = test_unit_bytes("xin.0", 200, at_22050);
    std::vector<VoiceUnitData> units = {
        {"a.0", mono_unit}, {"a.1", fast_unit}, {"a.2", {'n', 'o', 't'}}, {"a.3", {}}};

    ASSERT_EQ(voice_select(write_units(units, 16000, 2).c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(synthesize_unit("a.0", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unit a.0 has 1 channels, the voice 2\n"), std::string::npos);

    voice_release_current();
    ASSERT_EQ(voice_select(write_units(units, 16000, 1).c_str()), 0);
    testing::internal::CaptureStderr();
    // Recorded at 22050 Hz in a 16000 Hz voice: its samples play at the voice's rate.
    EXPECT_EQ(synthesize_unit("a.1", dest.data(), kPcmBufferBytes, 100, 100, 100), 4410 * 2);
    EXPECT_EQ(synthesize_unit("a.2", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
    EXPECT_EQ(synthesize_unit("a.3", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("This doesn't look like a Speex file\n"), std::string::npos);

    voice_release_current();
    EXPECT_EQ(synthesize_unit("a.0", dest.data(), kPcmBufferBytes, 100, 100, 100), -1);
}

}  // namespace
