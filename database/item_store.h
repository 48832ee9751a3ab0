#pragma once
// Where item records and the texts read from elements.bin live: records in chunks of many, with
// a list of freed records to make new ones from, and texts side by side in large blocks or in
// place in a mapping of the file. All go back to the system at once when the last item is
// freed, so that a database of a million items is a few large blocks instead of three million
// small ones.
#include <cstddef>
#include <string_view>

#include "platform/files.h"

// A copy of `text` with a zero after it, in the current text block; "" for an empty text.
const char* store_item_text(std::string_view text);
// Keeps a mapped file until the last item is freed: texts of the items made after this call
// may refer to its bytes. Call it with an item alive, so that freeing that one unmaps the file.
void keep_mapping_for_items(file_mapping mapping);
// Items that exist now, in the list or not.
size_t live_item_count();
