#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "ann/network.h"
#include "ann_test_support.h"
#include "database/database.h"
#include "services/log.h"
#include "services/paths.h"
#include "services/random.h"
#include "session/lifecycle.h"
#include "platform/crt_rand.h"

namespace {

TEST(AnnEncoding, DaysRepetitionsAndGradesAndTheirBounds)
{
    EXPECT_EQ((std::vector{encode_days(0), encode_days(8), encode_days(2048), encode_days(5000)}),
        (std::vector{0.0f, 0.0625f, 1.0f, 1.0f}));
    EXPECT_EQ((std::vector{encode_repetitions(128), encode_repetitions(300), encode_repetitions(64)}),
        (std::vector{1.0f, 1.0f, 0.5f}));
    EXPECT_EQ(std::pair(encode_grade(6), encode_grade(4)), std::pair(encode_grade(5), 0.8f));
    // Every whole day count survives the round trip; outputs past the range are its ends.
    for (int d = 0; d < 2048; ++d)
        ASSERT_EQ(decode_days(encode_days(static_cast<uint16_t>(d))), d) << d;
    constexpr float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    std::vector<uint16_t> decoded;
    for (const float y : {1.0f, 0.01f, 0.5f, 10.0f, nan, infinity})
        decoded.push_back(decode_days(y));
    EXPECT_EQ(decoded, (std::vector<uint16_t>{2047, 0, 512, 2047, 0, 2047}));
}

// Single-precision forward pass with every product and sum rounded on its own.
float reference_output(const std::array<float, ann_weight_count>& w, const ann_case& c, bool fused)
{
    float x[4];
    for (int i = 0; i < 4; ++i)
        x[i] = c[i] < ann_input_floor ? ann_input_floor : c[i];
    volatile float s = 0;
    for (int j = 0; j < ann_hidden; ++j) {
        float a;
        if (fused)
            a = std::fma(w[4 * j + 3], x[3], std::fma(w[4 * j + 2], x[2], std::fma(w[4 * j + 1], x[1], w[4 * j] * x[0])));
        else {
            volatile float p0 = w[4 * j] * x[0], p1 = w[4 * j + 1] * x[1], p2 = w[4 * j + 2] * x[2], p3 = w[4 * j + 3] * x[3];
            volatile float s01 = p0 + p1;
            volatile float s012 = s01 + p2;
            a = s012 + p3;
        }
        const float h = 1.0f / (static_cast<float>(std::exp(-static_cast<double>(a))) + 1.0f);
        volatile float p = w[ann_output_weights + j] * h;
        s = p + s;
    }
    return 1.0f / (static_cast<float>(std::exp(-static_cast<double>(s))) + 1.0f);
}

TEST_F(AnnTest, ForwardPassRoundsEveryProduct)
{
    // Find cases where a fused multiply-add would give another output, and check that the
    // network gives the separately rounded one.
    int differing = 0;
    const auto& w = ann_globals().ann_weights;
    for (int ivl = 1; ivl < 400 && differing < 5; ivl += 7)
        for (int e = 1; e < 400 && differing < 5; e += 13) {
            const ann_case c = make_case(ivl, e, ivl % 50, e % 6, 0);
            const float separate = reference_output(w, c, false);
            ASSERT_EQ(*ann_step(c, ANN_QUERY), separate);
            if (reference_output(w, c, true) != separate)
                ++differing;
        }
    EXPECT_GT(differing, 0) << "no case told fused from separate products";
}

TEST_F(AnnTest, AllZeroCaseRunsAtTheFloor)
{
    const ann_case zero{};
    const ann_case floor = {ann_input_floor, ann_input_floor, ann_input_floor, ann_input_floor, ann_input_floor};
    ann_step(floor, ANN_EVALUATE);
    const float y = ann_globals().network->output.out[0];
    const float error = ann_globals().last_error;
    ann_step(zero, ANN_EVALUATE);
    EXPECT_EQ(ann_globals().network->output.out[0], y);
    EXPECT_EQ(ann_globals().last_error, error);
    const float e = ann_input_floor - y;
    EXPECT_EQ(error, (e * e) * 0.5f);
    // A NaN input is floored too rather than spreading into the weights.
    ann_case damaged = floor;
    damaged[1] = std::numeric_limits<float>::quiet_NaN();
    ann_step(damaged, ANN_TRAIN);
    for (float v : ann_globals().ann_weights)
        ASSERT_TRUE(std::isfinite(v));
}

TEST_F(AnnTest, ModesAndTheirSideEffects)
{
    ann_state& s = ann_globals();
    const ann_case c = make_case(10, 12, 4, 4, 40);
    s.last_error = -1;
    const float* y = ann_step(c, ANN_QUERY);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y, s.network->output.out);
    EXPECT_EQ(s.last_error, -1);
    EXPECT_EQ(s.network->output.delta[0], 0.0f);
    EXPECT_EQ(s.ann_weights, builtin_weights);

