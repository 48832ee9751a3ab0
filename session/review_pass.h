#pragma once
// A pass through the reviews, as the window runs it: which screen is up, which item it shows,
// what comes after a grade, a skip or a deletion, and the undo of the latest grade. The window
// shows what the pass holds and writes the boxes' edits back before it moves on.
#include <cstdint>
#include <optional>
#include <vector>

#include "database/database.h"
#include "session/undo.h"

// The screens of the main window; the values are the screen modes the program always used.
enum class screen_mode : int32_t {
    main = 0,  // the status text and the four main buttons
    scheduled = 1,  // the reviews due today
    queue = 2,  // introducing items from the queue
    add = 3,  // typing in new items
    forced = 4,  // reviews of any item, due or not
};

// What the screen shows after a step of the pass.
enum class pass_step {
    unchanged,  // nothing was on screen to act on; the screen stays as it is
    shown,  // an item is on screen: current_item() or current_pending()
    no_more_scheduled,  // the pass ended: "No more scheduled reviews."
    no_more_queued,  // the pass ended: "No more items in queue."
    no_more_items,  // a forced pass ended: "No more items."
};

class review_pass {
public:
    screen_mode mode() const { return mode_; }
    // Scheduled, queue or forced reviews: an item is on screen.
    bool reviewing() const;
    item* current_item() const { return item_; }
    pending_item* current_pending() const { return pending_; }

    // The item on screen is about to be freed by someone else (the browser deletes it).
    void drop_shown();

    // The categories chosen for the pass (none: every category), as indexes ended by filter_end.
    const std::optional<std::vector<int32_t>>& selection() const { return selection_; }
    void select_categories(std::optional<std::vector<int32_t>> selection);
    // The filter of the chosen categories, or null for every category.
    category_filter filter() const;

    // Enters the screen of `mode` with its first item; with no item to show the screen stays
    // the main one and this is false. `random_queue` picks queue items at random.
    [[nodiscard]] bool start(screen_mode mode, bool random_queue);
    // The add screen, which shows no stored item.
    void start_adding();
    // Back to the main screen, letting go of the item shown.
    void stop();

    // Grades the item on screen (logged, undoable) and shows the next one.
    [[nodiscard]] pass_step grade(uint16_t grade);
    // Whether the latest grade sent a failed item to another day, as it had failed
    // failures_before_rest times today.
    bool rested() const { return rested_; }
    // Another item than the one on screen, chosen up to seven times, or the end of the pass.
    [[nodiscard]] pass_step skip();
    // Deletes the item on screen and shows the next one. The caller drops the undo steps first.
    [[nodiscard]] pass_step remove_shown();
    // After the browser: the next item when the one shown was deleted there, else the same.
    [[nodiscard]] pass_step after_browsing(bool shown_removed);
    // Takes back the latest grade and shows its item again on the screen that graded it.
    [[nodiscard]] undo_result undo();

private:
    pass_step next_scheduled(bool any_item);
    pass_step next_pending();
    pass_step end(pass_step why);

    screen_mode mode_ = screen_mode::main;  // the screen up now
    item* item_ = nullptr;  // the scheduled item on screen (scheduled and forced reviews)
    pending_item* pending_ = nullptr;  // the queue item on screen
    std::optional<std::vector<int32_t>> selection_;  // chosen category indexes ended by filter_end
    bool random_queue_ = false;  // queue items are picked at random
    bool rested_ = false;  // the latest grade sent its failed item to another day
};
