// The table generator's fit: with the answers and rules it gives the required answers and keeps
// the floors whatever the samples say; the measuring fits drop the answers, or the answers and
// the rules, and follow the samples there; the given units stay as given in all three.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "ann_fit.h"
#include "ann_rules.h"
#include "ann/network.h"

namespace {

// Samples that want every passing grade of a new item back after a day and a reviewed item
// graded 4 after 10 days back after 20, both far from the required answers (6 days for a new
// item graded 5, 34 for the reviewed one); and one graded 4 after 30 days back after 15, below
// the floor (grade 4 earns at least the elapsed days).
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
    // The fit only pulls the answers into their bands, and the floors up to theirs; the placing
    // makes them exact.
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

}  // namespace