    EXPECT_EQ(ann_step(c, ANN_EVALUATE), nullptr);
    EXPECT_NE(s.last_error, -1);
    EXPECT_NE(s.network->output.delta[0], 0.0f);
    EXPECT_EQ(s.ann_weights, builtin_weights);

    const ann_case before = c;
    ann_step(c, ANN_TRAIN);
    EXPECT_NE(s.ann_weights, builtin_weights);
    EXPECT_EQ(c, before);
}

TEST_F(AnnTest, TrainingUsesOutputWeightsFromBeforeTheStep)
{
    ann_state& s = ann_globals();
    s.learning_rate = 0.5f;
    const auto w = s.ann_weights;
    const ann_case c = make_case(30, 45, 9, 5, 400);
    ann_step(c, ANN_QUERY);
    float h[ann_hidden];
    for (int j = 0; j < ann_hidden; ++j)
        h[j] = s.network->hidden.out[j];
    const float y = s.network->output.out[0];
    const float delta_out = ((1.0f - y) * y) * (c[4] - y);
    ann_step(c, ANN_TRAIN);
    int told = 0;
    for (int j = 0; j < ann_hidden; ++j) {
        const float g_out = delta_out * s.learning_rate;
        const float new_out = h[j] * g_out + w[ann_output_weights + j];
        EXPECT_EQ(s.ann_weights[ann_output_weights + j], new_out);
        const float delta_old = ((w[ann_output_weights + j] * delta_out) * (1.0f - h[j])) * h[j];
        const float delta_new = ((new_out * delta_out) * (1.0f - h[j])) * h[j];
        EXPECT_EQ(s.network->hidden.delta[j], delta_old);
        const float g = delta_old * s.learning_rate;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(s.ann_weights[4 * j + i], g * c[i] + w[4 * j + i]);
        told += delta_old != delta_new;
    }
    EXPECT_GT(told, 0);
}

TEST_F(AnnTest, IntervalQueryClampsItsInputs)
{
    EXPECT_EQ(ann_interval(100, 100, 6, 9), ann_interval(100, 100, 6, 5));
    EXPECT_EQ(ann_interval(5000, 9000, 500, 5), ann_interval(2048, 2048, 128, 5));
}

TEST_F(AnnTest, GenerateAnnKeepsTheWeights)
{
    ann_state& s = ann_globals();
    s.ann_weights[5] = 3.0f;
    s.learning_rate = 0.01f;
    generate_ann();
    EXPECT_EQ(s.ann_weights[5], 3.0f);
    EXPECT_EQ(s.learning_rate, 0.1f);
    EXPECT_EQ(case_store_capacity(), 1024u);
    ASSERT_TRUE(s.network);
    for (float v : s.network->hidden_values)
        EXPECT_EQ(v, 0.0f);
}

TEST_F(AnnTest, CaseStoreGrowsInStepsOf1024)
{
    generate_ann();
    EXPECT_EQ(append_case(make_case(1, 1, 1, 1, 1)), nullptr) << "user cases come after the built-in ones";
    reset_case_store();
    ann_state& s = ann_globals();
    EXPECT_EQ(s.case_count, builtin_case_count);
    EXPECT_EQ(*case_at(961), builtin_cases[961]);
    EXPECT_EQ(case_at(962), nullptr);
    while (s.case_count < 1024) {
        ASSERT_NE(append_case(make_case(2, 3, 4, 5, static_cast<uint16_t>(s.case_count))), nullptr);
        ASSERT_EQ(case_store_capacity(), 1024u);
    }
    ann_case* at_1024 = append_case(make_case(7, 7, 7, 3, 9));
    ASSERT_NE(at_1024, nullptr);
    EXPECT_EQ(case_store_capacity(), 2049u);
    EXPECT_EQ(case_at(1024), at_1024);
    EXPECT_EQ(days_of((*case_at(1023))[4]), 1023);
    while (s.case_count < 2048)
        append_case(make_case(1, 1, 1, 1, 1));
    EXPECT_EQ(case_store_capacity(), 2049u);
    append_case(make_case(1, 1, 1, 1, 1));
    EXPECT_EQ(case_store_capacity(), 3073u);

    // A merged built-in target lasts until the store is rebuilt; the shipped table never changes.
    const float shipped = builtin_cases[5][4];
    (*case_at(5))[4] = 0.75f;
    reset_case_store();
    EXPECT_EQ((*case_at(5))[4], shipped);
    EXPECT_EQ(builtin_cases[5][4], shipped);
    EXPECT_EQ(s.case_count, builtin_case_count);

    free_ann();
    EXPECT_EQ(s.case_count, 0u);
    EXPECT_EQ(case_store_capacity(), 0u);
    EXPECT_EQ(case_at(0), nullptr);
}

