// Any bytes after the header of sync.state, with its checksum made right so that the fields are
// what the reader meets, beside a database of a few items and an empty sync folder. The start
// must not fail on them; then the round trip: after the close, a second start must find every
// item by its saved identity (none recorded anew), apply nothing, and hold the same items.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "fuzz_open.h"
#include "session/grading.h"
#include "session/lifecycle.h"
#include "session/sync.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint16_t newest_version = 4;

[[noreturn]] void lost(const char* what)
{
    std::fprintf(stderr, "round trip lost %s\n", what);
    std::abort();
}

void put(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string root = fuzz_dir() + "state/";
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    const std::string dir = root + "data/";
    const std::string folder = root + "folder/";
    std::filesystem::create_directories(dir);
    std::filesystem::create_directories(folder);
    if (ma_init(dir.c_str()) != init_status::new_database)
        return 0;
    for (int i = 0; i < 3; ++i)
        create_item(4, ("fuzz " + std::to_string(i)).c_str(), "a", 0);
    if (ma_deinit(close_mode::complete) != deinit_status::done)
        return 0;

    std::string state("CWSYNCST", 8);
    put(state, 1 + data[0] % newest_version, 2);
    state.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    put(state, XXH32(state.data(), state.size(), 0), 4);
    if (FILE* f = std::fopen((dir + sync_state_name).c_str(), "wb")) {
        std::fwrite(state.data(), 1, state.size(), f);
        std::fclose(f);
    }

    if (holds_any(ma_init(dir.c_str()), init_status::bin_not_read))
        lost("elements.bin");
    ma_nn_init();
    sync_summary first;
    sync_open(folder, me, &first);
    const uint32_t items = db().item_count;
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
        lost("what was applied");
    if (db().item_count != items)
        lost("items");
    static_cast<void>(ma_deinit(close_mode::complete));
    sync_close();
    return 0;
}
