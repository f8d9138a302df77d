// The letter table and the conversions from wide text to AsciiForm and 8-bit text.
#include "lexicon/ascii_form.h"

const LetterRow letter_table[kLetterTableRows] = {
    {u'á', u'Á', u"a'"},  {u'à', u'À', u"a`"},  {u'ả', u'Ả', u"a?"},  {u'ã', u'Ã', u"a~"},
    {u'ạ', u'Ạ', u"a."},  {u'â', u'Â', u"a)"},  {u'ấ', u'Ấ', u"a)'"}, {u'ầ', u'Ầ', u"a)`"},
    {u'ẩ', u'Ẩ', u"a)?"}, {u'ẫ', u'Ẫ', u"a)~"}, {u'ậ', u'Ậ', u"a)."}, {u'ă', u'Ă', u"a("},
    {u'ắ', u'Ắ', u"a('"}, {u'ằ', u'Ằ', u"a(`"}, {u'ẳ', u'Ẳ', u"a(?"}, {u'ẵ', u'Ẵ', u"a(~"},
    {u'ặ', u'Ặ', u"a(."}, {u'đ', u'Đ', u"d!"},  {u'é', u'É', u"e'"},  {u'è', u'È', u"e`"},
    {u'ẻ', u'Ẻ', u"e?"},  {u'ẽ', u'Ẽ', u"e~"},  {u'ẹ', u'Ẹ', u"e."},  {u'ê', u'Ê', u"e)"},
    {u'ế', u'Ế', u"e)'"}, {u'ề', u'Ề', u"e)`"}, {u'ể', u'Ể', u"e)?"}, {u'ễ', u'Ễ', u"e)~"},
    {u'ệ', u'Ệ', u"e)."}, {u'í', u'Í', u"i'"},  {u'ì', u'Ì', u"i`"},  {u'ỉ', u'Ỉ', u"i?"},
    {u'ĩ', u'Ĩ', u"i~"},  {u'ị', u'Ị', u"i."},  {u'ó', u'Ó', u"o'"},  {u'ò', u'Ò', u"o`"},
    {u'ỏ', u'Ỏ', u"o?"},  {u'õ', u'Õ', u"o~"},  {u'ọ', u'Ọ', u"o."},  {u'ô', u'Ô', u"o)"},
    {u'ố', u'Ố', u"o)'"}, {u'ồ', u'Ồ', u"o)`"}, {u'ổ', u'Ổ', u"o)?"}, {u'ỗ', u'Ỗ', u"o)~"},
    {u'ộ', u'Ộ', u"o)."}, {u'ơ', u'Ơ', u"o("},  {u'ớ', u'Ớ', u"o('"}, {u'ờ', u'Ờ', u"o(`"},
    {u'ở', u'Ở', u"o(?"}, {u'ỡ', u'Ỡ', u"o(~"}, {u'ợ', u'Ợ', u"o(."}, {u'ú', u'Ú', u"u'"},
    {u'ù', u'Ù', u"u`"},  {u'ủ', u'Ủ', u"u?"},  {u'ũ', u'Ũ', u"u~"},  {u'ụ', u'Ụ', u"u."},
    {u'ư', u'Ư', u"u("},  {u'ứ', u'Ứ', u"u('"}, {u'ừ', u'Ừ', u"u(`"}, {u'ử', u'Ử', u"u(?"},
    {u'ữ', u'Ữ', u"u(~"}, {u'ự', u'Ự', u"u(."}, {u'ý', u'Ý', u"y'"},  {u'ỳ', u'Ỳ', u"y`"},
    {u'ỷ', u'Ỷ', u"y?"},  {u'ỹ', u'Ỹ', u"y~"},  {u'ỵ', u'Ỵ', u"y."},
};

namespace {

char16_t smallest_table_letter() {
    char16_t smallest = 0xFFFF;
    for (const LetterRow &row : letter_table) {
        if (row.capital_letter < smallest) smallest = row.capital_letter;
        if (row.small_letter < smallest) smallest = row.small_letter;
    }
    return smallest;
}

// Everything below it (plain ASCII above all) is in no row. Before this is set it is 0, which
// only costs the search.
const char16_t g_smallest_table_letter = smallest_table_letter();

const LetterRow *find_letter_row(char16_t ch) {
    if (ch < g_smallest_table_letter) return nullptr;
    // The capital column is searched before the small one.
    for (const LetterRow &row : letter_table) {
        if (row.capital_letter == ch) return &row;
    }
    for (const LetterRow &row : letter_table) {
        if (row.small_letter == ch) return &row;
    }
    return nullptr;
}

}  // namespace

int letter_to_ascii(char16_t ch, char16_t out[kLetterAsciiCapacity]) {
    const LetterRow *row = find_letter_row(ch);
    if (row == nullptr) {
        out[0] = ch;
        out[1] = 0;
        return 1;
    }
    int n = 0;
    for (; row->ascii_form[n] != 0; ++n) out[n] = row->ascii_form[n];
    out[n] = 0;
    return n;
}

int text_to_ascii(const char16_t *text, char16_t *out, size_t capacity) {
    if (out == nullptr || capacity == 0) return -1;
    out[0] = 0;
    if (text == nullptr) return 0;
    size_t length = 0;
    for (; *text != 0; ++text) {
        char16_t letter[kLetterAsciiCapacity];
        const int n = letter_to_ascii(*text, letter);
        if (length + static_cast<size_t>(n) >= capacity) {
            out[0] = 0;
            return -1;
        }
        for (int i = 0; i < n; ++i) out[length++] = letter[i];
    }
    out[length] = 0;
    return static_cast<int>(length);
}

int narrow_text(const char16_t *wide, char out[kNarrowCapacity]) {
    if (out == nullptr) return -1;
    out[0] = 0;
    if (wide == nullptr) return 0;
    int length = 0;
    for (; wide[length] != 0; ++length) {
        // The word is refused whole rather than cut: a cut word would look up the wrong key.
        if (wide[length] > 0xFF || length == kNarrowCapacity - 1) {
            out[0] = 0;
            return -1;
        }
        out[length] = static_cast<char>(static_cast<unsigned char>(wide[length]));
    }
    out[length] = 0;
    return length;
}

char *lower_narrow(char *text) {
    if (text == nullptr) return text;
    for (char *p = text; *p != 0; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    }
    return text;
}
