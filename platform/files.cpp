#include "platform/files.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <sys/file.h>
#include <sys/mman.h>

#include "platform/platform_state.h"
#include "platform/utf.h"

namespace {

// Runs the registered hook; false, with errno set to what it asked for, when the call must fail.
bool allowed(file_op op, const char* path)
{
    const file_fault_hook hook = platform_globals().fault_hook;
    if (!hook)
        return true;
    if (const int error = hook(op, path)) {
        errno = error;
        return false;
    }
    return true;
}

std::error_code errno_code(int error) { return {error, std::generic_category()}; }

// The outcome of a call that returns 0, or -1 with errno set.
std::error_code outcome_of(int call_result) { return call_result == 0 ? std::error_code{} : errno_code(errno); }

std::string parent_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

}  // namespace

const unsigned char* map_file(int fd, size_t size, const char* path)
{
    if (!allowed(file_op::map, path))
        return nullptr;
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED)
        return nullptr;
#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14; older kernels answer EINVAL and fault the pages in later
#endif
    if (::madvise(data, size, MADV_POPULATE_READ) != 0 && errno != EINVAL) {
        const int error = errno;
        ::munmap(data, size);
        errno = error;
        return nullptr;
    }
    return static_cast<const unsigned char*>(data);
}

void unmap_file(const unsigned char* data, size_t size)
{
    if (data)
        ::munmap(const_cast<unsigned char*>(data), size);
}

void sleep_ms(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int open_for_writing(const char* path, int flags, mode_t mode)
{
    if (!allowed(file_op::create, path))
        return -1;
    return ::open(path, flags, mode);
}

std::error_code lock_exclusive(int fd, const char* path)
{
    return outcome_of(allowed(file_op::lock, path) ? ::flock(fd, LOCK_EX | LOCK_NB) : -1);
}

bool delete_file(const char16_t* path)
{
    std::string utf8;
    if (!path || !utf16_to_utf8(path, &utf8))
        return false;
    return !unlink_file(utf8.c_str());
}

std::uintmax_t file_size_or_zero(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

bool write_all(int fd, const void* data, size_t size, const char* path)
{
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        if (!allowed(file_op::write, path))
            return false;
        const ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::error_code fsync_file(int fd, const char* path)
{
    if (!platform_globals().sync_to_storage)
        return {};
    return outcome_of(allowed(file_op::fsync, path) ? ::fsync(fd) : -1);
}

std::error_code rename_file(const char* from, const char* to)
{
    return outcome_of(allowed(file_op::rename, to) ? ::rename(from, to) : -1);
}

std::error_code unlink_file(const char* path)
{
    return outcome_of(allowed(file_op::unlink, path) ? ::unlink(path) : -1);
}

append_outcome append_record(const std::string& path, const void* record, size_t size)
{
    return append_records(path, record, size, size);
}

append_outcome append_records(const std::string& path, const void* records, size_t size, size_t record_size)
{
    const void* const record = records;
    append_outcome outcome;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        outcome.failed = append_step::open;
        outcome.error = errno;
        return outcome;
    }
    struct stat info {};
    const bool measured = ::fstat(fd, &info) == 0;
    const off_t aligned = measured ? info.st_size - info.st_size % static_cast<off_t>(record_size) : 0;
    if (measured && aligned != info.st_size) {
        outcome.piece_found = true;
        outcome.repair_failed = ::ftruncate(fd, aligned) != 0;
    }
    if (!write_all(fd, record, size, path.c_str())) {
        outcome.failed = append_step::write;
        outcome.error = errno;
        if (measured && ::ftruncate(fd, aligned) != 0)
            outcome.repair_failed = true;
    } else if (const std::error_code error = fsync_file(fd, path.c_str())) {
        outcome.failed = append_step::sync;
        outcome.error = error.value();
    } else if (measured && info.st_size == 0 && !sync_parent_directory(path)) {
        outcome.failed = append_step::sync_folder;
        outcome.error = errno;
    }
    outcome.close_failed = ::close(fd) != 0;
    return outcome;
}

namespace {

// fsync of the folder `dir`, first of its whole file system when `with_files`; `named` is what
// the fault hook is told.
bool sync_folder(const std::string& named, const std::string& dir, bool with_files)
{
    if (!platform_globals().sync_to_storage)
        return true;
    if (!allowed(file_op::sync_directory, named.c_str()))
        return false;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = (!with_files || ::syncfs(fd) == 0) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

}  // namespace

bool sync_parent_directory(const std::string& path) { return sync_folder(path, parent_of(path), false); }

bool sync_folder_and_files(const std::string& folder) { return sync_folder(folder, folder, true); }

namespace {

constexpr char temp_marker[] = ".tmp-";
constexpr size_t temp_suffix = sizeof temp_marker - 1 + 6;  // the marker and mkstemp's six characters
constexpr size_t stream_buffer = 64 * 1024;

// The temporary file's stream writes through write_all, so that every write the system makes
// of the user's data passes the fault hook; the first failure's errno is kept for the report.
struct stream_cookie {
    int fd;
    int* error;  // the atomic_file's error
    const std::string* path;  // the temporary file's path, for the fault hook
};

// After a failure the bytes are dropped but reported as written: the file will be discarded
// anyway, and a stream told of a failed write may go on writing past its own buffer.
ssize_t cookie_write(void* cookie, const char* data, size_t size)
{
    auto* c = static_cast<stream_cookie*>(cookie);
    if (*c->error == 0 && !write_all(c->fd, data, size, c->path->c_str()))
        *c->error = errno != 0 ? errno : EIO;
    return static_cast<ssize_t>(size);
}

int cookie_close(void* cookie)
{
    auto* c = static_cast<stream_cookie*>(cookie);
    const int result = ::close(c->fd);
    delete c;
    return result;
}

}  // namespace

std::string make_temp_directory(const std::string& prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern + "/";
}

bool is_temporary_name(const std::string& name)
{
    return name.size() > temp_suffix && name.compare(name.size() - temp_suffix, 5, temp_marker) == 0;
}

void remove_stale_temporaries(const std::string& dir)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        if (is_temporary_name(entry.path().filename().string()) && entry.is_regular_file(error))
            std::filesystem::remove(entry.path(), error);
    }
}

atomic_file::atomic_file(std::string path) : path_(std::move(path))
{
    temp_path_ = path_ + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp_path_.data());
    if (fd < 0) {
        error_ = errno;
        temp_path_.clear();
        return;
    }
    // A file the user made private stays private; a new file gets the usual mode.
    struct stat old {};
    const mode_t mode = ::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    auto* cookie = new stream_cookie{fd, &error_, &temp_path_};
    file_ = ::fopencookie(cookie, "wb", cookie_io_functions_t{nullptr, cookie_write, nullptr, cookie_close});
    if (!file_) {
        error_ = errno;
        delete cookie;
        ::close(fd);
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
        return;
    }
    fd_ = fd;
    std::setvbuf(file_, nullptr, _IOFBF, stream_buffer);
}

