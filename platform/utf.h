#pragma once
// UTF-8 <-> UTF-16 for the portable code. Malformed input becomes U+FFFD, never a crash or an
// overlong read.
#include <string>
#include <string_view>

// `s` with the ASCII letters lowered and every other byte as it was: for keywords and tag
// names, which are ASCII whatever the text around them.
std::string ascii_lower(std::string_view s);
// The length of the longest start of `text` of at most `limit` bytes that does not end inside
// a UTF-8 character: the cut backs over continuation bytes to a character's first byte.
size_t utf8_prefix(std::string_view text, size_t limit);
// Appends the UTF-8 form of one code point (the caller makes sure it is one: at most
// U+10FFFF, no surrogate).
void append_utf8(char32_t c, std::string* out);
// Appends the UTF-16 form of `text` to *out. Returns false if `text` held malformed sequences
// (they were replaced).
bool utf8_to_utf16(std::string_view text, std::u16string* out);
// Converts a zero-terminated UTF-16 text. Returns false if it held unpaired surrogates.
bool utf16_to_utf8(std::u16string_view text, std::string* out);
