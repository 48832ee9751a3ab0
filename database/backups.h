#pragma once
// Dated copies of elements.bin in the data directory's backups/ folder.
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "database/binfile.h"

constexpr int backups_kept = 10;
constexpr char backups_folder[] = "backups";
// Names of backups that rotation never removes: the newest one made before a refused database.
constexpr char protected_backups_name[] = "protected.txt";

struct backup_file {
    std::string path;  // the backup's full path
    std::string name;  // elements-YYYYMMDD-HHMMSS.bin
    uint64_t size = 0;  // bytes
    bool is_protected = false;  // kept through rotation
};

// Digests of the backups made, each with the size and time of the file it was made for, so that
// a backup changed or replaced since is compared byte by byte again.
constexpr char backup_digests_name[] = "digests.txt";

// After a successful save: copies `bin_path` to backups/elements-YYYYMMDD-HHMMSS.bin (local
// time) when it differs from the newest copy there, then removes the oldest unprotected copies
// beyond ten. `written`, the digest of the file as the save wrote it, spares reading both files
// to compare them. A failure never undoes the save.
struct [[nodiscard]] backup_result {
    std::error_code error;  // empty when the backup is kept or none was needed
    std::string failed_path;  // the folder or file that could not be written
};
backup_result keep_backup(const std::string& bin_path, const file_digest* written = nullptr);

// The backups in `data_dir` (ends with '/'), newest first.
std::vector<backup_file> list_backups(const std::string& data_dir);

// Marks the newest backup as one that rotation must keep; for a database that was refused, so
// that the sessions after it cannot rotate the last good copy away.
void protect_newest_backup(const std::string& data_dir);
