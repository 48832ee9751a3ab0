#pragma once
// Records edited in a session without the sync folder no longer match the texts sync.state
// saved for them; given an identity anew, each would arrive elsewhere as a second item.
#include <vector>

#include "formats/change_log.h"

struct rematched {
    std::vector<item_key> edited;  // identities taken back: the texts go out as an edit
    // Queue items graded meanwhile, items now: the introduction goes out first (and those among
    // them whose texts changed are among `edited` too).
    std::vector<item_key> introduced;
};

// Binds such records to the identities the folder's records give them, where exactly one record
// and one saved identity fit. An item is known by its id; a queue item, which has none, by a text
// it kept or, failing that, by being the only one of its category on both sides; one introduced
// meanwhile by a text it kept.
rematched match_edited_records();
