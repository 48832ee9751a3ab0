#include "core/choose.h"

// Day numbers and choosing arrive with their own change.
uint16_t day_number(uint32_t) { return 0; }
item* choose_next_item(category_filter, int) { return db().head; }
