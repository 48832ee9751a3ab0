#pragma once
// Shared by the harnesses of the sync folder's files: a fresh data directory and sync folder,
// and the round trip every start with the folder must survive.
#include <cstdint>
#include <string>

struct fuzz_sync_dirs {
    std::string data;  // the data directory, empty, ending with '/'
    std::string folder;  // the sync folder, empty, ending with '/'
};
// Both under the harnesses' folder, in a directory `name` emptied first.
fuzz_sync_dirs fresh_sync_dirs(const char* name);

[[noreturn]] void sync_round_trip_lost(const char* what);

// The database just opened at `dirs.data` starts syncing as computer `me` and closes; then a
// second start must find every item by its saved identity (none recorded anew), apply nothing
// again, and hold the same items and queue. Aborts when it does not.
void sync_start_round_trip(const fuzz_sync_dirs& dirs, uint64_t me);
