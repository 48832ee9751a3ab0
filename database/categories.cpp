#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "database/database.h"
#include "services/log.h"
#include "services/memory.h"

void create_category_table()
{
    database& d = db();
    d.categories.clear();
    d.categories.reserve(initial_category_capacity);
    d.category_capacity = initial_category_capacity;
    d.category_table_exists = true;
    category_table_changed();
}

void category_table_changed() { db().category_lookup_stale = true; }

namespace {

constexpr uint32_t top_level_key = UINT32_MAX;

std::string lookup_key(uint32_t parent, std::string_view name)
{
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key += name;
    return key;
}

std::string key_of(const category& c, size_t index)
{
    return lookup_key(c.parent == index ? top_level_key : c.parent, c.name);
}

void rebuild_lookup()
{
    database& d = db();
    d.category_lookup.clear();
    d.category_lookup.reserve(d.categories.size());
    // Ascending, so that of two categories with one key the higher index stays.
    for (size_t i = 0; i < d.categories.size(); ++i)
        d.category_lookup[key_of(*d.categories[i], i)] = static_cast<uint16_t>(i);
    d.category_lookup_stale = false;
}

bool matches(const category& c, size_t index, int32_t parent, const char* name)
{
    const bool parent_matches = parent >= 0 ? c.parent == parent : c.parent == index;
    return parent_matches && c.name == name;
}

// The highest index of a category of that name under that parent (-1: top-level), or -1.
int32_t find_category(const char* name, int32_t parent)
{
    database& d = db();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (d.category_lookup_stale)
            rebuild_lookup();
        int32_t found = -1;
        const auto at = d.category_lookup.find(lookup_key(parent >= 0 ? static_cast<uint32_t>(parent) : top_level_key, name));
        if (at != d.category_lookup.end())
            found = at->second;
        // A top-level category is its own parent, so it is found under itself too.
        if (parent >= 0 && static_cast<size_t>(parent) < d.categories.size() && parent > found
            && matches(*d.categories[static_cast<size_t>(parent)], static_cast<size_t>(parent), parent, name))
            found = parent;
        // A record changed behind the table's back makes the lookup stale; then once more.
        if (found < 0 || (static_cast<size_t>(found) < d.categories.size()
                             && matches(*d.categories[static_cast<size_t>(found)], static_cast<size_t>(found), parent, name)))
            return found;
        d.category_lookup_stale = true;
    }
    return -1;
}

}  // namespace

void report_refused_categories()
{
    database& d = db();
    if (d.categories_refused > 1)
        write_log("ERROR: add_category(): %u more categories went into category 0, the table being full\n",
            d.categories_refused - 1);
    d.categories_refused = 0;
}

uint16_t category_count() { return static_cast<uint16_t>(db().categories.size()); }

category* category_at(uint32_t index)
{
    auto& table = db().categories;
    return index < table.size() ? table[index].get() : nullptr;
}

std::string stored_category_name(std::string_view name)
{
    std::string copy;
    for (size_t n = 0; n < name.size() && n < MAX_CTGR_LEN - 1 && name[n] != '\0' && name[n] != '\n'; ++n)
        copy.push_back(name[n] == '"' ? '\'' : name[n]);
    return copy;
}

int32_t category_named(std::string_view name, int32_t parent)
{
    return find_category(stored_category_name(name).c_str(), parent);
}

uint16_t add_category(const char* name, int32_t parent)
{
    if (!name)
        return 0;
    const std::string stored = stored_category_name(name);
    if (stored.empty())
        return 0;
    const char* copy = stored.c_str();

    database& d = db();
    if (const int32_t found = find_category(copy, parent); found >= 0)
        return static_cast<uint16_t>(found);
    // Indexes are 16-bit; a table that cannot take another category keeps the new one in
    // the root rather than wrapping to a wrong index. A file of many more names logs the first
    // and then their number (report_refused_categories), not a line each.
    if (d.categories.size() >= UINT16_MAX) {
        if (d.categories_refused++ == 0)
            write_log("ERROR: add_category(): too many categories, \"%s\" goes into category 0\n", copy);
        return 0;
    }
    if (!d.category_table_exists)
        create_category_table();
    if (d.categories.size() >= d.category_capacity) {
        try {
            d.categories.reserve(d.category_capacity * 2);
        } catch (const std::bad_alloc&) {
            fatal_out_of_memory("FATAL ERROR: out of memory\n");
        }
        d.category_capacity *= 2;
    }
    const auto index = static_cast<uint16_t>(d.categories.size());
    auto c = std::make_unique<category>();
    c->name = copy;
    c->parent = parent >= 0 ? static_cast<uint16_t>(parent) : index;
    if (!d.category_lookup_stale)
        d.category_lookup[key_of(*c, index)] = index;
    d.categories.push_back(std::move(c));
    return index;
}

