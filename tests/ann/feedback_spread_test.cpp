#include <gtest/gtest.h>

#include <cstdlib>

#include "ann/ann_files.h"
#include "ann/feedback.h"
#include "ann/network.h"
#include "platform/crt_rand.h"
#include "support/database_helpers.h"

namespace {

class FeedbackSpreadTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
        crt_srand(11);
    }
};

// The spread over ±10 % of the network's answer is itself held to the neighbour grades'
// answers, which pulls it two thirds of the way back: a grade 3 never lands more than a
// fifteenth of the answer (and the rounding) away from it.
TEST_F(FeedbackSpreadTest, TheSpreadIntervalIsHeldToTheNeighbourGrades)
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

}  // namespace
