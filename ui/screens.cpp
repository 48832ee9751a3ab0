#include "ui/screens.h"

#include "ui/window_state.h"

// The review and add-item screens arrive with their own change; until then their commands
// reach these and nothing happens, so the main screen stays as it was.

void start_review_screen(int32_t mode)
{
    ui().screen_mode = mode;
    ui().screen_mode = mode_main;
}

void start_add_screen() {}
void reveal_answer() {}
void grade_or_add(int) {}
void skip_item() {}
void delete_shown_item() {}
void write_back_item(item*) {}
void write_back_item(pending_item*) {}

void write_back_shown_item()
{
    window_state& w = ui();
    if (w.screen_mode == mode_scheduled || w.screen_mode == mode_forced)
        write_back_item(w.current_item);
    else if (w.screen_mode == mode_queue)
        write_back_item(w.current_pending);
}

void question_focus_gained() {}
void question_focus_lost() {}
void answer_focus_gained() {}
void answer_focus_lost() {}
