#include "session/sync.h"
#include "session/browse.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ann/feedback.h"
#include "calendar/calendar.h"

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

browse_row row_of(item* e) { return {e, nullptr}; }
browse_row row_of(pending_item* p) { return {nullptr, p}; }

// A row for each element of a list, from its head.
template <class element>
std::vector<browse_row> rows_of(element* head, size_t count)
{
    std::vector<browse_row> rows;
    rows.reserve(count);
    for (element* e = head; e; e = e->next)
        rows.push_back(row_of(e));
    return rows;
}

}  // namespace

std::vector<browse_row> scheduled_rows() { return rows_of(db().head, db().item_count); }

std::vector<browse_row> pending_rows() { return rows_of(db().pending_head, db().pending_count); }

namespace {

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

// One flag per row: whether its folded question or answer holds the query. A hit found in the
// buffer names its row by the row's start; the scan goes on after that row.
std::vector<uint8_t> rows_holding(const folded_rows& folded, std::string_view query)
{
    std::vector<uint8_t> holds(folded.starts.empty() ? 0 : folded.starts.size() - 1, 0);
    const char* const begin = folded.text.data();
    const char* const end = begin + folded.text.size();
    // glibc's memmem outruns a search for the first byte followed by a comparison.
    // Hits come in the buffer's order, so the row holding each is found by stepping on from the
    // last one: one pass over the starts however many rows hold the query.
    size_t row = 0;
    for (const char* at = begin; at < end;) {
        const void* hit = ::memmem(at, static_cast<size_t>(end - at), query.data(), query.size());
        if (!hit)
            break;
        const auto offset = static_cast<size_t>(static_cast<const char*>(hit) - begin);
        while (folded.starts[row + 1] <= offset)
            ++row;
        holds[row] = 1;
        at = begin + folded.starts[++row];
    }
    return holds;
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

std::vector<uint32_t> filter_rows(const std::vector<browse_row>& rows, const std::vector<uint32_t>& order,
    const browse_filter& filter, const folded_rows* folded)
{
    // The zero bytes that part the texts in the buffer must never be part of a hit.
    const bool scan = folded && !filter.folded_query.empty() && folded->starts.size() == rows.size() + 1
        && filter.folded_query.find('\0') == std::string::npos;
    if (scan) {
        std::vector<uint32_t> shown;
        shown.reserve(order.size());
        const std::vector<uint8_t> holds = rows_holding(*folded, filter.folded_query);
        for (const uint32_t index : order)
            if (index < rows.size() && holds[index] && row_passes(rows[index], filter))
                shown.push_back(index);
        return shown;
    }
    filter_progress progress;
    progress.filter = filter;
    filter_more_rows(progress, rows, order, order.size(), folded);
    return std::move(progress.shown);
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

std::string category_path(uint16_t ctgr)
{
    std::vector<uint32_t> chain;
    const walk_end end = walk_up_categories(ctgr, [&](uint32_t c) {
        chain.push_back(c);
        return true;
    });
    // The root is above every top-level category; naming it on every row says nothing. A file
    // whose first category is a real one (not the made "root") keeps it in the path.
    if (end == walk_end::top_level && chain.size() > 1 && chain.back() == 0 && db().categories[0]->name == root_category_name)
        chain.pop_back();
    std::string path;
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
        if (!path.empty())
            path += " / ";
        path += db().categories[*c]->name;
    }
    if (end == walk_end::broken)
        path += path.empty() ? "?" : " / ?";
    return path;
}

std::vector<std::pair<std::string, uint16_t>> sorted_category_paths()
{
    std::vector<std::pair<std::string, uint16_t>> paths;
    paths.reserve(category_count());
    for (uint16_t c = 0; c < category_count(); ++c)
        paths.emplace_back(category_path(c), c);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string date_of_time(uint32_t seconds)
{
    const calendar_time* t = local_time(&seconds);
    if (!t)
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t->tm_year + 1900, t->tm_mon + 1, t->tm_mday);
    return text;
}

std::string date_of_day(uint16_t day)
{
    // Noon of the start's date, so that a daylight-saving hour never moves a day across midnight.
    const calendar_time* start = local_time(&db().time_of_start);
    if (!start)
        return std::string();
    calendar_time noon = *start;
    noon.tm_hour = 12;
    noon.tm_min = 0;
    noon.tm_sec = 0;
    const uint32_t anchor = make_time(&noon);
    return date_of_time(anchor + static_cast<uint32_t>(day) * 86'400u);
}

bool reschedule_today(item* e, uint16_t today)
{
    if (!e || e->tmtrpt <= today)
        return false;
    // The hint may be this very item, which is about to leave the list.
    insert_scheduled(nullptr);
    if (!unlink_scheduled(e))
        return false;
    const int32_t last_grade_day = static_cast<int32_t>(e->tmtrpt) - e->ivl;
    e->tmtrpt = today;
    e->ivl = static_cast<uint16_t>(today > last_grade_day ? today - last_grade_day : 0);
    insert_scheduled(e);
    sync_note_rescheduled(e, change_kind::make_due);
    return true;
}

void forget_item(item* e, uint16_t today)
{
    if (!e)
        return;
    insert_scheduled(nullptr);
    if (!unlink_scheduled(e))
        return;
    constexpr uint16_t forgotten = 0;
    e->ivl = propose_interval(0, 0, 0, forgotten);
    e->gr = forgotten;
    e->rp = 0;
    e->livl = 0;
    e->rllivl = 0;
    e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(today + e->ivl);
    insert_scheduled(e);
    sync_note_rescheduled(e, change_kind::forget_item);
}

namespace {

// The first eight bytes of a text as a number that orders as the bytes do; texts hold no zero
// byte, so a shorter one, padded with zeros, comes first as it should.
uint64_t prefix_key(std::string_view text)
{
    uint64_t key = 0;
    for (size_t i = 0; i < 8; ++i)
        key = (key << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return key;
}

// Each category's place among the sorted paths; categories of the same path share one.
std::vector<uint32_t> category_ranks()
{
    const std::vector<std::pair<std::string, uint16_t>> paths = sorted_category_paths();
    std::vector<uint32_t> rank(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        rank[paths[i].second] = i > 0 && paths[i].first == paths[i - 1].first ? rank[paths[i - 1].second]
                                                                              : static_cast<uint32_t>(i);
    return rank;
}

// The rank of each row's text: the rows ordered by their first eight bytes as one number, and
// only the runs that tie there ordered by the whole text.
std::vector<uint32_t> text_ranks(const std::vector<browse_row>& rows, std::string_view (*text_of)(const browse_row&),
    const std::atomic<bool>* stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    struct keyed {
        uint64_t prefix;  // the text's first eight bytes
        uint32_t row;  // index into rows
    };
    std::vector<keyed> keys(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r % 4096 == 0 && stopped())
            return {};
        keys[r] = {prefix_key(text_of(rows[r])), static_cast<uint32_t>(r)};
    }
    std::sort(keys.begin(), keys.end(), [](const keyed& a, const keyed& b) { return a.prefix < b.prefix; });
    std::vector<uint32_t> rank(rows.size());
    uint32_t next_rank = 0;
    for (size_t from = 0; from < keys.size();) {
        if (stopped())
            return {};
        size_t to = from + 1;
        while (to < keys.size() && keys[to].prefix == keys[from].prefix)
            ++to;
        if (to - from > 1)
            std::sort(keys.begin() + static_cast<ptrdiff_t>(from), keys.begin() + static_cast<ptrdiff_t>(to),
                [&](const keyed& a, const keyed& b) { return text_of(rows[a.row]) < text_of(rows[b.row]); });
        for (size_t k = from; k < to; ++k) {
            // Equal texts share a rank, so that their rows keep their order.
            if (k > from && text_of(rows[keys[k].row]) != text_of(rows[keys[k - 1].row]))
                ++next_rank;
            rank[keys[k].row] = next_rank;
        }
        ++next_rank;
        from = to;
    }
    return rank;
}

}  // namespace

std::vector<uint32_t> rank_rows(const std::vector<browse_row>& rows, browse_sort key, const std::atomic<bool>* stop)
{
    if (key == browse_sort::question)
        return text_ranks(rows, question_of, stop);
    if (key == browse_sort::answer)
        return text_ranks(rows, answer_of, stop);
    const std::vector<uint32_t> category_rank = key == browse_sort::category ? category_ranks() : std::vector<uint32_t>{};
    std::vector<uint32_t> rank(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        const item* e = rows[r].scheduled;
        switch (key) {
        case browse_sort::category: {
            // A category past the table (a damaged file) sorts after all others.
            const uint16_t c = category_of(rows[r]);
            rank[r] = c < category_rank.size() ? category_rank[c] : static_cast<uint32_t>(category_rank.size() + c);
            break;
        }
        case browse_sort::next_date: rank[r] = e ? e->tmtrpt : 0; break;
        case browse_sort::interval: rank[r] = e ? e->ivl : 0; break;
        case browse_sort::repetitions: rank[r] = e ? e->rp : 0; break;
        case browse_sort::grade: rank[r] = e ? e->gr : 0; break;
        case browse_sort::created: rank[r] = e ? e->id : 0; break;
        default: break;
        }
    }
    return rank;
}

void sort_by_rank(std::vector<uint32_t>& order, const std::vector<uint32_t>& rank, bool descending)
{
    // A radix sort, eleven bits a pass, as many passes as the largest rank needs: stable, so
    // equal ranks keep their order, and a million rows take a few passes over two arrays.
    uint32_t largest = 0;
    for (const uint32_t index : order)
        largest = std::max(largest, index < rank.size() ? rank[index] : 0u);
    constexpr int bits = 11;
    constexpr uint32_t buckets = 1u << bits;
    const auto key_of = [&](uint32_t index) {
        const uint32_t r = index < rank.size() ? rank[index] : 0u;
        return descending ? largest - r : r;
    };
    std::vector<uint32_t> other(order.size());
    std::vector<size_t> starts(buckets + 1);
    for (int shift = 0; shift < 32 && (shift == 0 || (largest >> shift) != 0); shift += bits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const uint32_t index : order)
            ++starts[((key_of(index) >> shift) & (buckets - 1)) + 1];
        for (uint32_t b = 1; b <= buckets; ++b)
            starts[b] += starts[b - 1];
        for (const uint32_t index : order)
            other[starts[(key_of(index) >> shift) & (buckets - 1)]++] = index;
        order.swap(other);
    }
}

void sort_rows(const std::vector<browse_row>& rows, std::vector<uint32_t>& order, browse_sort key, bool descending)
{
    sort_by_rank(order, rank_rows(rows, key), descending);
}
