#include <cerrno>
#include <random>

#include "ann/ann_files.h"
#include "database/days.h"
#include "platform/crt_rand.h"
#include "session/first_day.h"
#include "session/retention_control.h"
#include "session/review_stats.h"
#include "session/saving.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace {

class ReviewLogTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
        crt_srand(5);
    }
    std::string log_path() const { return dir.file("reviews.log"); }
};

TEST_F(ReviewLogTest, AScriptedSessionLeavesTheseBytes)
{
    go_to_day(3);
    item* added = add_reviewed(4, "der Kult", "the cult", 0);
    const uint16_t first_interval = added->ivl;
    pending_item* queued = add_test_pending(0, "die Zeit", "time");
    item* introduced = introduce_reviewed(2, queued);
    go_to_day(3 + first_interval);
    const uint16_t regraded = grade_reviewed(added, 5, review_screen::scheduled);
    ASSERT_TRUE(undo_last_grade().undone);

    const std::string bytes = read_file(log_path());
    ASSERT_EQ(bytes.size(), 4 * review_record_size);
    const uint32_t day3 = 1768478400u + 3 * 86400;
    float error = ann_globals().test_error;
    const std::string error_bytes(reinterpret_cast<const char*>(&error), 4);
    const std::string due_review = le32(day3 + first_interval * 86400u) + le32(added->id)
        + le16(static_cast<uint16_t>(3 + first_interval)) + le16(first_interval) + le16(first_interval) + le16(regraded)
        + error_bytes + std::string("\x05\x01\x01", 3);
    // The add screen's grade, the queue's introduction, the due review and its undo.
    EXPECT_EQ(bytes.substr(0, 16), le32(day3) + le32(added->id) + le16(3) + le16(0) + le16(0) + le16(first_interval));
    EXPECT_EQ(bytes.substr(20, 4), std::string("\x04\x00\x03\x00", 4));
    EXPECT_EQ(bytes.substr(28, 4) + bytes.substr(38, 2), le32(introduced->id) + le16(introduced->ivl));
    EXPECT_EQ(bytes.substr(44, 4), std::string("\x02\x00\x02\x00", 4));
    EXPECT_EQ(bytes.substr(48), due_review + '\x00' + due_review + '\x01');
}

TEST_F(ReviewLogTest, APieceOfARecordIsIgnoredAndCutBeforeTheNextAppend)
{
    go_to_day(1);
    add_reviewed(3, "q1", "a1", 0);
    write_file(log_path(), read_file(log_path()) + std::string(10, '\x07'));
    review_history h = read_review_log(log_path());
    EXPECT_EQ(std::tuple(h.records.size(), h.partial_bytes), std::tuple(1u, 10u));
    add_reviewed(1, "q2", "a2", 0);
    const std::string bytes = read_file(log_path());
    h = read_review_log(log_path());
    ASSERT_EQ(std::tuple(bytes.size(), h.records.size()), std::tuple(2 * review_record_size, 2u));
    EXPECT_EQ(h.records[1].grade, 1);
    EXPECT_NE(log().find("reviews.log ended in a piece of a record"), std::string::npos);

    // Grades 0 to 5, screens 1 to 4, events grade and undo: one step past is a damaged record.
    for (const auto& [at, value, damaged] : {std::tuple{20, 5, 0u}, {20, 6, 1u}, {22, 0, 1u}, {22, 1, 0u}, {22, 4, 0u},
             {22, 5, 1u}, {23, 1, 0u}, {23, 2, 1u}}) {
        std::string changed = bytes;
        changed[static_cast<size_t>(at)] = static_cast<char>(value);
        write_file(log_path(), changed);
        h = read_review_log(log_path());
        EXPECT_EQ(std::tuple(h.records.size(), h.damaged), std::tuple(2u - damaged, damaged)) << at << " " << value;
    }
    EXPECT_FALSE(read_review_log(dir.file("nothing.log")).found);
}

