// The table-driven composer: each letter with the combining marks that follow it is decomposed,
// its marks are put in canonical order, and the letter is composed again mark by mark.
#include "lexicon/compose.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace {

struct Composition {
    char16_t base;
    char16_t mark;
    char16_t composed;
};

struct MarkClass {
    char16_t mark;
    uint8_t combining_class;
};

struct MarkSingleton {
    char16_t mark;
    char16_t replacement;
};

#include "lexicon/composition_table.inc"

// The combining class of c, 0 for every character that is no combining mark of the table.
int combining_class(char16_t c) {
    if (c < 0x0300 || c > 0x036F) return 0;
    const MarkClass *end = std::end(kMarkClasses);
    const MarkClass *found = std::lower_bound(std::begin(kMarkClasses), end, c,
                                              [](const MarkClass &row, char16_t key) { return row.mark < key; });
    return found != end && found->mark == c ? found->combining_class : 0;
}

char16_t replace_singleton(char16_t mark) {
    for (const MarkSingleton &row : kMarkSingletons)
        if (row.mark == mark) return row.replacement;
    return mark;
}

// The composed letter of base and mark, or 0 when Unicode has none.
char16_t compose_pair(char16_t base, char16_t mark) {
    const Composition *end = std::end(kCompositions);
    const Composition *found = std::lower_bound(
        std::begin(kCompositions), end, std::make_pair(base, mark), [](const Composition &row, std::pair<char16_t, char16_t> key) {
            return row.base != key.first ? row.base < key.first : row.mark < key.second;
        });
    return found != end && found->base == base && found->mark == mark ? found->composed : 0;
}

// The row that composes c, or null when c is no composed letter of the table.
const Composition *decomposition_of(char16_t c) {
    for (const Composition &row : kCompositions)
        if (row.composed == c) return &row;
    return nullptr;
}

// A letter, taken apart: its base and every mark, at most three deep in the table.
constexpr int kClusterCapacity = kMaxComposedMarks + 8;

struct Cluster {
    char16_t base = 0;
    char16_t marks[kClusterCapacity];
    int mark_count = 0;
};

void decompose_into(char16_t letter, Cluster &cluster) {
    char16_t inner_marks[8];
    int depth = 0;
    const Composition *row = decomposition_of(letter);
    while (row && depth < 8) {
        inner_marks[depth++] = row->mark;
        letter = row->base;
        row = decomposition_of(letter);
    }
    cluster.base = letter;
    // The innermost mark came last out of the table and goes first.
    while (depth > 0) cluster.marks[cluster.mark_count++] = inner_marks[--depth];
}

// Composes the cluster into out (the letter and any marks that stay); returns the length.
int compose_cluster(Cluster &cluster, char16_t *out) {
    std::stable_sort(cluster.marks, cluster.marks + cluster.mark_count,
                     [](char16_t a, char16_t b) { return combining_class(a) < combining_class(b); });
    char16_t letter = cluster.base;
    int left = 0;  // marks that stay, after the letter
    char16_t *left_marks = out + 1;
    for (int i = 0; i < cluster.mark_count; ++i) {
        const char16_t mark = cluster.marks[i];
        // A mark is blocked by a mark left before it of the same or a higher class.
        const bool blocked = left > 0 && combining_class(left_marks[left - 1]) >= combining_class(mark);
        const char16_t composed = blocked ? 0 : compose_pair(letter, mark);
        if (composed != 0) {
            letter = composed;
        } else {
            left_marks[left++] = mark;
        }
    }
    out[0] = letter;
    return 1 + left;
}

}  // namespace

size_t compose_text(char16_t *text) {
    if (text == nullptr) return 0;
    size_t read = 0;
    size_t write = 0;
    while (text[read] != 0) {
        const char16_t letter = text[read];
        size_t marks_end = read + 1;
        while (text[marks_end] != 0 && combining_class(text[marks_end]) != 0) ++marks_end;
        const size_t mark_count = marks_end - read - 1;
        const bool composable = mark_count > 0 && mark_count <= static_cast<size_t>(kMaxComposedMarks) &&
                                combining_class(letter) == 0;
        if (composable) {
            Cluster cluster;
            decompose_into(letter, cluster);
            for (size_t i = read + 1; i < marks_end; ++i) cluster.marks[cluster.mark_count++] = replace_singleton(text[i]);
            char16_t composed[kClusterCapacity + 1];
            const int length = compose_cluster(cluster, composed);
            if (static_cast<size_t>(length) <= mark_count + 1) {
                for (int i = 0; i < length; ++i) text[write++] = composed[i];
                read = marks_end;
                continue;
            }
        }
        // Nothing to compose, or composing would not shorten: the run stays as it is.
        for (size_t i = read; i < marks_end; ++i) text[write++] = text[i];
        read = marks_end;
    }
    text[write] = 0;
    return write;
}
