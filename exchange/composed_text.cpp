#include "exchange/composed_text.h"

#include <utf8proc.h>

#include <cstdlib>

namespace {

bool is_mark_or_hangul_letter(utf8proc_int32_t c)
{
    const utf8proc_property_t* p = utf8proc_get_property(c);
    return p->combining_class != 0 || p->category == UTF8PROC_CATEGORY_MN || p->category == UTF8PROC_CATEGORY_MC
        || p->category == UTF8PROC_CATEGORY_ME || (c >= 0x1100 && c <= 0x11FF);
}

// Whether composing could change the text; most texts of a collection are looked at byte by
// byte only: nothing below U+0300 (a first byte below 0xCC) composes with anything, and Greek and
// Cyrillic letters (first bytes 0xCE to 0xD1) and the common CJK ideographs (0xE4 to 0xE9) hold
// no marks. Continuation bytes are below 0xCC.
bool may_compose(const std::string& text)
{
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        if (*p < 0xCC || (*p >= 0xCE && *p <= 0xD1) || (*p >= 0xE4 && *p <= 0xE9)) {
            ++p;
            --left;
            continue;
        }
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(p, left, &c);
        if (n <= 0)
            return false;
        if (is_mark_or_hangul_letter(c))
            return true;
        p += n;
        left -= n;
    }
    return false;
}

}  // namespace

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
