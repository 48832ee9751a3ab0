#include "database/due_days.h"

#include <algorithm>
#include <bit>

namespace {

bool out_of_order(const item* a, const item* b) { return a && b && a->tmtrpt > b->tmtrpt; }

void make_room(due_day_index& x)
{
    if (!x.last.empty())
        return;
    x.last.assign(due_day_index::day_count, nullptr);
    x.items.assign(due_day_index::day_count, 0);
    x.days.assign(due_day_index::word_count, 0);
    std::fill(std::begin(x.words), std::end(x.words), 0);
}

void mark_day(due_day_index& x, uint16_t day)
{
    x.days[day >> 6] |= uint64_t{1} << (day & 63);
    x.words[day >> 12] |= uint64_t{1} << ((day >> 6) & 63);
}

void unmark_day(due_day_index& x, uint16_t day)
{
    uint64_t& word = x.days[day >> 6];
    word &= ~(uint64_t{1} << (day & 63));
    if (word == 0)
        x.words[day >> 12] &= ~(uint64_t{1} << ((day >> 6) & 63));
}

void add_to_index(due_day_index& x, item* e)
{
    const uint16_t day = e->tmtrpt;
    if (x.items[day]++ == 0)
        mark_day(x, day);
    if (!e->next || e->next->tmtrpt != day)
        x.last[day] = e;
}

// A list that was out of order is in order again: describe it anew.
void rebuild(due_day_index& x)
{
    make_room(x);
    std::fill(x.last.begin(), x.last.end(), nullptr);
    std::fill(x.items.begin(), x.items.end(), 0);
    std::fill(x.days.begin(), x.days.end(), 0);
    std::fill(std::begin(x.words), std::end(x.words), 0);
    for (item* e = db().head; e; e = e->next)
        add_to_index(x, e);
    x.valid = true;
}

// After a link or unlink changed the count of descents: whether the index is to be updated for
// that one item. Out of order the index is given up; back in order it is built anew instead.
bool index_follows(due_day_index& x)
{
    if (x.descents > 0) {
        x.valid = false;
        return false;
    }
    if (!x.valid) {
        rebuild(x);
        return false;
    }
    return true;
}

}  // namespace

void due_days_linked(item* e)
{
    due_day_index& x = db().due_days;
    x.descents -= out_of_order(e->prev, e->next);
    x.descents += out_of_order(e->prev, e) + out_of_order(e, e->next);
    if (!index_follows(x))
        return;
    make_room(x);
    add_to_index(x, e);
}

void due_days_unlinked(item* e, item* before, item* after)
{
    due_day_index& x = db().due_days;
    x.descents -= out_of_order(before, e) + out_of_order(e, after);
    x.descents += out_of_order(before, after);
    if (!index_follows(x))
        return;
    const uint16_t day = e->tmtrpt;
    if (--x.items[day] == 0)
        unmark_day(x, day);
    if (x.last[day] == e)
        x.last[day] = before && before->tmtrpt == day ? before : nullptr;
}

void due_days_cleared()
{
    due_day_index& x = db().due_days;
    // The vectors go too: an empty database should not hold three quarters of a megabyte.
    x.last = {};
    x.items = {};
    x.days = {};
    std::fill(std::begin(x.words), std::end(x.words), 0);
    x.descents = 0;
    x.valid = true;
}

item* due_days_last_at_or_before(uint16_t day)
{
    const due_day_index& x = db().due_days;
    if (x.days.empty())
        return nullptr;
    uint32_t word = day >> 6;
    const uint64_t here = x.days[word] & (~uint64_t{0} >> (63 - (day & 63)));
    if (here)
        return x.last[word * 64 + 63 - std::countl_zero(here)];
    // The words below this one that are not 0, through the summary.
    uint32_t group = word >> 6;
    uint64_t below = x.words[group] & ((uint64_t{1} << (word & 63)) - 1);
    for (;;) {
        if (below) {
            const uint32_t w = group * 64 + 63 - std::countl_zero(below);
            return x.last[w * 64 + 63 - std::countl_zero(x.days[w])];
        }
        if (group == 0)
            return nullptr;
        below = x.words[--group];
    }
}

void count_due_per_day(uint16_t first, uint16_t last, uint32_t* count)
{
    const database& d = db();
    if (first > last)
        return;
    if (d.due_days.valid) {
        if (d.due_days.items.empty())
            std::fill(count, count + (last - first + 1), 0u);
        else
            std::copy(d.due_days.items.begin() + first, d.due_days.items.begin() + last + 1, count);
        return;
    }
    std::fill(count, count + (last - first + 1), 0u);
    for (const item* e = d.head; e; e = e->next) {
        if (e->tmtrpt > last)
            break;
        if (e->tmtrpt >= first)
            ++count[e->tmtrpt - first];
    }
}
