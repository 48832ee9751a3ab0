#pragma once
// Applying change records to the open database, whoever wrote them.
#include "session/sync.h"

// This computer's own records that the saved database does not hold (the session that wrote
// them ended without a save): applied as if they came from elsewhere.
void apply_own_leftovers(sync_summary& s);
// Applies a record of `writer`'s that a snapshot stands for, without counting it as arrived.
void apply_snapshot_record(const change_record& r, uint64_t writer);
