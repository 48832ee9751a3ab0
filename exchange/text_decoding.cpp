#include "exchange/text_decoding.h"

#include <algorithm>

#include "platform/utf.h"

namespace {

// What the bytes hold as UTF-8: characters of more than a byte, and bytes that begin none.
struct utf8_census {
    size_t wide = 0;
    size_t faults = 0;
    // Bytes that are not UTF-8 and no character of several bytes: a code page's lone letters.
    bool code_page() const { return faults > 0 && wide == 0; }
};

utf8_census count_utf8(std::string_view bytes, bool whole)
{
    utf8_census census;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        const size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
        if (n == 0) {
            ++p;
            continue;
        }
        if (n == 4 || c == 0xC0 || c == 0xC1) {
            ++census.faults;
            ++p;
            continue;
        }
        size_t i = 1;
        while (i <= n && p + i < end && (p[i] & 0xC0) == 0x80)
            ++i;
        if (i > n)
            ++census.wide;
        else if (p + i < end || whole)
            ++census.faults;  // else cut off by the end of the sample: neither
        p += i;
    }
    return census;
}

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves undefined keep their Latin-1 control
// code, as browsers read them. 0xA0 and above are Latin-1's, the code point of the byte.
constexpr char16_t windows_1252_high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
    0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

detected_encoding detect_text_encoding(std::string_view head, bool whole)
{
    if (head.starts_with("\xEF\xBB\xBF"))
        return {text_encoding::utf8, 3};
    if (head.starts_with("\xFF\xFE"))
        return {text_encoding::utf16_le, 2};
    if (head.starts_with("\xFE\xFF"))
        return {text_encoding::utf16_be, 2};
    constexpr size_t sample_pairs = 2048;
    const size_t pairs = std::min(head.size() / 2, sample_pairs);
    size_t zero_high = 0;  // pairs whose second byte alone is zero: little-endian ASCII
    size_t zero_low = 0;  // pairs whose first byte alone is zero: big-endian ASCII
    for (size_t i = 0; i < pairs; ++i) {
        const bool first = head[2 * i] == '\0';
        const bool second = head[2 * i + 1] == '\0';
        zero_high += !first && second;
        zero_low += first && !second;
    }
    // A stray NUL in a UTF-8 file is far from every second byte; it is refused later.
    if (pairs >= 2 && zero_high * 2 >= pairs && zero_low * 8 <= zero_high)
        return {text_encoding::utf16_le, 0};
    if (pairs >= 2 && zero_low * 2 >= pairs && zero_high * 8 <= zero_low)
        return {text_encoding::utf16_be, 0};
    if (count_utf8(head, whole).code_page())
        return {text_encoding::windows_1252, 0};
    return {};
}

void text_decoder::decode(std::string_view bytes, bool last, std::string& out)
{
    if (started_) {
        convert(bytes, last, out);
        return;
    }
    // The encoding is told from the file's first bytes, however the pieces fall.
    constexpr size_t detection_bytes = 4096;
    head_.append(bytes);
    if (head_.size() < detection_bytes && !last)
        return;
    started_ = true;
    found_ = detect_text_encoding(head_, last);
    const std::string head = std::move(head_);
    head_.clear();
    // A mark says UTF-8 for certain; without one, plain ASCII so far reads the same either way.
    ascii_so_far_ = found_.encoding == text_encoding::utf8 && found_.mark_bytes == 0;
    convert(std::string_view(head).substr(found_.mark_bytes), last, out);
}

void text_decoder::convert_ascii_so_far(std::string_view bytes, bool last, std::string& out)
{
    std::string joined;
    if (!carry_.empty()) {
        joined = std::move(carry_);
        carry_.clear();
        joined.append(bytes);
        bytes = joined;
    }
    const auto beyond = std::find_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const auto at = static_cast<size_t>(beyond - bytes.begin());
    out.append(bytes.substr(0, at));
    if (at == bytes.size())
        return;
    const std::string_view rest = bytes.substr(at);
    const utf8_census census = count_utf8(rest, last);
    if (census.wide == 0 && census.faults == 0) {
        carry_ = rest;  // only the start of a character cut off by the piece's end: the next piece tells
        return;
    }
    ascii_so_far_ = false;
    if (census.code_page())
        found_.encoding = text_encoding::windows_1252;
    convert(rest, last, out);
}

void text_decoder::convert(std::string_view bytes, bool last, std::string& out)
{
    if (found_.encoding == text_encoding::utf8) {
        if (ascii_so_far_)
            convert_ascii_so_far(bytes, last, out);
        else
            out.append(bytes);
        return;
    }
    if (found_.encoding == text_encoding::windows_1252) {
        for (const char byte : bytes) {
            const auto b = static_cast<unsigned char>(byte);
            if (b < 0x80)
                out.push_back(byte);
            else
                append_utf8(b < 0xA0 ? windows_1252_high[b - 0x80] : char32_t{b}, &out);
        }
        return;
    }
    const bool little = found_.encoding == text_encoding::utf16_le;
    std::string work = std::move(carry_);
    carry_.clear();
    work.append(bytes);
    const auto unit = [&](size_t k) {
        const auto a = static_cast<unsigned char>(work[2 * k]);
        const auto b = static_cast<unsigned char>(work[2 * k + 1]);
        return static_cast<char16_t>(little ? a | b << 8 : a << 8 | b);
    };
    size_t count = work.size() / 2;
    // A high surrogate at the end may have its partner in the next piece.
    if (!last && count > 0 && unit(count - 1) >= 0xD800 && unit(count - 1) <= 0xDBFF)
        --count;
    std::u16string units(count, u'\0');
    for (size_t k = 0; k < count; ++k)
        units[k] = unit(k);
    carry_ = work.substr(2 * count);
    utf16_to_utf8(units, &out);
    if (last && !carry_.empty()) {
        append_utf8(0xFFFD, &out);
        carry_.clear();
    }
}
