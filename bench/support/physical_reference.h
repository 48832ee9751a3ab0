#pragma once
// The physical reference the benchmarks are judged against: what the disk costs for the same
// bytes, written once, made durable and renamed, as a save does at the least.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace bench_data {

// One file's share of a save: `size` bytes to dir/plain.tmp, synced, renamed to dir/plain.bin.
// False when any step failed, so that a benchmark reports it instead of timing a failure.
inline bool write_sync_rename(const std::string& dir, const char* bytes, size_t size)
{
    FILE* f = std::fopen((dir + "plain.tmp").c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes, 1, size, f) == size && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    return written && closed && std::rename((dir + "plain.tmp").c_str(), (dir + "plain.bin").c_str()) == 0;
}

// The folder's entries of the renames made durable, once after a save's files.
inline void sync_folder(const std::string& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace bench_data
