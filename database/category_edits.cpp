#include "database/category_edits.h"

#include <string>

#include "database/database.h"

namespace {

// Per category: whether it is `index` or below it.
std::vector<bool> within_table(uint16_t index)
{
    std::vector<bool> within(category_count());
    for (uint32_t c = 0; c < within.size(); ++c)
        within[c] = category_within(index, c);
    return within;
}

bool in(const std::vector<bool>& within, int64_t c) { return c >= 0 && static_cast<size_t>(c) < within.size() && within[static_cast<size_t>(c)]; }

uint32_t count_within(const std::vector<bool>& within)
{
    const database& d = db();
    uint32_t n = 0;
    for (const item* e = d.head; e; e = e->next)
        n += in(within, e->ctgr) ? 1 : 0;
    for (const pending_item* p = d.pending_head; p; p = p->next)
        n += in(within, p->ctgr) ? 1 : 0;
    for (const kept_queue_text& k : d.kept_queue)
        n += in(within, k.ctgr) ? 1 : 0;
    return n;
}

// An index that a damaged file left past the table stays as it is: still past it.
template <typename Index>
void renumber(Index& c, const std::vector<int32_t>& new_index)
{
    const auto at = static_cast<int64_t>(c);
    if (at >= 0 && static_cast<size_t>(at) < new_index.size() && new_index[static_cast<size_t>(at)] >= 0)
        c = static_cast<Index>(new_index[static_cast<size_t>(at)]);
}

}  // namespace

category_edit check_category_name(std::string_view name, std::string* stored)
{
    // A zero byte would end the name where the table keeps it, as a line feed does.
    if (name.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos)
        return category_edit::line_end_in_name;
    if (name.find_first_not_of(" \t") == std::string_view::npos)
        return category_edit::empty_name;
    if (name.size() > MAX_CTGR_LEN - 1)
        return category_edit::name_too_long;
    if (stored)
        *stored = stored_category_name(name);
    return category_edit::done;
}

category_edit rename_category(uint16_t index, std::string_view name)
{
    category* c = category_at(index);
    if (!c)
        return category_edit::no_such_category;
    std::string stored;
    if (const category_edit problem = check_category_name(name, &stored); problem != category_edit::done)
        return problem;
    if (c->name == stored)
        return category_edit::done;
    const int32_t parent = c->parent == index ? -1 : c->parent;
    if (const int32_t found = category_named(stored, parent); found >= 0 && found != index)
        return category_edit::name_taken;
    c->name = std::move(stored);
    // The lookup by (parent, name) still knows the old name.
    category_table_changed();
    return category_edit::done;
}

category_made create_category(std::string_view name, int32_t parent)
{
    if (parent < -1 || parent >= static_cast<int32_t>(category_count()))
        return {category_edit::no_such_category, 0};
    std::string stored;
    if (const category_edit problem = check_category_name(name, &stored); problem != category_edit::done)
        return {problem, 0};
    if (category_named(stored, parent) >= 0)
        return {category_edit::name_taken, 0};
    if (category_count() >= UINT16_MAX)
        return {category_edit::table_full, 0};
    return {category_edit::done, add_category(stored.c_str(), parent)};
}

uint32_t items_within_category(uint16_t index)
{
    return index < category_count() ? count_within(within_table(index)) : 0;
}

std::vector<uint16_t> categories_below(uint16_t index)
{
    std::vector<uint16_t> below;
    if (index >= category_count())
        return below;
    const std::vector<bool> within = within_table(index);
    for (size_t c = 0; c < within.size(); ++c)
        if (within[c] && c != index)
            below.push_back(static_cast<uint16_t>(c));
    return below;
}

category_removal delete_category(uint16_t index)
{
    category_removal removal;
    if (index >= category_count()) {
        removal.result = category_edit::no_such_category;
        return removal;
    }
    if (index == 0) {
        removal.result = category_edit::first_category;
        return removal;
    }
    const std::vector<bool> within = within_table(index);
    if (count_within(within) > 0) {
        removal.result = category_edit::holds_items;
        return removal;
    }
    // Every category whose parent goes goes too, so no kept category refers to a removed one.
    database& d = db();
    removal.new_index.resize(within.size());
    std::vector<std::unique_ptr<category>> kept;
    kept.reserve(d.category_capacity);
    for (size_t c = 0; c < within.size(); ++c) {
        if (within[c]) {
            removal.new_index[c] = -1;
            ++removal.removed;
        } else {
            removal.new_index[c] = static_cast<int32_t>(kept.size());
            kept.push_back(std::move(d.categories[c]));
        }
    }
    d.categories = std::move(kept);
    for (auto& c : d.categories)
        renumber(c->parent, removal.new_index);
    for (item* e = d.head; e; e = e->next)
        renumber(e->ctgr, removal.new_index);
    for (pending_item* p = d.pending_head; p; p = p->next)
        renumber(p->ctgr, removal.new_index);
    for (kept_queue_text& k : d.kept_queue)
        renumber(k.ctgr, removal.new_index);
    category_table_changed();
    return removal;
}
