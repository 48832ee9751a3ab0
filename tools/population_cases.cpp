#include "population_cases.h"

#include <algorithm>
#include <cmath>

#include "ann_cases.h"
#include "ann_rules.h"
#include "learner.h"

namespace {

constexpr double wanted_recall = 0.9;
constexpr double longest_days = 2048;
// How far the program's interval strays from the learner's true one (log scale), and how often
// and how late a user comes after the due day.
constexpr double schedule_miss = 0.35;
constexpr double late_share = 0.15;
constexpr double most_late = 0.8;
// A failed item is repeated at most this often in one session.
constexpr int most_repeats = 3;

double days_to_wanted_recall(const learner& person, uint32_t index, int day)
{
    return days_to_recall(person, index, day, wanted_recall);
}

// One item's life under a schedule that aims at 90 % and misses as the program does.
void item_history(learner& person, learner_family family, int last_day, std::mt19937_64& random,
    std::vector<population_sample>& out)
{
    const uint32_t index = person.add_item(0);
    uint16_t grade = person.creation_grade(index);
    uint16_t ivl = 0, rp = 0;
    int day = 0, repeats = 0;
    double truth = days_to_wanted_recall(person, index, day);
    for (;;) {
        int next;
        if (grade <= 2 && repeats < most_repeats) {
            ++repeats;
            next = day;  // the program brings a failed item back today
            ivl = 0;
        } else {
            repeats = 0;
            ivl = static_cast<uint16_t>(std::clamp(std::lround(truth * std::exp(schedule_miss * standard_normal(random))), 1L, 2047L));
            double late = 1;
            if (uniform01(random) < late_share)
                late += most_late * uniform01(random);
            next = day + std::max(1, static_cast<int>(std::lround(ivl * late)));
        }
        if (next > last_day)
            return;
        const review_outcome r = person.review(index, next);
        if (ivl > 0 && r.elapsed_days >= ivl && rp < top_repetitions)
            ++rp;
        day = next;
        grade = r.grade;
        truth = days_to_wanted_recall(person, index, day);
        out.push_back({ivl, static_cast<uint16_t>(r.elapsed_days), rp, grade, truth, family});
    }
}

}  // namespace

double days_to_recall(const learner& person, uint32_t index, int day, double wanted)
{
    auto recall = [&](int t) { return person.recall(index, day + t); };
    // Between whole days recall is taken as straight, from 1 at the review itself.
    if (recall(1) < wanted)
        return std::max(0.0, (1.0 - wanted) / (1.0 - recall(1)));
    int low = 1, high = 2;
    while (high < longest_days && recall(high) >= wanted) {
        low = high;
        high *= 2;
    }
    if (high >= longest_days && recall(static_cast<int>(longest_days)) >= wanted)
        return longest_days;
    while (high - low > 1) {
        const int mid = (low + high) / 2;
        (recall(mid) >= wanted ? low : high) = mid;
    }
    const double at_low = recall(low), at_high = recall(high);
    return low + (at_low - wanted) / std::max(at_low - at_high, 1e-12);
}

std::vector<population_sample> population_histories(const population_settings& settings, std::mt19937_64& random)
{
    std::vector<population_sample> samples;
    for (learner_family family : all_families) {
        std::vector<population_sample> all;
        for (uint32_t draw : settings.draws) {
            learner person(family, grading_habit::graded, settings.seed, draw);
            for (uint32_t i = 0; i < settings.items; ++i)
                item_history(person, family, settings.days, random, all);
        }
        // An even draw over the family's reviews, so that every family weighs the same.
        // Fisher-Yates on our own draws: the library's shuffle differs between vendors.
        for (size_t i = all.size(); i > 1; --i)
            std::swap(all[i - 1], all[static_cast<size_t>(uniform01(random) * static_cast<double>(i))]);
        all.resize(std::min<size_t>(all.size(), settings.samples_per_family));
        samples.insert(samples.end(), all.begin(), all.end());
    }
    return samples;
}
