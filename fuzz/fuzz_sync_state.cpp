// Any bytes after the header of sync.state, with its checksum made right so that the fields are
// what the reader meets, beside a database of a few items and an empty sync folder. The start
// must not fail on them; then the round trip: after the close, a second start must find every
// item by its saved identity (none recorded anew), apply nothing, and hold the same items.
#include <cstdio>
#include <string>

#include "formats/le_fields.h"
#include "fuzz/fuzz_sync.h"
#include "session/grading.h"
#include "session/lifecycle.h"
#include "session/sync.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint16_t newest_version = 7;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const fuzz_sync_dirs dirs = fresh_sync_dirs("state");
    if (ma_init(dirs.data.c_str()) != init_status::new_database)
        return 0;
    for (int i = 0; i < 3; ++i)
        create_item(4, ("fuzz " + std::to_string(i)).c_str(), "a", 0);
    if (ma_deinit(close_mode::complete) != deinit_status::done)
        return 0;

    std::string state("CWSYNCST", 8);
    put_le(state, 1 + data[0] % newest_version, 2);
    state.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    put_le(state, XXH32(state.data(), state.size(), 0), 4);
    if (FILE* f = std::fopen((dirs.data + sync_state_name).c_str(), "wb")) {
        std::fwrite(state.data(), 1, state.size(), f);
        std::fclose(f);
    }
    if (holds_any(ma_init(dirs.data.c_str()), init_status::bin_not_read))
        sync_round_trip_lost("elements.bin");
    sync_start_round_trip(dirs, me);
    return 0;
}
