#pragma once
// Adding items and applying grades.
#include <cstdint>
#include <string>

#include "database/database.h"

// Grades from this one up mean the item was recalled: its next interval is at least a day.
constexpr uint16_t lowest_passing_grade = 3;

// A failed item comes back the same day, until it has failed this often in one day: then it
// waits for the next day.
constexpr uint16_t failures_before_rest = 4;

// Whether the grade just given to `e` rests it until another day: a failure that is the item's
// failures_before_rest-th of today or later.
bool rests_after(const item& e, uint16_t grade);
// At the opening of a data directory: each item's failures of today, as the standing grades at
// the end of the review log at `log_path` give them, so that a restart does not count afresh.
void count_todays_failures(const std::string& log_path);

// A new item with its first interval from the network (at least a day for a pass), in its place
// in the scheduled list.
item* create_item(uint16_t grade, const char* question, const char* answer, uint16_t ctgr);
// Schedules a pending item and removes it from the pending list.
item* introduce_pending(uint16_t grade, pending_item* pending);
// Days since the item's last grade or its making, as of today (modulo 65,536).
uint16_t elapsed_days(const item* e);
// Teaches the network from the grade and moves the item to its next review; the new interval,
// held to the user's measured retention (session/retention_control.h) and never below what a
// pass proves (grade 4: the elapsed days, grade 5: more, grade 3: a day); a failure at least a
// day once the item has failed failures_before_rest times today.
uint16_t grade_item(item* e, uint16_t grade);
void apply_interval(item* e, uint16_t interval, uint16_t grade);
