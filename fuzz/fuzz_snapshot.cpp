// Any collection as another computer's snapshot in the sync folder. The input's first byte picks
// the version and the rest follows the header; the length and checksum are made right, so that
// the fields are what the reader meets. What decodes must encode to a snapshot that decodes the
// same. Then a new computer joins from it, and after the close a second start must find every
// item by its saved identity (none recorded anew), apply nothing again, and hold the same items.
#include <cstdio>

#include "formats/le_fields.h"
#include "formats/sync_snapshot.h"
#include "fuzz/fuzz_sync.h"
#include "session/lifecycle.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint64_t other = 0x00000000000000ffULL;
constexpr uint16_t newest_version = 4;

std::string whole_snapshot(const uint8_t* data, size_t size)
{
    std::string s("CWSNAPSH", 8);
    put_le(s, 1 + data[0] % newest_version, 2);
    put_le(s, 0, 2);
    put_le(s, other, 8);
    put_le(s, 28 + (size - 1) + 8, 8);
    s.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    put_le(s, XXH64(s.data(), s.size(), 0), 8);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string bytes = whole_snapshot(data, size);
    sync_snapshot read;
    if (decode_snapshot(bytes, &read) != snapshot_status::whole)
        return 0;
    sync_snapshot again;
    if (decode_snapshot(encode_snapshot(read), &again) != snapshot_status::whole || !(again == read))
        sync_round_trip_lost("the snapshot written back");

    const fuzz_sync_dirs dirs = fresh_sync_dirs("snapshot");
    if (FILE* f = std::fopen((dirs.folder + snapshot_name(other)).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    if (ma_init(dirs.data.c_str()) != init_status::new_database)
        return 0;
    sync_start_round_trip(dirs, me);
    return 0;
}
