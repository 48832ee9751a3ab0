// The learning simulator: its learners, its baselines and a 60-day slice of the population.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "fsrs6.h"
#include "sim_report.h"
#include "simulation.h"

namespace {

simulation_settings short_run(learner_family family, grading_habit habit)
{
    simulation_settings s;
    s.days = 60;
    s.items = 500;
    s.family = family;
    s.habit = habit;
    return s;
}

std::string name(const simulation_result& r)
{
    return std::string(family_name(r.settings.family)) + ", " + habit_name(r.settings.habit) + ", " +
        scheduler_name(r.scheduler);
}

// What every run must show, whatever the scheduler.
void expect_complete(const simulation_result& r)
{
    EXPECT_EQ(r.items, r.settings.items) << name(r);
    EXPECT_LE(r.known, r.items) << name(r);
    EXPECT_EQ(r.reviews, r.spaced + r.same_day) << name(r);
    EXPECT_LE(r.recalled, r.spaced) << name(r);
    EXPECT_GT(r.spaced, r.items) << name(r) << ": most items were never reviewed";
    uint64_t weekly = 0;
    for (const week_tally& w : r.weeks)
        weekly += w.spaced;
    EXPECT_EQ(weekly, r.spaced) << name(r);
    EXPECT_EQ(r.stuck_sessions, 0u) << name(r) << ": an item came back a sixth time in one session";
    EXPECT_EQ(r.left_due, 0u) << name(r);
    EXPECT_EQ(r.repeats_after_pass, 0u) << name(r) << ": a passed item came back the same day";
}

}  // namespace

TEST(LearningSimulation, SixtyDaysOfEveryFamilyAndGraderHaveNoLoop)
{
    const std::vector<grading_habit> habits = {grading_habit::graded, grading_habit::sparing_with_5,
        grading_habit::pass_fail, grading_habit::generous, grading_habit::noisy};
    for (learner_family family : all_families) {
        std::vector<simulation_result> runs;
        for (grading_habit habit : habits)
            runs.push_back(simulate(scheduler_kind::network_learning, short_run(family, habit)));
        runs.push_back(simulate(scheduler_kind::network_builtin, short_run(family, grading_habit::graded)));
        for (scheduler_kind baseline : {scheduler_kind::sm2, scheduler_kind::fsrs6}) {
            runs.push_back(simulate(baseline, short_run(family, grading_habit::graded)));
            EXPECT_EQ(runs.back().same_day, 0u) << name(runs.back()) << " never shows an item twice a day";
        }
        for (const simulation_result& r : runs)
            expect_complete(r);
        // The program does, after a lapse: the simulator must count those repeats apart.
        EXPECT_GT(runs.front().same_day, 0u) << family_name(family);
        for (const goal_check& g : check_goals(summarize(runs)))
            if (g.kind == goal_kind::no_loop) {
                EXPECT_TRUE(g.met) << g.goal;
            }
    }
}

TEST(LearningSimulation, ARunRepeatsExactlyAndTheSeedAndDrawChangeIt)
{
    simulation_settings s = short_run(learner_family::exponential, grading_habit::graded);
    s.days = 25;
    s.items = 150;
    const simulation_result first = simulate(scheduler_kind::network_learning, s);
    const simulation_result again = simulate(scheduler_kind::network_learning, s);
    const auto figures = [](const simulation_result& r) { return std::make_tuple(r.reviews, r.same_day, r.recalled, r.known); };
    EXPECT_EQ(figures(first), figures(again)) << "the second run found the library as the first left it";
    s.seed = 2;
    EXPECT_NE(figures(simulate(scheduler_kind::network_learning, s)), figures(first)) << "the draws do not follow the seed";
    s.seed = 1;
    s.draw = 1;
    EXPECT_NE(figures(simulate(scheduler_kind::network_learning, s)), figures(first)) << "every draw is the same learner";
}

