#pragma once
// elements.bin: the binary database file.
#include <cstdint>
#include <cstdio>
#include <string>

enum class [[nodiscard]] bin_load_status : int {
    done = 0,
    not_read = 1,  // missing, old or damaged
};
bin_load_status load_bin(const char* path);

enum class [[nodiscard]] bin_write_status : int {
    done = 0,
    not_opened = 1,
    close_failed = 2,  // written, but replacing the old file failed
    write_failed = 5,  // the old file stays as it was
};
// Replaces the file at `path` whole.
bin_write_status write_bin(const char* path);
// The size and a 64-bit hash (XXH3) of the bytes of a file, to tell files apart without
// reading them again.
struct file_digest {
    uint64_t size = 0;
    uint64_t hash = 0;
    bool operator==(const file_digest&) const = default;
};
// Writes the database in the file's form to `file`; false when a write failed. `digest`, when
// given, receives the digest of the bytes written.
bool write_bin_stream(FILE* file, file_digest* digest = nullptr);

// What a reader can tell of an elements.bin without loading it.
struct bin_summary {
    uint32_t time_of_start = 0;  // the database's start, in seconds
    uint16_t category_count = 0;  // category records in the file
    uint32_t item_count = 0;  // complete item records in the file
};
// False when the file cannot be read or is not one that load_bin would take.
bool inspect_bin(const char* path, bin_summary* out);

// After load_bin refused the file at `path`: keeps it beside itself as
// "<name>.refused-<n>.bin" with the first free n, a copy of its own, logs one INFO line naming
// the copy and records it in db().refused_copy. Clears db().bin_refused once nothing is left to
// keep; false while the file is there and no copy could be made (it must not be overwritten).
bool keep_refused_file(const std::string& path);
