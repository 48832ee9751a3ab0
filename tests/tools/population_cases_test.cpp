// The population's targets for the built-in weights: the days until a learner's recall falls to
// 90 %, and every family weighing the same in the fit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "population_cases.h"

namespace {

// For these two families the stability is by definition the days to 90 % recall, and a day's
// recall tells it: exponential 0.9^(t/S), power law (1 + 19/81 t/S)^-0.5.
TEST(PopulationCases, TargetIsWhereRecallFallsToNinetyPercent)
{
    struct family_case {
        learner_family family;
        double (*stability_from_day_one)(double recall);
    };
    const family_case families[] = {
        {learner_family::exponential, [](double r) { return std::log(0.9) / std::log(r); }},
        {learner_family::power_law, [](double r) { return 19.0 / 81.0 / (1.0 / (r * r) - 1.0); }},
    };
    for (const family_case& f : families) {
        learner person(f.family, grading_habit::graded, 7, 0);
        for (uint32_t i = 0; i < 40; ++i) {
            const uint32_t index = person.add_item(0);
            // A few reviews spread the stabilities from days to years.
            int day = 1 + static_cast<int>(i % 5);
            for (; day < 400; day *= 3)
                person.review(index, day);
            day /= 3;  // the last review
            const double stability = f.stability_from_day_one(person.recall(index, day + 1));
            if (stability < 1.0 || stability > 2000.0)
                continue;  // within a day the target is a straight guess; beyond 2048 it is cut
            EXPECT_NEAR(days_to_recall(person, index, day, 0.9), stability, 0.02 * stability + 0.05)
                << family_name(f.family) << " item " << i;
        }
    }
}

TEST(PopulationCases, EveryFamilyGivesAsManyReviewsAndRepeatsHaveNoInterval)
{
    std::mt19937_64 random(3);
    const population_settings settings{.seed = 5, .draws = {40}, .items = 60, .days = 300, .samples_per_family = 100};
    const std::vector<population_sample> samples = population_histories(settings, random);
    ASSERT_EQ(samples.size(), settings.samples_per_family * all_families.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const population_sample& s = samples[i];
        EXPECT_EQ(s.family, all_families[i / settings.samples_per_family]) << i;
        EXPECT_GE(s.days, 0.0);
        EXPECT_LE(s.days, 2048.0);
        // A same-day repeat has no interval and no elapsed day; a spaced review has both.
        if (s.ivl == 0)
            EXPECT_EQ(s.elapsed, 0) << i;
        else
            EXPECT_GE(s.elapsed, 1) << i;
    }
}

}  // namespace
