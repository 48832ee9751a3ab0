#include "session/overview.h"

#include "database/database.h"

namespace {

// Tallies of a category's own items, before those below it are added.
struct tally {
    uint32_t items = 0;
    uint32_t due = 0;
    uint32_t queued = 0;
};

}  // namespace

collection_overview make_overview(uint16_t today)
{
    collection_overview o;
    const uint16_t count = category_count();
    std::vector<tally> own(count);
    for (const item* e = db().head; e; e = e->next) {
        ++o.items;
        const bool due = e->tmtrpt <= today;
        o.due += due ? 1 : 0;
        if (e->ctgr < count) {
            ++own[e->ctgr].items;
            own[e->ctgr].due += due ? 1 : 0;
        }
    }
    for (const pending_item* p = db().pending_head; p; p = p->next) {
        ++o.queued;
        if (p->ctgr < count)
            ++own[p->ctgr].queued;
    }

    // Children by parent, in index order, as index lists packed into one array.
    std::vector<uint32_t> first_child(count + 1u, 0);
    auto parent_of = [count](uint16_t c) -> int32_t {
        const uint16_t p = category_at(c)->parent;
        return p == c || p >= count ? -1 : p;
    };
    for (uint16_t c = 0; c < count; ++c)
        if (const int32_t p = parent_of(c); p >= 0)
            ++first_child[static_cast<size_t>(p) + 1];
    for (size_t i = 1; i <= count; ++i)
        first_child[i] += first_child[i - 1];
    std::vector<uint16_t> children(first_child[count]);
    std::vector<uint32_t> fill(first_child.begin(), first_child.end() - 1);
    for (uint16_t c = 0; c < count; ++c)
        if (const int32_t p = parent_of(c); p >= 0)
            children[fill[static_cast<size_t>(p)]++] = c;

    // Depth first from each top-level category; what a loop of parents keeps out of reach is
    // taken as top-level afterwards, so that no category goes missing.
    o.rows.reserve(count);
    std::vector<uint8_t> placed(count, 0);
    struct frame {
        uint32_t row;  // the category's row
        uint32_t next;  // its next child to visit, as a position in `children`
    };
    std::vector<frame> stack;
    auto visit_tree = [&](uint16_t top) {
        auto enter = [&](uint16_t c, uint16_t depth) {
            placed[c] = 1;
            o.rows.push_back({c, depth, own[c].items, own[c].due, own[c].queued});
            stack.push_back({static_cast<uint32_t>(o.rows.size() - 1), first_child[c]});
        };
        enter(top, 0);
        while (!stack.empty()) {
            frame& f = stack.back();
            const uint16_t c = o.rows[f.row].category;
            if (f.next < first_child[c + 1u]) {
                const uint16_t child = children[f.next++];
                if (!placed[child])
                    enter(child, static_cast<uint16_t>(o.rows[f.row].depth + 1));
                continue;
            }
            // Done below it: its counts now hold its subtree's, which go up to its parent.
            const overview_row done = o.rows[f.row];
            stack.pop_back();
            if (!stack.empty()) {
                overview_row& up = o.rows[stack.back().row];
                up.items += done.items;
                up.due += done.due;
                up.queued += done.queued;
            }
        }
    };
    for (uint16_t c = 0; c < count; ++c)
        if (parent_of(c) < 0)
            visit_tree(c);
    for (uint16_t c = 0; c < count; ++c)
        if (!placed[c])
            visit_tree(c);
    return o;
}
