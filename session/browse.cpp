#include "session/sync.h"
#include "session/browse.h"

#include <algorithm>
#include <cstdio>

#include "ann/feedback.h"
#include "calendar/calendar.h"

namespace {

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
