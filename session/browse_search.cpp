// The search of the item browser: the folding of texts and the filters over the rows.
#include "session/browse.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Base letters of U+00C0..U+00FF: '0' keeps the letter, 'A' stands for "ae", 'S' for "ss".
constexpr std::string_view latin1_bases = "aaaaaaAceeeeiiiidnooooo0ouuuuy0SaaaaaaAceeeeiiiidnooooo0ouuuuy0y";
// Base letters of U+0100..U+017F: 'J' stands for "ij", 'O' for "oe".
constexpr std::string_view extended_a_bases =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiJJjjkkkllllllllllnnnnnnnnnooooooOOrrrrrrssssssss"
    "ttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(latin1_bases.size() == 64);
static_assert(extended_a_bases.size() == 128);

// Writes at `out`; returns the end. No code point is folded into more bytes than it had.
char* put_code_point(char* out, uint32_t c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// A base letter; the two-letter ones come from letters of two bytes, so the text never grows.
char* put_base(char* out, char base)
{
    const char* pair = base == 'A' ? "ae" : base == 'S' ? "ss" : base == 'J' ? "ij" : base == 'O' ? "oe" : nullptr;
    if (!pair) {
        *out++ = base;
        return out;
    }
    *out++ = pair[0];
    *out++ = pair[1];
    return out;
}

// The code point starting at text[i] and its length; length 0 for a byte that starts none.
uint32_t decode(std::string_view text, size_t i, size_t& length)
{
    const auto b = static_cast<unsigned char>(text[i]);
    size_t need = 0;
    uint32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
    } else {
        length = 0;
        return 0;
    }
    if (i + need >= text.size()) {
        length = 0;
        return 0;
    }
    for (size_t k = 1; k <= need; ++k) {
        const auto n = static_cast<unsigned char>(text[i + k]);
        if ((n & 0xC0) != 0x80) {
            length = 0;
            return 0;
        }
        c = (c << 6) | (n & 0x3F);
    }
    length = need + 1;
    return c;
}

// The length of a formatting tag at text[i] ("<b>" or "</b>", letters b i u s), or 0.
size_t tag_length(std::string_view text, size_t i)
{
    auto letter = [](char c) { return c == 'b' || c == 'i' || c == 'u' || c == 's'; };
    if (i + 2 < text.size() && letter(text[i + 1]) && text[i + 2] == '>')
        return 3;
    if (i + 3 < text.size() && text[i + 1] == '/' && letter(text[i + 2]) && text[i + 3] == '>')
        return 4;
    return 0;
}

// fold_text into a buffer of at least text.size() bytes; returns the folded length.
size_t fold_into(std::string_view text, char* const start, bool skip_tags)
{
    char* out = start;
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t high_bits = 0x8080808080808080ull;
    for (size_t i = 0; i < text.size();) {
        // Eight ASCII bytes without a tag's "<" at once: the capitals among them get 0x20.
        if (i + 8 <= text.size()) {
            uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            const uint64_t lt = w ^ (ones * '<');
            const bool has_lt = skip_tags && ((lt - ones) & ~lt & high_bits) != 0;
            if ((w & high_bits) == 0 && !has_lt) {
                const uint64_t above_z = w + ones * (0x7F - 'Z');
                const uint64_t from_a = w + ones * (0x80 - 'A');
                w |= (from_a & ~above_z & high_bits) >> 2;
                std::memcpy(out, &w, 8);
                out += 8;
                i += 8;
                continue;
            }
        }
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (b == '<' && skip_tags) {
                if (const size_t tag = tag_length(text, i)) {
                    i += tag;
                    continue;
                }
            }
            *out++ = static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
            ++i;
            continue;
        }
        // Latin-1 letters, the most common ones past ASCII, without the general decoding.
        if (b == 0xC3 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            const unsigned low = static_cast<unsigned char>(text[i + 1]) & 0x3F;
            if (const char base = latin1_bases[low]; base != '0') {
                out = put_base(out, base);
                i += 2;
                continue;
            }
        }
        size_t length = 0;
        uint32_t c = decode(text, i, length);
        if (length == 0) {
            *out++ = static_cast<char>(b);
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x300 && c <= 0x36F)
            continue;  // a combining accent of a decomposed letter
        if (c >= 0xC0 && c <= 0xFF) {
            const char base = latin1_bases[c - 0xC0];
            if (base != '0') {
                out = put_base(out, base);
                continue;
            }
            if (c == 0xDE)
                c = 0xFE;
        } else if (c >= 0x100 && c <= 0x17F) {
            out = put_base(out, extended_a_bases[c - 0x100]);
            continue;
        } else if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
            c += 0x20;  // Greek capitals
        } else if (c >= 0x410 && c <= 0x42F) {
            c += 0x20;  // Cyrillic capitals
        } else if (c >= 0x400 && c <= 0x40F) {
            c += 0x50;
        }
        out = put_code_point(out, c);
    }
    return static_cast<size_t>(out - start);
}

