#include "exchange/package_archive.h"

#include <zip.h>
#include <zstd.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace {

constexpr unsigned char zstd_magic[4] = {0x28, 0xB5, 0x2F, 0xFD};


}  // namespace

package_archive::package_archive(archive_limits limits) : limits_(limits) {}

package_archive::~package_archive()
{
    if (archive_)
        zip_discard(archive_);
}

bool package_archive::fail(exchange_problem problem)
{
    error_ = std::move(problem);
    return false;
}

bool package_archive::open(const std::string& path)
{
    int code = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive_) {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        std::string reason = zip_error_strerror(&e);
        zip_error_fini(&e);
        return fail({.code = exchange_problem_code::not_a_package, .path = path, .detail = reason});
    }
    const zip_int64_t entries = zip_get_num_entries(archive_, 0);
    if (entries < 0 || static_cast<uint64_t>(entries) > limits_.max_entries)
        return fail({.code = exchange_problem_code::too_many_files, .limit = limits_.max_entries});
    return true;
}

bool package_archive::has(const std::string& name) const
{
    return archive_ && zip_name_locate(archive_, name.c_str(), 0) >= 0;
}

// Reads the entry in pieces, through zstd when it is zstd's, handing each piece to the sink and
// stopping at the first byte over a limit, whatever the directory claimed.
template <typename Sink>
bool package_archive::unpack(const std::string& name, uint64_t limit, unpacked_into into, Sink&& sink)
{
    if (!archive_)
        return fail({.code = exchange_problem_code::no_package_open});
    zip_file_t* file = zip_fopen(archive_, name.c_str(), 0);
    if (!file)
        return fail({.code = exchange_problem_code::member_unreadable, .name = name, .detail = zip_strerror(archive_)});
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
    limit = std::min(limit, limits_.max_entry_bytes);
    // Made once for the archive: a fresh pair for each of 99,000 pictures cost a page fault per
    // 4 KiB and a fill of 192 KiB each.
    if (in_.empty())
        in_.resize(size_t{1} << 16);
    std::vector<char>& in = in_;
    std::vector<char>& out = zstd_out_;
    std::unique_ptr<ZSTD_DStream, size_t (*)(ZSTD_DStream*)> zstd(nullptr, ZSTD_freeDStream);
    bool first = true;
    bool zstd_frame_done = false;
    uint64_t produced = 0;
    const auto give = [&](const char* data, size_t n) {
        produced += n;
        const bool counted = into == unpacked_into::scratch;
        if (counted)
            total_ += n;
        if (produced > limit)
            return fail({.code = exchange_problem_code::member_too_large, .name = name, .limit = limit});
        if (counted && total_ > limits_.max_total_bytes)
            return fail({.code = exchange_problem_code::package_too_large, .limit = limits_.max_total_bytes});
        return sink(data, n);
    };
    // One call of the decoder, its output passed on; `left` gets its hint, 0 at a frame's end.
    const auto decode = [&](ZSTD_inBuffer& input, size_t& written, size_t& left) {
        ZSTD_outBuffer output{out.data(), out.size(), 0};
        left = ZSTD_decompressStream(zstd.get(), &output, &input);
        if (ZSTD_isError(left))
            return fail({.code = exchange_problem_code::member_damaged, .name = name, .detail = ZSTD_getErrorName(left)});
        written = output.pos;
        return give(out.data(), output.pos);
    };
    while (true) {
        const zip_int64_t n = zip_fread(file, in.data(), in.size());
        if (n < 0)
            return fail({.code = exchange_problem_code::member_damaged, .name = name, .detail = zip_file_strerror(file)});
        if (n == 0)
            break;
        if (first) {
            first = false;
            if (n >= 4 && std::memcmp(in.data(), zstd_magic, 4) == 0) {
                if (out.empty())
                    out.resize(ZSTD_DStreamOutSize());
                zstd.reset(ZSTD_createDStream());
                if (!zstd || ZSTD_isError(ZSTD_initDStream(zstd.get())))
                    return fail({.code = exchange_problem_code::out_of_memory, .name = name});
            }
        }
        if (!zstd) {
            if (!give(in.data(), static_cast<size_t>(n)))
                return false;
            continue;
        }
        ZSTD_inBuffer input{in.data(), static_cast<size_t>(n), 0};
        while (input.pos < input.size) {
            size_t written = 0, left = 0;
            if (!decode(input, written, left))
                return false;
            zstd_frame_done = left == 0;
        }
    }
    if (zstd) {
        // Output still held inside the decoder.
        while (!zstd_frame_done) {
            ZSTD_inBuffer input{nullptr, 0, 0};
            size_t written = 0, left = 0;
            if (!decode(input, written, left))
                return false;
            if (left == 0)
                break;
            if (written == 0)
                return fail({.code = exchange_problem_code::member_cut_off, .name = name});
        }
    }
    return true;
}

bool package_archive::read(const std::string& name, std::string& out, uint64_t limit)
{
    out.clear();
    return unpack(name, limit, unpacked_into::scratch, [&](const char* data, size_t n) {
        out.append(data, n);
        return true;
    });
}

uint64_t package_archive::claimed_size(const std::string& name) const
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (!archive_ || zip_stat(archive_, name.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return 0;
    return st.size;
}

bool package_archive::extract(const std::string& name, const std::string& to, uint64_t limit, unpacked_into into)
{
    const int fd = open_for_writing(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail({.code = exchange_problem_code::cannot_create, .path = to, .os_error = errno});
    // Written from the unpacking buffer itself: a stream's buffer would copy each piece once more.
    bool unpacked = unpack(name, std::min(limit, limits_.max_entry_bytes), into, [&](const char* data, size_t n) {
        if (write_all(fd, data, n, to.c_str()))
            return true;
        return fail({.code = exchange_problem_code::cannot_write, .path = to, .os_error = errno});
    });
    if (unpacked && into == unpacked_into::media)
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    if (::close(fd) != 0 && unpacked)
        unpacked = fail({.code = exchange_problem_code::cannot_write, .path = to, .os_error = errno});
    return unpacked;
}

bool zstd_unpack(const std::string& packed, std::string& out, uint64_t limit)
{
    out.clear();
    std::unique_ptr<ZSTD_DStream, size_t (*)(ZSTD_DStream*)> zstd(ZSTD_createDStream(), ZSTD_freeDStream);
    if (!zstd || ZSTD_isError(ZSTD_initDStream(zstd.get())))
        return false;
    std::vector<char> buffer(ZSTD_DStreamOutSize());
    ZSTD_inBuffer input{packed.data(), packed.size(), 0};
    while (true) {
        ZSTD_outBuffer output{buffer.data(), buffer.size(), 0};
        const size_t r = ZSTD_decompressStream(zstd.get(), &output, &input);
        if (ZSTD_isError(r))
            return false;
        if (out.size() + output.pos > limit)
            return false;
        out.append(buffer.data(), output.pos);
        if (r == 0)
            return true;
        if (input.pos == input.size && output.pos == 0)
            return false;
    }
}
