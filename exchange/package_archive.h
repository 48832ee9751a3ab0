#pragma once
// The zip archive of another trainer's package, read with bounds on everything it claims:
// the number of entries, each entry's size and the total unpacked, so that a zip bomb stops
// at the limit. Entries compressed with zstd are unpacked on the way.
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/exchange_problem.h"

struct zip;

struct archive_limits {
    uint64_t max_entries = 100000;  // entries in the zip's directory
    uint64_t max_entry_bytes = uint64_t{1} << 30;  // one entry, unpacked
    uint64_t max_total_bytes = uint64_t{2} << 30;  // all entries read into memory or scratch, unpacked
};

// Where an extracted entry goes. Scratch bytes count toward max_total_bytes. Media files stream
// into the data directory, whose free space bounds them instead (a package of a few GB of
// pictures is not refused for what a scratch folder could not hold), and their writeback starts
// as each is complete, so that the disk works while the next is unpacked and the one sync of the
// batch finds little left to write.
enum class unpacked_into { scratch, media };

class package_archive {
public:
    explicit package_archive(archive_limits limits = {});
    ~package_archive();
    package_archive(const package_archive&) = delete;
    package_archive& operator=(const package_archive&) = delete;

    // False with `error` set when the file is no zip archive or breaks the limits.
    bool open(const std::string& path);
    bool has(const std::string& name) const;
    // The entry's bytes, zstd unpacked when they begin with its magic number, into memory
    // (at most `limit` bytes) or into a new file at `to`.
    bool read(const std::string& name, std::string& out, uint64_t limit);
    // `to` must not exist yet; at most `limit` bytes (and the entry limit) are written.
    bool extract(const std::string& name, const std::string& to, uint64_t limit = UINT64_MAX,
        unpacked_into into = unpacked_into::scratch);
    // The unpacked size the zip's directory claims for the entry; a zstd entry may unpack to
    // more, and a damaged zip may lie, so the unpacking itself still counts.
    uint64_t claimed_size(const std::string& name) const;

    const exchange_problem& error() const { return error_; }

private:
    template <typename Sink>
    bool unpack(const std::string& name, uint64_t limit, unpacked_into into, Sink&& sink);
    bool fail(exchange_problem problem);

    archive_limits limits_;
    zip* archive_ = nullptr;
    uint64_t total_ = 0;  // bytes unpacked so far
    exchange_problem error_;  // why the last step failed
    std::vector<char> in_;  // what the zip gives of an entry, a piece at a time
    std::vector<char> zstd_out_;  // what the decoder makes of it, for zstd entries
};

// Unpacks a whole zstd frame held in memory, at most `limit` bytes; false when it is damaged
// or too large.
bool zstd_unpack(const std::string& packed, std::string& out, uint64_t limit);
