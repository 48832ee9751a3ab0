#include "session/review_log_passes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "services/log.h"

review_log_chunks::review_log_chunks(const std::string& path, direction way, uint64_t records, uint32_t chunk_records)
    : path_(path), file_(std::fopen(path.c_str(), "rb")), way_(way)
{
    if (!file_)
        return;
    struct stat info {};
    const auto size = ::fstat(::fileno(file_), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    records_ = std::min(records, size / review_record_size);
    partial_bytes_ = records < size / review_record_size ? 0 : static_cast<uint32_t>(size % review_record_size);
    chunk_.resize(review_record_size * std::max<uint32_t>(chunk_records, 1));
}

review_log_chunks::~review_log_chunks()
{
    if (file_)
        fclose_logged(file_, path_.c_str());
}

std::span<const unsigned char> review_log_chunks::next()
{
    const uint64_t per_chunk = chunk_.size() / review_record_size;
    if (!file_ || done_ == records_)
        return {};
    const uint64_t count = std::min(per_chunk, records_ - done_);
    first_ = way_ == direction::forward ? done_ : records_ - done_ - count;
    const auto want = static_cast<size_t>(count * review_record_size);
    if (::fseeko(file_, static_cast<off_t>(first_ * review_record_size), SEEK_SET) != 0
        || std::fread(chunk_.data(), 1, want, file_) != want) {
        write_log("ERROR: cannot read %s: %s\n", path_.c_str(), std::strerror(errno));
        done_ = records_;
        return {};
    }
    done_ += count;
    return {chunk_.data(), want};
}
