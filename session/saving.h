#pragma once
// Saving the open database: elements.bin, queue.txt and weights.bin replaced together, then a
// dated backup; saving a copy into another folder; restoring a backup.
#include <string>
#include <vector>

#include "database/binfile.h"

enum : int {
    SAVE_DONE = 0,
    SAVE_NOT_WRITTEN = 1,  // nothing on disk changed; db().save_problem says why
    SAVE_BACKUP_FAILED = 3,  // saved, but the backup was not written; db().backup_problem says why
    SAVE_TARGET_HOLDS_DATABASE = 4,  // the other folder already holds a database: nothing written
};

// Rewrites the queue file and elements.bin (and weights.bin when `with_weights`) in the data
// directory as one commit, then keeps a backup unless told not to.
// `written`, when given, receives the digest of the elements.bin written.
int save_database(bool with_weights = false, bool with_backup = true, file_digest* written = nullptr);

// Saves the database, the queue, the weights and the training cases into `dir` (ends with '/'),
// which must not hold a database already. The open database stays as it is.
int save_database_copy(const std::string& dir);

enum : int {
    RESTORE_DONE = 0,
    RESTORE_NOT_OPEN = 1,  // no database is open
    RESTORE_NOT_READABLE = 2,  // the backup is not a database that can be read
    RESTORE_CURRENT_NOT_SAVED = 3,  // the current state could not be saved and kept first
    RESTORE_NOT_WRITTEN = 4,  // elements.bin could not be replaced; the current state stays
};

// Saves the current state (kept as a backup, unless it holds no item), puts a copy of the
// backup at `backup_path` in place of elements.bin and loads it; the queue stays as it is.
int restore_backup(const std::string& backup_path);

// For a session whose save failed: writes the database alone to elements.rescue-<date>.bin in
// the first of `dirs` that takes it. The path written, or empty when none took it.
std::string save_rescue_copy(const std::vector<std::string>& dirs);
