#include "platform/composed_text.h"

#include <utf8proc.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Whether the composed form never holds `c`: its canonical decomposition composes to another
// character (the Angstrom sign to "Å", a CJK compatibility ideograph to the unified one).
bool decomposes_to_another(utf8proc_int32_t c, const utf8proc_property_t* p)
{
    if (p->decomp_seqindex == UINT16_MAX || p->decomp_type != 0)
        return false;
    utf8proc_int32_t parts[8];
    int boundclass = 0;
    utf8proc_ssize_t n = utf8proc_decompose_char(c, parts, 8, UTF8PROC_DECOMPOSE, &boundclass);
    if (n <= 0 || n > 8)
        return false;
    n = utf8proc_normalize_utf32(parts, n, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    return n != 1 || parts[0] != c;
}

// The characters composing can change: marks, Hangul letters, and those that stand for another.
// Marked once in a bit per code point (about 4 ms): finding the last kind for each letter with an
// accent, of which Vietnamese and Japanese texts are full, cost such an import a quarter more.
bool changes_when_composed(utf8proc_int32_t c)
{
    static const std::vector<bool> marked = [] {
        std::vector<bool> bits(0x110000);
        for (utf8proc_int32_t code = 0; code <= 0x10FFFF; ++code) {
            const utf8proc_property_t* p = utf8proc_get_property(code);
            bits[static_cast<size_t>(code)] = p->combining_class != 0 || p->category == UTF8PROC_CATEGORY_MN
                || p->category == UTF8PROC_CATEGORY_MC || p->category == UTF8PROC_CATEGORY_ME
                || (code >= 0x1100 && code <= 0x11FF) || decomposes_to_another(code, p);
        }
        return bits;
    }();
    return c >= 0 && c <= 0x10FFFF && marked[static_cast<size_t>(c)];
}

// Whether composing could change the text; most texts of a collection are looked at byte by
// byte only: nothing below U+0300 (a first byte below 0xCC) changes, and neither do Greek and
// Cyrillic letters (first bytes 0xCE to 0xD1, but for the Greek ano teleia, CE 87) and the
// common CJK ideographs (0xE4 to 0xE9). Continuation bytes are below 0xCC.
bool may_compose(const std::string& text)
{
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        const bool ano_teleia = *p == 0xCE && left > 1 && p[1] == 0x87;
        if (*p < 0xCC || (*p >= 0xCE && *p <= 0xD1 && !ano_teleia) || (*p >= 0xE4 && *p <= 0xE9)) {
            ++p;
            --left;
            continue;
        }
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(p, left, &c);
        if (n <= 0)
            return false;
        if (changes_when_composed(c))
            return true;
        p += n;
        left -= n;
    }
    return false;
}

}  // namespace

std::string composed_as_typed(std::string text)
{
    std::string composed = text;
    compose_canonically(composed);
    return composed.size() <= text.size() ? composed : text;
}

void compose_canonically(std::string& text)
{
    if (!may_compose(text))
        return;
    utf8proc_uint8_t* composed = nullptr;
    const utf8proc_ssize_t size = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
        static_cast<utf8proc_ssize_t>(text.size()), &composed, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (size >= 0)
        text.assign(reinterpret_cast<const char*>(composed), static_cast<size_t>(size));
    std::free(composed);
}
