// Decimal reading: split at the comma, both sides read as whole numbers.
#include "textnorm/decimal_reader.h"

#include "textnorm/number_reader.h"

namespace {

// The two sides of a decimal token, each terminated.
struct DecimalParts {
    char16_t whole[kNumberMaxLength + 1];
    char16_t fraction[kNumberMaxLength + 1];
};

// Splits token at its only comma; false when it is no decimal number.
bool split_decimal(const char16_t *token, DecimalParts &parts) {
    if (token == nullptr) return false;
    int length = 0;
    // A longer token cannot be a decimal; stop reading there.
    while (length <= kDecimalMaxLength && token[length] != 0) ++length;
    if (length > kDecimalMaxLength) return false;

    int comma = -1;
    for (int i = 0; i < length; ++i) {
        if (token[i] != u',') continue;
        if (comma >= 0) return false;
        comma = i;
    }
    const int whole_length = comma;
    const int fraction_length = length - comma - 1;
    if (comma < 0 || whole_length == 0 || fraction_length == 0) return false;
    if (whole_length > kNumberMaxLength || fraction_length > kNumberMaxLength) return false;

    for (int i = 0; i < whole_length; ++i) parts.whole[i] = token[i];
    parts.whole[whole_length] = 0;
    for (int i = 0; i < fraction_length; ++i) parts.fraction[i] = token[comma + 1 + i];
    parts.fraction[fraction_length] = 0;
    return is_number(parts.whole) && is_number(parts.fraction);
}

}  // namespace

bool is_decimal(const char16_t *token) {
    DecimalParts parts;
    return split_decimal(token, parts);
}

int read_decimal(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    DecimalParts parts;
    if (!split_decimal(token, parts)) return -1;
    char16_t whole[kNormTextCapacity];
    char16_t fraction[kNormTextCapacity];
    read_number(parts.whole, whole);
    read_number(parts.fraction, fraction);
    return fill_format(out, kNormTextCapacity, u"%s phẩy %s", {whole, fraction});
}
