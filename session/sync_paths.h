#pragma once
// Categories as change records name them: by their names from the top, since each computer
// numbers its categories its own way.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct field_version;

// The category at `path`, made where missing when `make`; none when it is not there (or the
// table is full). Renames made here are followed from the path to where the category went, but
// for a change of version `v` not from a name another category took before the change.
std::optional<uint16_t> category_following_renames(const std::vector<std::string>& path, bool make,
    const field_version* v = nullptr);
// The same without following renames.
std::optional<uint16_t> category_of_path(const std::vector<std::string>& path, bool make);
// The category a making of version `v` names: the renames of the categories above it are
// followed, and those of its own path that came after it.
std::optional<uint16_t> made_category(const std::vector<std::string>& path, const field_version& v);
// The path as messages and sync-conflicts.txt show it.
std::string joined_path(const std::vector<std::string>& path);
