#pragma once
// Categories as change records name them: by their names from the top, since each computer
// numbers its categories its own way.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The category at `path`, made where missing when `make`; none when it is not there (or the
// table is full). Renames made here are followed from the path to where the category went.
std::optional<uint16_t> category_following_renames(std::vector<std::string> path, bool make);
// The same without following renames.
std::optional<uint16_t> category_of_path(const std::vector<std::string>& path, bool make);
// The category a making names: the renames of the categories above it are followed, not one
// away from its own path (whoever made it held no category there).
std::optional<uint16_t> made_category(const std::vector<std::string>& path);
// The path as messages and sync-conflicts.txt show it.
std::string joined_path(const std::vector<std::string>& path);
