#pragma once
// The simulator's tables and the goals the built-in tables are held to. Every figure of a family
// is the mean over its drawn learners.
#include <string>
#include <vector>

#include "simulation.h"

// Retention at review that the built-in weights alone must keep, for the graded user.
constexpr double builtin_retention_floor = 0.82;
// The first 13 weeks' retention while learning may fall this far below SM-2's.
constexpr double first_quarter_allowance = 0.03;
// The pass/fail user may need at most this many times SM-2's reviews per known item.
constexpr double pass_fail_review_allowance = 1.5;

// The mean of the runs of one family, grader and scheduler over the family's learners.
struct family_summary {
    learner_family family;
    grading_habit habit;
    scheduler_kind scheduler;
    bool reference_tables = false;  // the program's run started from the reference weights
    uint32_t learners = 0;
    double reviews = 0, same_day = 0, repeats_after_pass = 0, retention = 0, first_quarter = 0, known = 0, items = 0,
           reviews_per_known = 0, stuck = 0, seconds = 0;
};
// Runs whose start weights equal `reference` are told apart from the others.
std::vector<family_summary> summarize(const std::vector<simulation_result>& results,
    const std::array<float, ann_weight_count>* reference = nullptr);

// One row per family, grader and scheduler: reviews, same-day repeats (after a pass), retention,
// the first 13 weeks' retention, items known at the end, reviews per known item, stuck sessions.
std::string summary_table(const std::vector<family_summary>& rows);
// Retention at review by the grade that the item had been given before (or at creation).
std::string after_grade_table(const std::vector<simulation_result>& results);
// The first 13 weeks' spaced reviews of the results by grade before and spaced reviews before:
// where retention is lost.
std::string first_quarter_table(const std::vector<simulation_result>& results);
// Answers of grades 3, 4 and 5 below their floors on the dense grid, for each learning run's
// weights at its end.
std::string floor_check_table(const std::vector<simulation_result>& results);
// What each learning run taught: by the grade of the review a case describes, how many cases, the
// median target over the days elapsed before that review, and how many ask for fewer days.
std::string learnt_cases_table(const std::vector<simulation_result>& results);

enum class goal_kind {
    no_loop,                  // no stuck session, no same-day repeat after a pass, learning on
    graded_reviews,           // graded user, learning: reviews per known item at most SM-2's
    first_quarter_retention,  // graded user, learning: at least SM-2's minus the allowance
    pass_fail_reviews,        // pass/fail user, learning: within the allowance of SM-2's
    builtin_retention,        // built-in weights alone, graded user: at least the floor
    builtin_not_worse,        // built-in weights alone: not below the reference tables
    fsrs_distance,            // reported, not judged: reviews per known item against FSRS-6's
};

struct goal_check {
    goal_kind kind;
    learner_family family;
    std::string goal;
    bool met;
};
// The goals that the given rows allow to judge (a goal needs its rows to be among them).
std::vector<goal_check> check_goals(const std::vector<family_summary>& rows);
