#include "session/choose.h"

#include "database/days.h"
#include "services/random.h"

namespace {

bool is_recent(const item* e)
{
    for (const item* slot : db().recent_items)
        if (slot == e)
            return true;
    return false;
}

item* remember(item* e)
{
    database& d = db();
    d.recent_index = d.recent_index + 1 >= database::recent_slots ? 0 : d.recent_index + 1;
    d.recent_items[d.recent_index] = e;
    return e;
}

}  // namespace

item* choose_next_item(category_filter filter, int mode)
{
    database& d = db();
    if (mode < 0) {
        for (item*& slot : d.recent_items)
            slot = nullptr;
        d.recent_index = database::recent_slots;
        return d.head;
    }
    const uint16_t today = day_number(0);
    if (!d.head || (mode == 0 && d.head->tmtrpt > today))
        return nullptr;

    // The random draws happen in exactly this order; the schedule's reproducibility for a
    // given seed depends on it.
    uint32_t matching = 0;
    uint32_t candidates = 0;
    for (item* e = d.head; e && (mode != 0 || e->tmtrpt <= today); e = e->next) {
        if (!category_in_filter(filter, e->ctgr))
            continue;
        ++matching;
        if (is_recent(e))
            continue;
        if (rand_below(20) == 0)
            return remember(e);
        if (e->tmtrpt == today && e->ivl == 0 && rand_below(2) == 0)
            return remember(e);
        ++candidates;
    }
    if (matching == 0)
        return nullptr;

    // The list is sorted and k is below the count of the first pass, so these walks always
    // end on an item that the first pass visited.
    const bool only_recent = candidates == 0;
    const uint32_t k = rand_below(only_recent ? matching : candidates);
    uint32_t counted = 0;
    for (item* e = d.head; e; e = e->next) {
        if (!category_in_filter(filter, e->ctgr))
            continue;
        ++counted;
        if (counted > k && (only_recent || !is_recent(e)))
            return remember(e);
    }
    return nullptr;
}

pending_item* choose_pending_item(category_filter filter, int random)
{
    const database& d = db();
    uint32_t count = 0;
    for (pending_item* p = d.pending_head; p; p = p->next) {
        if (!category_in_filter(filter, p->ctgr))
            continue;
        if (random == 0)
            return p;
        ++count;
    }
    if (count == 0)
        return nullptr;
    uint32_t k = rand_below(count);
    for (pending_item* p = d.pending_head; p; p = p->next)
        if (category_in_filter(filter, p->ctgr) && k-- == 0)
            return p;
    return nullptr;
}

uint32_t count_due(int days_ahead, category_filter filter)
{
    const database& d = db();
    if (!d.head)
        return 0;
    const auto limit = static_cast<uint16_t>(day_number(0) + days_ahead);
    uint32_t count = 0;
    for (const item* e = d.head; e && e->tmtrpt <= limit; e = e->next)
        if (category_in_filter(filter, e->ctgr))
            ++count;
    return count;
}
