#pragma once
// The due-day index of the scheduled list (database.h, due_day_index): kept by lists.cpp at
// every link and unlink.
#include <cstdint>

#include "database/database.h"

// e was just linked into the list between its prev and next.
void due_days_linked(item* e);
// e, due on `day`, was just unlinked from between `before` and `after`.
void due_days_unlinked(item* e, item* before, item* after);
// The list was emptied.
void due_days_cleared();
// The last item of the list due on or before `day`, or none; only while the index is valid.
item* due_days_last_at_or_before(uint16_t day);
