#include <cstdlib>
#include <map>
#include <random>
#include <tuple>

#include "ann/ann_files.h"
#include "ann/feedback.h"
#include "ann/network.h"
#include "ann_test_support.h"
#include "support/database_helpers.h"
#include "platform/crt_rand.h"
#include "services/random.h"

namespace {

class FeedbackTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
        crt_srand(7);
    }
    uint32_t user_cases() const { return ann_globals().case_count - builtin_case_count; }
    int last_target() const { return days_of((*case_at(ann_globals().case_count - 1))[4]); }
    static void add_due(uint16_t day, int count)
    {
        for (int i = 0; i < count; ++i)
            add_test_item(day);
    }
};

}  // namespace

TEST(PercentDifference, RoundsAsSinglePrecision)
{
    for (const auto& [a, b, percent] : {std::tuple{10, 9, 10}, {9, 10, 10}, {100, 96, 4}, {100, 97, 3}, {7, 7, 0},
             {0, 0, 100}, {2047, 1, 100}})
        EXPECT_EQ(percent_difference(static_cast<uint16_t>(a), static_cast<uint16_t>(b)), percent) << a << " " << b;
}

// A history whose next grade up is answered well below the targets here, so that they pass the
// neighbour adjustment unchanged; -1: the outcome tells nothing and records nothing.
TEST_F(FeedbackTest, TargetsFollowTheGradeAndTheObservedInterval)
{
    ASSERT_LT(ann_interval(10, 10, 3, 4), 90);
    ASSERT_LT(ann_interval(1, 1, 0, 4), 24);
    ASSERT_LT(ann_interval(1, 1, 0, 5), 20);
    const auto weights = ann_globals().ann_weights;
    struct outcome {
        uint16_t livl, rllivl, rp, gr, ivl, elapsed, grade;
        int target;
    };
    const outcome outcomes[] = {
        {10, 10, 3, 5, 100, 0, 4, -1},  // graded again the same day
        {10, 10, 3, 5, 100, 97, 5, -1},  // 3 % early for a 5
        {10, 10, 3, 5, 100, 106, 3, -1},  // 6 % late for a 3
        {10, 10, 3, 5, 100, 104, 1, -1},  // 4 % late for a 1
        {10, 10, 3, 5, 100, 103, 0, -1},  // 3 % late for a 0
        {30, 2, 4, 0, 40, 40, 5, -1},  // after a failure, beyond the days then elapsed
        {30, 2, 4, 1, 40, 40, 5, -1},  // the same after a 1
        {10, 10, 3, 5, 100, 98, 5, 123},  // 2 % early: observed 98, target 98 * 1.25
        {10, 10, 3, 5, 100, 105, 3, 92},  // 5 % late: observed (100 + 105) / 2
        {10, 10, 3, 5, 200, 120, 4, 160},  // a 4 takes the middle
        {1, 1, 0, 5, 20, 20, 5, 25},  // a 5 on time after a short history
        {1, 1, 2, 3, 1, 1, 5, 2},  // a 5 of a day's interval: 1.25 days is rounded down, then one more
    };
    uint32_t recorded = 0;
    for (const outcome& o : outcomes) {
        feedback_to_ann(o.livl, o.rllivl, o.rp, o.gr, o.ivl, o.elapsed, o.grade);
        recorded += o.target >= 0;
        ASSERT_EQ(user_cases(), recorded) << o.elapsed << " " << o.grade;
        if (o.target >= 0) {
            EXPECT_EQ(last_target(), o.target) << o.elapsed << " " << o.grade;
        } else {
            EXPECT_EQ(ann_globals().ann_weights, weights) << o.elapsed << " " << o.grade;
        }
    }
    EXPECT_NE(ann_globals().ann_weights, weights);  // trained on each case
    EXPECT_EQ(std::tuple(read_file(dir.file("user_cases.bin")).size(), log()), std::tuple(20u * recorded, ""));
    feedback_to_ann(10, 10, 3, 5, 100, 100, 6);
    EXPECT_EQ(std::tuple(log(), user_cases()), std::tuple("ERROR: feedback_to_ann(): default case\n", recorded));
}

