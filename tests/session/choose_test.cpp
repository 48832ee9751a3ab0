#include <algorithm>

#include "session/choose.h"
#include "support/database_helpers.h"
#include "platform/crt_rand.h"
#include "platform/platform_state.h"

namespace {

// The first n values the generator gives after crt_srand(seed).
std::vector<int> draws_after(uint32_t seed, int n)
{
    crt_srand(seed);
    std::vector<int> values;
    for (int i = 0; i < n; ++i)
        values.push_back(crt_rand());
    return values;
}

using draws = std::function<bool(const std::vector<int>&)>;

// The first seed whose next n draws satisfy `wanted`; the generator is left seeded with it.
uint32_t seed_where(int n, const draws& wanted)
{
    for (uint32_t seed = 1; seed < 1'000'000; ++seed)
        if (wanted(draws_after(seed, n))) {
            crt_srand(seed);
            return seed;
        }
    ADD_FAILURE() << "no seed found";
    return 0;
}

// rand_below(20), rand_below(2) and rand_below(3) of a raw value.
bool one_in_20(int r) { return r / 1639 == 0; }
bool one_in_2(int r) { return r / 16384 == 0; }
int third(int r) { return r / 10923; }

class ChooseTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        a = add_category("a", -1);
        b = add_category("b", -1);
    }
    uint16_t a = 0;
    uint16_t b = 0;
};

TEST_F(ChooseTest, NegativeModeClearsTheRecentItemsAndNothingDueGivesNoneWithoutDrawing)
{
    EXPECT_EQ(choose_next_item(nullptr, 0), nullptr);
    EXPECT_EQ(choose_next_item(nullptr, -1), nullptr);
    item* tomorrow = add_test_item(1);
    crt_srand(7);
    EXPECT_TRUE(choose_next_item(nullptr, 0) == nullptr && platform_globals().rand_seed == 7u);
    // A positive mode chooses among every item, due or not.
    EXPECT_EQ(choose_next_item(nullptr, 1), tomorrow);
    item* e = add_test_item(0);
    add_test_item(0);
    EXPECT_NE(choose_next_item(nullptr, 0), nullptr);
    EXPECT_EQ(choose_next_item(nullptr, -1), e);
    EXPECT_TRUE(std::ranges::all_of(db().recent_items, [](const item* r) { return r == nullptr; }));
}

// Each item not shown lately is taken at once with one chance in 20; an item to be repeated
// today gets a further even chance; otherwise one of them at random. The draws are counted too.
TEST_F(ChooseTest, DrawsFollowTheListFromTheOldest)
{
    item* items[] = {add_test_item(0), add_test_item(0), add_test_item(0)};
    const struct {
        int n;
        draws wanted;
        int chosen;
        uint16_t first_ivl;
    } cases[] = {
        {2, [](auto& r) { return !one_in_20(r[0]) && one_in_20(r[1]); }, 1, 1},
        {4, [](auto& r) { return !one_in_20(r[0]) && !one_in_20(r[1]) && !one_in_20(r[2]) && third(r[3]) == 2; }, 2, 1},
        {2, [](auto& r) { return !one_in_20(r[0]) && one_in_2(r[1]); }, 0, 0},
    };
    for (const auto& c : cases) {
        choose_next_item(nullptr, -1);
        items[0]->ivl = c.first_ivl;
        const uint32_t seed = seed_where(c.n, c.wanted);
        EXPECT_EQ(choose_next_item(nullptr, 0), items[c.chosen]) << c.chosen;
        const uint32_t after = platform_globals().rand_seed;
        draws_after(seed, c.n);
        EXPECT_EQ(after, platform_globals().rand_seed) << c.chosen;
    }
    // The random pick counts recent items but skips them: with the first recent, k = 1 of the
    // two others makes the count pass k at the second item, which is taken, not the third.
    seed_where(3, [](auto& r) { return !one_in_20(r[0]) && !one_in_20(r[1]) && r[2] / 16384 == 1; });
    EXPECT_EQ(choose_next_item(nullptr, 0), items[1]);
}

TEST_F(ChooseTest, RecentItemsAreAvoidedWhileOthersRemain)
{
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        erase_memory_after_ll();
        db().item_count = 0;
        choose_next_item(nullptr, -1);
        std::vector<item*> due;
        for (int i = 0; i < 5; ++i)
            due.push_back(add_test_item(0, 0, static_cast<uint16_t>(i % 2)));
        add_test_item(1);  // not due
        crt_srand(seed);
        std::vector<item*> shown;
        for (int i = 0; i < 5; ++i)
            shown.push_back(choose_next_item(nullptr, 0));
        EXPECT_EQ(std::set<item*>(shown.begin(), shown.end()), std::set<item*>(due.begin(), due.end()));
        EXPECT_EQ(choose_next_item(nullptr, 0), shown[0]);
    }
    // A lone recent item is shown again.
    erase_memory_after_ll();
    item* only = add_test_item(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(choose_next_item(nullptr, 0), only);
}

TEST_F(ChooseTest, TheFilterLimitsTheChoiceOfItemsAndOfPendingItems)
{
    add_test_item(0, a);
    item* in_b = add_test_item(3, b);
    const int32_t only_b[] = {b, filter_end};
    EXPECT_TRUE(choose_next_item(only_b, 0) == nullptr && choose_next_item(only_b, 1) == in_b);
    EXPECT_TRUE(choose_pending_item(nullptr, 0) == nullptr && choose_pending_item(nullptr, 1) == nullptr);
    add_test_pending(a, "a1");
    pending_item* b1 = add_test_pending(b, "b1");
    add_test_pending(a, "a2");
    const pending_item* of_b[] = {b1, add_test_pending(b, "b2"), add_test_pending(b, "b3")};
    const int32_t only_root[] = {0, filter_end};
    EXPECT_EQ(choose_pending_item(only_b, 0), b1);
    EXPECT_TRUE(choose_pending_item(only_root, 0) == nullptr && choose_pending_item(only_root, 1) == nullptr);
    // rand_below(3) picks among b's three, counting from 0.
    for (int k = 0; k < 3; ++k) {
        seed_where(1, [k](auto& r) { return third(r[0]) == k; });
        EXPECT_EQ(choose_pending_item(only_b, 1), of_b[k]);
    }
}

TEST_F(ChooseTest, CountDueStopsAtTheLimit)
{
    EXPECT_EQ(count_due(0, nullptr), 0u);
    for (const auto& [day, category] : {std::pair{0, a}, {0, b}, {1, a}, {2, a}, {65535, a}})
        add_test_item(static_cast<uint16_t>(day), category);
    const int32_t only_a[] = {a, filter_end};
    EXPECT_EQ(std::tuple(count_due(0, nullptr), count_due(1, nullptr), count_due(1, only_a), count_due(65535, nullptr)),
        std::tuple(2u, 3u, 2u, 5u));
    set_local_clock(2026, 1, 18, 12);  // day 3
    EXPECT_EQ(std::tuple(count_due(0, only_a), count_due(-3, nullptr)), std::tuple(3u, 2u));
}

}  // namespace
