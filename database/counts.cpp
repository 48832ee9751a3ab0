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
    for (const pending_item* p = db().pending_head; p; p = p->next)
        walk_up_categories(p->ctgr, [&](uint32_t c) {
            ++rows[c].queued;
            return true;
        });
    for (const item* e = db().head; e; e = e->next) {
        walk_up_categories(e->ctgr, [&](uint32_t c) {
            ++rows[c].items;
            return true;
        });
        if (today >= e->tmtrpt && e->ctgr < count) {
            ++rows[e->ctgr].due;
            walk_up_categories(e->ctgr, [&](uint32_t c) {
                if (c != e->ctgr)
                    ++rows[c].due_below;
                return true;
            });
        }
    }
    return rows;
}
