// The table generator: the population's targets and the fit, which keeps the answers and floors
// whatever the samples say unless a measuring fit drops them. The checked-in tables keep its rules.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "ann_cases.h"
#include "ann_fit.h"
#include "ann_rules.h"
#include "ann/network.h"
#include "population_cases.h"

namespace {

// Samples far from the required answers (a new item's 5 back after a day, not 6; a reviewed 4
// after 10 days back after 20, not 34) and below a floor (a 4 after 30 days back after 15).
std::vector<fit_sample> samples_against_the_answers()
{
    std::vector<fit_sample> samples;
    const auto wanted = [](double days) { return std::sqrt(days / 2048.0); };
    for (uint16_t grade = 3; grade <= 5; ++grade)
        samples.push_back({network_inputs(0, 0, 0, grade), wanted(1), 1.0});
    for (uint16_t rp = 2; rp <= 4; ++rp)
        samples.push_back({network_inputs(10, 10, rp, 4), wanted(20), 1.0});
    samples.push_back({network_inputs(30, 30, 3, 4), wanted(15), 5.0});
    // Enough around them that the fit is not left free to run off elsewhere.
    for (uint16_t grade = 0; grade < 3; ++grade)
        samples.push_back({network_inputs(0, 0, 0, grade), 0.0, 1.0});
    for (uint16_t grade = 3; grade <= 5; ++grade)
        samples.push_back({network_inputs(300, 300, 8, grade), wanted(200.0 * grade), 1.0});
    return samples;
}

uint16_t answer(const std::array<float, ann_weight_count>& w, uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    use_weights(w);
    return ann_interval(ivl, elapsed, rp, grade);
}

void expect_given_units_and_bound(const std::array<float, ann_weight_count>& w, const char* fit)
{
    for (const given_unit& g : given_units) {
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(w[4 * g.unit + i], g.weights[i]) << fit << ": unit " << g.unit << " input " << i;
        EXPECT_EQ(w[ann_output_weights + g.unit], g.weights[4]) << fit << ": unit " << g.unit << " output";
    }
    for (float v : w)
        EXPECT_LE(std::fabs(v), weight_bound) << fit;
}

TEST(TableFit, TheAnswersAndTheRulesHoldOnlyInTheFitsThatKeepThem)
{
    const std::vector<fit_sample> samples = samples_against_the_answers();
    const auto saved = ann_globals().ann_weights;
    const auto fit = [&](fit_terms terms) {
        std::mt19937_64 random(7);
        return fit_weights(samples, random, terms, 3000);
    };
    const auto shipped = fit(fit_terms::answers_and_rules);
    const auto rules_only = fit(fit_terms::rules_only);
    const auto model_only = fit(fit_terms::model_only);

    expect_given_units_and_bound(shipped, "answers and rules");
    expect_given_units_and_bound(rules_only, "rules only");
    expect_given_units_and_bound(model_only, "model only");
    // The fit pulls the answers into their bands; the placing makes them exact.
    EXPECT_NEAR(answer(shipped, 0, 0, 0, 5), 6, 1);
    EXPECT_NEAR(answer(shipped, 10, 10, 3, 4), 34, 2);
    EXPECT_GE(answer(shipped, 30, 30, 3, 4), 29);
    EXPECT_LT(answer(rules_only, 0, 0, 0, 5), 5);
    EXPECT_GE(answer(rules_only, 30, 30, 3, 4), 29);
    EXPECT_LT(answer(model_only, 0, 0, 0, 5), 5);
    EXPECT_LT(answer(model_only, 10, 10, 3, 4), 30);
    EXPECT_LT(answer(model_only, 30, 30, 3, 4), 29);
    use_weights(saved);
}

// The shipped tables, however they came to change: units, answers, order, growth, floors, and
// every case an exact encoding, the given rows in their places.
TEST(ShippedTables, KeepTheGeneratorsRules)
{
    const auto saved = ann_globals().ann_weights;
    use_weights(builtin_weights);
    expect_given_units_and_bound(builtin_weights, "shipped");
    EXPECT_EQ(exact_answers(), 18);
    EXPECT_TRUE(answers_ordered(true));
    EXPECT_TRUE(answers_grow());
    EXPECT_EQ(answers_below_floors(true), (std::array<uint64_t, 3>{}));
    double error = 0;  // the fit figure: the shipped network's error summed over its own cases
    for (const ann_case& c : builtin_cases) {
        ann_step(c, ANN_EVALUATE);
        error += ann_globals().last_error;
    }
    EXPECT_NEAR(error, 0.498, 0.005);
    use_weights(saved);

    const auto whole = [](float encoded, double scale) { return static_cast<uint16_t>(std::lround(encoded * scale)); };
    std::vector<history_case> table;
    for (const ann_case& c : builtin_cases) {
        const history_case h{.ivl = whole(c[0] * c[0], 2048), .elapsed = whole(c[1] * c[1], 2048),
            .rp = whole(c[2], 128), .grade = whole(c[3], 5), .target = whole(c[4] * c[4], 2048)};
        ASSERT_EQ(make_case(h.ivl, h.elapsed, h.rp, h.grade, h.target), c) << "case " << table.size();
        table.push_back(h);
    }
    for (const history_case& r : given_rows) {
        const history_case& h = table[static_cast<size_t>(r.fixed_position)];
        EXPECT_EQ(std::tuple(h.ivl, h.elapsed, h.rp, h.grade, h.target), std::tuple(r.ivl, r.elapsed, r.rp, r.grade, r.target))
            << "given row " << r.fixed_position;
        table[static_cast<size_t>(r.fixed_position)].fixed_position = r.fixed_position;
    }
    EXPECT_EQ(case_table_faults(table), "");
}

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
