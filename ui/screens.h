#pragma once
// The review and add-item screens that live inside the main window.
#include <cstdint>

#include "database/database.h"

void start_review_screen(int32_t mode);
void start_add_screen();
void reveal_answer();
void grade_or_add(int grade);
void skip_item();
void delete_shown_item();
void write_back_item(item* e);
void write_back_item(pending_item* p);
// Writes back the item on screen, whichever kind it is.
void write_back_shown_item();

void question_focus_gained();
void question_focus_lost();
void answer_focus_gained();
void answer_focus_lost();
