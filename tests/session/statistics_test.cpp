#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>
#include <tuple>
#include <utility>

#include "ann/network.h"
#include "database/counts.h"
#include "session/overview.h"
#include "session/review_stats.h"
#include "session/statistics.h"
#include "support/database_helpers.h"

namespace {

using interval_figures = std::array<uint16_t, 9>;

using StatisticsTest = open_database_test;

// An empty database has only the network's figures, whatever the record held before.
TEST_F(StatisticsTest, AveragesAndRatesOverTheItems)
{
    ann_state& ann = ann_globals();
    std::tie(ann.case_count, ann.learning_rate, ann.test_error) = std::tuple(1000u, 0.05f, 0.25f);
    add_category("extra", -1);
    struct row {
        std::vector<std::array<uint16_t, 5>> items;  // ivl, livl, rllivl, rp, gr
        int day;
        interval_figures intervals;
        uint16_t max_rp;
        uint32_t total_rp;
        float avg_rp, avg_gr, pass_percent, items_per_day;
    };
    const row rows[] = {
        {{}, 0, {}, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f},
        {{{10, 4, 5, 2, 4}}, 0, {10, 10, 10, 4, 4, 4, 5, 5, 5}, 2, 2, 2.0f, 4.0f, 100.0f, 0.0f},
        {{{3, 2047, 0, 1, 2}, {4, 0, 2047, 0, 3}, {2047, 9, 9, 127, 5}}, 6,
            {3, 2047, (3 + 4 + 2047) / 3, 0, 2047, (2047 + 9) / 3, 0, 2047, (2047 + 9) / 3}, 127, 128, 128.0f / 3.0f,
            10.0f / 3.0f, 2.0f / 3.0f * 100.0f, 0.5f},
    };
    for (const row& r : rows) {
        erase_memory_after_ll();
        db().item_count = 0;
        for (const auto& [ivl, livl, rllivl, rp, gr] : r.items) {
            item* e = add_test_item(0, 0, ivl);
            std::tie(e->livl, e->rllivl, e->rp, e->gr) = std::tie(livl, rllivl, rp, gr);
        }
        go_to_day(static_cast<unsigned>(r.day));
        statistics s{.today = 99, .min_ivl = 7};
        compute_statistics(&s);
        EXPECT_EQ(std::tuple(s.item_count, s.time_of_start), std::tuple(r.items.size(), r.items.empty() ? 0u : db().time_of_start));
        EXPECT_EQ(std::tuple(s.case_count, s.user_case_count, s.learning_rate, s.test_error, s.category_count_stat),
            std::tuple(1000u, 1000u - builtin_case_count, 0.05f, 0.25f, 2u));
        EXPECT_EQ((interval_figures{s.min_ivl, s.max_ivl, s.avg_ivl, s.min_livl, s.max_livl, s.avg_livl, s.min_rllivl,
                      s.max_rllivl, s.avg_rllivl}), r.intervals);
        EXPECT_EQ(std::tuple(s.max_rp, s.total_rp, s.avg_rp, s.avg_gr, s.pass_percent, s.today, s.items_per_day),
            std::tuple(r.max_rp, r.total_rp, r.avg_rp, r.avg_gr, r.pass_percent, r.day, r.items_per_day));
    }
    ann.case_count = 0;
    statistics s;
    compute_statistics(&s);
    EXPECT_EQ(s.user_case_count, 0u);  // not a wrapped-around count
}

TEST_F(StatisticsTest, TheStatusFiguresCountTheListsAndJudgeTheNetwork)
{
    for (const uint16_t day : {0, 0, 3})
        add_test_item(day);
    add_test_pending(0, "queued");
    statistics stats;
    compute_statistics(&stats);
    const status_figures f = status_figures_of(stats);
    EXPECT_EQ(std::tuple(f.due, f.total, f.queue, f.cases), std::tuple(2u, 3u, 1u, stats.case_count));
    // "OK" only below the threshold, and never for an error that is not a number.
    for (const auto& [error, ok] : {std::pair{2.39f, true}, std::pair{2.4f, false}, std::pair{std::nanf(""), false}}) {
        stats.test_error = error;
        EXPECT_EQ(status_figures_of(stats).network_ok, ok) << error;
    }
}

review_record due_grade(uint16_t day, uint8_t grade)
{
    return {.day = day, .elapsed = 5, .interval_before = 5, .grade = grade};
}

}  // namespace

