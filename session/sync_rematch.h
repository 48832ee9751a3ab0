#pragma once
// Records edited in a session without the sync folder no longer match the texts sync.state
// saved for them; given an identity anew, each would arrive elsewhere as a second item.
#include <vector>

#include "formats/change_log.h"

// Binds such records to the identities the folder's records give them, where exactly one record
// and one saved identity fit, and returns the identities taken back: their texts are to go out
// as an edit. An item is known by its id; a queue item, which has none, by a text it kept or,
// failing that, by being the only one of its category on both sides.
std::vector<item_key> match_edited_records();
