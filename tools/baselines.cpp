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

// Every day: the day's new items, then each card due; `make` gives a new item's card from its
// creation grade, `reschedule` sets a reviewed card's next due day.
template <typename Card, typename Make, typename Reschedule>
void run_daily(simulation_result& result, learner& person, Make make, Reschedule reschedule)
{
    const simulation_settings& s = result.settings;
    review_tally count{result, person, {}, {}, {}};
    std::vector<Card> cards;
    for (int day = 0; day < s.days; ++day) {
        for (uint32_t n = new_items_on(day, s); n > 0; --n) {
            const uint16_t grade = person.creation_grade(person.add_item(day));
            count.created(grade);
            cards.push_back(make(grade, day));
        }
        for (uint32_t i = 0; i < cards.size(); ++i) {
            if (cards[i].due > day)
                continue;
            const review_outcome r = person.review(i, day);
            count.review_counted(i, r, day);
            reschedule(cards[i], r.grade, day);
        }
    }
    count.count_known(s.days);
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
    run_daily<sm2_card>(result, person, [](uint16_t, int day) { return sm2_card{.due = day + 1}; },
        [](sm2_card& c, uint16_t q, int day) {
            if (q >= lowest_pass) {
                c.ef = std::max(1.3, c.ef + 0.1 - (5 - q) * (0.08 + (5 - q) * 0.02));
                c.interval = ++c.successes == 1 ? 6 : static_cast<int>(std::lround(c.interval * c.ef));
            } else {
                c.successes = 0;
                c.interval = 1;
            }
            c.due = day + c.interval;
        });
}

void run_fsrs6(simulation_result& result, learner& person)
{
    struct fsrs_card {
        fsrs6_memory memory;
        int last = 0;
        int due = 0;
    };
    run_daily<fsrs_card>(result, person,
        [](uint16_t grade, int day) {
            const fsrs6_memory first = fsrs6_first(fsrs6_defaults, rating_of(grade));
            return fsrs_card{first, day, day + fsrs_days(first.stability)};
        },
        [](fsrs_card& c, uint16_t grade, int day) {
            const double elapsed = day - c.last;
            c.memory = fsrs6_after(fsrs6_defaults, c.memory, elapsed, fsrs6_recall(fsrs6_defaults, elapsed, c.memory.stability),
                rating_of(grade));
            c.last = day;
            c.due = day + fsrs_days(c.memory.stability);
        });
}

