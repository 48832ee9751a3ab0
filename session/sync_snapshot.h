#pragma once
// The snapshots of a sync folder: a computer that joins starts from the newest one, each
// computer writes its own at its close, and trims the head of its own log once every
// computer's snapshot holds it.
#include <cstdint>
#include <functional>

#include "session/sync.h"

// How old a record must be, besides being held by every computer's snapshot, before its
// computer trims it: a computer that joined from a snapshot meanwhile has this long for its
// own snapshot to arrive and be counted.
inline constexpr uint64_t trim_age_ms = 14ULL * 86400 * 1000;

// The last record of this computer's that a snapshot in the folder holds: the others took the
// records up to it as applied, whatever its log in the folder holds now.
uint64_t own_records_held_elsewhere();

// At the opening, once sync.state is read: a computer that has applied nothing from the
// folder yet starts from the newest snapshot (`s.joined_from` names its writer), and the
// positions are noted, so that a snapshot is written only after a change. `own_lost`: records
// of this computer's that the others hold are neither in its log nor in its database (the folder
// came back from an older backup after a crash here), so it starts again from a snapshot too.
void start_from_snapshot(sync_summary& s, bool own_lost);

// Which days of a record count for the first day it needs.
enum class days_of_record {
    with_making,  // also its item's making: a joining database then holds that item's later days too
    set,  // only the days it sets, a schedule's and a grade's
};
// The earliest day (since 1970) of those of a record; `before` when none is earlier.
uint16_t earliest_day_of(const change_record& r, uint16_t before, days_of_record days);
// Moves the open database's first day back to calendar day `day` (since 1970) where it begins
// later, keeping every item's and logged grade's date, and saves at once; where that cannot be
// saved it stays as it was.
void begin_by(uint16_t day);

// Calls `take` with every whole record of the folder's logs (this computer's among them) and,
// for every item of its whole snapshots, the record that would make it.
void each_record_in_folder(const std::function<void(const change_record&)>& take);

// Writes this computer's snapshot of the open database when it changed since the last one,
// then trims this computer's log. Called at the close after the save, and after a join.
void save_sync_snapshot();
