#include "session/sync_paths.h"

#include "database/category_edits.h"
#include "database/database.h"
#include "session/sync_state.h"

namespace {

// Whether a change of version `v` names the category at `path` rather than one renamed away
// from it: the category took the name before the change.
bool names_the_one_there(const std::vector<std::string>& path, const field_version* v)
{
    if (!v || !category_of_path(path, false))
        return false;
    const auto made = sync_g().made.find(path);
    return made != sync_g().made.end() && made->second <= *v;
}

// Whether a change of version `v` names the category that took `path` again after the renames
// away from it before the change, there or deleted since, rather than one that left it.
bool names_one_taken_again(const std::vector<std::string>& path, const field_version* v)
{
    const auto made = sync_g().made.find(path);
    const auto renames = sync_g().renamed.find(path);
    if (!v || made == sync_g().made.end() || renames == sync_g().renamed.end() || renames->second.empty()
        || !(made->second <= *v))
        return false;
    const field_version& last = renames->second.back().v;
    return last <= *v && last <= made->second;
}

// Where a path, or a path above it, was renamed here and is not there any more, a change that
// names it follows the rename; a chain of renames is followed to its end.
std::vector<std::string> path_following_renames(std::vector<std::string> path, const field_version* v)
{
    const auto& renamed = sync_g().renamed;
    for (size_t hops = 0; hops <= renamed.size() && !path.empty() && !category_of_path(path, false); ++hops) {
        bool followed = false;
        for (size_t length = path.size(); length > 0 && !followed; --length) {
            const std::vector<std::string> above(path.begin(), path.begin() + static_cast<long>(length));
            const std::vector<std::string>* to = rename_of(above, v);
            if (!to || names_the_one_there(above, v) || names_one_taken_again(above, v))
                continue;
            std::vector<std::string> moved = *to;
            moved.insert(moved.end(), path.begin() + static_cast<long>(length), path.end());
            path = std::move(moved);
            followed = true;
        }
        if (!followed)
            break;
    }
    return path;
}

}  // namespace

std::optional<uint16_t> category_following_renames(const std::vector<std::string>& path, bool make, const field_version* v)
{
    return category_of_path(path_following_renames(path, v), make);
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
// from that path made before it is not followed (the new category is another one); a later one
// renamed the category it made, as the computers that had the making first hold it. Those of
// the categories above it are followed, as for any path.
std::optional<uint16_t> made_category(const std::vector<std::string>& path, const field_version& v)
{
    std::vector<std::string> names = path;
    if (path.size() >= 2) {
        const std::optional<uint16_t> above = category_following_renames(std::vector<std::string>(path.begin(), path.end() - 1), true, &v);
        if (!above)
            return std::nullopt;
        names = category_names_from_top(*above);
        names.push_back(path.back());
    }
    if (!category_of_path(names, false)) {
        // The version of the path the renames end at is that of the last of them.
        const std::vector<std::string> followed = path_following_renames(path, &v);
        const auto renaming = sync_g().made.find(followed);
        if (followed != names && renaming != sync_g().made.end() && !(renaming->second <= v))
            return category_of_path(followed, true);
    }
    return category_of_path(names, true);
}

std::string joined_path(const std::vector<std::string>& path)
{
    std::string s;
    for (const std::string& name : path)
        s += (s.empty() ? "" : " / ") + name;
    return s;
}
