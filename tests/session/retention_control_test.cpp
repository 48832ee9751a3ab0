#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <tuple>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "services/paths.h"
#include "session/choose.h"
#include "session/grading.h"
#include "session/retention_control.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace {

retention_control figures(double growth, double repeat_share, double young_share = 1, double hard_share = 1, double held_share = 1)
{
    return {static_cast<float>(std::log(growth)), static_cast<float>(std::log(repeat_share)), static_cast<float>(std::log(young_share)),
        static_cast<float>(std::log(hard_share)), static_cast<float>(std::log(held_share))};
}

retention_control replayed_log()
{
    return retention_control_of(standing_reviews(read_review_log(data_path(review_log_name)).records));
}

}  // namespace

TEST(RetentionControl, AppliedIntervalFollowsTheFigures)
{
    struct row {
        retention_control control;
        uint16_t interval, elapsed, grade;
        interval_origin origin;
        uint16_t expected;
    };
    constexpr auto spaced = interval_origin::grade, repeat = interval_origin::repeat, young = interval_origin::young;
    const retention_control grown = figures(2, 0.25, 0.5, 1.5);
    for (const row& r : std::initializer_list<row>{
             {grown, 12, 10, 4, spaced, 20},  // grown past the network's answer
             {grown, 12, 10, 5, spaced, 21},  // a 5 beyond a 4
             {grown, 30, 10, 4, spaced, 30},  // the network's answer above the floor stays
             {grown, 12, 10, 3, spaced, 12},  // a hard recall does not grow
             {grown, 12, 10, 3, interval_origin::hard, 18},  // but keeps its own share
             {grown, 0, 10, 2, spaced, 0},    // nor does a failure
             {grown, 8, 0, 5, repeat, 2},     // a repeat keeps a quarter of the answer
             {grown, 1, 0, 4, repeat, 1},     // but at least a day
             {grown, 0, 0, 1, repeat, 0},     // a failed repeat comes back today
             {grown, 8, 0, 4, young, 4},      // a young item its own share
             {figures(1, 1, 2), 8, 0, 4, young, 16},
             {figures(1, 1, 2), 2000, 0, 4, young, 2047},  // not past the longest interval
             {figures(1, 1), 12, 10, 4, spaced, 12},
             {figures(1, 1, 1, 1, 0.5), 30, 10, 5, spaced, 15},  // the guard shortens a pass
             {figures(1, 1, 1, 2, 0.5), 30, 10, 3, interval_origin::hard, 30},  // after the 3's own share
             {figures(1, 1, 1, 1, 0.5), 1, 10, 3, spaced, 1},  // to a day at the least
             {figures(1, 1, 0.5, 1, 0.5), 8, 0, 4, young, 4},  // not a young item's
             {figures(1, 0.5, 1, 1, 0.5), 8, 0, 4, repeat, 4},  // nor a repeat's
         })
        EXPECT_EQ(controlled_interval(r.control, r.interval, r.elapsed, r.grade, r.origin), r.expected)
            << r.interval << " " << r.elapsed << " " << r.grade << " " << static_cast<int>(r.origin);
}

