#pragma once
// Saving the open database: elements.bin, queue.txt and weights.bin replaced together, then a
// dated backup; saving a copy into another folder; restoring a backup.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "database/binfile.h"
#include "database/database.h"
#include "session/save_problem.h"

// How a save went; the values are the codes the program always reported.
enum class save_status : int {
    done = 0,  // every file written
    not_written = 1,  // nothing on disk changed
    backup_failed = 3,  // saved, but the backup was not written
    target_holds_database = 4,  // the other folder already holds a database: nothing written
};

struct [[nodiscard]] save_result {
    save_status status = save_status::done;  // how it went
    save_problem problem;  // the file that failed and why: the save's, or else the backup's
    bool operator==(save_status s) const { return status == s; }
};

// Rewrites the queue file and elements.bin (and weights.bin when `with_weights`) in the data
// directory as one commit, then keeps a backup unless told not to.
// `written`, when given, receives the digest of the elements.bin written.
save_result save_database(bool with_weights = false, bool with_backup = true, file_digest* written = nullptr);

// Another file of the data directory that must change in the same commit as the database.
struct extra_file {
    std::string name;  // its name in the data directory
    std::function<bool(FILE*)> write;  // writes its new contents; false when that failed
};
// Saves as save_database does, without the weights or a backup, with `extra` in the same commit.
save_result save_database_with(const extra_file& extra);

// Saves the database, the queue, the weights and the training cases into `dir` (ends with '/'),
// which must not hold a database already. The open database stays as it is.
save_result save_database_copy(const std::string& dir);

// How a restore went; the values are the codes the program always reported.
enum class restore_status : int {
    done = 0,  // the backup is the open database now
    not_open = 1,  // no database is open
    not_readable = 2,  // the backup is not a database that can be read
    current_not_saved = 3,  // the current state could not be saved and kept first
    not_written = 4,  // elements.bin could not be replaced; the current state stays
};

struct [[nodiscard]] restore_result {
    restore_status status = restore_status::done;  // how it went
    save_problem problem;  // what could not be written and why (current_not_saved, not_written)
    bool operator==(restore_status s) const { return status == s; }
};

// Saves the current state (kept as a backup, unless it holds no item), puts a copy of the
// backup at `backup_path` in place of elements.bin and loads it; the queue stays as it is.
restore_result restore_backup(const std::string& backup_path);

// For a session whose save failed: writes the database alone to elements.rescue-<date>.bin in
// the first of `dirs` that takes it. The path written, or empty when none took it.
std::string save_rescue_copy(const std::vector<std::string>& dirs);
// Once the state a rescue copy held is saved, the copy would only mislead: it is removed (a
// failure is logged). Rescue copies of other sessions are never touched.
void remove_rescue_copy(const std::string& path);
