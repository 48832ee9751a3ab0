#include "session/sync_paths.h"

#include "database/category_edits.h"
#include "database/database.h"
#include "session/sync_state.h"

std::optional<uint16_t> category_following_renames(std::vector<std::string> path, bool make)
{
    // Where a path, or a path above it, was renamed here and is not there any more, the change
    // follows the rename; a chain of renames is followed to its end.
    const auto& renamed = sync_g().renamed;
    for (size_t hops = 0; hops <= renamed.size() && !path.empty(); ++hops) {
        std::optional<uint16_t> found = category_of_path(path, false);
        if (found)
            return found;
        bool followed = false;
        for (size_t length = path.size(); length > 0 && !followed; --length) {
            const auto it = renamed.find(std::vector<std::string>(path.begin(), path.begin() + static_cast<long>(length)));
            if (it == renamed.end())
                continue;
            std::vector<std::string> moved = it->second;
            moved.insert(moved.end(), path.begin() + static_cast<long>(length), path.end());
            path = std::move(moved);
            followed = true;
        }
        if (!followed)
            break;
    }
    return category_of_path(path, make);
}

std::optional<uint16_t> category_of_path(const std::vector<std::string>& path, bool make)
{
    if (path.empty())
        return uint16_t{0};
    int32_t parent = -1;
    for (const std::string& name : path) {
        int32_t c = category_named(name, parent);
        if (c < 0) {
            if (!make)
                return std::nullopt;
            c = add_category(name.c_str(), parent);
            if (category_named(name, parent) != c)
                return std::nullopt;  // the table is full
        }
        parent = c;
    }
    return static_cast<uint16_t>(parent);
}

// The category a making names. Whoever made it held no category at its path, so a rename away
// from that path is not followed (the new category is another one); those of the categories
// above it are, as for any path.
std::optional<uint16_t> made_category(const std::vector<std::string>& path)
{
    if (path.size() < 2)
        return category_of_path(path, true);
    const std::optional<uint16_t> above = category_following_renames(std::vector<std::string>(path.begin(), path.end() - 1), true);
    if (!above)
        return std::nullopt;
    std::vector<std::string> names = category_names_from_top(*above);
    names.push_back(path.back());
    return category_of_path(names, true);
}

std::string joined_path(const std::vector<std::string>& path)
{
    std::string s;
    for (const std::string& name : path)
        s += (s.empty() ? "" : " / ") + name;
    return s;
}