// With every weight 0 the output is 0.5 for any case, so a case's error is set by its target.
class TestErrorTest : public AnnTest {
protected:
    void SetUp() override
    {
        AnnTest::SetUp();
        generate_ann();
        reset_case_store();
        ann_globals().ann_weights.fill(0.0f);
        for (uint32_t i = 0; i < ann_globals().case_count; ++i)
            (*case_at(i))[4] = 0.5f;
    }
    // The indexes compute_test_error will draw after crt_srand(seed).
    std::vector<unsigned> draws(uint32_t seed)
    {
        crt_srand(seed);
        std::vector<unsigned> k;
        for (int i = 0; i < 15; ++i)
            k.push_back(rand_below(ann_globals().case_count));
        crt_srand(seed);
        return k;
    }
};

TEST_F(TestErrorTest, ExamplesWithASeededGenerator)
{
    ann_state& s = ann_globals();
    std::vector<unsigned> k = draws(1234);
    ASSERT_NE(k[0], k[1]);
    ASSERT_NE(k[0], k[2]);
    ASSERT_NE(k[1], k[2]);
    // Errors 1/32, 1/128 and 1/128 on the first three draws: sum 3/64, T = 3.0 exactly.
    (*case_at(k[0]))[4] = 0.75f;
    (*case_at(k[1]))[4] = 0.625f;
    (*case_at(k[2]))[4] = 0.375f;
    for (size_t i = 3; i < k.size(); ++i)
        ASSERT_TRUE(k[i] != k[0] && k[i] != k[1] && k[i] != k[2]);
    s.test_error = 1.0f;
    s.learning_rate = 0.02f;
    EXPECT_EQ(compute_test_error(), 2.0f);
    EXPECT_EQ(s.test_error, 2.0f);
    EXPECT_EQ(s.learning_rate, 0.1f);

    // No previous value: the estimate itself.
    draws(1234);
    s.test_error = 0.0005f;
    EXPECT_EQ(compute_test_error(), 3.0f);
}

TEST_F(TestErrorTest, LowEstimateLowersTheLearningRate)
{
    ann_state& s = ann_globals();
    const std::vector<unsigned> k = draws(99);
    // One drawn case with error 0.15 / 64 gives T = 0.15.
    const float e = std::sqrt(0.15f / 32.0f);
    (*case_at(k[4]))[4] = 0.5f + e;
    const float t = ((*case_at(k[4]))[4] - 0.5f);
    const float estimate = ((t * t) * 0.5f) * 64.0f;
    EXPECT_NEAR(estimate, 0.15f, 1e-6);
    EXPECT_EQ(compute_test_error(), estimate);
    EXPECT_EQ(s.learning_rate, estimate * 0.333333343f);
    EXPECT_NEAR(s.learning_rate, 0.05f, 1e-6);
}

TEST_F(TestErrorTest, DrawsCoverUserCasesAndWarnWhenHigh)
{
    ann_state& s = ann_globals();
    while (s.case_count < 30000)
        append_case({0.5f, 0.5f, 0.5f, 0.5f, 1.0f});
    // Built-in cases have no error; every user case has 0.125, so only draws above 961 count.
    const std::vector<unsigned> k = draws(7);
    int user_draws = 0;
    for (unsigned index : k)
        user_draws += index >= builtin_case_count;
    ASSERT_GT(user_draws, 0);
    temp_dir dir;
    ASSERT_EQ(set_data_dir(dir.path().c_str()), data_dir_status::set);
    set_log_on(true);
    const float expected = (user_draws * 0.125f) * 64.0f;
    EXPECT_EQ(compute_test_error(), expected);
    set_log_on(false);
    ASSERT_GT(expected, 8.0f);
    EXPECT_EQ(read_file(dir.file("error.log")), "WARNING: TestError = " + std::to_string(expected) + " (enormously high!)\n");
}

TEST_F(AnnTest, TestErrorWithoutCasesDrawsNothing)
{
    crt_srand(5);
    ann_globals().test_error = 0.7f;
    EXPECT_EQ(compute_test_error(), 0.7f);
    const int next = crt_rand();
    crt_srand(5);
    EXPECT_EQ(next, crt_rand());
}

}  // namespace
