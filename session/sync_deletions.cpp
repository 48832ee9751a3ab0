#include "session/sync_deletions.h"

#include <algorithm>
#include <optional>

#include "database/category_edits.h"
#include "session/sync_state.h"

namespace {

using category_path = std::vector<std::string>;

// The latest deletion of the path or of one above it.
std::optional<field_version> deletion_over(const category_path& path)
{
    const auto& deleted = sync_g().deleted;
    std::optional<field_version> latest;
    for (size_t n = 1; n <= path.size(); ++n) {
        const auto it = deleted.find(category_path(path.begin(), path.begin() + static_cast<long>(n)));
        if (it != deleted.end() && (!latest || *latest <= it->second))
            latest = it->second;
    }
    return latest;
}

// Whether a category at or under the path was made (or renamed to) by a change later than `v`.
bool made_after(const category_path& path, field_version v)
{
    const auto& made = sync_g().made;
    for (auto it = made.lower_bound(path); it != made.end() && it->first.size() >= path.size()
         && std::equal(path.begin(), path.end(), it->first.begin());
         ++it)
        if (!(it->second <= v))
            return true;
    return false;
}

bool goes(uint16_t c)
{
    const category_path path = category_names_from_top(c);
    const std::optional<field_version> deleted = deletion_over(path);
    return deleted && !made_after(path, *deleted) && items_within_category(c) == 0;
}

}  // namespace

void drop_deleted_categories(sync_summary& s)
{
    if (sync_g().deleted.empty())
        return;
    // Category 0 takes the items of no other category and is never deleted.
    for (uint16_t c = 1; c < category_count();) {
        if (!goes(c)) {
            ++c;
            continue;
        }
        category_removal removal = delete_category(c);
        if (removal.result != category_edit::done) {
            ++c;
            continue;
        }
        s.renumberings.push_back(std::move(removal.new_index));
        c = 1;  // the indexes moved down
    }
}
