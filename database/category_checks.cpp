#include "database/category_checks.h"

#include <memory>
#include <string>
#include <unordered_map>

#include "database/database.h"
#include "services/log.h"

// write_bin never produces a parent above its child, a parent past the table or a cycle of
// parents, but a damaged file can. Such a category becomes top-level, and the table is put in
// parents-first order so that every module may rely on it. Returns the new index of each old
// one, or an empty table when nothing moved.
std::vector<uint16_t> repair_category_tree()
{
    auto& table = db().categories;
    const size_t n = table.size();
    bool in_order = true;
    for (size_t i = 0; i < n; ++i) {
        category& c = *table[i];
        if (c.parent >= n) {
            write_log("WARNING: load_bin(): category %zu has parent %hu but there are only %zu categories, "
                      "making it top-level\n",
                i, c.parent, n);
            c.parent = static_cast<uint16_t>(i);
        }
        if (c.parent > i)
            in_order = false;
    }
    if (in_order)
        return {};
    write_log("WARNING: load_bin(): categories are not stored parents first, reordering them\n");

    // Places each category after its ancestors, otherwise keeping the file's order.
    enum : uint8_t { unplaced, on_path, placed };
    std::vector<uint8_t> state(n, unplaced);
    std::vector<uint16_t> new_index(n);
    std::vector<std::unique_ptr<category>> ordered;
    ordered.reserve(table.capacity());
    std::vector<size_t> path;
    for (size_t i = 0; i < n; ++i) {
        size_t c = i;
        while (state[c] == unplaced) {
            state[c] = on_path;
            path.push_back(c);
            const size_t p = table[c]->parent;
            if (p == c)
                break;
            if (state[p] == on_path) {
                write_log("WARNING: load_bin(): category %zu is its own ancestor, making it top-level\n", c);
                table[c]->parent = static_cast<uint16_t>(c);
                break;
            }
            c = p;
        }
        for (size_t k = path.size(); k-- > 0;) {
            const size_t old = path[k];
            state[old] = placed;
            new_index[old] = static_cast<uint16_t>(ordered.size());
            ordered.push_back(std::move(table[old]));
        }
        path.clear();
    }
    for (size_t i = 0; i < n; ++i)
        ordered[new_index[i]]->parent = new_index[ordered[new_index[i]]->parent];
    table = std::move(ordered);
    return new_index;
}

// Two categories with one name under one parent cannot be told apart by name; both are kept,
// with their items, so that nothing is lost.
void report_duplicate_names()
{
    const auto& table = db().categories;
    std::unordered_map<std::string, size_t> seen;
    seen.reserve(table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const category& c = *table[i];
        const uint32_t parent_key = c.parent == i ? UINT32_MAX : c.parent;
        std::string key(reinterpret_cast<const char*>(&parent_key), sizeof parent_key);
        key += c.name;
        const auto [at, inserted] = seen.emplace(std::move(key), i);
        if (!inserted)
            write_log("WARNING: load_bin(): categories %zu and %zu are both called \"%s\" under the same parent\n",
                at->second, i, c.name.c_str());
    }
}
