#pragma once
// The test every exported field takes: does it hold a byte that must be quoted or escaped. A
// lifetime collection has two million such fields, mostly plain; sixteen bytes a step instead of
// one keep the export at the speed of the bytes it writes.
#include <cstddef>
#include <string_view>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Whether `text` holds any of the bytes a, b, c and d.
inline bool holds_any_of(std::string_view text, char a, char b, char c, char d)
{
    size_t i = 0;
#ifdef __SSE2__
    const __m128i wa = _mm_set1_epi8(a), wb = _mm_set1_epi8(b), wc = _mm_set1_epi8(c), wd = _mm_set1_epi8(d);
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, wa), _mm_cmpeq_epi8(v, wb)),
            _mm_or_si128(_mm_cmpeq_epi8(v, wc), _mm_cmpeq_epi8(v, wd)));
        if (_mm_movemask_epi8(hit) != 0)
            return true;
    }
#endif
    for (; i < text.size(); ++i) {
        const char x = text[i];
        if (x == a || x == b || x == c || x == d)
            return true;
    }
    return false;
}
