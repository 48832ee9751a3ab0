#pragma once
// Grades as the review screens give them: each is logged in reviews.log and can be undone,
// latest first, back to the start of the session.
#include <cstdint>
#include <string>

#include "database/database.h"
#include "session/review_log.h"

// grade_item for a review screen: logs the grade and keeps what is needed to undo it.
uint16_t grade_reviewed(item* e, uint16_t grade, review_screen screen);
// introduce_pending for the queue screen, logged and undoable.
item* introduce_reviewed(uint16_t grade, pending_item* p);
// create_item for the add screen, logged; adding is not undone here (the item can be deleted).
item* add_reviewed(uint16_t grade, const char* question, const char* answer, uint16_t ctgr);

// The latest grade that can be undone.
struct undo_preview {
    bool available = false;  // whether there is one
    review_screen screen = review_screen::scheduled;  // the screen that gave it
    uint16_t grade = 0;  // the grade given
    std::string question;  // the item's question as it is now
};
undo_preview next_undo();

// What an undo brought back, for the screen to show it again.
struct undo_result {
    bool undone = false;  // false when there was nothing to undo
    review_screen screen = review_screen::scheduled;  // the screen that had given the grade
    item* restored_item = nullptr;  // the item graded again (scheduled and forced reviews)
    pending_item* restored_pending = nullptr;  // the queue item back in the queue
    bool network_restored = true;  // false when user_cases.bin could not be cut back (logged)
};
undo_result undo_last_grade();

// Drops every undo step: called when items are deleted and when the database closes, since a
// step refers to the items as they are in memory.
void forget_undo();
