#pragma once
// Changes made while this computer's log in the sync folder cannot be written (the folder not
// there at the start, or gone in the middle of a session) are kept in the data directory, in
// the log's own record format, and appended to the log, in order and once, when it takes them.
// The kept file is written in the same commit as the database, so that it holds exactly the
// changes the saved database holds and no other.
#include <cstdio>
#include <string>

inline constexpr const char sync_outbox_name[] = "sync.outbox";

// Reads the kept changes of the data directory, leaving out those that `own_log` (the bytes of
// this computer's log; empty when it cannot be read) holds after the records the saved database
// holds: a crash came between their appending and the save that let them go.
void load_kept_changes(const std::string& own_log);
// Appends the kept changes to the log with the stamps they were made with; false when the log
// still does not take them (those it took are gone from the kept ones). `held`: the database
// holds them as applied; else they are applied again with the log's other leftovers.
bool send_kept_changes(bool held);
// Whether the save's commit is to write the kept file: changes are kept, or the file is there
// and has to be emptied before it goes.
bool sync_outbox_in_commit();
bool write_kept_changes(FILE* out);
// After a commit: an emptied kept file goes.
void sync_outbox_committed();