// Each family forgets with time, remembers longer after a recall, and its learners differ.
TEST(Learners, EveryFamilyForgetsAndGrowsAndItsLearnersDiffer)
{
    for (learner_family family : all_families) {
        SCOPED_TRACE(family_name(family));
        learner person(family, grading_habit::graded, 7);
        double grew = 0;
        int recalled = 0;
        for (uint32_t i = 0; i < 200; ++i) {
            person.add_item(0);
            EXPECT_GT(person.recall(i, 1), person.recall(i, 20));
            const double before = person.recall(i, 30);
            if (person.review(i, 3).recalled) {
                ++recalled;
                grew += person.recall(i, 30) > before;
            }
        }
        EXPECT_GT(recalled, 60);
        EXPECT_GT(grew / recalled, 0.95);
        const family_parameters a = draw_parameters(family, 7, 0);
        const family_parameters b = draw_parameters(family, 7, 1);
        EXPECT_NE(std::make_tuple(a.growth_scale, a.fsrs, a.decay_scale, a.right_weight),
            std::make_tuple(b.growth_scale, b.fsrs, b.decay_scale, b.right_weight));
        // A wider spread takes the same learner further from the centre: at 2 twice as far.
        const family_parameters centre, wide = draw_parameters(family, 7, 0, 2.0);
        const auto away = [&](const family_parameters& p) {
            return std::array{std::log(p.growth_scale / centre.growth_scale), std::log(p.fsrs[0] / centre.fsrs[0]),
                std::log(p.decay_scale / centre.decay_scale), std::log(p.right_weight / centre.right_weight)};
        };
        const auto near = away(a), far = away(wide);
        for (size_t i = 0; i < near.size(); ++i)
            EXPECT_NEAR(far[i], 2 * near[i], 1e-12);
    }
}

// Graders see the same recall: the pass/fail user presses 1 and 4, the generous one never 4, the
// noisy one is off by one about a fifth of the time.
TEST(Learners, GradersTurnTheSameRecallIntoTheirGrades)
{
    struct row {
        grading_habit habit;
        std::vector<uint16_t> never;
        double differ_low, differ_high;  // share of grades unlike the graded user's
    };
    const std::vector<row> rows = {
        {grading_habit::pass_fail, {0, 2, 3, 5}, 0.3, 1.0},
        {grading_habit::generous, {4}, 0.1, 0.9},
        {grading_habit::noisy, {}, 0.15, 0.25},
        {grading_habit::sparing_with_5, {}, 0.0, 0.5},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(habit_name(r.habit));
        learner graded(learner_family::fsrs6, grading_habit::graded, 3);
        learner other(learner_family::fsrs6, r.habit, 3);
        int differ = 0, total = 0;
        for (uint32_t i = 0; i < 400; ++i) {
            graded.add_item(0);
            other.add_item(0);
            for (int day : {2, 9, 30}) {
                const review_outcome g = graded.review(i, day);
                const review_outcome o = other.review(i, day);
                EXPECT_EQ(g.recalled, o.recalled);
                for (uint16_t n : r.never) {
                    EXPECT_NE(o.grade, n);
                }
                if (r.habit == grading_habit::noisy) {
                    EXPECT_LE(std::abs(g.grade - o.grade), 1);
                }
                differ += g.grade != o.grade;
                ++total;
            }
        }
        EXPECT_GE(static_cast<double>(differ) / total, r.differ_low);
        EXPECT_LE(static_cast<double>(differ) / total, r.differ_high);
    }
}

// FSRS-6 from its formulas: recall 0.9 at t = S and the interval for 0.9 is S; a good review at
// R 0.9 multiplies a young memory's stability several times; a lapse never raises it.
TEST(Fsrs6, TheFormulasHoldTheirDefiningPoints)
{
    const fsrs6_weights& w = fsrs6_defaults;
    for (double s : {0.5, 3.0, 40.0, 400.0}) {
        EXPECT_NEAR(fsrs6_recall(w, s, s), 0.9, 1e-12);
        EXPECT_NEAR(fsrs6_interval(w, s, 0.9), s, 1e-9);
        EXPECT_GT(fsrs6_interval(w, s, 0.8), s);
    }
    const fsrs6_memory first = fsrs6_first(w, fsrs6_rating::good);
    EXPECT_DOUBLE_EQ(first.stability, w[2]);
    EXPECT_NEAR(first.difficulty, w[4] - std::exp(2 * w[5]) + 1, 1e-12);
    const fsrs6_memory good = fsrs6_after(w, first, first.stability, 0.9, fsrs6_rating::good);
    EXPECT_GT(good.stability, 3 * first.stability);
    EXPECT_NEAR(good.difficulty, first.difficulty, 0.05);
    const fsrs6_memory easy = fsrs6_after(w, first, first.stability, 0.9, fsrs6_rating::easy);
    EXPECT_GT(easy.stability, good.stability);
    EXPECT_LT(easy.difficulty, good.difficulty);
    const fsrs6_memory lapse = fsrs6_after(w, good, 50, 0.5, fsrs6_rating::again);
    EXPECT_LT(lapse.stability, good.stability);
    EXPECT_GT(lapse.difficulty, good.difficulty);
}
