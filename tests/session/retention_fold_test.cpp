#include <gtest/gtest.h>

#include <random>
#include <string>

#include "session/retention_control.h"
#include "support/test_support.h"

namespace {

struct fold_shape {
    const char* name;
    uint32_t records;
    uint16_t items;  // ids drawn from 0..items-1
    uint16_t undo_percent;  // of the records
    uint16_t damaged_percent;
    size_t tail_bytes;  // a piece of a record after the last whole one
};

// Due reviews, lapses and same-day repeats of few items, so that undos take back grades the
// figures move by and repeats the next review depends on.
std::string random_log(const fold_shape& shape, std::mt19937& random)
{
    const auto draw = [&random](uint32_t n) { return static_cast<uint16_t>(random() % n); };
    std::string bytes;
    for (uint32_t n = 0; n < shape.records; ++n) {
        const bool repeat = draw(3) == 0;
        const review_record r{
            .item_id = draw(shape.items),
            .elapsed = repeat ? uint16_t{0} : draw(30),
            .interval_before = repeat ? uint16_t{0} : static_cast<uint16_t>(1 + draw(20)),
            .interval_after = static_cast<uint16_t>(1 + n % 20),  // now and then the next one's interval_before
            .grade = static_cast<uint8_t>(draw(10) < 9 ? 3 + draw(3) : draw(3)),
            .rp_after = static_cast<uint8_t>(draw(4)),
            .screen = static_cast<review_screen>(1 + draw(4)),
            .event = draw(100) < shape.undo_percent ? review_event::undo : review_event::grade,
        };
        unsigned char record[review_record_size];
        encode_review(r, record);
        if (draw(100) < shape.damaged_percent)
            record[23] = 7;  // no such event
        // An undo is now and then followed by a second of the same item.
        const int copies = r.event == review_event::undo && draw(3) == 0 ? 2 : 1;
        for (int c = 0; c < copies; ++c)
            bytes.append(reinterpret_cast<const char*>(record), sizeof record);
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
    std::mt19937 random(4);
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
