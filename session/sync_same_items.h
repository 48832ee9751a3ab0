#pragma once
// Items and queue items that were here before this computer's records named them, made again by
// a record that arrives: the same collection copied to a second computer before either used the
// folder, or this computer's own records applied again after sync.state was lost. The record
// here takes the arriving identity rather than standing beside a second copy of itself.
#include <cstdint>
#include <string>
#include <vector>

#include "formats/change_log.h"
#include "session/sync_rematch.h"

// Lets the start's applies find the records that have no identity yet (gathered at the first
// making they apply). Call before anything is applied.
void gather_unrecorded();
// The record noted here that `r` (an add_item or queue_add) makes again: an item with its id and
// its question or its answer, or a queue item of category `c` with its question or its answer.
// It is noted no longer; none when nothing fits.
const void* take_unrecorded_match(const change_record& r, uint16_t c);
// The items whose schedule here was set by a later grade than the arriving record's, as
// offline changes for record_offline_changes; forgets every note. Call once the start applied
// everything.
std::vector<offline_change> finish_unrecorded();
// Remembers that `e`, taken for an arriving record, keeps the schedule it has: the others hear
// of it at the end of the start unless a later change from elsewhere sets another.
void note_schedule_kept(const item* e);

// A record here that already has an identity and that `r` makes a second time: one collection
// copied and recorded on two computers before either's records reached the other. Only the same
// id (a queue item: category `c`) and both texts, never a record of `r`'s own computer or one
// that computer's copy already names; of several, the one of the least key, as on every computer.
const void* recorded_copy(const change_record& r, uint16_t c);
// `made` was just made by an arriving record: a second making of it may come in the same apply.
void note_made(const void* made, bool queued);
// `copy` names the item of key `key` from now on.
void note_copy(const item_key& copy, const item_key& key);
// Forgets what the lookups gathered (gather_unrecorded does, for the database just opened).
void forget_copies();
