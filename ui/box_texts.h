#pragma once
// What the two boxes of the review and add screens hold: a stored text shown without its tags
// and media, what the user typed into it, and writing that back to the item on screen.
#include <QString>

#include <cstddef>
#include <string_view>

#include "database/database.h"

class QWidget;

// Shows a stored text in its box; its media are set aside and its sounds start. A text too
// long for the screen is neither shown nor rewritten later.
void show_stored_question(std::string_view stored);
void show_stored_answer(std::string_view stored);
// Empties the answer box for an item whose answer is not revealed yet.
void clear_answer();
// Takes what was typed into both boxes; false, with the text left in its box, when one is too long.
bool take_edits();
// Forgets that the boxes are being edited; what was typed is not taken.
void drop_edits();
// Moves the focus out of the boxes into the window.
void leave_boxes();
void tell_too_long(QWidget* owner, const QString& what, size_t length, const QString& consequence);

void write_back_item(item* e);
void write_back_item(pending_item* p);
void clear_box_pictures();

// The question's box (else the answer's) got or lost the focus.
void box_focus_gained(bool question);
void box_focus_lost(bool question);
