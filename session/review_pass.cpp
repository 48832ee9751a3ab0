#include "session/sync.h"
#include "session/review_pass.h"

#include "session/choose.h"
#include "session/grading.h"

namespace {

// The screen that gave a grade, as the log names it.
review_screen logged_screen(screen_mode mode)
{
    return mode == screen_mode::forced ? review_screen::forced : review_screen::scheduled;
}

screen_mode mode_of(review_screen screen)
{
    switch (screen) {
    case review_screen::queue: return screen_mode::queue;
    case review_screen::forced: return screen_mode::forced;
    default: return screen_mode::scheduled;
    }
}

// The seven tries of the handheld: a skip gives up when the choice keeps landing on the same item.
constexpr int skip_tries = 7;

}  // namespace

bool review_pass::reviewing() const
{
    return mode_ == screen_mode::scheduled || mode_ == screen_mode::queue || mode_ == screen_mode::forced;
}

void review_pass::drop_shown()
{
    item_ = nullptr;
    pending_ = nullptr;
}

void review_pass::select_categories(std::optional<std::vector<int32_t>> selection)
{
    selection_ = std::move(selection);
}

category_filter review_pass::filter() const
{
    return selection_ && !selection_->empty() ? selection_->data() : nullptr;
}

bool review_pass::start(screen_mode mode, bool random_queue)
{
    random_queue_ = random_queue;
    item_ = nullptr;
    pending_ = nullptr;
    mode_ = mode;
    if (mode == screen_mode::queue)
        pending_ = choose_pending_item(filter(), random_queue_ ? 1 : 0);
    else
        item_ = choose_next_item(filter(), mode == screen_mode::forced ? 1 : 0);
    if (!item_ && !pending_)
        mode_ = screen_mode::main;
    return mode_ != screen_mode::main;
}

void review_pass::start_adding()
{
    item_ = nullptr;
    pending_ = nullptr;
    mode_ = screen_mode::add;
}

void review_pass::stop()
{
    item_ = nullptr;
    pending_ = nullptr;
    mode_ = screen_mode::main;
}

pass_step review_pass::end(pass_step why)
{
    stop();
    return why;
}

pass_step review_pass::next_scheduled(bool any_item)
{
    item_ = choose_next_item(filter(), any_item ? 1 : 0);
    return item_ ? pass_step::shown : end(pass_step::no_more_scheduled);
}

pass_step review_pass::next_pending()
{
    pending_ = choose_pending_item(filter(), random_queue_ ? 1 : 0);
    return pending_ ? pass_step::shown : end(pass_step::no_more_queued);
}

pass_step review_pass::grade(uint16_t grade)
{
    rested_ = false;
    if (mode_ == screen_mode::queue) {
        if (!pending_)
            return pass_step::unchanged;
        pending_item* graded = pending_;
        pending_ = nullptr;
        introduce_reviewed(grade, graded);
        return next_pending();
    }
    if (!reviewing() || !item_)
        return pass_step::unchanged;
    item* graded = item_;
    grade_reviewed(graded, grade, logged_screen(mode_));
    rested_ = rests_after(*graded, grade);
    if (mode_ == screen_mode::scheduled)
        return next_scheduled(false);
    // Every item qualifies here, so the choice falls back on the one just graded when no other
    // is left; showing it again would never end the pass.
    item_ = choose_next_item(filter(), 1);
    return item_ && item_ != graded ? pass_step::shown : end(pass_step::no_more_items);
}

pass_step review_pass::skip()
{
    if (mode_ == screen_mode::queue) {
        for (int attempt = 0; attempt < skip_tries; ++attempt) {
            pending_item* p = choose_pending_item(filter(), random_queue_ ? 1 : 0);
            if (p && p != pending_) {
                pending_ = p;
                return pass_step::shown;
            }
        }
        return end(pass_step::no_more_queued);
    }
    if (!reviewing())
        return pass_step::unchanged;
    for (int attempt = 0; attempt < skip_tries; ++attempt) {
        item* e = choose_next_item(filter(), mode_ == screen_mode::forced ? 1 : 0);
        if (e && e != item_) {
            item_ = e;
            return pass_step::shown;
        }
    }
    return end(pass_step::no_more_scheduled);
}

pass_step review_pass::after_browsing(bool shown_removed)
{
    if (!reviewing())
        return pass_step::unchanged;
    if (!shown_removed)
        return pass_step::shown;
    if (mode_ == screen_mode::queue)
        return next_pending();
    return next_scheduled(mode_ == screen_mode::forced);
}

pass_step review_pass::remove_shown()
{
    if (mode_ == screen_mode::queue && pending_) {
        pending_item* doomed = pending_;
        pending_ = nullptr;
        sync_note_queue_deleted(doomed);
        remove_pending(doomed);
    } else if (reviewing() && item_) {
        item* doomed = item_;
        item_ = nullptr;
        sync_note_deleted(doomed);
        remove_item(doomed);
    }
    return after_browsing(true);
}

undo_result review_pass::undo()
{
    if (mode_ == screen_mode::add || !next_undo().available)
        return {};
    // An undo from the main screen starts a pass of its own, over every category.
    if (!reviewing())
        selection_.reset();
    const undo_result undone = undo_last_grade();
    if (!undone.undone)
        return undone;
    mode_ = mode_of(undone.screen);
    item_ = undone.restored_item;
    pending_ = undone.restored_pending;
    return undone;
}
