#include <gtest/gtest.h>

#include "random_review_log.h"
#include "session/retention_control.h"
#include "support/test_support.h"

// The two passes over the file give what the fold over the standing grades gave.
TEST(RetentionFold, TheStreamedFiguresAreTheFoldOfTheStandingGrades)
{
    const log_shape shapes[] = {
        {"no undos", 4000, 30, 0, 0, 0, 0},
        {"undos and chains", 4000, 30, 15, 33, 0, 0},
        {"undos of few items", 1000, 6, 30, 33, 0, 0},
        {"damage and a piece", 4000, 30, 10, 33, 5, 13},
        {"many chunks", 300'000, 2000, 3, 33, 1, 5},
    };
    temp_dir dir;
    const std::string path = dir.file(review_log_name);
    std::mt19937 random(5);
    for (const log_shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        write_file(path, random_review_log(shape, random));
        const retention_control folded = retention_control_of(standing_reviews(read_review_log(path).records));
        EXPECT_NE(folded.growth_log, 0.0f);
        EXPECT_NE(folded.repeat_log, 0.0f);
        EXPECT_EQ(read_retention_control(path), folded);
    }
    EXPECT_EQ(read_retention_control(dir.file("nothing.log")), retention_control{});
}