TEST(RetentionControl, FiguresSettleWhereTheTargetIsRecalled)
{
    // Reviews recalled at a given share, from the figures the row before left.
    retention_control c;
    auto run = [&c](double recalled, interval_origin origin, int reviews = 3000) {
        for (int n = 0; n < reviews; ++n)
            note_due_review(c, std::floor((n + 1) * recalled) > std::floor(n * recalled) ? 4 : 1, origin, 1, 1);
        return std::array<double, 5>{c.growth_log, c.repeat_log, c.young_log, c.hard_log, c.guard_log};
    };
    struct row {
        double recalled;
        interval_origin origin;
        double growth, repeat_share, young_share, hard_share = 1, held_share = 1;
    };
    constexpr auto spaced = interval_origin::grade, repeat = interval_origin::repeat, young = interval_origin::young,
                   hard = interval_origin::hard;
    for (const row& r : std::initializer_list<row>{
             {0.97, spaced, most_growth, 1, 1},  // up to the bound; the shares untouched
             {0.8, repeat, 1, least_repeat_share, 1},
             {0.9, repeat, most_growth, least_repeat_share, 1},  // at the shares' target; growth aims lower
             {0.85, spaced, 1, least_repeat_share, 1},           // and falls back below its aim
             {0.97, young, most_growth, least_repeat_share, most_young_share},
             {0.8, young, 1, least_repeat_share, least_repeat_share},
             {0.8, hard, 1, least_repeat_share, least_repeat_share, 1, 0.74},  // only the guard cuts what a 3 gets
             {0.97, hard, most_growth, least_repeat_share, least_repeat_share, most_young_share},  // and gives it back
             {0.85, spaced, 1, least_repeat_share, least_repeat_share, most_young_share},  // not cut at a usual retention
             {0.6, spaced, 1, least_repeat_share, least_repeat_share, most_young_share, least_repeat_share},
         }) {
        const std::array<double, 5> logs = run(r.recalled, r.origin),
                                    wanted = {r.growth, r.repeat_share, r.young_share, r.hard_share, r.held_share};
        for (size_t i = 0; i < logs.size(); ++i)
            EXPECT_NEAR(logs[i], std::log(wanted[i]), 0.05) << r.recalled << " figure " << i;
    }
    // Young items recalled a little above the target: a new user's share falls first, then grows.
    c = {};
    EXPECT_LT(run(0.92, young, 501)[2], -0.2);
    EXPECT_GT(run(0.92, young, 2499)[2], 0.2);
}

class RetentionControlGrading : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
    }
};

TEST_F(RetentionControlGrading, FiguresAreWhatTheLogGivesThroughUndoAndReopening)
{
    // Sixty days: one in twenty forgotten, relearnt the same day, and half of those forgotten again.
    std::minstd_rand draw(5);
    std::set<uint32_t> relearnt;
    for (unsigned day = 0; day < 60; ++day) {
        go_to_day(day);
        for (int n = 0; day < 10 && n < 5; ++n) {
            set_local_clock(2026, 1, 15 + static_cast<int>(day), 12, 0, n);  // an item's id is its second
            add_reviewed(4, ("q" + std::to_string(day * 5 + n)).c_str(), "a", 0);
        }
        while (item* e = choose_next_item(nullptr, 0)) {
            const bool repeat = e->ivl == 0;
            const bool lapse = !repeat && (relearnt.count(e->id) ? draw() % 2 == 0 : draw() % 20 == 0);
            relearnt.erase(e->id);
            if (repeat)
                relearnt.insert(e->id);
            grade_reviewed(e, lapse ? 0 : e->id % 4 == 0 ? 3 : 4, review_screen::scheduled);
        }
    }
    retention_control live = retention_control_state();
    EXPECT_TRUE(live.growth_log > 0 && live.repeat_log < 0 && live.young_log != 0 && live.hard_log != 0) << "every figure moved";
    EXPECT_EQ(live, replayed_log());

    // An undone grade takes its move back, as the log's undo record does.
    item* due = db().head;
    while (due->ivl == 0)
        due = due->next;
    go_to_day(due->tmtrpt);
    grade_reviewed(due, 1, review_screen::scheduled);
    EXPECT_NE(retention_control_state(), live);
    ASSERT_TRUE(undo_last_grade().undone);
    EXPECT_EQ(std::tuple(retention_control_state(), replayed_log()), std::tuple(live, live));

    // Reopened; the guard, which these reviews leave alone, is set to see the kept file hold it too.
    const std::string path = dir.path();
    retention_control_state().guard_log = live.guard_log = -0.5f;
    ASSERT_EQ(ma_deinit(close_mode::complete).status, deinit_status::done);
    retention_control_state() = {};
    ASSERT_EQ(ma_init(path.c_str()), init_status::from_bin);
    EXPECT_EQ(retention_control_state(), live);
    ASSERT_EQ(ma_deinit(close_mode::complete).status, deinit_status::done);

    // Figures kept beside a log of the same size are taken without folding it.
    const copy_of copy(path);
    std::string forgotten;
    for (review_record r : read_review_log(copy.file(review_log_name)).records) {
        r.grade = 1;
        forgotten += review_bytes(r);
    }
    ASSERT_EQ(forgotten.size(), std::filesystem::file_size(copy.file(review_log_name)));
    write_file(copy.file(review_log_name), forgotten);
    ASSERT_EQ(ma_init(copy.path().c_str()), init_status::from_bin);
    EXPECT_EQ(retention_control_state(), live);
    ASSERT_EQ(ma_deinit(close_mode::complete).status, deinit_status::done);
    const review_record lapse{.item_id = 1, .day = 70, .elapsed = 5, .interval_before = 5};
    write_file(dir.file(review_log_name), read_file(dir.file(review_log_name)) + review_bytes(lapse));
    ASSERT_EQ(ma_init(path.c_str()), init_status::from_bin);
    EXPECT_LT(retention_control_state().growth_log, live.growth_log);
}

