// Cost of the text side of a request: number reading, mixed tokens, dictionary lookups, the
// known-unit test against a voice holding the whole syllable inventory, and the segmentation
// and normalization of a paragraph. The engine's trace lines go to /dev/null; the table goes to
// the original standard output.
#include "lexicon/dictionary.h"
#include "lexicon/unit_name.h"
#include "scheduler/items.h"
#include "scheduler/segmentation.h"
#include "textnorm/mixed_token.h"
#include "textnorm/number_reader.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void BM_ReadNumber(benchmark::State &state, const char16_t *token) {
    char16_t out[kNormTextCapacity];
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_number(token, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_ReadNumber, small_21, u"21");
BENCHMARK_CAPTURE(BM_ReadNumber, grouped_1_234_567, u"1.234.567");
BENCHMARK_CAPTURE(BM_ReadNumber, twelve_digits, u"987654321012");

void BM_SplitMixed(benchmark::State &state, const char16_t *token) {
    char16_t out[kNormTextCapacity];
    for (auto _ : state) {
        benchmark::DoNotOptimize(split_mixed(token, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_SplitMixed, number_unit_5kg, u"5kg");
BENCHMARK_CAPTURE(BM_SplitMixed, decimal_unit_3_5GB, u"3,5GB");
BENCHMARK_CAPTURE(BM_SplitMixed, spelled_debhelper, u"debhelper");

void BM_Abbreviation(benchmark::State &state, const char *key) {
    for (auto _ : state) benchmark::DoNotOptimize(lookup_abbreviation(key));
}
BENCHMARK_CAPTURE(BM_Abbreviation, hit_tp_hcm, "tp.hcm");
BENCHMARK_CAPTURE(BM_Abbreviation, miss_debhelper, "debhelper");

void BM_ForeignWord(benchmark::State &state, const char *key) {
    for (auto _ : state) benchmark::DoNotOptimize(lookup_foreign_word(key));
}
BENCHMARK_CAPTURE(BM_ForeignWord, hit_google, "google");
BENCHMARK_CAPTURE(BM_ForeignWord, miss_debhelper, "debhelper");

// A voice with the four units of every syllable of the inventory (no audio: lookups only).
bool select_inventory_voice() {
    std::ifstream inventory(VELORIN_SOURCE_DIR "/lexicon/data/syllables.txt");
    std::vector<VoiceUnitData> units;
    std::string line;
    std::string plain;
    while (std::getline(inventory, line)) {
        if (line.empty() || line[0] == '#') continue;
        name_long_o(&line[0]);  // as the engine names the long o ("xoOng")
        if (plain_unit_name(line + ".0", &plain) != 0) continue;
        for (int position = 0; position < 4; ++position) units.push_back({line + "." + std::to_string(position), {}});
    }
    char dir[] = "/tmp/velorin-text-bench-XXXXXX";
    if (!mkdtemp(dir)) return false;
    const std::string path = std::string(dir) + "/inventory.voice";
    VoiceFileHeader header;
    std::string error;
    const bool ok = voice_write(path.c_str(), header, units, VoiceByteOrder::Little, &error) == 0 &&
                    voice_select(path.c_str()) == 0;
    if (!ok) std::cerr << "text_bench: cannot make the inventory voice: " << error << "\n";
    std::remove(path.c_str());
    rmdir(dir);
    return ok;
}

void BM_IsKnownUnit(benchmark::State &state, const char16_t *word) {
    for (auto _ : state) benchmark::DoNotOptimize(is_known_unit(word));
    std::fflush(stdout);
}
BENCHMARK_CAPTURE(BM_IsKnownUnit, hit_viet, u"Việt");
BENCHMARK_CAPTURE(BM_IsKnownUnit, hit_nghieng, u"nghiêng");
BENCHMARK_CAPTURE(BM_IsKnownUnit, miss_google, u"Google");

const char16_t kParagraph[] =
    u"Ngày 15.3.2024, tại TP.HCM có 1.250 người tham gia hội thảo về Debian; họ dùng Google và "
    u"3,5GB dữ liệu (khoảng 20kg giấy). Tài liệu này có thể được sử dụng theo các điều khoản Giấy "
    u"phép Công cộng GNU phiên bản 2 trở lên. Gói debhelper giúp người bảo trì mới xây dựng gói "
    u"nhanh hơn!";

// Segmentation of the paragraph into items, with every word normalized and positioned.
void BM_SegmentParagraph(benchmark::State &state) {
    std::u16string text;
    size_t items = 0;
    for (auto _ : state) {
        text.assign(kParagraph);
        segment_text(text.data());
        state.PauseTiming();
        items = 0;
        for (UtteranceItem *item = item_list().head; item; item = item->next) ++items;
        clear_items();
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(items);
    std::fflush(stdout);
}
BENCHMARK(BM_SegmentParagraph);

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The table goes to a copy of standard output; the lookups' trace lines to /dev/null.
    std::fflush(stdout);
    const int table_fd = dup(STDOUT_FILENO);
    if (table_fd < 0 || !std::freopen("/dev/null", "w", stdout)) return 1;
    std::ofstream table("/dev/fd/" + std::to_string(table_fd));
    if (!select_inventory_voice()) return 1;
    benchmark::ConsoleReporter reporter(isatty(table_fd) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                          : benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&table);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    voice_release_current();
    return 0;
}
