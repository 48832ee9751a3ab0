// Any records as another computer's change log in the sync folder, applied to a new database at
// start. Then the round trip: after the close, a second start must find every item by its saved
// identity (none recorded anew), apply nothing again, and hold the same items.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ann/ann_files.h"
#include "formats/change_log.h"
#include "fuzz_open.h"
#include "session/lifecycle.h"
#include "session/sync.h"

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint64_t other = 0x00000000000000ffULL;

[[noreturn]] void lost(const char* what)
{
    std::fprintf(stderr, "round trip lost %s\n", what);
    std::abort();
}

std::string log_header()
{
    std::string h("CWCHANGE\x01\x00\x00\x00", 12);
    for (int i = 0; i < 8; ++i)
        h.push_back(static_cast<char>((other >> (8 * i)) & 0xFF));
    return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string root = fuzz_dir() + "sync/";
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    const std::string dir = root + "data/";
    const std::string folder = root + "folder/";
    std::filesystem::create_directories(dir);
    std::filesystem::create_directories(folder);
    if (FILE* f = std::fopen((folder + change_log_name(other)).c_str(), "wb")) {
        const std::string h = log_header();
        std::fwrite(h.data(), 1, h.size(), f);
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    if (ma_init(dir.c_str()) != init_status::new_database)
        return 0;
    ma_nn_init();
    sync_summary first;
    sync_open(folder, me, &first);
    const uint32_t items = db().item_count;
    const uint32_t queued = db().pending_count;
    if (ma_deinit(close_mode::complete) != deinit_status::done)
        lost("the save");
    sync_close();

    if (holds_any(ma_init(dir.c_str()), init_status::bin_not_read))
        lost("elements.bin");
    ma_nn_init();
    sync_summary second;
    sync_open(folder, me, &second);
    if (second.adopted != 0)
        lost("identities of items");
    if (second.applied != 0)
        lost("how far the log was applied");
    if (db().item_count != items || db().pending_count != queued)
        lost("items");
    static_cast<void>(ma_deinit(close_mode::complete));
    sync_close();
    return 0;
}
