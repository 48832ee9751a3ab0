// Properties of the checked-in built-in tables.
#include <algorithm>

#include "ann/network.h"
#include "ann_test_support.h"

namespace {

TEST_F(AnnTest, GivenWeightRowsAreExactAndNoneIsLarger)
{
    struct row {
        int unit;
        float w[5];
    };
    const row given[] = {
        {0, {-0.971140027f, -1.353634f, 0.343623012f, -0.220980003f, 0.173454002f}},
        {1, {1.15720904f, 0.757073998f, -0.44869101f, -1.52861798f, 1.13797104f}},
        {24, {-13.6539421f, -11.907609f, -5.68901014f, 0.566134989f, -2.34161496f}},
        {31, {-5.52599001f, -5.19374418f, -0.888418972f, 3.69168591f, -1.59754395f}},
    };
    for (const row& r : given) {
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(builtin_weights[4 * r.unit + i], r.w[i]) << r.unit << " x" << i;
        EXPECT_EQ(builtin_weights[ann_output_weights + r.unit], r.w[4]) << r.unit;
    }
    const float largest = std::fabs(builtin_weights[4 * 24]);
    for (float w : builtin_weights)
        EXPECT_LE(std::fabs(w), largest);
}

TEST_F(AnnTest, ErrorSumOverBuiltinCases)
{
    double sum = 0;
    for (const ann_case& c : builtin_cases) {
        ann_step(c, ANN_EVALUATE);
        sum += ann_globals().last_error;
    }
    EXPECT_NEAR(sum, 0.498, 0.005);
}

TEST_F(AnnTest, RawAnswers)
{
    const uint16_t expected[3][6] = {{0, 0, 0, 2, 4, 6}, {0, 0, 3, 14, 34, 46}, {0, 2, 27, 120, 220, 240}};
    const uint16_t history[3][3] = {{0, 0, 0}, {10, 10, 3}, {100, 100, 6}};
    for (int h = 0; h < 3; ++h)
        for (uint16_t g = 0; g < 6; ++g)
            EXPECT_EQ(ann_interval(history[h][0], history[h][1], history[h][2], g), expected[h][g]) << h << " " << g;
}

TEST_F(AnnTest, AnswersKeepTheirOrderOnAGrid)
{
    const uint16_t days[] = {0, 1, 2, 4, 7, 12, 20, 35, 60, 100, 170, 300, 500, 850, 1400, 2048};
    const uint16_t reps[] = {0, 1, 3, 6, 12, 25, 50, 80, 110, 128};
    for (uint16_t ivl : days)
        for (uint16_t rp : reps) {
            uint16_t first[6], last[6] = {};
            for (size_t k = 0; k < std::size(days); ++k) {
                uint16_t previous = 0;
                for (uint16_t g = 0; g < 6; ++g) {
                    const uint16_t answer = ann_interval(ivl, days[k], rp, g);
                    EXPECT_GE(answer, previous) << ivl << " " << days[k] << " " << rp << " grade " << g;
                    if (g >= 4 && k > 0) {
                        EXPECT_GE(answer, last[g]) << ivl << " " << days[k] << " " << rp << " grade " << g;
                    }
                    if (k == 0)
                        first[g] = answer;
                    previous = last[g] = answer;
                }
            }
            // Even the most repeated items earn a longer answer after a long absence.
            EXPECT_GT(last[4], first[4]) << ivl << " " << rp;
            EXPECT_GT(last[5], first[5]) << ivl << " " << rp;
        }
}

TEST_F(AnnTest, PassingGradesKeepTheirFloorsOnADenseGrid)
{
    // Once an item has been reviewed, grades 3-5 never answer 0 days (the item would come back
    // in the same session for ever); grade 4 answers at least the elapsed days and grade 5 more,
    // at every repetition count, up to 1000 elapsed days (and at least 1000 beyond).
    constexpr int elapsed_limit = 1000;
    const uint16_t intervals[] = {0, 1, 2, 3, 4, 5, 6, 8, 10, 13, 16, 20, 25, 32, 40, 50, 64, 80, 100, 128, 160, 200,
        256, 320, 400, 512, 640, 800, 1024, 1280, 1600, 2047};
    std::vector<uint16_t> elapsed;
    for (int e = 0; e < 2047; e += e < 100 ? 1 : e < 300 ? 2 : e < 1000 ? 5 : 10)
        elapsed.push_back(static_cast<uint16_t>(e));
    elapsed.push_back(2047);
    int broken = 0;
    std::string first_broken;
    for (uint16_t ivl : intervals)
        for (uint16_t e : elapsed)
            for (uint16_t rp = 0; rp <= 127; ++rp) {
                const bool reviewed = rp >= 1 || e >= 1;
                const uint16_t g3 = ann_interval(ivl, e, rp, 3);
                const uint16_t g4 = ann_interval(ivl, e, rp, 4);
                const uint16_t g5 = ann_interval(ivl, e, rp, 5);
                const bool held = (!reviewed || (g3 > 0 && g4 > 0 && g5 > 0)) && g4 >= std::min<int>(e, elapsed_limit) &&
                    g5 >= std::min(e + 1, elapsed_limit);
                if (!held && broken++ == 0)
                    first_broken = std::to_string(ivl) + ", " + std::to_string(e) + ", " + std::to_string(rp) + ": " +
                        std::to_string(g3) + " " + std::to_string(g4) + " " + std::to_string(g5);
            }
    EXPECT_EQ(broken, 0) << "first at interval, elapsed, repetitions " << first_broken;
}

TEST_F(AnnTest, BuiltinCasesAreASortedHistory)
{
    EXPECT_EQ(builtin_cases[0], (ann_case{}));
    int grades[6] = {};
    for (size_t i = 0; i < builtin_cases.size(); ++i) {
        const ann_case& c = builtin_cases[i];
        if (i > 0) {
            ASSERT_GE(c[1], builtin_cases[i - 1][1]) << i;
        }
        // Every value is the exact encoding of a whole number of days, repetitions or a grade.
        for (int v : {0, 1, 4}) {
            ASSERT_EQ(encode_days(static_cast<uint16_t>(days_of(c[v]))), c[v]) << i << " " << v;
            ASSERT_LE(days_of(c[v]), v == 4 ? 2048 : 1800) << i;
        }
        const float rp = c[2] * 128.0f;
        ASSERT_EQ(rp, std::floor(rp)) << i;
        ASSERT_LE(rp, 110.0f) << i;
        const float grade = c[3] * 5.0f;
        const int g = static_cast<int>(std::lround(grade));
        ASSERT_TRUE(g >= 0 && g <= 5 && grade_input_table[g] == c[3]) << i;
        ++grades[g];
    }
    const int expected_grades[6] = {78, 67, 116, 246, 339, 116};
    for (int g = 0; g < 6; ++g)
        EXPECT_EQ(grades[g], expected_grades[g]) << g;

    auto first_beyond = [](int days) {
        size_t i = 0;
        while (i < builtin_cases.size() && days_of(builtin_cases[i][1]) <= days)
            ++i;
        return i;
    };
    EXPECT_EQ(first_beyond(2), 262u);
    EXPECT_EQ(first_beyond(7), 514u);
    EXPECT_EQ(first_beyond(20), 774u);

    const int rows[5][6] = {{1, 1, 0, 15, 4, 1}, {262, 3, 3, 22, 3, 5}, {514, 8, 8, 22, 4, 8}, {774, 19, 21, 12, 4, 27},
        {961, 1800, 1800, 5, 5, 2048}};
    for (const auto& r : rows)
        EXPECT_EQ(builtin_cases[r[0]], make_case(r[1], r[2], r[3], r[4], r[5])) << r[0];
}

TEST_F(AnnTest, BuiltinMedianRatios)
{
    const double expected[6] = {0.0, 0.09, 0.24, 1.15, 2.67, 3.26};
    for (int g = 0; g < 6; ++g) {
        std::vector<double> ratios;
        for (const ann_case& c : builtin_cases) {
            const int elapsed = days_of(c[1]);
            if (elapsed >= 5 && c[3] == grade_input_table[g])
                ratios.push_back(static_cast<double>(days_of(c[4])) / elapsed);
        }
        ASSERT_FALSE(ratios.empty());
        std::sort(ratios.begin(), ratios.end());
        const size_t n = ratios.size();
        // Either middle value, and their mean, round to the wanted two decimals.
        for (double m : {ratios[(n - 1) / 2], ratios[n / 2], (ratios[(n - 1) / 2] + ratios[n / 2]) / 2})
            EXPECT_NEAR(m, expected[g], 0.005) << "grade " << g;
    }
}

}  // namespace