TEST(ReviewStatsTest, FiguresOfAScriptedHistory)
{
    auto review = [](uint16_t day, uint32_t id, uint16_t before, uint16_t elapsed, uint8_t grade) {
        return review_record{.item_id = id, .day = day, .elapsed = elapsed, .interval_before = before,
            .test_error = static_cast<float>(day) / 100.0f, .grade = grade};
    };
    const std::vector<review_record> log = {
        review(10, 1, 4, 4, 3),  // due, passed with the lowest passing grade, band 4-7
        review(10, 2, 4, 6, 2),  // late, failed, band 4-7
        review(10, 3, 20, 5, 1),  // early: not a retention figure
        review(12, 4, 1, 1, 5),  // due, passed, band 1
    };
    const history_figures figures = figures_of(log, 13);
    const daily_figures& daily = figures.daily;
    EXPECT_EQ(std::tuple(daily.first_day, daily.reviews, daily.retention[0].reviews, daily.retention[1].reviews,
                  daily.retention[0].share(), daily.retention[2].share()),
        std::tuple(10, std::vector<uint32_t>{3, 0, 1, 0}, 2u, 0u, 0.5, 1.0));
    EXPECT_FLOAT_EQ(daily.test_error[2], 0.12f);
    const auto band = [&](int interval) { return figures.by_band[static_cast<size_t>(band_of(interval))]; };
    EXPECT_EQ(std::tuple(band(1).reviews, band(5).reviews, band(5).passed, band(20).reviews), std::tuple(1u, 2u, 1u, 0u));

    for (int b = 1; b < band_count; ++b)
        EXPECT_EQ(band_low(b), band_high(b - 1) + 1) << b;
    EXPECT_EQ(std::tuple(band_of(2047), band_of(1024), band_of(1023)), std::tuple(band_count - 1, band_count - 1, band_count - 2));
}

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

// Due reviews, lapses and repeats of few items, up to two days ahead as a changed clock leaves them.
std::string random_review_log(const log_shape& shape, std::mt19937& random)
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
            .interval_after = static_cast<uint16_t>(1 + n % 20),  // now and then the next one's interval_before
            .test_error = draw(3) == 0 ? 0.0f : static_cast<float>(draw(1000)) / 1000.0f,
            .grade = static_cast<uint8_t>(draw(10) < 9 ? 3 + draw(3) : draw(3)),
            .rp_after = static_cast<uint8_t>(draw(4)),
            .screen = static_cast<review_screen>(1 + draw(4)),
            .event = draw(100) < shape.undo_percent ? review_event::undo : review_event::grade,
        };
        std::string record = review_bytes(r);
        if (draw(100) < shape.damaged_percent)
            record[23] = 7;  // no such event
        const int copies = r.event == review_event::undo && draw(100) < shape.chain_percent ? 2 : 1;
        for (int c = 0; c < copies; ++c)
            bytes += record;
    }
    bytes.append(shape.tail_bytes, '\x02');
    return bytes;
}

}  // namespace

// The passes over the file give what the folds over the standing grades give.
TEST_F(ReviewLogTest, ThePassesOverTheFileAgreeWithTheStandingGrades)
{
    const log_shape shapes[] = {
        {"empty", 0, 1, 0, 0, 0, 0},
        {"only a piece", 0, 1, 0, 0, 0, 7},
        {"no undos", 3000, 50, 0, 0, 0, 0},
        {"undos of few items", 3000, 5, 20, 30, 0, 0},
        {"undo chains, most unmatched", 2000, 300, 45, 80, 0, 0},
        {"damage and a piece", 3000, 40, 10, 20, 5, 23},
        {"days wrapping past 65535", 3000, 40, 10, 20, 0, 0, 30},
        {"many chunks", 200'000, 20'000, 2, 50, 1, 11, 500},
    };
    std::mt19937 random(31);
    for (const log_shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        write_file(log_path(), random_review_log(shape, random));
        const review_history old = read_review_log(log_path());
        const std::vector<review_record> standing = standing_reviews(old.records);
        const history_figures forward = figures_of(standing, shape.today);
        const history_figures now = read_history_figures(log_path(), shape.today);
        EXPECT_EQ(read_retention_control(log_path()), retention_control_of(standing));

        EXPECT_EQ(std::tuple(now.found, now.damaged, now.partial_bytes), std::tuple(true, old.damaged, old.partial_bytes));
        EXPECT_TRUE(now.daily == forward.daily && now.by_band == forward.by_band && now.grading == forward.grading);
    }
    EXPECT_EQ(read_retention_control(dir.file("nothing.log")), retention_control{});
    const history_figures missing = read_history_figures(dir.file("nothing.log"), 100);
    EXPECT_EQ(std::tuple(missing.found, missing.by_band.size(), missing.daily.reviews.empty()), std::tuple(false, size_t{band_count}, true));
}