// Whether the folded text holds the folded query; `scratch` only grows, so that a search over
// many rows allocates once and never clears what it will overwrite.
bool folded_contains(std::string_view text, std::string_view folded_query, std::string& scratch)
{
    if (scratch.size() < text.size())
        scratch.resize(text.size());
    const size_t n = fold_into(text, scratch.data(), true);
    return std::string_view(scratch.data(), n).find(folded_query) != std::string_view::npos;
}

}  // namespace

void fold_text(std::string_view text, std::string& out, bool skip_tags)
{
    out.resize(text.size());
    out.resize(fold_into(text, out.data(), skip_tags));
}

std::string fold_text(std::string_view text, bool skip_tags)
{
    std::string out;
    fold_text(text, out, skip_tags);
    return out;
}

namespace {

// The filters other than the search.
bool row_passes(const browse_row& row, const browse_filter& filter)
{
    if (filter.category && !category_within(*filter.category, category_of(row)))
        return false;
    if (filter.due != due_filter::any) {
        if (!row.scheduled)
            return false;
        const uint16_t day = row.scheduled->tmtrpt;
        if (filter.due == due_filter::due ? day > filter.today : day >= filter.today)
            return false;
    }
    return true;
}

// The first place in [at, end) where the whole query stands, or null. A query of one byte is
// memchr's. Past that glibc's memmem steps a byte at a time through a query of two bytes and
// makes a table at each call, while the rows hold a hit every hundred bytes or so: sixteen places
// are looked at a step here, those where both the query's first and last byte stand compared in full.
const char* find_query(const char* at, const char* end, std::string_view query)
{
    const size_t length = query.size();
    if (length == 1)
        return static_cast<const char*>(std::memchr(at, query[0], static_cast<size_t>(end - at)));
    if (static_cast<size_t>(end - at) < length)
        return nullptr;
#ifdef __SSE2__
    const char* const last = end - length;  // the last place where the query fits
    const __m128i first_byte = _mm_set1_epi8(query.front());
    const __m128i last_byte = _mm_set1_epi8(query.back());
    for (; last - at >= 15; at += 16) {
        const __m128i firsts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i lasts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + length - 1));
        auto both = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(firsts, first_byte), _mm_cmpeq_epi8(lasts, last_byte))));
        for (; both != 0; both &= both - 1) {
            const char* place = at + std::countr_zero(both);
            if (std::memcmp(place + 1, query.data() + 1, length - 2) == 0)
                return place;
        }
    }
#endif
    return static_cast<const char*>(::memmem(at, static_cast<size_t>(end - at), query.data(), length));
}

// The bit of folded_rows::letters for each byte; none for bytes other than a-z.
constexpr std::array<uint32_t, 256> letter_bits = [] {
    std::array<uint32_t, 256> bits {};
    for (int c = 'a'; c <= 'z'; ++c)
        bits[static_cast<size_t>(c)] = uint32_t {1} << (c - 'a');
    return bits;
}();

// A bit per row, bit r % 64 of word r / 64.
using row_bits = std::vector<uint64_t>;
constexpr size_t bits_per_word = 64;

// Sets the bits of the rows in [from, to) whose folded question or answer holds the query. A hit
// names its row by the row's start; the scan goes on after that row.
void mark_rows_holding(const folded_rows& folded, std::string_view query, size_t from, size_t to, row_bits& holding)
{
    const char* const begin = folded.text.data();
    const char* const end = begin + folded.starts[to];
    // Hits come in the buffer's order, so the row holding each is found by stepping on from the
    // last one: one pass over the starts however many rows hold the query.
    size_t row = from;
    for (const char* at = begin + folded.starts[from]; at < end;) {
        const char* hit = find_query(at, end, query);
        if (!hit)
            break;
        const auto offset = static_cast<size_t>(hit - begin);
        while (folded.starts[row + 1] <= offset)
            ++row;
        holding[row / bits_per_word] |= uint64_t {1} << (row % bits_per_word);
        at = begin + folded.starts[++row];
    }
}

// A thread costs tens of microseconds; fewer rows than this are searched in one piece.
constexpr size_t rows_worth_a_thread = 4096;

// Runs part(0) here and part(1) on a thread of its own at the same time, or one after the other
// when `split` is false or no thread is to be had.
template <class work>
void in_two_parts(bool split, const work& part)
{
    std::thread other;
    if (split) {
        try {
            other = std::thread(part, 1);
        } catch (const std::system_error&) {
        }
    }
    part(0);
    if (other.joinable())
        other.join();
    else
        part(1);
}

}  // namespace

bool fold_more_rows(folded_rows& folded, const std::vector<browse_row>& rows, size_t count)
{
    if (folded.starts.empty()) {
        // Folding never lengthens a text, so the buffer is reserved once, at its largest.
        size_t bytes = 0;
        for (const browse_row& row : rows)
            bytes += question_of(row).size() + answer_of(row).size() + 2;
        folded.text.reserve(bytes);
        folded.starts.reserve(rows.size() + 1);
        folded.starts.push_back(0);
        folded.letters.reserve(rows.size());
    }
    for (size_t row = folded.starts.size() - 1; row < rows.size() && count > 0; ++row, --count) {
        const std::string_view question = question_of(rows[row]);
        const std::string_view answer = answer_of(rows[row]);
        size_t at = folded.text.size();
        folded.text.resize(at + question.size() + answer.size() + 2);
        at += fold_into(question, folded.text.data() + at, true);
        folded.text[at++] = '\0';
        at += fold_into(answer, folded.text.data() + at, true);
        folded.text[at++] = '\0';
        folded.text.resize(at);
        uint32_t letters = 0;
        for (size_t i = folded.starts.back(); i < at; ++i)
            letters |= letter_bits[static_cast<unsigned char>(folded.text[i])];
        folded.letters.push_back(letters);
        folded.starts.push_back(at);
    }
    return folded.starts.size() == rows.size() + 1;
}

