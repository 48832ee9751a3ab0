#pragma once
// Applying change records to the open database, whoever wrote them.
#include "session/sync.h"

// This computer's own records that the saved database does not hold (the session that wrote
// them ended without a save): applied as if they came from elsewhere. False when one names an
// item from elsewhere that the database does not hold yet: it and those after it wait.
bool apply_own_leftovers(sync_summary& s);
// Applies a record of `writer`'s that a snapshot stands for, without counting it as arrived.
void apply_snapshot_record(const change_record& r, uint64_t writer);
// What the start applied is saved at once, the database and sync.state in one commit, so that
// a later crash does not make the next start apply it all again.
void save_applied(const sync_summary& s);

// Backups and sync.state: each backup of the database gets the sync.state saved with it
// (backups/elements-<date>.sync), and a restore takes it back with the database, so that the
// records after the backup are applied again, once.
void keep_sync_state_beside_backup();
void take_sync_state_of_backup(const std::string& backup_path);
// Reads sync.state again and applies what the restored database lacks.
void sync_reopen();