TEST_F(ReviewLogTest, TheScheduleAheadCountsOverdueItemsToday)
{
    go_to_day(20);
    for (const auto& [day, interval] : {std::pair{5, 3}, {20, 10}, {21, 10}, {25, 300}, {60, 1500}})
        add_test_item(static_cast<uint16_t>(day), 0, static_cast<uint16_t>(interval));
    EXPECT_TRUE(due_per_day(20, 6) == (std::vector<uint32_t>{2, 1, 0, 0, 0, 1}) && due_per_day(20, 0).empty());
    const item_bands bands = item_histograms();
    EXPECT_EQ(std::tuple(bands.intervals[static_cast<size_t>(band_of(3))], bands.intervals[static_cast<size_t>(band_of(10))],
                  bands.intervals[band_count - 1], bands.repetitions[0]), std::tuple(1u, 2u, 1u, 5u));
}

TEST_F(ReviewLogTest, AFailedAppendIsToldOnceAndItsRecordsWaitForTheNextChance)
{
    go_to_day(2);
    item* e = add_reviewed(4, "q", "a", 0);
    const std::string before = read_file(log_path());
    fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
    go_to_day(2 + e->ivl);
    grade_reviewed(e, 5, review_screen::scheduled);
    EXPECT_EQ(e->gr, 5);
    grade_reviewed(e, 3, review_screen::forced);
    EXPECT_EQ(std::tuple(read_file(log_path()), held_review_count()), std::tuple(before, 2u));
    EXPECT_NE(log().find("cannot append to"), std::string::npos);
    EXPECT_TRUE(take_review_log_warning() == ENOSPC && take_review_log_warning() == 0);

    // A save brings them in. Below: an unsynced record is in the file and does not wait; the
    // close is the last chance.
    fail_file_operations({});
    ASSERT_EQ(save_database(), save_status::done);
    EXPECT_EQ(held_review_count(), 0u);
    fail_file_operations({{.op = file_op::fsync, .path_part = "reviews.log", .error = ENOSPC}});
    EXPECT_EQ(append_review(review_record{.grade = 2}), review_append_status::cannot_sync);
    EXPECT_NE(log().find("cannot sync"), std::string::npos);
    fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
    grade_reviewed(e, 1, review_screen::forced);
    fail_file_operations({});
    // The first day moves back (an older collection joins): the waiting grade's day moves too.
    const uint16_t graded_on = day_number(0);
    ASSERT_EQ(move_first_day_back(db().time_of_start - 10 * 86400, 10), first_day_move::moved);
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    std::vector<std::pair<int, int>> grades;
    for (const review_record& logged : read_review_log(log_path()).records)
        grades.emplace_back(logged.grade, logged.day);
    EXPECT_EQ(grades, (std::vector<std::pair<int, int>>{{4, 12}, {5, graded_on + 10}, {3, graded_on + 10}, {2, 10}, {1, graded_on + 10}}));
}

TEST_F(ReviewLogTest, AKillAtAnyFileOperationOfAGradeLeavesWholeRecords)
{
    go_to_day(1);
    std::vector<item*> items;
    for (int i = 0; i < 6; ++i)
        items.push_back(add_reviewed(static_cast<uint16_t>(i % 6), ("q" + std::to_string(i)).c_str(), "a", 0));
    go_to_day(30);
    const std::string log_before = read_file(log_path());
    const auto grade_all_dying_at = [&](int kill_at) {
        return run_in_child([&] {
            kill_at_file_operation(kill_at);
            for (item* e : items)
                grade_reviewed(e, 3, review_screen::scheduled);
            return file_operations_seen();
        });
    };
    const int operations = grade_all_dying_at(-1);
    ASSERT_GE(operations, 12);  // at least a write and a sync of the log per grade
    for (int kill_at = 0; kill_at < operations; ++kill_at) {
        write_file(log_path(), log_before);
        grade_all_dying_at(kill_at);
        const review_history h = read_review_log(log_path());
        EXPECT_TRUE(h.partial_bytes == 0 && h.damaged == 0 && h.records.size() >= 6 && h.records.size() <= 12) << kill_at;
        EXPECT_EQ(read_file(log_path()).substr(0, log_before.size()), log_before) << kill_at;
        EXPECT_EQ(read_file(dir.file("user_cases.bin")).size() % 20, 0u) << kill_at;  // none when missing
    }
}
