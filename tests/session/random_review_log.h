#pragma once
// Random reviews.log files for comparing the passes over the file with the folds over its
// standing grades.
#include <random>
#include <string>

#include "session/review_log.h"

struct log_shape {
    const char* name;
    uint32_t records;
    uint32_t items;  // ids drawn from 0..items-1
    int undo_percent;  // of the records
    int chain_percent;  // of the undos, followed by a second undo of the same item
    int damaged_percent;
    size_t tail_bytes;  // a piece of a record after the last whole one
    uint16_t today = 100;
};

// Due reviews, lapses and same-day repeats of few items, on days from 60 before today to 2 after
// it (as a changed clock leaves them), so that undos take back grades the figures move by.
inline std::string random_review_log(const log_shape& shape, std::mt19937& random)
{
    const auto draw = [&random](uint32_t n) { return static_cast<uint16_t>(random() % n); };
    std::string bytes;
    for (uint32_t n = 0; n < shape.records; ++n) {
        const bool repeat = draw(3) == 0;
        const review_record r{
            .item_id = draw(shape.items),
            .day = static_cast<uint16_t>(shape.today - 60 + draw(63)),
            .elapsed = repeat ? uint16_t{0} : draw(30),
            .interval_before = repeat ? uint16_t{0} : static_cast<uint16_t>(1 + draw(20)),
            .test_error = draw(3) == 0 ? 0.0f : static_cast<float>(draw(1000)) / 1000.0f,
            .grade = static_cast<uint8_t>(draw(10) < 9 ? 3 + draw(3) : draw(3)),
            .rp_after = static_cast<uint8_t>(draw(4)),
            .screen = static_cast<review_screen>(1 + draw(4)),
            .event = draw(100) < shape.undo_percent ? review_event::undo : review_event::grade,
        };
        unsigned char record[review_record_size];
        encode_review(r, record);
        if (draw(100) < shape.damaged_percent)
            record[23] = 7;  // no such event
        const int copies = r.event == review_event::undo && draw(100) < shape.chain_percent ? 2 : 1;
        for (int c = 0; c < copies; ++c)
            bytes.append(reinterpret_cast<const char*>(record), sizeof record);
    }
    bytes.append(shape.tail_bytes, '\x02');
    return bytes;
}
