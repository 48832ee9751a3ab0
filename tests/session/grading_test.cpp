#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "support/database_helpers.h"
#include "database/days.h"
#include "session/grading.h"
#include "session/undo.h"
#include "platform/crt_rand.h"

namespace {

class GradingTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
        crt_srand(11);
    }
};

std::vector<ann_case> stored_cases()
{
    std::vector<ann_case> cases;
    for (uint32_t i = 0; const ann_case* c = case_at(i); ++i)
        cases.push_back(*c);
    return cases;
}

}  // namespace

// A new item takes its first interval from the network; later grades move it, and count a
// repetition only when it was due.
TEST_F(GradingTest, ANewItemTakesItsIntervalFromTheNetworkAndGradesCountRepetitionsOnlyWhenDue)
{
    go_to_day(10);
    const uint16_t lo = ann_interval(0, 0, 0, 5) * 9 / 10;
    item* e = create_item(5, "question", "answer", 0);
    const uint16_t first = e->ivl;
    ASSERT_GT(first, 2);
    EXPECT_TRUE(db().item_count == 1 && first >= lo) << first;
    EXPECT_EQ(std::tuple(e->tmtrpt, e->stmtrpt, e->rp, e->livl, e->rllivl, e->gr, e->id, e->question.str(), e->answer.str()),
        std::tuple(10 + first, 10 + first, 0, 0, 0, 5, 1768478400u + 10 * 86400, "question", "answer"));

    // Two days early: no repetition, the end of the interval stays.
    go_to_day(10 + first - 2);
    const uint16_t early = grade_item(e, 4);
    EXPECT_EQ(std::tuple(e->rp, e->stmtrpt, e->rllivl, e->livl, e->ivl, e->tmtrpt, e->gr),
        std::tuple(0, 10 + first, first - 2, first, early, 10 + first - 2 + early, 4));

    // On the day the interval ended: a repetition, and the interval's end moves with the due day.
    go_to_day(e->stmtrpt);
    const uint16_t day = e->stmtrpt;
    const uint16_t before = e->ivl;
    const uint16_t next = grade_item(e, 4);
    EXPECT_EQ(std::tuple(e->rp, e->livl, e->tmtrpt, e->stmtrpt), std::tuple(1, before, day + next, day + next));

    // Again the same day: nothing elapsed.
    const auto cases = ann_globals().case_count;
    grade_item(e, 3);
    EXPECT_EQ(std::tuple(e->rllivl, ann_globals().case_count), std::tuple(0, cases));

    // Years later: the real interval is capped.
    go_to_day(day + 3000);
    grade_item(e, 5);
    EXPECT_TRUE(e->rllivl == 2047 && e->ivl <= 2047) << e->ivl;

    e->rp = 127;
    go_to_day(e->stmtrpt + 1);
    grade_item(e, 4);
    EXPECT_EQ(e->rp, 127);
}

// Whatever the network has learnt, a recalled item leaves today's session: grade 3 for at least
// a day, grade 4 for at least the days it lasted, grade 5 for longer; a failed one stays today.
TEST_F(GradingTest, PassingGradesNeverGiveLessThanTheRecallProved)
{
    struct row {
        float output_weight;  // every hidden unit's weight into the output: the network's answer
        uint16_t elapsed;
        uint16_t grade;
        uint16_t least;  // the interval applied is at least this
        uint16_t most;   // and at most this
    };
    const std::vector<row> rows = {
        {-40.0f, 0, 0, 0, 0},     {-40.0f, 0, 2, 0, 0},       {-40.0f, 0, 3, 1, 1},
        {-40.0f, 0, 4, 1, 1},     {-40.0f, 0, 5, 1, 1},       {-40.0f, 9, 1, 0, 0},
        {-40.0f, 9, 3, 1, 1},     {-40.0f, 9, 4, 9, 9},       {-40.0f, 9, 5, 10, 10},
        {-40.0f, 3000, 5, 2047, 2047}, {40.0f, 9, 3, 1000, 2047},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "weight " << r.output_weight << ", elapsed " << r.elapsed << ", grade " << r.grade);
        std::fill(ann_globals().ann_weights.begin() + ann_output_weights, ann_globals().ann_weights.end(), r.output_weight);
        ann_globals().learning_rate = 0;
        go_to_day(100);
        item* e = create_item(r.grade, "q", "a", 0);
        if (r.elapsed > 0) {
            go_to_day(100 + r.elapsed);
            EXPECT_EQ(grade_item(e, r.grade), e->ivl);
        }
        EXPECT_TRUE(e->ivl >= r.least && e->ivl <= r.most) << e->ivl;
        EXPECT_EQ(e->tmtrpt, static_cast<uint16_t>(100 + r.elapsed + e->ivl));
    }
}

