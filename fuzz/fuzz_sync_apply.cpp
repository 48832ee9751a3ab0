// Any records as another computer's change log in the sync folder, applied to a new database at
// start. Then the round trip: after the close, a second start must find every item by its saved
// identity (none recorded anew), apply nothing again, and hold the same items.
#include <cstdio>

#include "formats/change_log.h"
#include "fuzz/fuzz_sync.h"
#include "session/lifecycle.h"

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint64_t other = 0x00000000000000ffULL;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz_sync_dirs dirs = fresh_sync_dirs("sync");
    if (FILE* f = std::fopen((dirs.folder + change_log_name(other)).c_str(), "wb")) {
        const std::string h = change_log_header(other);
        std::fwrite(h.data(), 1, h.size(), f);
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    if (ma_init(dirs.data.c_str()) != init_status::new_database)
        return 0;
    sync_start_round_trip(dirs, me);
    return 0;
}
