#pragma once
// The review and add-item screens that live inside the main window.
#include <cstdint>
#include <vector>

#include "database/database.h"
#include "session/review_pass.h"
#include "ui/box_texts.h"

class QKeyEvent;

void start_review_screen(screen_mode mode);
// The screen of `mode` on the chosen categories (indexes ended by filter_end) without asking;
// false when none of them has an item for it.
bool start_review_screen_in(screen_mode mode, std::vector<int32_t> selection);
void start_add_screen();
void reveal_answer();
void grade_or_add(int grade);
void skip_item();
void delete_shown_item();
// Takes back the latest grade of the session and shows its item again, on its own screen.
void undo_grade();
// After the browser changed the item on screen: the next item when it was deleted, else the same
// item shown again from its record.
void show_again_after_browsing(bool shown_item_removed);
// Writes back the item on screen, whichever kind it is.
void write_back_shown_item();

// Ctrl+Return and Ctrl+0..Ctrl+5, which act even from a box being edited: Ctrl+Return reveals
// (on the add screen: adds with the last grade used), Ctrl+digit grades or adds. True when the
// key was one of them in a screen that uses it.
bool control_key(const QKeyEvent* event);
// Plays the sounds of the side shown again: the answer's once it is revealed and has any.
void replay_sounds();
