#include "core/backups.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "calendar/calendar.h"
#include "core/lifecycle.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// Whether two files hold the same bytes; stops at the first difference.
bool same_contents(const fs::path& a, const fs::path& b)
{
    std::error_code error;
    const auto size = fs::file_size(a, error);
    if (error || fs::file_size(b, error) != size || error)
        return false;
    std::ifstream in_a(a, std::ios::binary);
    std::ifstream in_b(b, std::ios::binary);
    std::vector<char> chunk_a(1 << 20);
    std::vector<char> chunk_b(1 << 20);
    while (in_a && in_b) {
        in_a.read(chunk_a.data(), static_cast<std::streamsize>(chunk_a.size()));
        in_b.read(chunk_b.data(), static_cast<std::streamsize>(chunk_b.size()));
        if (in_a.gcount() != in_b.gcount()
            || !std::equal(chunk_a.begin(), chunk_a.begin() + in_a.gcount(), chunk_b.begin()))
            return false;
    }
    return !in_a.bad() && !in_b.bad() && in_a.eof() && in_b.eof();
}

bool is_backup_name(const std::string& name)
{
    return name.size() == 28 && name.starts_with("elements-") && name.ends_with(".bin");
}

// Backup names sort by date, oldest first.
std::vector<fs::path> existing_backups(const fs::path& dir)
{
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file(error) && is_backup_name(entry.path().filename().string()))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

std::string dated_name()
{
    const uint32_t now = time_now();
    const calendar_time* t = local_time(&now);
    char name[64];
    std::snprintf(name, sizeof name, "elements-%04d%02d%02d-%02d%02d%02d.bin", t->tm_year + 1900, t->tm_mon + 1,
        t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec);
    return name;
}

}  // namespace

void keep_backup(const std::string& bin_path)
{
    const fs::path dir = fs::path(bin_path).parent_path() / "backups";
    std::error_code error;
    fs::create_directory(dir, error);
    if (error) {
        write_log("WARNING: cannot create the backup folder \"%s\": %s\n", dir.c_str(), error.message().c_str());
        return;
    }
    std::vector<fs::path> backups = existing_backups(dir);
    if (!backups.empty() && same_contents(bin_path, backups.back()))
        return;  // nothing changed since the newest copy

    // elements.bin is only ever replaced by a rename, never changed in place, so a second link
    // to it is a copy that costs nothing; a plain copy serves where links cannot be made.
    const fs::path target = dir / dated_name();
    fs::remove(target, error);
    fs::create_hard_link(bin_path, target, error);
    if (error && !copy_file_whole(bin_path, target.string())) {
        write_log("WARNING: cannot write the backup \"%s\"\n", target.c_str());
        return;
    }
    sync_parent_directory(target.string());
    backups = existing_backups(dir);
    for (size_t i = 0; i + backups_kept < backups.size(); ++i)
        fs::remove(backups[i], error);
}
