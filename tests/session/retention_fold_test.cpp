#include <gtest/gtest.h>

#include <random>
#include <string>

#include "session/retention_control.h"
#include "support/test_support.h"

namespace {

struct fold_shape {
    const char* name;
    uint32_t records;
    uint32_t items;  // ids drawn from 0..items-1
    int undo_percent;  // of the records; each undo may be followed by a second of the same item
    int damaged_percent;
    size_t tail_bytes;  // a piece of a record after the last whole one
};

// Due reviews, lapses and same-day repeats of few items, so that undos take back grades the
// figures move by and repeats the next review depends on.
std::string random_log(const fold_shape& shape, std::mt19937& random)
{
    std::string bytes;
    unsigned char record[review_record_size];
    auto put = [&](const review_record& r, bool damage) {
        encode_review(r, record);
        if (damage)
            record[23] = 7;
        bytes.append(reinterpret_cast<const char*>(record), sizeof record);
    };
    for (uint32_t n = 0; n < shape.records; ++n) {
        review_record r;
        r.item_id = random() % shape.items;
        const bool repeat = random() % 3 == 0;
        r.interval_before = repeat ? 0 : static_cast<uint16_t>(1 + random() % 20);
        r.elapsed = repeat ? 0 : static_cast<uint16_t>(random() % 30);
        r.rp_after = static_cast<uint8_t>(random() % 4);
        r.grade = static_cast<uint8_t>(random() % 10 < 9 ? 3 + random() % 3 : random() % 3);
        r.screen = static_cast<review_screen>(1 + random() % 4);
        const bool undo = static_cast<int>(random() % 100) < shape.undo_percent;
        r.event = undo ? review_event::undo : review_event::grade;
        put(r, static_cast<int>(random() % 100) < shape.damaged_percent);
        if (undo && random() % 3 == 0)
            put(r, false);
    }
    bytes.append(shape.tail_bytes, '\x02');
    return bytes;
}

}  // namespace

// The two passes over the file give what the fold over the standing grades gave.
TEST(RetentionFold, TheStreamedFiguresAreTheFoldOfTheStandingGrades)
{
    const fold_shape shapes[] = {
        {"no undos", 4000, 30, 0, 0, 0},
        {"undos and chains", 4000, 30, 15, 0, 0},
        {"undos of few items", 1000, 6, 30, 0, 0},
        {"damage and a piece", 4000, 30, 10, 5, 13},
        {"many chunks", 300'000, 2000, 3, 1, 5},
    };
    temp_dir dir;
    const std::string path = dir.file(review_log_name);
    std::mt19937 random(3);
    for (const fold_shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        write_file(path, random_log(shape, random));
        const retention_control folded = retention_control_of(standing_reviews(read_review_log(path).records));
        EXPECT_NE(folded.growth_log, 0.0f);
        EXPECT_NE(folded.repeat_log, 0.0f);
        EXPECT_EQ(read_retention_control(path), folded);
    }
    EXPECT_EQ(read_retention_control(dir.file("nothing.log")), retention_control{});
}
