#pragma once
// Where item records and the texts read from elements.bin live: records in chunks of many, with
// a list of freed records to make new ones from, and texts where the file is mapped, or side by
// side in large blocks where it was read in pieces. All go back to the system at once when the
// last item is freed, so that a database of a million items is a few large blocks instead of
// three million small ones.
#include <cstddef>
#include <string_view>

// A copy of `text` with a zero after it, in the current text block; "" for an empty text.
const char* store_item_text(std::string_view text);
// Keeps `size` bytes mapped with map_file at `data`, to which texts refer, until the last item
// is freed; they are unmapped then.
void keep_text_mapping(const unsigned char* data, size_t size);
// Items that exist now, in the list or not.
size_t live_item_count();
