#pragma once
// Dated copies of elements.bin in the data directory's backups/ folder.
#include <string>

constexpr int backups_kept = 10;

// After a successful save: copies `bin_path` to backups/elements-YYYYMMDD-HHMMSS.bin (local
// time) when it differs from the newest copy there, then removes the oldest beyond ten. A
// failure is logged and never undoes the save.
void keep_backup(const std::string& bin_path);
