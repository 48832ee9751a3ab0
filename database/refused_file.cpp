#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "database/binfile.h"
#include "database/database.h"
#include "services/log.h"
#include "platform/files.h"

namespace {

// The copy's path, or an empty text when it could not be made; `*absent` tells that there was
// no file to keep.
std::string copy_refused_file(const std::string& path, bool* absent)
{
    *absent = false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        *absent = errno == ENOENT;
        return {};
    }
    const std::string stem = path.size() > 4 && path.ends_with(".bin") ? path.substr(0, path.size() - 4) : path;
    for (unsigned n = 1; n < 10'000; ++n) {
        const std::string kept = stem + ".refused-" + std::to_string(n) + ".bin";
        // The lock keeps other copies out, so a free name stays free until the copy is in place.
        if (::access(kept.c_str(), F_OK) == 0)
            continue;
        // A copy of its own: a second name of the same file would change with it.
        if (const std::error_code error = copy_file_durable(path, kept)) {
            write_log("ERROR: cannot keep a copy of the unreadable \"%s\" as \"%s\": %s\n", path.c_str(), kept.c_str(),
                error.message().c_str());
            return {};
        }
        write_log("INFO: the unreadable \"%s\" was kept as \"%s\"\n", path.c_str(), kept.c_str());
        return kept;
    }
    return {};
}

}  // namespace

bool keep_refused_file(const std::string& path)
{
    database& d = db();
    bool absent = false;
    d.refused_copy = copy_refused_file(path, &absent);
    if (!d.refused_copy.empty() || absent)
        d.bin_refused = false;
    return !d.bin_refused;
}