atomic_file::~atomic_file() { discard(); }

bool atomic_file::fail(int error)
{
    if (error_ == 0)
        error_ = error != 0 ? error : EIO;
    discard();
    return false;
}

void atomic_file::discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

bool atomic_file::finish()
{
    if (finished_)
        return true;
    if (!file_)
        return fail(error_);
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_) || error_ != 0)
        return fail(errno);
    if (const std::error_code error = fsync_file(fd_, temp_path_.c_str()))
        return fail(error.value());
    FILE* file = file_;
    file_ = nullptr;
    fd_ = -1;
    if (std::fclose(file) != 0)
        return fail(errno);
    finished_ = true;
    return true;
}

bool atomic_file::install(bool sync_folder)
{
    if (!finished_ || temp_path_.empty())
        return fail(error_);
    if (const std::error_code error = rename_file(temp_path_.c_str(), path_.c_str())) {
        // The finished file stays: a commit's journal may name it. The destructor drops it.
        error_ = error.value() != 0 ? error.value() : EIO;
        return false;
    }
    temp_path_.clear();
    if (sync_folder && !sync_parent_directory(path_)) {
        // The new file is in place; only its durability across a power cut is in doubt.
        error_ = errno != 0 ? errno : EIO;
    }
    return true;
}

bool atomic_file::commit()
{
    if (finish() && install())
        return true;
    discard();
    return false;
}

namespace {

// What a copying step returns when its call was interrupted and is to be made again.
constexpr ssize_t interrupted = -2;

// Repeats `step` (the bytes it moved, 0 at the end, -1 with errno set, or `interrupted`) until
// the end; false when a step fails.
template <typename step_function>
bool until_end(step_function step)
{
    for (;;) {
        const ssize_t n = step();
        if (n != interrupted && n <= 0)
            return n == 0;
    }
}

ssize_t retried_on_eintr(ssize_t n) { return n < 0 && errno == EINTR ? interrupted : n; }

// Copies what is left of `in` into `out` in the kernel; false when it cannot (errno set).
bool copy_in_kernel(int in, int out, const char* path)
{
    return until_end([&]() -> ssize_t {
        if (!allowed(file_op::copy, path))
            return -1;
        return retried_on_eintr(::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0));
    });
}

bool copy_by_reading(int in, int out, const char* path)
{
    std::vector<char> chunk(1 << 20);
    return until_end([&]() -> ssize_t {
        const ssize_t n = retried_on_eintr(::read(in, chunk.data(), chunk.size()));
        if (n > 0 && !write_all(out, chunk.data(), static_cast<size_t>(n), path))
            return -1;
        return n;
    });
}

}  // namespace

std::error_code copy_file_durable(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno_code(errno);
    atomic_file copy(to);
    if (!copy.stream()) {
        ::close(in);
        return errno_code(copy.error() != 0 ? copy.error() : EIO);
    }
    int error = 0;
    const int fd = copy.descriptor();
    const char* temp = copy.temp_path().c_str();
    bool ok = allowed(file_op::copy, temp) && ::ioctl(fd, FICLONE, in) == 0;
    if (!ok) {
        ok = copy_in_kernel(in, fd, temp);
        if (!ok && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            // Some file systems refuse copy_file_range; then plainly, from the start.
            ok = ::lseek(in, 0, SEEK_SET) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 && ::ftruncate(fd, 0) == 0
                && copy_by_reading(in, fd, temp);
        }
    }
    if (!ok)
        error = errno != 0 ? errno : EIO;
    ::close(in);
    if (error != 0)
        return errno_code(error);
    return copy.commit() ? std::error_code{} : errno_code(copy.error() != 0 ? copy.error() : EIO);
}

bool read_whole_file(const std::string& path, std::string* out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->append(buffer, n);
    const bool read_error = std::ferror(f) != 0;
    const int error = errno;
    std::fclose(f);
    if (read_error) {
        // A file that opened and then failed is damaged, not missing.
        errno = error != 0 && error != ENOENT ? error : EIO;
        return false;
    }
    return true;
}
