#include "fuzz/fuzz_sync.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "database/database.h"
#include "fuzz/fuzz_open.h"
#include "session/lifecycle.h"
#include "session/sync.h"

fuzz_sync_dirs fresh_sync_dirs(const char* name)
{
    const std::string root = fuzz_dir() + name + "/";
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    fuzz_sync_dirs dirs{root + "data/", root + "folder/"};
    std::filesystem::create_directories(dirs.data);
    std::filesystem::create_directories(dirs.folder);
    return dirs;
}

void sync_round_trip_lost(const char* what)
{
    std::fprintf(stderr, "round trip lost %s\n", what);
    std::abort();
}

void sync_start_round_trip(const fuzz_sync_dirs& dirs, uint64_t me)
{
    ma_nn_init();
    sync_summary first;
    sync_open(dirs.folder, me, &first);
    const uint32_t items = db().item_count;
    const uint32_t queued = db().pending_count;
    if (ma_deinit(close_mode::complete) != deinit_status::done)
        sync_round_trip_lost("the save");
    sync_close();

    if (holds_any(ma_init(dirs.data.c_str()), init_status::bin_not_read))
        sync_round_trip_lost("elements.bin");
    ma_nn_init();
    sync_summary second;
    sync_open(dirs.folder, me, &second);
    if (second.adopted != 0)
        sync_round_trip_lost("identities of items");
    if (second.applied != 0)
        sync_round_trip_lost("what the first start applied");
    if (db().item_count != items || db().pending_count != queued)
        sync_round_trip_lost("items");
    static_cast<void>(ma_deinit(close_mode::complete));
    sync_close();
}
