#pragma once
// Day numbers and choosing the next item to show.
#include <cstdint>

#include "core/database.h"

uint16_t day_number(uint32_t t);
item* choose_next_item(category_filter filter, int mode);
