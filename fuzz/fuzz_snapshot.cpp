// Any collection as another computer's snapshot in the sync folder. The input's first byte picks
// the version and the rest follows the header; the length and checksum are made right, so that
// the fields are what the reader meets. What decodes must encode to a snapshot that decodes the
// same. Then a new computer joins from it, and after the close a second start must find every
// item by its saved identity (none recorded anew), apply nothing again, and hold the same items.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "formats/sync_snapshot.h"
#include "fuzz_open.h"
#include "session/lifecycle.h"
#include "session/sync.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr uint64_t me = 0x0123456789abcdefULL;
constexpr uint64_t other = 0x00000000000000ffULL;
constexpr uint16_t newest_version = 3;

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

std::string whole_snapshot(const uint8_t* data, size_t size)
{
    std::string s("CWSNAPSH", 8);
    put(s, 1 + data[0] % newest_version, 2);
    put(s, 0, 2);
    put(s, other, 8);
    put(s, 28 + (size - 1) + 8, 8);
    s.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    put(s, XXH64(s.data(), s.size(), 0), 8);
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
        lost("the snapshot written back");

    const std::string root = fuzz_dir() + "snapshot/";
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    const std::string dir = root + "data/";
    const std::string folder = root + "folder/";
    std::filesystem::create_directories(dir);
    std::filesystem::create_directories(folder);
    if (FILE* f = std::fopen((folder + snapshot_name(other)).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
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
        lost("what was joined");
    if (db().item_count != items || db().pending_count != queued)
        lost("items");
    static_cast<void>(ma_deinit(close_mode::complete));
    sync_close();
    return 0;
}
