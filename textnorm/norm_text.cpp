// Bounded, word-preserving writing of normalized text.
#include "textnorm/norm_text.h"

namespace {

// Appends into a fixed buffer; once a character does not fit, the text is cut back to the end
// of the last whole word and everything later is ignored.
struct WordCutWriter {
    char16_t *out;
    size_t capacity;
    size_t length = 0;
    size_t last_space = 0;
    bool full = false;

    void put(char16_t c) {
        if (full) return;
        if (length + 1 >= capacity) {
            full = true;
            // A space arriving at the limit means the text written so far ends with a word.
            if (c != u' ') length = last_space;
            return;
        }
        if (c == u' ') last_space = length;
        out[length++] = c;
    }

    void put(const char16_t *text) {
        if (text == nullptr) return;
        for (; *text != 0 && !full; ++text) put(*text);
    }
};

}  // namespace

size_t wide_length(const char16_t *text) {
    size_t n = 0;
    if (text != nullptr) {
        while (text[n] != 0) ++n;
    }
    return n;
}

int fill_format(char16_t *out, size_t capacity, const char16_t *format,
                std::initializer_list<const char16_t *> args) {
    if (out == nullptr || capacity == 0) return 0;
    WordCutWriter writer{out, capacity};
    const char16_t *const *next_arg = args.begin();
    for (const char16_t *p = format; p != nullptr && *p != 0 && !writer.full; ++p) {
        if (p[0] == u'%' && p[1] == u's') {
            if (next_arg != args.end()) writer.put(*next_arg++);
            ++p;
        } else {
            writer.put(*p);
        }
    }
    out[writer.length] = 0;
    return static_cast<int>(writer.length);
}
