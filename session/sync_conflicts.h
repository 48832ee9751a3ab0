#pragma once
// The edits that lost a conflict (an earlier edit of an item's texts made elsewhere that arrived
// after a later one): kept with the item, for the browser to show and to take instead.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "session/browse.h"

struct lost_texts {
    std::string question;  // the texts of the edit that lost
    std::string answer;
};

// The losing edit of an item or queue item record, or none.
std::optional<lost_texts> lost_edit_of(const void* record);
// The items and queue items that have a losing edit.
std::vector<browse_row> records_with_lost_edits();
// Makes the losing texts the item's own, as an edit made here now (so that it wins on every
// computer), and forgets them; false when the record has none.
bool take_lost_edit(const void* record);
