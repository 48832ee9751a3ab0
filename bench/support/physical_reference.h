#pragma once
// The physical reference the benchmarks are judged against: what the disk costs for the same
// bytes, read once, or written once, made durable and renamed, as a save does at the least.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace bench_data {

// The size of dir/name, 0 when it cannot be had.
inline size_t size_of(const std::string& dir, const char* name)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(dir + name, error);
    return error ? 0 : static_cast<size_t>(size);
}

// The reference of reading: each of the files in dir, one fread each; the bytes read.
template <size_t n>
size_t fread_all(const std::string& dir, const char* const (&names)[n])
{
    size_t total = 0;
    for (const char* name : names) {
        const size_t size = size_of(dir, name);
        auto memory = std::make_unique<char[]>(size + 1);
        FILE* in = std::fopen((dir + name).c_str(), "rb");
        if (!in)
            continue;
        total += std::fread(memory.get(), 1, size, in);
        std::fclose(in);
    }
    return total;
}

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
