// The published schedulers that the program is measured against, on the same learners and draws.
#include <algorithm>
#include <cmath>

#include "fsrs6.h"
#include "sim_tally.h"

namespace {

constexpr uint16_t lowest_pass = 3;
constexpr double fsrs_retention = 0.9;
constexpr double fsrs_longest = 36500;

fsrs6_rating rating_of(uint16_t grade)
{
    return grade < lowest_pass ? fsrs6_rating::again : grade == 3 ? fsrs6_rating::hard : grade == 4 ? fsrs6_rating::good : fsrs6_rating::easy;
}

int fsrs_days(double stability)
{
    return static_cast<int>(std::clamp(std::round(fsrs6_interval(fsrs6_defaults, stability, fsrs_retention)), 1.0, fsrs_longest));
}

}  // namespace

void run_sm2(simulation_result& result, learner& person)
{
    struct sm2_card {
        double ef = 2.5;
        int successes = 0;
        int interval = 1;
        int due = 0;
    };
    const simulation_settings& s = result.settings;
    review_tally count{result, person, {}, {}, {}};
    std::vector<sm2_card> cards;
    for (int day = 0; day < s.days; ++day) {
        for (uint32_t n = new_items_on(day, s); n > 0; --n) {
            count.created(person.creation_grade(person.add_item(day)));
            cards.push_back({.due = day + 1});
        }
        for (uint32_t i = 0; i < cards.size(); ++i) {
            sm2_card& c = cards[i];
            if (c.due > day)
                continue;
            const review_outcome r = person.review(i, day);
            count.review_counted(i, r, day);
            const int q = r.grade;
            if (q >= lowest_pass) {
                c.ef = std::max(1.3, c.ef + 0.1 - (5 - q) * (0.08 + (5 - q) * 0.02));
                c.interval = ++c.successes == 1 ? 6 : static_cast<int>(std::lround(c.interval * c.ef));
            } else {
                c.successes = 0;
                c.interval = 1;
            }
            c.due = day + c.interval;
        }
    }
    count.count_known(s.days);
}

void run_fsrs6(simulation_result& result, learner& person)
{
    struct fsrs_card {
        fsrs6_memory memory;
        int last = 0;
        int due = 0;
    };
    const simulation_settings& s = result.settings;
    review_tally count{result, person, {}, {}, {}};
    std::vector<fsrs_card> cards;
    for (int day = 0; day < s.days; ++day) {
        for (uint32_t n = new_items_on(day, s); n > 0; --n) {
            const uint16_t grade = person.creation_grade(person.add_item(day));
            count.created(grade);
            const fsrs6_memory first = fsrs6_first(fsrs6_defaults, rating_of(grade));
            cards.push_back({first, day, day + fsrs_days(first.stability)});
        }
        for (uint32_t i = 0; i < cards.size(); ++i) {
            fsrs_card& c = cards[i];
            if (c.due > day)
                continue;
            const review_outcome r = person.review(i, day);
            count.review_counted(i, r, day);
            const double elapsed = day - c.last;
            c.memory = fsrs6_after(fsrs6_defaults, c.memory, elapsed, fsrs6_recall(fsrs6_defaults, elapsed, c.memory.stability),
                rating_of(r.grade));
            c.last = day;
            c.due = day + fsrs_days(c.memory.stability);
        }
    }
    count.count_known(s.days);
}
