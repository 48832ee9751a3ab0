#pragma once
// Holds the intervals the grading applies to the retention the user really shows at review. Five
// figures move with every due review, each a little towards what keeps about nine in ten reviews
// recalled (the growth factor a little fewer, the young share more at first): a growth factor
// that raises the least interval of a grade 4 or 5 above the days that elapsed (it rises while
// more than that is recalled and falls back when less is), the share of the network's answer
// kept after a same-day repeat of a failed item (it falls while such items are forgotten at
// their next review more often than that), the share kept while an item is young, where the
// network's answers are the given ones and not yet the user's, the share (at least all) of the
// network's answer kept after a hard recall (grade 3): for some users a 3 holds as long as any
// recall, and their 3s are then reviewed far too early; and a guard, the share (at most all)
// kept of any pass past an item's youth, which falls only while far fewer of them are recalled
// than that (least_held_retention). All come from the user's own outcomes, not from any model
// of memory, so they aim at a retention for every learner; the network's answers and what it is
// taught stay as they are.
#include <cstdint>
#include <string>
#include <vector>

#include "database/database.h"
#include "session/review_log.h"

// The share of due reviews recalled that the figures aim at.
constexpr double target_retention = 0.9;
// The growth factor aims a little lower: a review at lower recall grows memory more, and over the
// simulator's learners this took reviews from those with the least room under SM-2 without giving
// the others more than SM-2 needs (tools/SIMULATION_REPORT.md).
constexpr double growth_target_retention = 0.88;
// A guard below the aims above: when fewer than this share of the items a pass scheduled are
// recalled when they come due, the network's answers are longer than this user's memory holds
// (a user who forgets much faster than the built-in answers assume, before the network has
// learnt it), and the intervals of passes are shortened until that many are. It is the least a
// schedule must keep; aiming at 0.84 cost the learners with the least room under SM-2 (the
// simulator's FSRS-6 learners, who keep about 0.86 of their passes) reviews.
constexpr double least_held_retention = 0.82;
// While a new user's first young items come due, the share kept while young knows little of
// them, and the given answer it scales may be far from their memory: it aims this much higher
// at first, the margin falling by a factor of e for every `young_settling` of their due reviews.
constexpr double young_early_margin = 0.05;
constexpr double young_settling = 1000;
// Bounds of the growth factor and of the shares kept after a repeat, while young, after a 3 and
// of a pass.
constexpr double most_growth = 3.0;
constexpr double least_repeat_share = 0.125;
constexpr double most_young_share = 2.0;
// An item is young while it has fewer repetitions than this: its interval is then the network's
// given answer for a new item, the same for every user, which may suit this one's memory or not.
constexpr uint16_t young_repetitions = 1;

// What set an item's interval: a grade of an item with its repetitions, a passed same-day repeat
// of a failure, a grade while the item was young, or a grade 3 of an item past its youth.
enum class interval_origin { grade, repeat, young, hard };

// A fold over the standing due reviews, in the order they were given.
struct retention_control {
    float growth_log = 0;  // natural log of the growth factor, 0 .. log(most_growth)
    float repeat_log = 0;  // natural log of the share kept after a repeat, log(least_repeat_share) .. 0
    float young_log = 0;  // natural log of the share kept while young, log(least_repeat_share) .. log(most_young_share)
    float hard_log = 0;   // natural log of the share kept after a 3, 0 .. log(most_young_share)
    float guard_log = 0;   // natural log of the share kept of a pass past youth, log(least_repeat_share) .. 0
    uint32_t young_due = 0;  // young items' due reviews noted so far, which settle the young share's aim
    bool operator==(const retention_control&) const = default;
};

// The figures the open database's grading uses.
retention_control& retention_control_state();

// The share of a pass's interval the guard keeps now; 1 while it is not acting.
double guard_share(const retention_control& c);
// Whether the guard cuts passes enough for the user to be told why they come back sooner.
bool guard_worth_telling(const retention_control& c);

// Moves the figures by one due review's grade; `origin` is what set the interval that ran out,
// `elapsed` the days since the grade that set that `interval`. A review long after its day says
// more about the time away than about the interval: the guard leaves it out.
void note_due_review(retention_control& c, uint16_t grade, interval_origin origin, uint16_t elapsed, uint16_t interval);

// What a grade sets the interval as: `repeat` when it passes a same-day repeat of a failure,
// `rp_after` the item's repetitions after it.
interval_origin origin_of_grade(bool repeat, uint16_t rp_after, uint16_t grade);
// What set the item's standing interval.
interval_origin origin_of(const item& e);

// The interval to apply for `grade` given the one chosen so far, `origin` being what this grade
// is. A grade below 3 keeps its interval.
uint16_t controlled_interval(const retention_control& c, uint16_t interval, uint16_t elapsed, uint16_t grade,
    interval_origin origin);

// The figures the standing grades of a log give (undone ones removed), in file order.
retention_control retention_control_of(const std::vector<review_record>& standing);
// The same figures in two passes over the file (at most its first `records` records): back from
// its end to find the undone grades, then forward folding the rest; memory grows with the undos
// and the items, not the records.
retention_control read_retention_control(const std::string& log_path, uint64_t records = UINT64_MAX);

// At the opening of a data directory: the figures its review log gives, taken from where its
// last closing kept them when the log is still the size it was then; else the log is folded
// beside the start, and the first use of the figures waits for what is left of it.
void open_retention_control(const std::string& log_path);
// At its closing: keeps the figures beside the log, with the log's size.
void close_retention_control(const std::string& log_path);
