#pragma once
// The main screen's overview of the collection: every category in tree order with the items,
// the reviews due and the queued items in it and in the categories below it.
#include <cstdint>
#include <vector>

struct overview_row {
    uint16_t category = 0;  // index in the category table
    uint16_t depth = 0;  // 0 for a top-level category, its parent's depth + 1 below it
    uint32_t items = 0;  // scheduled items in it and below it
    uint32_t due = 0;  // of those, due on `today` or earlier
    uint32_t queued = 0;  // queue items waiting to go into it or below it
};

struct collection_overview {
    // Each category followed by those below it, children in index order; a category whose
    // parent is missing or part of a loop of a damaged table stands at the top level.
    std::vector<overview_row> rows;
    uint32_t items = 0;  // every scheduled item
    uint32_t due = 0;  // every item due on `today` or earlier
    uint32_t queued = 0;  // every queue item
};

// One pass over the scheduled list and the queue, then one over the categories.
collection_overview make_overview(uint16_t today);

// The collection holds nothing yet: no item, no queued item.
inline bool overview_empty(const collection_overview& o) { return o.items == 0 && o.queued == 0; }
