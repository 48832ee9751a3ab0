#include <algorithm>
#include <numeric>
#include <random>
#include <tuple>

#include "database/counts.h"
#include "session/overview.h"
#include "support/database_helpers.h"

namespace {

class OverviewTest : public open_database_test {};

TEST_F(OverviewTest, CountsEachCategoryWithThoseBelowItOnRandomTrees)
{
    std::mt19937 random(29);
    // Parents of any index, so that the table is not in parent-first order.
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

    // Day 1: the items of days 0 and 1 are due, those of day 2 not.
    go_to_day(1);
    const collection_overview o = make_overview(1);
    const auto counts = category_counts();  // the slow walk up from every item, as the oracle
    EXPECT_TRUE(counts[category_count()].name == nullptr && counts[category_count()].items == UINT32_MAX);
    ASSERT_EQ(o.rows.size(), category_count());
    // Every category once, each right after its parent's subtree began, one level deeper.
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

}  // namespace
