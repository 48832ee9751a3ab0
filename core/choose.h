#pragma once
// Day numbers and choosing the next item to show.
#include "core/database.h"

item* choose_next_item(category_filter filter, int mode);
