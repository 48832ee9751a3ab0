#pragma once
// Choosing the next item to show.
#include <cstdint>

#include "database/database.h"
#include "database/days.h"

// mode 0: among the items due today; mode > 0: among all items; mode < 0: clears the recently
// chosen items and returns the head of the scheduled list.
item* choose_next_item(category_filter filter, int mode);
// The first pending item of the filter's categories, or a random one when `random` is not 0.
pending_item* choose_pending_item(category_filter filter, int random);
// Scheduled items of the filter's categories due on or before today + days_ahead.
uint32_t count_due(int days_ahead, category_filter filter);