// Lapses after months away speak of the time away, not of the intervals: the guard stays.
TEST_F(RetentionControlGrading, LapsesAfterTimeAwayLeaveTheGuardAlone)
{
    for (unsigned day = 0; day < 21; ++day) {
        go_to_day(day);
        for (int n = 0; day < 5 && n < 8; ++n) {
            set_local_clock(2026, 1, 15 + static_cast<int>(day), 12, 0, n);  // an item's id is its second
            add_reviewed(4, ("q" + std::to_string(day * 8 + n)).c_str(), "a", 0);
        }
        while (item* e = choose_next_item(nullptr, 0))
            grade_reviewed(e, 4, review_screen::scheduled);
    }
    go_to_day(200);
    std::set<uint32_t> forgotten;
    while (item* e = choose_next_item(nullptr, 0))
        grade_reviewed(e, forgotten.insert(e->id).second ? 1 : 4, review_screen::scheduled);
    ASSERT_EQ(forgotten.size(), 40u);
    EXPECT_EQ(std::tuple(retention_control_state().guard_log, replayed_log().guard_log), std::tuple(0.0f, 0.0f));
}

TEST_F(RetentionControlGrading, GradingAppliesTheFigures)
{
    ann_globals().learning_rate = 0;  // both twins meet the same network
    go_to_day(0);
    item* twins[2] = {create_item(4, "a", "a", 0), create_item(4, "b", "b", 0)};
    const uint16_t given = twins[0]->ivl;
    retention_control_state() = figures(1, 1, 0.5);
    EXPECT_NEAR(create_item(4, "c", "c", 0)->ivl, given * 0.5, 0.51);  // a new item is young
    go_to_day(30);
    uint16_t spaced[2], repeated[2];
    for (int t = 0; t < 2; ++t) {
        retention_control_state() = t == 0 ? retention_control{} : figures(most_growth, 1);
        const uint16_t elapsed = elapsed_days(twins[t]);
        spaced[t] = grade_item(twins[t], 4);
        EXPECT_GE(spaced[t], t == 0 ? elapsed : 3 * elapsed);
        grade_item(twins[t], 0);
        retention_control_state() = t == 0 ? retention_control{} : figures(1, 0.5);
        repeated[t] = grade_item(twins[t], 5);
    }
    EXPECT_LT(spaced[0], spaced[1]);
    ASSERT_GE(repeated[0], 3);
    EXPECT_NEAR(repeated[1], repeated[0] * 0.5, 0.51);
}

TEST_F(RetentionControlGrading, AFoldThatRunsOutOfMemoryLeavesNeutralFiguresUnkept)
{
    if (sanitized_build)
        GTEST_SKIP() << "a sanitizer's allocator does not live under an address space limit";
    // A million open undos, some 40 MiB, in a process where no earlier test left free memory.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({
        std::string log(review_record_size << 20, '\0');
        for (uint32_t i = 0; i < (1u << 20); ++i)
            encode_review({.item_id = i, .event = review_event::undo}, reinterpret_cast<unsigned char*>(log.data()) + i * review_record_size);
        write_file(dir.file(review_log_name), log);
        log = {};
        if (!limit_address_space(size_t {24} << 20))
            std::_Exit(90);
        open_retention_control(data_path(review_log_name));
        const bool neutral = retention_control_state() == retention_control {};
        close_retention_control(data_path(review_log_name));
        std::_Exit(neutral && !file_exists(dir.file(review_log_name) + ".retention") ? 0 : 2);
    }, testing::ExitedWithCode(0), "");
}
