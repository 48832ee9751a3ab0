#pragma once
// The simulator's table and the goals the built-in tables are held to.
#include <string>
#include <vector>

#include "simulation.h"

// Retention at review that the built-in weights alone must keep.
constexpr double builtin_retention_low = 0.87;
constexpr double builtin_retention_high = 0.92;
constexpr double first_quarter_retention_floor = 0.85;
// The pass/fail user may need at most this many times SM-2's reviews per known item.
constexpr double pass_fail_review_allowance = 2.0;

// One row per result: reviews, same-day repeats, retention, first-quarter retention, items known
// at the end, reviews per known item, stuck sessions.
std::string result_table(const std::vector<simulation_result>& results);
// Each result's retention week by week.
std::string weekly_table(const std::vector<simulation_result>& results);
// Retention at review by the grade that the item had been given before (or at creation).
std::string after_grade_table(const std::vector<simulation_result>& results);

enum class goal_kind {
    builtin_retention,        // from the built-in weights alone, within the band
    first_quarter_retention,  // while learning, at least the floor over the first 13 weeks
    fewer_reviews_than_sm2,   // while learning, per known item
    pass_fail_reviews,        // the pass/fail user's per known item, against SM-2's allowance
    no_stuck_session,         // in any run of the program
};

struct goal_check {
    goal_kind kind;
    forgetting truth;  // of the runs judged; any for no_stuck_session
    std::string goal;
    bool met;
};
// The goals that the given results allow to judge (a goal needs its runs to be among them).
std::vector<goal_check> check_goals(const std::vector<simulation_result>& results);