void create_root_category()
{
    database& d = db();
    if (!d.category_table_exists)
        create_category_table();
    auto root = std::make_unique<category>();
    root->name = root_category_name;
    root->parent = 0;
    if (d.categories.empty())
        d.categories.push_back(std::move(root));
    else
        d.categories[0] = std::move(root);
    category_table_changed();
}

int32_t next_child_category(int32_t parent, int32_t after)
{
    const auto& table = db().categories;
    for (int64_t i = static_cast<int64_t>(after) + 1; i < static_cast<int64_t>(table.size()); ++i)
        if (i != parent && table[i]->parent == parent)
            return static_cast<int32_t>(i);
    return -1;
}

bool category_within(uint32_t ancestor, uint32_t c)
{
    bool found = false;
    walk_up_categories(c, [&](uint32_t k) {
        found = k == ancestor;
        return !found;
    });
    return found;
}

std::vector<std::string> category_names_from_top(uint16_t c)
{
    std::vector<std::string> names;
    walk_up_categories(c, [&](uint32_t at) {
        names.push_back(db().categories[at]->name);
        return true;
    });
    std::reverse(names.begin(), names.end());
    return names;
}

bool category_in_filter(category_filter filter, uint32_t c)
{
    if (!filter)
        return true;
    for (const int32_t* e = filter; *e != filter_end; ++e)
        if (category_within(static_cast<uint32_t>(*e), c))
            return true;
    return false;
}

void swap_categories(uint16_t a, uint16_t b)
{
    database& d = db();
    std::swap(d.categories[a], d.categories[b]);
    category_table_changed();
    auto renumber = [a, b](uint16_t& v) {
        if (v == a)
            v = b;
        else if (v == b)
            v = a;
    };
    for (auto& c : d.categories)
        renumber(c->parent);
    for (item* e = d.head; e; e = e->next)
        renumber(e->ctgr);
    for (pending_item* p = d.pending_head; p; p = p->next)
        renumber(p->ctgr);
    for (kept_queue_text& k : d.kept_queue)
        if (k.ctgr >= 0) {
            auto c = static_cast<uint16_t>(k.ctgr);
            renumber(c);
            k.ctgr = c;
        }
}

// A damaged file can leave a parent index past the table or a cycle of parents; either would
// keep the ordering below from ever settling. Such a category becomes top-level.
static void make_parents_reachable()
{
    auto& table = db().categories;
    for (size_t i = 0; i < table.size(); ++i) {
        if (walk_up_categories(static_cast<uint32_t>(i), [](uint32_t) { return true; }) != walk_end::top_level) {
            write_log("WARNING: category %zu has no top-level ancestor, making it top-level\n", i);
            table[i]->parent = static_cast<uint16_t>(i);
            category_table_changed();
        }
    }
}

void order_categories()
{
    database& d = db();
    category_table_changed();  // also for records changed directly before it
    make_parents_reachable();
    for (;;) {
        bool swapped = false;
        for (size_t i = d.categories.size(); i-- > 0;) {
            const uint16_t parent = d.categories[i]->parent;
            if (parent > i) {
                swap_categories(static_cast<uint16_t>(i), parent);
                swapped = true;
                break;
            }
        }
        if (!swapped)
            return;
    }
}

void free_categories()
{
    database& d = db();
    while (!d.categories.empty())
        d.categories.pop_back();
    d.categories.shrink_to_fit();
    d.category_lookup = {};
    category_table_changed();
    d.categories_refused = 0;
    d.category_capacity = 0;
    d.category_table_exists = false;
}