TEST(GradingSummaryTest, NothingToLengthenWithNeedsAFullWindowWithoutFiveAndHighRetention)
{
    struct row {
        const char* name;
        uint32_t grades;  // all due, on today; the newest last
        uint32_t failed;  // the newest of them are graded 2
        uint32_t five_back;  // the n-th newest is a 5 (0: none)
        bool note;
    };
    const std::vector<row> rows = {
        {"a full window of 4s", 200, 0, 0, true},
        {"a 5 among the latest 200", 200, 0, 200, false},
        {"the only 5 just before the window", 201, 0, 201, true},
        {"too few grades to tell", 199, 0, 0, false},
        {"retention exactly 0.95", 200, 10, 0, false},
        {"retention 0.955", 200, 9, 0, true},
    };
    const uint16_t today = 400;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<review_record> log;
        for (uint32_t back = r.grades; back >= 1; --back)
            log.push_back(due_grade(today, back == r.five_back ? 5 : back <= r.failed ? 2 : 4));
        const grading_summary g = figures_of(log, today).grading;
        EXPECT_EQ(std::tuple(g.nothing_to_lengthen_with(), g.grades_seen),
            std::tuple(r.note, std::min(r.grades, recent_grade_window)));
    }
}

// Across the wrap of day numbers; neither undone grades nor early reviews.
TEST(GradingSummaryTest, RecentRetentionCountsDueReviewsOfTheLastThirtyDays)
{
    const uint16_t today = 10;
    const review_record early{.day = today, .elapsed = 2, .interval_before = 5, .grade = 1},
        undo{.day = today, .elapsed = 5, .interval_before = 5, .grade = 0, .event = review_event::undo};
    const std::vector<review_record> log = {
        due_grade(static_cast<uint16_t>(today - 30), 1),  // a day too old
        due_grade(static_cast<uint16_t>(today - 29), 4),  // day 65,517: counted
        due_grade(today, 2), due_grade(today, 0), undo,  // the undo takes back the 0
        early,
    };
    const grading_summary g = figures_of(standing_reviews(log), today).grading;
    EXPECT_EQ(std::tuple(g.recent.reviews, g.recent.passed, g.grades_seen), std::tuple(2u, 1u, 4u));
}

using OverviewTest = open_database_test;

TEST_F(OverviewTest, CountsEachCategoryWithThoseBelowItOnRandomTrees)
{
    std::mt19937 random(29);
    const int n = 60;
    for (int i = 1; i < n; ++i)
        add_category(("c" + std::to_string(i)).c_str(), -1);
    std::vector<uint16_t> order(n);
    std::iota(order.begin(), order.end(), uint16_t{0});
    std::shuffle(order.begin() + 1, order.end(), random);
    for (int i = 1; i < n; ++i)
        category_at(order[i])->parent = random() % 4 == 0 ? order[i] : order[random() % i];
    for (int i = 0; i < 400; ++i)
        add_test_item(static_cast<uint16_t>(random() % 3), static_cast<uint16_t>(random() % n));
    for (int i = 0; i < 70; ++i)
        add_test_pending(static_cast<uint16_t>(random() % n), "q");

    go_to_day(1);
    const collection_overview o = make_overview(1);
    const auto counts = category_counts();  // the slow walk up from every item, as the oracle
    ASSERT_EQ(o.rows.size(), category_count());
    // Every category once, right after its parent's subtree began, one level deeper.
    std::vector<int> seen(category_count(), 0);
    std::vector<uint16_t> path;  // the categories above the current row
    for (const overview_row& r : o.rows) {
        ++seen[r.category];
        ASSERT_LE(r.depth, path.size());
        path.resize(r.depth);
        EXPECT_TRUE(r.depth == 0 || category_at(r.category)->parent == path.back()) << r.category;
        path.push_back(r.category);
        const category_count_row& c = counts[r.category];
        EXPECT_EQ(std::tuple(r.items, r.queued, r.due), std::tuple(c.items, c.queued, c.due + c.due_below)) << r.category;
    }
    EXPECT_EQ(seen, std::vector<int>(category_count(), 1));
    EXPECT_EQ(std::tuple(o.items, o.queued), std::tuple(400u, 70u));
    const auto due = std::ranges::count_if(scheduled_items(), [](const item* e) { return e->tmtrpt <= 1; });
    EXPECT_EQ(o.due, static_cast<uint32_t>(due));
}

TEST_F(OverviewTest, AnEmptyCollectionIsEmptyAndDamagedParentsStillShowEveryCategoryOnce)
{
    EXPECT_TRUE(overview_empty(make_overview(0)));
    add_test_pending(0, "q");
    EXPECT_FALSE(overview_empty(make_overview(0)));
    const uint16_t a = add_category("a", -1);
    const uint16_t b = add_category("b", a);
    const uint16_t c = add_category("c", -1);
    category_at(a)->parent = b;  // a loop a -> b -> a
    category_at(c)->parent = 999;  // past the table
    add_test_item(0, a);
    add_test_item(0, b);
    add_test_item(0, 777);  // a category the table does not have: in the totals only
    const collection_overview o = make_overview(0);
    ASSERT_EQ(o.rows.size(), 4u);
    uint32_t top_items = 0;
    for (const overview_row& r : o.rows)
        top_items += r.depth == 0 ? r.items : 0;
    EXPECT_EQ(top_items, 2u);  // the loop's items counted once
    EXPECT_EQ(std::tuple(o.items, o.due), std::tuple(3u, 3u));
}
