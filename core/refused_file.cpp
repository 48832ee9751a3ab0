#include "core/binfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/lifecycle.h"
#include "platform/files.h"

// Keeps the elements.bin that load_bin refused under a name no earlier kept copy has, before
// a save replaces it. A hard link keeps it without copying; the copy is the fallback.
bool keep_refused_file(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT;  // gone meanwhile: nothing to keep
    const std::string stem = path.size() > 4 && path.ends_with(".bin") ? path.substr(0, path.size() - 4) : path;
    for (unsigned n = 1; n < 10'000; ++n) {
        const std::string kept = stem + ".refused-" + std::to_string(n) + ".bin";
        if (::link(path.c_str(), kept.c_str()) == 0) {
            sync_parent_directory(kept);
            write_log("INFO: the unreadable \"%s\" was kept as \"%s\"\n", path.c_str(), kept.c_str());
            return true;
        }
        if (errno == EEXIST)
            continue;
        // No hard links here: copy, refusing to overwrite an existing name.
        const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (from < 0)
            return false;
        const int to = ::open(kept.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (to < 0) {
            ::close(from);
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = true;
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(from, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            for (ssize_t done = 0; ok && done < got;) {
                const ssize_t put = ::write(to, chunk + done, static_cast<size_t>(got - done));
                if (put < 0 && errno == EINTR)
                    continue;
                ok = put > 0;
                done += put > 0 ? put : 0;
            }
            if (!ok)
                break;
        }
        ok = ::fsync(to) == 0 && ok;
        ok = ::close(to) == 0 && ok;
        ::close(from);
        if (!ok) {
            ::unlink(kept.c_str());
            return false;
        }
        sync_parent_directory(kept);
        write_log("INFO: the unreadable \"%s\" was kept as \"%s\"\n", path.c_str(), kept.c_str());
        return true;
    }
    return false;
}

