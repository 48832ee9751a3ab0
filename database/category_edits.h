#pragma once
// Categories made, renamed and deleted by the user, as opposed to those the readers add: a
// name that add_category would cut or merge with another is refused here instead, with the
// reason, and a deletion renumbers every reference so that the table stays without gaps.
#include <cstdint>
#include <string_view>
#include <vector>

// How a change of the category table ended.
enum class category_edit {
    done,  // the change was made (or asked for nothing: a rename to the name it has)
    no_such_category,  // the index (or the parent) is past the table
    empty_name,  // nothing but blanks, or a name that begins with a line feed
    name_too_long,  // more than MAX_CTGR_LEN - 1 bytes
    line_end_in_name,  // a category name is one line
    name_taken,  // the parent already has a category of that name
    table_full,  // category indexes are 16-bit
    holds_items,  // items or queued items are in it or below it
    first_category,  // category 0 takes the items that have no other category
};

// Whether the typed name may name a category as it stands; `stored` gets the name as the
// table would keep it (double quotes as apostrophes, as add_category does).
category_edit check_category_name(std::string_view name, std::string* stored = nullptr);

// Gives the category another name, unique under its parent.
category_edit rename_category(uint16_t index, std::string_view name);

struct category_made {
    category_edit result = category_edit::done;  // done, or why nothing was made
    uint16_t index = 0;  // the new category when done
};
// A new category under `parent` (-1: at the top level) whose name its parent does not have yet.
category_made create_category(std::string_view name, int32_t parent);

// Items, queued items and kept queue texts in the category or below it.
uint32_t items_within_category(uint16_t index);
// The category's subcategories, all the way down.
std::vector<uint16_t> categories_below(uint16_t index);

struct category_removal {
    category_edit result = category_edit::done;  // done, or why nothing was removed
    uint32_t removed = 0;  // the category and its subcategories
    // Per index before the removal: the index after it, or -1 for a removed category. Empty
    // when nothing was removed. Whoever keeps category indexes elsewhere renumbers by it.
    std::vector<int32_t> new_index;
};
// Deletes a category that holds no item, with its (empty) subcategories; the categories after
// it move down and every item, queued item and category refers to its category's new index.
category_removal delete_category(uint16_t index);
