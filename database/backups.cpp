#include "database/backups.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "calendar/calendar.h"
#include "services/log.h"
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

// A backup's entry in backup_digests_name: its digest, and the inode and status-change time the
// file had when the digest was taken. Any write or replacement of the file changes one of them,
// and neither can be set back by hand.
struct digest_entry {
    file_digest digest;
    uint64_t inode = 0;
    int64_t changed_ns = 0;
};

bool file_stamp(const fs::path& path, uint64_t* size, digest_entry* stamp)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    *size = static_cast<uint64_t>(info.st_size);
    stamp->inode = static_cast<uint64_t>(info.st_ino);
    stamp->changed_ns = static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    return true;
}

std::map<std::string, digest_entry> read_digests(const fs::path& dir)
{
    std::map<std::string, digest_entry> entries;
    std::ifstream in(dir / backup_digests_name);
    std::string name;
    digest_entry e;
    while (in >> name >> e.digest.size >> e.inode >> e.changed_ns >> std::hex >> e.digest.hash >> std::dec)
        entries[name] = e;
    return entries;
}

// The digest of the backup at `path`, if the file is still the one it was taken of.
std::optional<file_digest> known_digest(const std::map<std::string, digest_entry>& entries, const backup_file& b)
{
    const auto at = entries.find(b.name);
    uint64_t size = 0;
    digest_entry now;
    if (at == entries.end() || !file_stamp(b.path, &size, &now) || size != at->second.digest.size
        || now.inode != at->second.inode || now.changed_ns != at->second.changed_ns)
        return std::nullopt;
    return at->second.digest;
}

// Records the digest of the backup `name`, keeping only the entries of backups still there.
void record_digest(const fs::path& dir, const std::string& name, const file_digest& digest)
{
    std::map<std::string, digest_entry> entries = read_digests(dir);
    digest_entry e{digest, 0, 0};
    uint64_t size = 0;
    if (!file_stamp(dir / name, &size, &e) || size != digest.size)
        return;
    entries[name] = e;
    std::error_code error;
    atomic_file out((dir / backup_digests_name).string());
    if (!out.stream())
        return;  // only a cache: the next comparison reads the files
    for (const auto& [entry_name, entry] : entries)
        if (fs::exists(dir / entry_name, error))
            std::fprintf(out.stream(), "%s %llu %llu %lld %016llx\n", entry_name.c_str(),
                static_cast<unsigned long long>(entry.digest.size), static_cast<unsigned long long>(entry.inode),
                static_cast<long long>(entry.changed_ns), static_cast<unsigned long long>(entry.digest.hash));
    out.commit();
}

constexpr size_t dated_length = 28;  // elements-YYYYMMDD-HHMMSS.bin
constexpr size_t date_end = 24;  // where the date ends and a "-N" for a second copy in one second may follow

// elements-YYYYMMDD-HHMMSS.bin, or elements-YYYYMMDD-HHMMSS-N.bin for a later copy of the same second.
bool is_backup_name(const std::string& name)
{
    if (name.size() < dated_length || !name.starts_with("elements-") || !name.ends_with(".bin"))
        return false;
    if (name.size() == dated_length)
        return true;
    if (name[date_end] != '-' || name.size() > dated_length + 6)
        return false;
    for (size_t i = date_end + 1; i < name.size() - 4; ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

// The number of a later copy in the same second; 0 for the first.
unsigned copy_number(const std::string& name)
{
    return name.size() == dated_length ? 0 : static_cast<unsigned>(std::stoul(name.substr(date_end + 1)));
}

bool older(const std::string& a, const std::string& b)
{
    const int dates = a.compare(0, date_end, b, 0, date_end);
    return dates != 0 ? dates < 0 : copy_number(a) < copy_number(b);
}

std::set<std::string> protected_names(const fs::path& dir)
{
    std::set<std::string> names;
    std::ifstream in(dir / protected_backups_name);
    std::string line;
    while (std::getline(in, line))
        if (is_backup_name(line))
            names.insert(line);
    return names;
}

// Backup names sort by date: oldest first.
std::vector<backup_file> existing_backups(const fs::path& dir)
{
    const std::set<std::string> kept = protected_names(dir);
    std::vector<backup_file> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(error) || !is_backup_name(name))
            continue;
        backup_file b;
        b.path = entry.path().string();
        b.name = name;
        b.size = entry.file_size(error);
        b.is_protected = kept.count(name) != 0;
        found.push_back(std::move(b));
    }
    std::sort(found.begin(), found.end(), [](const backup_file& a, const backup_file& b) { return older(a.name, b.name); });
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

backup_result keep_backup(const std::string& bin_path, const file_digest* written)
{
    const fs::path dir = fs::path(bin_path).parent_path() / backups_folder;
    std::error_code error;
    fs::create_directory(dir, error);
    if (error) {
        write_log("WARNING: cannot create the backup folder \"%s\": %s\n", dir.c_str(), error.message().c_str());
        return {error, dir.string()};
    }
    std::vector<backup_file> backups = existing_backups(dir);
    if (!backups.empty()) {
        const backup_file& newest = backups.back();
        const std::optional<file_digest> known = written ? known_digest(read_digests(dir), newest) : std::nullopt;
        if (known ? *known == *written : same_contents(bin_path, newest.path)) {
            if (written && !known)
                record_digest(dir, newest.name, *written);  // compared once, known from now on
            return {};  // nothing changed since the newest copy
        }
    }

    // Never over an earlier copy made in the same second (a restore and a close, say).
    const std::string name = dated_name();
    fs::path target = dir / name;
    for (unsigned n = 2; fs::exists(target, error) && n < 1000; ++n)
        target = dir / (name.substr(0, date_end) + "-" + std::to_string(n) + ".bin");
    // A copy of its own: a second name of elements.bin would turn into whatever is copied over it.
    if (const std::error_code failure = copy_file_durable(bin_path, target.string())) {
        write_log("WARNING: cannot write the backup \"%s\": %s\n", target.c_str(), failure.message().c_str());
        return {failure, target.string()};
    }
    if (written)
        record_digest(dir, target.filename().string(), *written);
    backups = existing_backups(dir);
    size_t unprotected = 0;
    for (const backup_file& b : backups)
        unprotected += !b.is_protected;
    for (const backup_file& b : backups) {
        if (unprotected <= backups_kept)
            break;
        if (b.is_protected)
            continue;
        fs::remove(b.path, error);
        --unprotected;
    }
    return {};
}

std::vector<backup_file> list_backups(const std::string& data_dir)
{
    std::vector<backup_file> backups = existing_backups(fs::path(data_dir) / backups_folder);
    std::reverse(backups.begin(), backups.end());
    return backups;
}

void protect_newest_backup(const std::string& data_dir)
{
    const fs::path dir = fs::path(data_dir) / backups_folder;
    const std::vector<backup_file> backups = existing_backups(dir);
    if (backups.empty())
        return;
    const std::string newest = backups.back().name;
    std::set<std::string> names = protected_names(dir);
    if (names.insert(newest).second) {
        atomic_file out((dir / protected_backups_name).string());
        if (out.stream()) {
            for (const std::string& name : names)
                std::fprintf(out.stream(), "%s\n", name.c_str());
        }
        if (!out.stream() || !out.commit())
            write_log("WARNING: cannot mark the backup \"%s\" to be kept\n", newest.c_str());
    }
}
