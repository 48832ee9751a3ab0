#include "exchange/text_decoding.h"

#include <algorithm>

#include "platform/utf.h"

detected_encoding detect_text_encoding(std::string_view head)
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
    found_ = detect_text_encoding(head_);
    const std::string head = std::move(head_);
    head_.clear();
    convert(std::string_view(head).substr(found_.mark_bytes), last, out);
}

void text_decoder::convert(std::string_view bytes, bool last, std::string& out)
{
    if (found_.encoding == text_encoding::utf8) {
        out.append(bytes);
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
