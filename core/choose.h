#pragma once
// Day numbers and choosing the next item to show.
#include <cstdint>

#include "core/database.h"

uint16_t day_number(uint32_t t);
item* choose_next_item(category_filter filter, int mode);
pending_item* choose_pending_item(category_filter filter, int random);
unsigned count_due(uint16_t days_ahead, category_filter filter);
