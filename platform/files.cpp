#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/platform_state.h"
#include "platform/utf.h"

void sleep_ms(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

bool delete_file(const char16_t* path)
{
    std::string utf8;
    if (!path || !utf16_to_utf8(path, &utf8))
        return false;
    return ::unlink(utf8.c_str()) == 0;
}

int fclose_committed(FILE* file)
{
    bool ok = std::fflush(file) == 0;
    if (platform_globals().sync_to_storage)
        ok = ::fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok ? 0 : EOF;
}

bool sync_parent_directory(const std::string& path)
{
    if (!platform_globals().sync_to_storage)
        return true;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

namespace {
constexpr char temp_marker[] = ".tmp-";
constexpr size_t temp_suffix = sizeof temp_marker - 1 + 6;  // the marker and mkstemp's six characters
}  // namespace

std::string make_temp_directory(const std::string& prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern + "/";
}

void remove_stale_temporaries(const std::string& dir)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > temp_suffix && name.compare(name.size() - temp_suffix, 5, temp_marker) == 0
            && entry.is_regular_file(error))
            std::filesystem::remove(entry.path(), error);
    }
}

atomic_file::atomic_file(std::string path) : path_(std::move(path))
{
    temp_path_ = path_ + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp_path_.data());
    if (fd < 0) {
        temp_path_.clear();
        return;
    }
    ::fchmod(fd, 0644);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

atomic_file::~atomic_file() { discard(); }

void atomic_file::discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_path_.empty()) {
        ::unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

bool atomic_file::commit()
{
    if (!file_)
        return false;
    FILE* file = file_;
    file_ = nullptr;
    const bool written = !std::ferror(file) && fclose_committed(file) == 0;
    if (!written || ::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        discard();
        return false;
    }
    temp_path_.clear();
    sync_parent_directory(path_);
    return true;
}

bool copy_file_whole(const std::string& from, const std::string& to)
{
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return false;
    atomic_file copy(to);
    bool ok = copy.stream() != nullptr;
    std::vector<char> chunk(1 << 20);
    while (ok) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got > 0 && std::fwrite(chunk.data(), 1, got, copy.stream()) != got)
            ok = false;
        if (got < chunk.size()) {
            ok = ok && !std::ferror(in);
            break;
        }
    }
    std::fclose(in);
    return ok && copy.commit();
}
