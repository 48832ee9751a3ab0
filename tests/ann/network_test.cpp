#include <limits>
#include <utility>

#include "ann/network.h"
#include "ann_test_support.h"
#include "platform/crt_rand.h"
#include "services/log.h"
#include "services/paths.h"
#include "services/random.h"

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
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ((std::vector{decode_days(1.0f), decode_days(0.01f), decode_days(0.5f), decode_days(10.0f), decode_days(nan), decode_days(INFINITY)}),
        (std::vector<uint16_t>{2047, 0, 512, 2047, 0, 2047}));
}

// Single-precision forward pass with every product and sum rounded on its own, or fused.
float reference_output(const std::array<float, ann_weight_count>& w, const ann_case& c, bool fused)
{
    float x[4];
    for (int i = 0; i < 4; ++i)
        x[i] = c[i] < ann_input_floor ? ann_input_floor : c[i];
    volatile float s = 0;
    for (int j = 0; j < ann_hidden; ++j) {
        const float* v = &w[4 * j];
        float a;
        if (fused) {
            a = std::fma(v[3], x[3], std::fma(v[2], x[2], std::fma(v[1], x[1], v[0] * x[0])));
        } else {
            volatile float p0 = v[0] * x[0], p1 = v[1] * x[1], p2 = v[2] * x[2], p3 = v[3] * x[3];
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
    int differing = 0;
    const auto& w = ann_globals().ann_weights;
    for (int ivl = 1; ivl < 400 && differing < 5; ivl += 7)
        for (int e = 1; e < 400 && differing < 5; e += 13) {
            const ann_case c = make_case(ivl, e, ivl % 50, e % 6, 0);
            const float separate = reference_output(w, c, false);
            ASSERT_EQ(*ann_step(c, ANN_QUERY), separate);
            differing += reference_output(w, c, true) != separate;
        }
    EXPECT_GT(differing, 0) << "no case told fused from separate products";
}

TEST_F(AnnTest, ModesInputFloorAndTraining)
{
    ann_state& s = ann_globals();
    const ann_case c = make_case(30, 45, 9, 5, 400);
    s.last_error = -1;
    const float* y_query = ann_step(c, ANN_QUERY);  // makes the network
    EXPECT_EQ(std::tuple(y_query, s.last_error, s.network->output.delta[0]), std::tuple(s.network->output.out, -1.0f, 0.0f));
    EXPECT_EQ(ann_step(c, ANN_EVALUATE), nullptr);
    EXPECT_NE(s.network->output.delta[0], 0.0f);
    EXPECT_EQ(s.ann_weights, builtin_weights);

    // An input of zero, or NaN, runs at the floor rather than spreading into the weights.
    const float f = ann_input_floor;
    ann_step({f, f, f, f, f}, ANN_EVALUATE);
    const float y = s.network->output.out[0];
    EXPECT_EQ(s.last_error, ((f - y) * (f - y)) * 0.5f);
    ann_step({0, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0}, ANN_EVALUATE);
    EXPECT_EQ(s.network->output.out[0], y);

    // Training: the hidden deltas use the output weights from before the step.
    s.learning_rate = 0.5f;
    const auto w = s.ann_weights;
    ann_step(c, ANN_QUERY);
    float h[ann_hidden];
    std::copy_n(s.network->hidden.out, ann_hidden, h);
    const float out = s.network->output.out[0];
    const float delta_out = ((1.0f - out) * out) * (c[4] - out);
    ann_step(c, ANN_TRAIN);
    int told = 0;
    for (int j = 0; j < ann_hidden; ++j) {
        const float new_out = h[j] * (delta_out * s.learning_rate) + w[ann_output_weights + j];
        EXPECT_EQ(s.ann_weights[ann_output_weights + j], new_out);
        const float delta_old = ((w[ann_output_weights + j] * delta_out) * (1.0f - h[j])) * h[j];
        EXPECT_EQ(s.network->hidden.delta[j], delta_old);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(s.ann_weights[4 * j + i], (delta_old * s.learning_rate) * c[i] + w[4 * j + i]);
        told += delta_old != ((new_out * delta_out) * (1.0f - h[j])) * h[j];
    }
    EXPECT_GT(told, 0);

    EXPECT_EQ(ann_interval(100, 100, 6, 9), ann_interval(100, 100, 6, 5));
    EXPECT_EQ(ann_interval(5000, 9000, 500, 5), ann_interval(2048, 2048, 128, 5));
}

TEST_F(AnnTest, CaseStoreGrowsAndResetsToTheShippedTable)
{
    ann_state& s = ann_globals();
    s.ann_weights[5] = 3.0f;
    generate_ann();
    EXPECT_EQ(std::pair(s.ann_weights[5], s.learning_rate), std::pair(3.0f, 0.1f));
    EXPECT_EQ(append_case(make_case(1, 1, 1, 1, 1)), nullptr) << "user cases come after the built-in ones";
    reset_case_store();
    EXPECT_EQ(std::pair(*case_at(961), case_at(962)), std::pair(builtin_cases[961], static_cast<ann_case*>(nullptr)));
    while (s.case_count < 3000)
        ASSERT_NE(append_case(make_case(2, 3, 4, 5, static_cast<uint16_t>(s.case_count))), nullptr);
    EXPECT_EQ(std::pair(days_of((*case_at(1024))[4]), days_of((*case_at(2047))[4])), std::pair(1024, 2047));

    // A merged built-in target lasts until the store is rebuilt; the shipped table never changes.
    const float shipped = builtin_cases[5][4];
    (*case_at(5))[4] = 0.75f;
    reset_case_store();
    EXPECT_EQ(std::tuple((*case_at(5))[4], builtin_cases[5][4], s.case_count), std::tuple(shipped, shipped, 962u));
    free_ann();
    EXPECT_EQ(std::tuple(s.case_count, case_store_capacity(), case_at(0)), std::tuple(0u, 0u, nullptr));
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
    static std::vector<unsigned> draws(uint32_t seed)
    {
        crt_srand(seed);
        std::vector<unsigned> k;
        for (int i = 0; i < 15; ++i)
            k.push_back(rand_below(ann_globals().case_count));
        crt_srand(seed);
        return k;
    }
};

TEST_F(TestErrorTest, TheEstimateIsAveragedWithTheLastAndSetsTheLearningRate)
{
    ann_state& s = ann_globals();
    // Errors 1/32, 1/128 and 1/128 on three distinct draws: sum 3/64, estimate 3.0 exactly.
    std::vector<unsigned> k = draws(1234);
    ASSERT_TRUE(k[0] != k[1] && k[1] != k[2] && k[0] != k[2]);
    for (const auto& [at, target] : {std::pair{0, 0.75f}, {1, 0.625f}, {2, 0.375f}})
        (*case_at(k[at]))[4] = target;
    s.test_error = 1.0f;
    s.learning_rate = 0.02f;
    EXPECT_EQ(compute_test_error(), 2.0f);
    EXPECT_EQ(std::pair(s.test_error, s.learning_rate), std::pair(2.0f, 0.1f));
    draws(1234);
    s.test_error = 0.0005f;  // no previous value: the estimate itself
    EXPECT_EQ(compute_test_error(), 3.0f);

    // A low estimate lowers the learning rate to a third of it.
    for (unsigned i : k)
        (*case_at(i))[4] = 0.5f;
    k = draws(99);
    s.test_error = 0.0f;
    (*case_at(k[4]))[4] = 0.5f + std::sqrt(0.15f / 32.0f);
    const float t = (*case_at(k[4]))[4] - 0.5f;
    const float estimate = ((t * t) * 0.5f) * 64.0f;
    EXPECT_EQ(compute_test_error(), estimate);
    EXPECT_EQ(s.learning_rate, estimate * 0.333333343f);
}

TEST_F(TestErrorTest, DrawsCoverUserCasesAndWarnWhenHigh)
{
    ann_state& s = ann_globals();
    while (s.case_count < 30000)
        append_case({0.5f, 0.5f, 0.5f, 0.5f, 1.0f});
    // Built-in cases have no error; every user case has 0.125.
    int user_draws = 0;
    for (unsigned index : draws(7))
        user_draws += index >= builtin_case_count;
    ASSERT_GT(user_draws, 0);
    temp_dir dir;
    ASSERT_EQ(set_data_dir(dir.path().c_str()), data_dir_status::set);
    set_log_on(true);
    const float expected = (user_draws * 0.125f) * 64.0f;
    EXPECT_EQ(compute_test_error(), expected);
    set_log_on(false);
    EXPECT_EQ(read_file(dir.file("error.log")), "WARNING: TestError = " + std::to_string(expected) + " (enormously high!)\n");

    // Without cases nothing is drawn.
    free_ann();
    crt_srand(5);
    EXPECT_EQ(compute_test_error(), expected);
    const int next = crt_rand();
    crt_srand(5);
    EXPECT_EQ(next, crt_rand());
}

}  // namespace
