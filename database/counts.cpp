#include "database/counts.h"

#include "database/database.h"
#include "database/days.h"

std::unique_ptr<category_count_row[]> category_counts()
{
    const uint16_t today = day_number(0);
    const uint16_t count = category_count();
    auto rows = std::make_unique<category_count_row[]>(count + 1u);
    for (uint16_t i = 0; i < count; ++i) {
        const category& c = *category_at(i);
        rows[i].name = c.name.c_str();
        if (c.parent != i && c.parent < count)
            ++rows[c.parent].children;
    }
    rows[count].items = UINT32_MAX;
    // Visits c and each of its parents up to the top-level one; bounded against damaged tables.
    auto walk_up = [count](uint32_t c, auto&& visit) {
        for (uint32_t steps = 0; c < count && steps <= count; ++steps) {
            visit(c);
            const uint32_t p = category_at(c)->parent;
            if (p == c)
                break;
            c = p;
        }
    };
    for (const pending_item* p = db().pending_head; p; p = p->next)
        walk_up(p->ctgr, [&](uint32_t c) { ++rows[c].queued; });
    for (const item* e = db().head; e; e = e->next) {
        walk_up(e->ctgr, [&](uint32_t c) { ++rows[c].items; });
        if (today >= e->tmtrpt && e->ctgr < count) {
            ++rows[e->ctgr].due;
            walk_up(e->ctgr, [&](uint32_t c) {
                if (c != e->ctgr)
                    ++rows[c].due_below;
            });
        }
    }
    return rows;
}
