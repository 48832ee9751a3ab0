#pragma once
// What a session without the sync folder changed and did not record, found at the next start
// from what sync.state held: records whose texts were edited no longer match the texts saved for
// them, and given an identity anew each would arrive elsewhere as a second item; schedules and
// categories changed there would stay apart from the other computers' for good.
#include <vector>

#include "formats/change_log.h"
#include "session/sync_state.h"

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

// A schedule or a category changed in a session without the sync folder: what sync.state held
// of it differs. Each stands for what the others never heard of.
struct offline_change {
    item_key item;  // the item or queue item
    bool schedule = false;  // its schedule changed (a grade, a forget, made due)
    bool place = false;  // its category changed
    // The versions sync.state held: a change from elsewhere that the start applies after them
    // sets the field again, and stands.
    field_version schedule_set;  // of its schedule
    field_version place_set;  // of its category
};

// Takes the changes from what sync.state held; call after match_edited_records, before applying.
std::vector<offline_change> changes_made_offline();
// Records them as changes made now, each field unless the start applied a change to it since.
void record_offline_changes(const std::vector<offline_change>& changes);