TEST_F(FeedbackTest, TargetsBelowWhatAGoodPreviousGradeEarnedAreDropped)
{
    // A previous grade of 4 said the interval then was right, one of 5 that it could be longer:
    // a case may not teach an interval shorter than both the interval and the days then elapsed
    // (for 5, not even equal to both).
    std::mt19937 random(3);
    std::uniform_int_distribution<int> days(1, 300);
    const auto day = [&] { return static_cast<uint16_t>(days(random)); };
    int recorded[6] = {};
    for (int trial = 0; trial < 4000; ++trial) {
        const auto gr = static_cast<uint16_t>(4 + trial % 2);
        const uint16_t livl = day(), rllivl = day(), rp = random() % 12, ivl = day(), elapsed = day(), grade = random() % 6;
        const uint32_t before = ann_globals().case_count;
        feedback_to_ann(livl, rllivl, rp, gr, ivl, elapsed, grade);
        if (ann_globals().case_count == before)
            continue;
        ++recorded[gr];
        const int target = last_target();
        if (gr == 4) {
            EXPECT_GE(target, std::min(livl, rllivl)) << livl << " " << rllivl;
        } else {
            EXPECT_GT(target, std::min(livl, rllivl)) << livl << " " << rllivl;
        }
    }
    EXPECT_GT(recorded[4], 50);
    EXPECT_GT(recorded[5], 50);
}

TEST_F(FeedbackTest, NeighbourGradesKeepAnswersInOrder)
{
    for (uint16_t history : {3, 10, 40, 200}) {
        const uint16_t up = ann_interval(history, history, 4, 1);
        const uint16_t adjusted = adjust_to_neighbour_grades(history, history, 4, 0, up);
        if (up > 0) {
            EXPECT_LT(adjusted, up) << history;
        }
        // A grade-5 answer equal to the grade-4 one is raised.
        const uint16_t down = ann_interval(history, history, 4, 4);
        if (down < 2047) {
            EXPECT_GT(adjust_to_neighbour_grades(history, history, 4, 5, down), down) << history;
        }
    }
    // New item graded 5: six days, spread over 5..7.
    ASSERT_EQ(ann_interval(0, 0, 0, 5), 6);
    ASSERT_LT(ann_interval(0, 0, 0, 4), 6);
    EXPECT_EQ(adjust_to_neighbour_grades(0, 0, 0, 5, 6), 6);
    std::set<uint16_t> seen;
    for (int i = 0; i < 300; ++i)
        seen.insert(propose_interval(0, 0, 0, 5));
    EXPECT_EQ(seen, (std::set<uint16_t>{5, 6, 7}));
    // Up to 4 days there is no band: the answer is the network's.
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(propose_interval(0, 0, 0, 4), ann_interval(0, 0, 0, 4));
}

TEST_F(FeedbackTest, SpreadPrefersLightDaysAndStaysInTheBand)
{
    const uint16_t today = 0;
    add_due(today + 92, 40);  // a heavily loaded day in the band 90..110
    std::map<uint16_t, int> picks;
    for (int i = 0; i < 4000; ++i) {
        const uint16_t d = pick_spread_interval(90, 110);
        ASSERT_GE(d, 90);
        ASSERT_LE(d, 110);
        ++picks[d];
    }
    // Weight 5 against 45 for every other day.
    EXPECT_LT(picks[92], picks[91] / 4);
    EXPECT_GT(picks[91], 100);

    // Each day weighs the busiest day's count minus its own plus 5: with 3 items on day 10 and
    // none on day 11 that is 5 against 8, so of the 13 draws the first five pick day 10.
    add_due(today + 10, 3);
    int wrong = 0;
    for (uint32_t i = 1; i <= 3000; ++i) {
        const uint32_t seed = i * 2654435761u;  // spread, so that the first draws cover the range
        crt_srand(seed);
        const unsigned r = rand_below(13);
        crt_srand(seed);
        wrong += pick_spread_interval(10, 11) != (r < 5 ? 10 : 11);
    }
    EXPECT_EQ(wrong, 0);

    // Loads whose weights add up past 16 bits never push the pick beyond the band.
    add_due(today + 300, 2000);
    for (int i = 0; i < 2000; ++i) {
        const uint16_t d = pick_spread_interval(250, 400);
        ASSERT_GE(d, 250);
        ASSERT_LE(d, 400);
    }
}

// The ±10 % spread is held to the neighbour grades' answers, two thirds of the way back: a
// grade 3 lands within a fifteenth of the answer.
TEST_F(FeedbackTest, TheSpreadIntervalIsHeldToTheNeighbourGrades)
{
    int inputs = 0;
    for (uint16_t ivl = 40; ivl < 400 && inputs < 5; ivl += 7) {
        const uint16_t d = ann_interval(ivl, ivl, 4, 3);
        if (d < 100 || adjust_to_neighbour_grades(ivl, ivl, 4, 3, d) != d)
            continue;
        ++inputs;
        for (int draw = 0; draw < 60; ++draw) {
            const int got = propose_interval(ivl, ivl, 4, 3);
            EXPECT_LE(std::abs(got - d), d / 15 + 2) << "interval " << ivl << ", answer " << d;
        }
    }
    EXPECT_GT(inputs, 0) << "no answer of 100 days or more to spread";
}
