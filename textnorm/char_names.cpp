// The character-name table, spelling of one character and case folding.
#include "textnorm/char_names.h"

#include "lexicon/ascii_form.h"

const CharName char_name_table[kCharNameTableRows] = {
    // Symbols. The grave accent has no name of its own.
    {u'!', u"chấm than"},
    {u'"', u"nháy đúp"},
    {u'#', u"dấu thăng"},
    {u'$', u"dấu đô la"},
    {u'%', u"phần trăm"},
    {u'&', u"và"},
    {u'\'', u"nháy đơn"},
    {u'(', u"mở ngoặc tròn"},
    {u')', u"đóng ngoặc tròn"},
    {u'*', u"dấu sao"},
    {u'+', u"cộng"},
    {u',', u"phẩy"},
    {u'-', u"gạch ngang"},
    {u'.', u"chấm"},
    {u'/', u"suộc chéo"},
    {u':', u"hai chấm"},
    {u';', u"chấm phẩy"},
    {u'<', u"nhỏ hơn"},
    {u'=', u"bằng"},
    {u'>', u"lớn hơn"},
    {u'?', u"hỏi chấm"},
    {u'@', u"a còng"},
    {u'[', u"móc trái vuông"},
    {u'\\', u"suộc chéo phải"},
    {u']', u"móc phải vuông"},
    {u'^', u"dấu mũ"},
    {u'_', u"gạch dưới"},
    {u'{', u"móc trái"},
    {u'|', u"sổ đứng"},
    {u'}', u"móc phải"},
    {u'~', u"dấu ngã"},
    // Digits, by their digit words.
    {u'0', u"không"},
    {u'1', u"một"},
    {u'2', u"hai"},
    {u'3', u"ba"},
    {u'4', u"bốn"},
    {u'5', u"năm"},
    {u'6', u"sáu"},
    {u'7', u"bảy"},
    {u'8', u"tám"},
    {u'9', u"chín"},
    // Consonant letters.
    {u'b', u"bê"},
    {u'c', u"xê"},
    {u'd', u"dê"},
    {u'f', u"ép"},
    {u'g', u"gờ"},
    {u'h', u"hát"},
    {u'j', u"di"},
    {u'k', u"ca"},
    {u'l', u"e lờ"},
    {u'm', u"mờ"},
    {u'n', u"nờ"},
    {u'p', u"pê"},
    {u'q', u"qui"},
    {u'r', u"rờ"},
    {u's', u"sờ"},
    {u't', u"tê"},
    {u'v', u"vê"},
    {u'w', u"vê đúp"},
    {u'x', u"ích"},
    {u'z', u"dét"},
    {u'đ', u"đê"},
    // Vowel letters: â and ă by name, some tone-marked vowels by vowel and tone name.
    {u'â', u"ớ"},
    {u'ò', u"o huyền"},
    {u'õ', u"o ngã"},
    {u'ă', u"á"},
    {u'ũ', u"u ngã"},
    {u'ấ', u"ớ sắc"},
    {u'ầ', u"ớ huyền"},
    {u'ẩ', u"ớ hỏi"},
    {u'ẫ', u"ớ ngã"},
    {u'ậ', u"ớ nặng"},
    {u'ắ', u"á sắc"},
    {u'ằ', u"á huyền"},
    {u'ẳ', u"á hỏi"},
    {u'ẵ', u"á ngã"},
    {u'ặ', u"á nặng"},
    {u'ỏ', u"o hỏi"},
    {u'ữ', u"ư ngã"},
    {u'ự', u"ư nặng"},
    {u'ỵ', u"y dài nặng"},
    {u'ỹ', u"y dài ngã"},
    // Other.
    {u'…', u"ba chấm"},
};

const CharName symbol_name_table[kSymbolNameTableRows] = {
    {u'×', u"nhân"},
    {u'÷', u"chia"},
    {u'±', u"cộng trừ"},
    {u'−', u"trừ"},  // U+2212, the minus sign
    {u'≥', u"lớn hơn hoặc bằng"},
    {u'≤', u"nhỏ hơn hoặc bằng"},
    {u'≠', u"khác"},
    {u'≈', u"xấp xỉ"},
    {u'½', u"một phần hai"},
    {u'¼', u"một phần tư"},
    {u'¾', u"ba phần tư"},
    {u'°', u"độ"},
    {u'©', u"bản quyền"},
    {u'®', u"đã đăng ký"},
    {u'™', u"nhãn hiệu"},
    {u'→', u"mũi tên phải"},
    {u'←', u"mũi tên trái"},
    {u'•', u"chấm tròn"},
    {u'§', u"mục"},
    {u'¶', u"đoạn"},
    {u'€', u"ơ rô"},
    {u'¥', u"yên"},
    {u'£', u"bảng anh"},
    {u'₫', u"đồng"},
};

char16_t fold_letter(char16_t c) {
    // Every capital of the letter table lies above U+00BF.
    if (c < 0x00C0) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    for (const LetterRow &row : letter_table) {
        if (row.capital_letter == c) return row.small_letter;
    }
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
    return c;
}

char16_t *fold_text(char16_t *text) {
    if (text == nullptr) return text;
    for (char16_t *p = text; *p != 0; ++p) *p = fold_letter(*p);
    return text;
}

int spell_char(const char16_t *text, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (text == nullptr || text[0] == 0) return 0;
    const char16_t c = fold_letter(text[0]);
    for (const CharName &row : char_name_table) {
        if (row.character == c) return fill_format(out, kNormTextCapacity, u"%s", {row.reading});
    }
    for (const CharName &row : symbol_name_table) {
        if (row.character == c) return fill_format(out, kNormTextCapacity, u"%s", {row.reading});
    }
    const char16_t alone[2] = {c, 0};
    return fill_format(out, kNormTextCapacity, u"%s", {alone});
}
