#pragma once
// What an import may leave behind when the process is killed, named so that the next start
// finds it and removes it: scratch folders, media files under temporary names, and media files
// copied for items that no save took in.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/lifecycle.h"

// An import's scratch folder is "cardwright-import-<pid>-XXXXXX", so that a start removes only
// this program's folders, and only those of processes that are gone.
constexpr char scratch_prefix[] = "cardwright-import-";
// Media files are unpacked into media/ as ".import-<pid>-<n>" and renamed once complete.
constexpr char media_temporary_prefix[] = ".import-";
// In media/: the names the imports since the last start gave files there, one a line, written
// and synced before the files get those names.
constexpr char media_journal_name[] = "import.journal";

// A folder of its own under `parent`, removed with what it holds.
class scratch_dir {
public:
    explicit scratch_dir(const std::string& parent);
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    // Ends with '/'; empty when the folder could not be made (errno says why).
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// $TMPDIR, else /tmp, ending with '/'.
std::string temporary_folder();
// Bytes that can still be written in the folder's file system, or UINT64_MAX when unknown.
uint64_t free_bytes(const std::string& folder);
// The n-th temporary name of this process in media/.
std::string media_temporary_name(size_t n);
// Adds `names` to the journal of `media_folder` and syncs it; false with errno on failure.
bool journal_media_names(const std::string& media_folder, const std::vector<std::string>& names);

// What a start removed.
struct leftovers_removed {
    size_t scratch_folders = 0;  // in the temporary folder and the data directory
    size_t media_files = 0;  // temporaries, and journaled files that no item names
};
// Called once at start, right after ma_init with its result. Media named in the journal are
// removed only when the database was read whole (or is new with nothing refused or rescued
// beside it), so that no file an unread database names is lost.
leftovers_removed remove_import_leftovers(init_status init_result);
