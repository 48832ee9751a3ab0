#pragma once
// Moving an open database's first day back. Its days count up from the first, unsigned: a day
// from another computer's older collection, before the first, would read as far ahead, and an
// item due then as due never.
#include <cstdint>

enum class first_day_move {
    moved,  // the items' days, reviews.log's and the first day were saved together
    not_saved,  // the files could not be written; the database is as it was
};

// What reviews.log's days count from while the first day moves back.
enum class logged_days {
    move,  // the first day before the move: they move with the items'
    kept,  // the new first day already (a backup from before a move, restored): they stay
};

// Makes the database begin at `time_of_start`, `days` days before its first day, keeping every
// item's and every logged grade's calendar day, and saves at once: the first day, the items and
// reviews.log are only right together. Undo steps are dropped (none are kept at a start).
first_day_move move_first_day_back(uint32_t time_of_start, uint16_t days, logged_days log = logged_days::move);
