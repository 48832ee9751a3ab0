#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "database/days.h"
#include "platform/crt_rand.h"
#include "session/choose.h"
#include "session/grading.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace fs = std::filesystem;

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

// Whatever the network says, a 3 gives at least a day, a 4 the days it lasted, a 5 more; a failed
// item stays today until its fourth failure of the day, the making's counted.
TEST_F(GradingTest, PassingGradesNeverGiveLessThanTheRecallProvedAndAFourthFailureRests)
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
    ann_globals().learning_rate = 0;
    const auto answer = [](float weight) {
        std::fill(ann_globals().ann_weights.begin() + ann_output_weights, ann_globals().ann_weights.end(), weight);
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "weight " << r.output_weight << ", elapsed " << r.elapsed << ", grade " << r.grade);
        answer(r.output_weight);
        go_to_day(100);
        item* e = create_item(r.grade, "q", "a", 0);
        if (r.elapsed > 0) {
            go_to_day(100 + r.elapsed);
            EXPECT_EQ(grade_item(e, r.grade), e->ivl);
        }
        EXPECT_TRUE(e->ivl >= r.least && e->ivl <= r.most) << e->ivl;
        EXPECT_EQ(e->tmtrpt, static_cast<uint16_t>(100 + r.elapsed + e->ivl));
    }
    answer(-40.0f);  // 0 days to every grade
    go_to_day(100);
    item* e = create_item(1, "q", "a", 0);
    for (const auto& [grade, due] : std::initializer_list<std::pair<uint16_t, uint16_t>>{
             {0, 100}, {2, 100}, {1, 101}, {0, 101}, {2, 101}, {1, 101}, {2, 102}}) {
        grade_item(e, grade);
        EXPECT_EQ(e->tmtrpt, due) << "grade " << grade << " on day " << day_number(0);
        go_to_day(e->tmtrpt);
    }
}

// Counted from the review log at an opening, undone ones and other days' left out even among
// today's; the next day counts afresh.
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
        if (grade == 4) {  // a grade of another day from another computer, arrived meanwhile
            ASSERT_EQ(append_review({.item_id = id + 1, .day = 90, .grade = 0}), review_append_status::appended);
        }
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

// The first grade waits for cases loaded beside the database; a damaged record is reported as before.
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

namespace {

// All a grade may touch, by value, with the items' addresses: the same place means the same record.
struct memory_image {
    std::vector<std::string> items;  // address and fields of each scheduled item, in list order
    std::vector<std::string> queue;  // texts and category of each queue item, in file order
    std::vector<ann_case> cases;
    std::array<float, ann_weight_count> weights{};
    std::tuple<uint32_t, uint32_t, std::string, float, float> counts;  // items, queue, tail, rate, error
    bool operator==(const memory_image&) const = default;
};

memory_image image()
{
    memory_image m;
    for (const item* e : scheduled_items())
        m.items.push_back(::testing::PrintToString(std::tuple(static_cast<const void*>(e), e->question.str(),
            e->answer.str(), e->id, e->tmtrpt, e->stmtrpt, e->ctgr, e->livl, e->rllivl, e->ivl, e->rp, e->gr, e->failed_day,
            e->failed_times)));
    for (const pending_item* p : pending_items())
        m.queue.push_back(::testing::PrintToString(std::tuple(std::string(p->question), std::string(p->answer), p->ctgr)));
    const ann_state& s = ann_globals();
    for (uint32_t i = 0; i < s.case_count; ++i)
        m.cases.push_back(*case_at(i));
    m.weights = s.ann_weights;
    m.counts = {db().item_count, db().pending_count, db().pending_tail ? db().pending_tail->question.str() : "",
        s.learning_rate, s.test_error};
    return m;
}

// The files of a data directory, by name, without the dated backups.
std::map<std::string, std::string> files_of(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        // The review log keeps undone grades as records; its figures and error.log follow it.
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with("reviews.log")
            && entry.path().filename() != "error.log")
            files[entry.path().filename()] = read_file(entry.path());
    return files;
}

