#include "core/backups.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include "calendar/calendar.h"
#include "core/lifecycle.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
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
    const std::optional<std::string> saved = slurp(bin_path);
    if (!saved) {
        write_log("WARNING: cannot read \"%s\" to back it up\n", bin_path.c_str());
        return;
    }
    std::vector<fs::path> backups = existing_backups(dir);
    if (!backups.empty() && slurp(backups.back()) == saved)
        return;  // nothing changed since the newest copy

    const fs::path target = dir / dated_name();
    atomic_file copy(target.string());
    if (!copy.stream() || std::fwrite(saved->data(), 1, saved->size(), copy.stream()) != saved->size()
        || !copy.commit()) {
        write_log("WARNING: cannot write the backup \"%s\"\n", target.c_str());
        return;
    }
    backups = existing_backups(dir);
    for (size_t i = 0; i + backups_kept < backups.size(); ++i)
        fs::remove(backups[i], error);
}
