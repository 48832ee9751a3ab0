#include "core/binfile.h"

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
        // No hard links here: a copy, under a name no kept copy has (the lock keeps others out).
        if (::access(kept.c_str(), F_OK) == 0)
            continue;
        if (!copy_file_whole(path, kept))
            return false;
        write_log("INFO: the unreadable \"%s\" was kept as \"%s\"\n", path.c_str(), kept.c_str());
        return true;
    }
    return false;
}

