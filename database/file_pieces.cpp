#include "database/file_pieces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "services/log.h"

file_pieces::~file_pieces()
{
    if (!handed_over_)
        unmap_file(mapped_, mapped_size_);
    if (fd_ >= 0 && ::close(fd_) != 0)
        write_log("Cannot close \"%s\"\n", path_);
}

open_outcome file_pieces::open(const char* path)
{
    path_ = path;
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return errno == ENOENT ? open_outcome::missing : open_outcome::unreadable;
    struct stat status {};
    if (::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        const auto size = static_cast<size_t>(status.st_size);
        // Not mapped (a file system without mappings, a read error): read in pieces, which
        // reports what went wrong.
        if (const unsigned char* bytes = map_file(fd_, size, path)) {
            mapped_ = bytes;
            mapped_size_ = size;
            end_ = size;
            at_end_ = true;
        }
    }
    return open_outcome::opened;
}

bool file_pieces::want(size_t n)
{
    while (available() < n) {
        if (at_end_ || failed_ || fd_ < 0)
            return false;
        // What is not consumed moves to the front, and the buffer grows only for a record
        // longer than a piece.
        const size_t kept = available();
        const size_t needed = std::max(n, kept + piece);
        if (needed > capacity_) {
            // Room for a piece beside the longest record, so that the buffer is made once.
            const size_t size = std::max(needed, 2 * piece);
            auto bigger = std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[size]);
            if (!bigger) {
                failed_ = true;
                return false;
            }
            if (kept > 0)
                std::memcpy(bigger.get(), data(), kept);
            buffer_ = std::move(bigger);
            capacity_ = size;
        } else if (start_ > 0 && kept > 0) {
            std::memmove(buffer_.get(), data(), kept);
        }
        start_ = 0;
        end_ = kept;
        // One piece of new bytes (more only for a record longer than a piece).
        while (end_ < needed) {
            const ssize_t got = ::read(fd_, buffer_.get() + end_, needed - end_);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                failed_ = true;
                break;
            }
            if (got == 0) {
                at_end_ = true;
                break;
            }
            end_ += static_cast<size_t>(got);
        }
    }
    return true;
}
