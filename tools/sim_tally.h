#pragma once
// The learner's side of each review and the tallies of a result, shared by every scheduler.
#include <algorithm>
#include <vector>

#include "simulation.h"

struct review_tally {
    simulation_result& result;
    learner& person;

    std::vector<int> last_grade;  // at creation or the last spaced review; repeated_today after a repeat
    std::vector<int> previous_grade;  // the grade just before, whatever the day
    std::vector<uint32_t> spaced_reviews;  // per item

    static constexpr int repeated_today = -1;

    void created(uint16_t grade)
    {
        last_grade.push_back(grade);
        previous_grade.push_back(grade);
        spaced_reviews.push_back(0);
    }

    void review_counted(uint32_t index, const review_outcome& r, int day)
    {
        const int before = last_grade[index];
        const int just_before = previous_grade[index];
        previous_grade[index] = r.grade;
        ++result.reviews;
        if (r.elapsed_days == 0) {
            last_grade[index] = repeated_today;
            ++result.same_day;
            result.repeats_after_pass += just_before >= 3;
            return;
        }
        last_grade[index] = r.grade;
        const size_t grade_row = before == repeated_today ? 6 : static_cast<size_t>(before);
        week_tally& by_before = before == repeated_today ? result.after_repeat : result.after_grade[grade_row];
        const size_t week = static_cast<size_t>(day / days_per_week);
        week_tally* quarter = week < first_quarter_weeks
            ? &result.first_quarter_by[grade_row][std::min<size_t>(spaced_reviews[index], repetition_bands - 1)]
            : nullptr;
        ++spaced_reviews[index];
        for (week_tally* t : {&result.weeks[week], &by_before, quarter}) {
            if (!t)
                continue;
            ++t->spaced;
            t->recalled += r.recalled;
        }
        ++result.spaced;
        result.recalled += r.recalled;
    }

    void count_known(int days)
    {
        result.items = person.item_count();
        for (uint32_t i = 0; i < result.items; ++i)
            result.known += person.recall(i, days) >= known_recall;
    }
};

void run_sm2(simulation_result& result, learner& person);
void run_fsrs6(simulation_result& result, learner& person);