class UndoTest : public clean_state_test {
protected:
    // A database of a learner two months in: items of every age, a queue, user cases.
    void SetUp() override
    {
        clean_state_test::SetUp();
        crt_srand(3);
        ASSERT_EQ(ma_init(base.path().c_str()), init_status::new_database);
        ma_nn_init();
        for (unsigned day = 0; day < 60; ++day) {
            go_to_day(day);
            for (int i = 0; i < 4; ++i)
                create_item(static_cast<uint16_t>(day * 7 + i) % 6, ("q" + std::to_string(day * 4 + i)).c_str(),
                    "a", 0);
            // Failed items come back the same day; a few of them stay due overnight.
            for (int n = 0; n < 40; ++n)
                if (item* e = choose_next_item(nullptr, 0))
                    grade_item(e, static_cast<uint16_t>(e->id / 86400 + e->rp + n) % 6);
        }
        for (int i = 0; i < 12; ++i)
            add_test_pending(0, "queued " + std::to_string(i), "answer " + std::to_string(i));
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    }

    // `session` on one copy and nothing on another: the memory as before, and the same files.
    void expect_no_trace(unsigned day, const std::function<void()>& session)
    {
        const copy_of with(base.path()), without(base.path());
        go_to_day(day);
        ASSERT_EQ(ma_init(with.path().c_str()), init_status::from_bin);
        ma_nn_init();
        const memory_image before = image();
        session();
        EXPECT_TRUE(image() == before) << "the memory differs after the undo";
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

        ASSERT_EQ(ma_init(without.path().c_str()), init_status::from_bin);
        ma_nn_init();
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        const auto a = files_of(with.path()), b = files_of(without.path());
        for (const auto& [name, bytes] : b)
            EXPECT_TRUE(a.contains(name) && a.at(name) == bytes) << name << " differs";
        EXPECT_EQ(a.size(), b.size());
        EXPECT_TRUE(file_exists(with.file("reviews.log")));
    }

    temp_dir base;
};

}  // namespace

TEST_F(UndoTest, AnUndoneGradeLeavesNoTraceInMemoryOrFiles)
{
    // A forced review of an item not yet due, undone the next day.
    expect_no_trace(61, [&] {
        item* e = const_cast<item*>(scheduled_items().back());
        ASSERT_GT(e->tmtrpt, 61);
        grade_reviewed(e, 0, review_screen::forced);
        go_to_day(62);
        EXPECT_EQ(undo_last_grade().restored_item, e);
        EXPECT_FALSE(undo_last_grade().undone);
    });

    // Queue introductions in a random order, undone: each item back in its old place.
    expect_no_trace(61, [&] {
        for (int position : {5, 0, 9, 4}) {
            pending_item* p = db().pending_head;
            for (int n = 0; n < position; ++n)
                p = p->next;
            introduce_reviewed(static_cast<uint16_t>(position % 6), p);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_NE(undo_last_grade().restored_pending, nullptr);
    });

    // A whole session stepped back, some grades undone at once; one at least taught the network a case.
    bool case_appended = false;
    expect_no_trace(61, [&] {
        for (int i = 0; i < 30; ++i) {
            item* e = choose_next_item(nullptr, i % 3 == 0 ? 1 : 0);
            ASSERT_NE(e, nullptr);
            const uint32_t cases = ann_globals().case_count;
            grade_reviewed(e, static_cast<uint16_t>(i % 6), i % 3 == 0 ? review_screen::forced : review_screen::scheduled);
            case_appended = case_appended || ann_globals().case_count > cases;
            if (i % 5 == 0) {
                const undo_result r = undo_last_grade();
                EXPECT_TRUE(r.restored_item == e && r.network_restored) << i;
            }
        }
        introduce_reviewed(4, db().pending_head);
        grade_reviewed(db().head, 3, review_screen::scheduled);
        int undone = 0;
        while (undo_last_grade().undone)
            ++undone;
        EXPECT_EQ(undone, 26);
    });
    EXPECT_TRUE(case_appended);
}
