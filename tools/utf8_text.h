// UTF-8 text from files, arguments and pipes into the engine's NUL-terminated UTF-16.
#pragma once

#include <cstddef>
#include <string>

enum class Utf8Errors {
    Refuse,   // the first bad sequence fails the conversion
    Replace,  // each bad sequence becomes U+FFFD and NUL is dropped: for hosts that must speak on
};

// Overlong forms, surrogates, truncated sequences and NUL are bad; a leading byte-order mark is
// skipped. Returns false (with the offset of the bad byte) only with Utf8Errors::Refuse.
bool utf8_to_utf16(const std::string &in, std::u16string *out, size_t *bad_offset, Utf8Errors errors = Utf8Errors::Refuse);