folded_rows fold_rows(const std::vector<browse_row>& rows)
{
    folded_rows folded;
    fold_more_rows(folded, rows, rows.size());
    return folded;
}

void filter_rows(const std::vector<browse_row>& rows, const std::vector<uint32_t>& order, const browse_filter& filter,
    const folded_rows* folded, std::vector<uint32_t>& shown)
{
    // The zero bytes that part the texts in the buffer must never be part of a hit.
    const bool scan = folded && !filter.folded_query.empty() && folded->starts.size() == rows.size() + 1
        && filter.folded_query.find('\0') == std::string::npos;
    if (!scan) {
        filter_progress progress;
        progress.filter = filter;
        progress.shown.swap(shown);
        progress.shown.clear();
        filter_more_rows(progress, rows, order, order.size(), folded);
        shown.swap(progress.shown);
        return;
    }
    const size_t count = rows.size();
    const bool split = count >= rows_worth_a_thread;
    const std::string_view query = filter.folded_query;
    const uint32_t letter =
        query.size() == 1 && folded->letters.size() == count ? letter_bits[static_cast<unsigned char>(query[0])] : 0;
    // Two cores, two halves: the rows cut at a word of their bits, so that each thread writes
    // words of its own; then the order cut in the middle.
    const size_t middle_row = count / 2 / bits_per_word * bits_per_word;
    row_bits holding(letter ? 0 : (count + bits_per_word - 1) / bits_per_word);
    if (!letter) {
        in_two_parts(split, [&](int part) {
            mark_rows_holding(*folded, query, part == 0 ? 0 : middle_row, part == 0 ? middle_row : count, holding);
        });
    }
    const auto holds = [&](uint32_t index) {
        return letter ? (folded->letters[index] & letter) != 0
                      : (holding[index / bits_per_word] >> (index % bits_per_word) & 1) != 0;
    };
    // Each half of the order writes the rows that pass where its half begins; the second's then
    // move down to follow the first's.
    shown.resize(order.size());
    const size_t middle = order.size() / 2;
    size_t kept[2] = {};
    in_two_parts(split, [&](int part) {
        uint32_t* const out = shown.data() + (part == 0 ? 0 : middle);
        size_t n = 0;
        for (size_t i = part == 0 ? 0 : middle, end = part == 0 ? middle : order.size(); i < end; ++i) {
            const uint32_t index = order[i];
            if (index < count && holds(index) && row_passes(rows[index], filter))
                out[n++] = index;
        }
        kept[part] = n;
    });
    if (kept[1] != 0)  // an empty list has no data to move, not even a null pointer's worth
        std::memmove(shown.data() + kept[0], shown.data() + middle, kept[1] * sizeof(uint32_t));
    shown.resize(kept[0] + kept[1]);
}

std::vector<uint32_t> filter_rows(const std::vector<browse_row>& rows, const std::vector<uint32_t>& order,
    const browse_filter& filter, const folded_rows* folded)
{
    std::vector<uint32_t> shown;
    filter_rows(rows, order, filter, folded, shown);
    return shown;
}

bool filter_more_rows(filter_progress& progress, const std::vector<browse_row>& rows,
    const std::vector<uint32_t>& order, size_t count, const folded_rows* folded)
{
    const std::string_view query = progress.filter.folded_query;
    // Rows past the folded ones, or a query that could run over the zero between two texts, are
    // folded as they are looked at.
    const size_t folded_count = folded && folded->starts.size() <= rows.size() + 1 && query.find('\0') == std::string::npos
        ? folded->starts.size() - std::min<size_t>(folded->starts.size(), 1) : 0;
    if (progress.scratch.capacity() < 1024)
        progress.scratch.reserve(1024);
    const size_t end = std::min(order.size(), progress.next + std::min(count, order.size()));
    for (; progress.next < end; ++progress.next) {
        const uint32_t index = order[progress.next];
        if (index >= rows.size() || !row_passes(rows[index], progress.filter))
            continue;
        bool holds = query.empty();
        if (!holds && index < folded_count) {
            const size_t from = folded->starts[index];
            holds = std::string_view(folded->text).substr(from, folded->starts[index + 1] - from).find(query)
                != std::string_view::npos;
        } else if (!holds) {
            holds = folded_contains(question_of(rows[index]), query, progress.scratch)
                || folded_contains(answer_of(rows[index]), query, progress.scratch);
        }
        if (holds)
            progress.shown.push_back(index);
    }
    return progress.next >= order.size();
}
