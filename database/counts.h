#pragma once
// Per-category counts of items, queued items and due items, each category counting those of
// its subcategories too.
#include <cstdint>
#include <memory>

struct category_count_row {
    const char* name = nullptr;  // borrowed from the category record
    uint32_t items = 0;
    uint32_t queued = 0;
    uint32_t due = 0;
    uint32_t due_below = 0;
    uint32_t children = 0;
};

// One row per category in index order, then an end row with no name and items = all bits set.
std::unique_ptr<category_count_row[]> category_counts();