// A failed item comes back the same day until its fourth failure of that day, the making's
// failure counted; the next day counts afresh.
TEST_F(GradingTest, AnItemFailedFourTimesInADayRestsUntilTheNextDay)
{
    std::fill(ann_globals().ann_weights.begin() + ann_output_weights, ann_globals().ann_weights.end(), -40.0f);
    ann_globals().learning_rate = 0;  // the network answers 0 days to every grade
    go_to_day(100);
    item* e = create_item(1, "q", "a", 0);
    // Each grade after the making's 1, and the day it leaves the item due on.
    const std::vector<std::pair<uint16_t, uint16_t>> steps = {{0, 100}, {2, 100}, {1, 101}, {0, 101}, {2, 101}, {1, 101}, {2, 102}};
    for (const auto& [grade, due] : steps) {
        grade_item(e, grade);
        EXPECT_EQ(e->tmtrpt, due) << "grade " << grade << " on day " << day_number(0);
        go_to_day(e->tmtrpt);
    }
}

// The day's failures are counted from the review log at an opening, undone ones left out, so a
// restart does not give a rested item four more tries; the next day counts afresh.
TEST_F(GradingTest, TheDaysFailuresOutlastARestart)
{
    go_to_day(100);
    const uint32_t id = add_reviewed(1, "q", "a", 0)->id;
    auto reopened = [&](unsigned day) {
        const std::string path = dir.path();
        EXPECT_EQ(ma_deinit(close_mode::complete).status, deinit_status::done);
        go_to_day(day);
        EXPECT_EQ(ma_init(path.c_str()), init_status::from_bin);
        item* e = db().head;
        while (e && e->id != id)
            e = e->next;
        return e;
    };
    item* e = db().head;
    for (const uint16_t grade : {0, 4, 2, 1}) {
        grade_reviewed(e, grade, review_screen::scheduled);
        go_to_day(100);  // whatever the interval, the grades stay on day 100
    }
    ASSERT_TRUE(undo_last_grade().undone);
    e = reopened(100);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::tuple(e->failed_day, e->failed_times), std::tuple(100, 3));  // the making's, the 0 and the 2
    grade_reviewed(e, 0, review_screen::scheduled);
    EXPECT_TRUE(rests_after(*e, 0));
    EXPECT_EQ(reopened(101)->failed_times, 0u);
}

TEST_F(GradingTest, GradedItemGoesBehindThoseAlreadyDueOnItsDay)
{
    go_to_day(0);
    item* lone = create_item(0, "lone", "a", 0);
    grade_item(lone, 0);
    EXPECT_EQ(scheduled_items(), std::vector<const item*>{lone});

    item* a = add_test_item(0);
    item* b = add_test_item(0);
    item* c = add_test_item(0);
    apply_interval(a, 0, 3);  // to day 0 again: behind b and c, among the items of day 0
    EXPECT_EQ(scheduled_items(), (std::vector<const item*>{lone, b, c, a}));
    apply_interval(b, 5, 3);
    EXPECT_EQ(std::tuple(scheduled_items(), b->tmtrpt), std::tuple(std::vector<const item*>{lone, c, a, b}, 5));
}

using CaseLoadingTest = open_database_test;

// A start that loads the cases beside the database ends with the store that loading them at
// once gives: the first grade waits for them, and a damaged record is reported as before.
TEST_F(CaseLoadingTest, CasesLoadedBesideTheDatabaseAreWaitedForByTheFirstGrade)
{
    std::string bytes;
    for (uint16_t i = 0; i < 20000; ++i) {  // many merge into earlier ones
        ann_case c = make_case(i % 97, i * 7 % 300, i % 13, i % 6, i % 500);
        if (i == 5000)
            c[1] = std::nanf("");
        bytes.append(reinterpret_cast<const char*>(c.data()), sizeof c);
    }
    write_file(dir.file("user_cases.bin"), bytes);
    ma_nn_init();
    std::vector<ann_case> expected = stored_cases();
    ASSERT_GT(expected.size(), builtin_case_count + 1000u);
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    ASSERT_EQ(ma_init(dir.path().c_str(), network_start::with_database), init_status::from_bin);
    add_cases(10, 12, 3, 4, 30);
    expected.push_back(make_case(10, 12, 3, 4, 30));
    const std::string damaged = "WARNING: 1 damaged records of user_cases.bin were skipped.\n";
    EXPECT_EQ(std::tuple(stored_cases(), log()), std::tuple(expected, damaged + damaged));
}

// Memory that runs out while the cases load beside the start ends the program as exhausted
// memory does anywhere (the reason in the log, code 1), not by an abort.
TEST_F(CaseLoadingTest, MemoryRunningOutBesideTheStartEndsWithCodeOne)
{
    if (sanitized_build)
        GTEST_SKIP() << "a sanitizer's allocator does not live under an address space limit";
    // The duplicate search's index is sized from the file at once: here, about 200 MiB.
    write_file(dir.file("user_cases.bin"), "");
    std::filesystem::resize_file(dir.file("user_cases.bin"), uintmax_t {80} << 20);
    const int code = run_in_child([] {
        if (!limit_address_space(size_t {40} << 20))
            return 90;
        ma_nn_init(case_loading::beside);
        wait_for_case_store();
        return 0;
    });
    EXPECT_EQ(code, 1);
    EXPECT_NE(log().find("add_data_from_file(): out of memory\n"), std::string::npos);
}
