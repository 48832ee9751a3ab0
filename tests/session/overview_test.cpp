#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "database/counts.h"
#include "database/days.h"
#include "session/overview.h"
#include "support/database_helpers.h"

namespace {

class OverviewTest : public open_database_test {};

// Every category once, each right after its parent's subtree began, one level deeper.
void expect_tree_order(const collection_overview& o)
{
    ASSERT_EQ(o.rows.size(), category_count());
    std::vector<int> seen(category_count(), 0);
    std::vector<uint16_t> path;  // the categories above the current row
    for (const overview_row& r : o.rows) {
        ++seen[r.category];
        ASSERT_LE(r.depth, path.size());
        path.resize(r.depth);
        const uint16_t parent = category_at(r.category)->parent;
        if (r.depth > 0) {
            EXPECT_EQ(parent, path.back()) << r.category;
        }
        path.push_back(r.category);
    }
    for (uint16_t c = 0; c < category_count(); ++c)
        EXPECT_EQ(seen[c], 1) << c;
}

TEST_F(OverviewTest, CountsEachCategoryWithThoseBelowItOnRandomTrees)
{
    std::mt19937 random(29);
    // Parents of any index, so that the table is not in parent-first order.
    const int n = 60;
    for (int i = 1; i < n; ++i)
        add_category(("c" + std::to_string(i)).c_str(), -1);
    std::vector<uint16_t> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = static_cast<uint16_t>(i);
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
    expect_tree_order(o);
    const auto counts = category_counts();  // the slow walk up from every item, as the oracle
    ASSERT_EQ(day_number(0), 1);
    for (const overview_row& r : o.rows) {
        const category_count_row& c = counts[r.category];
        EXPECT_EQ(r.items, c.items) << r.category;
        EXPECT_EQ(r.queued, c.queued) << r.category;
        EXPECT_EQ(r.due, c.due + c.due_below) << r.category;
    }
    EXPECT_EQ(o.items, 400u);
    EXPECT_EQ(o.queued, 70u);
    uint32_t due = 0;
    for (const item* e : scheduled_items())
        due += e->tmtrpt <= 1 ? 1 : 0;
    EXPECT_EQ(o.due, due);
}

TEST_F(OverviewTest, DamagedParentsStillShowEveryCategoryOnce)
{
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
    EXPECT_EQ(o.items, 3u);
    EXPECT_EQ(o.due, 3u);
}

TEST_F(OverviewTest, AnEmptyCollectionIsEmpty)
{
    const collection_overview o = make_overview(0);
    EXPECT_TRUE(overview_empty(o));
    ASSERT_EQ(o.rows.size(), 1u);
    add_test_pending(0, "q");
    EXPECT_FALSE(overview_empty(make_overview(0)));
}

}  // namespace
