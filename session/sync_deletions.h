#pragma once
// Category deletions that end the same on every computer. A deletion is remembered with its
// version (in sync.state and the snapshots): a category at or under a deleted path goes once it
// holds no item and nothing at or under it was made by a later change, whether the deletion or
// the making arrived first.
#include "session/sync.h"

// Removes the categories that the remembered deletions leave no reason to keep; their
// renumberings go into `s`.
void drop_deleted_categories(sync_summary& s);
