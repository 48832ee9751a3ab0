#include <algorithm>
#include <filesystem>

#include "ann/ann_files.h"
#include "platform/crt_rand.h"
#include "platform/platform_state.h"
#include "session/choose.h"
#include "session/review_pass.h"
#include "session/start_directory.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace {

class ReviewPassTest : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        ma_nn_init();
    }
    review_pass pass;
};

// Only the forced pass starts without a due item, and never shows the item just graded again.
TEST_F(ReviewPassTest, GradesMoveThroughTheItemsAndEndWhenNoneIsLeft)
{
    item* later = add_test_item(5, 0, 1, "later");
    for (screen_mode mode : {screen_mode::scheduled, screen_mode::queue})
        EXPECT_TRUE(!pass.start(mode, false) && pass.mode() == screen_mode::main && !pass.reviewing());
    ASSERT_TRUE(pass.start(screen_mode::forced, false));
    EXPECT_EQ(pass.current_item(), later);
    EXPECT_TRUE(pass.grade(5) == pass_step::no_more_items && pass.mode() == screen_mode::main);
    item* other = add_test_item(9);
    choose_next_item(nullptr, -1);  // neither is among the recently shown now
    ASSERT_TRUE(pass.start(screen_mode::forced, false));
    item* first = pass.current_item();
    ASSERT_EQ(pass.grade(5), pass_step::shown);
    EXPECT_NE(pass.current_item(), first);
    EXPECT_TRUE(pass.current_item() == later || pass.current_item() == other);

    add_test_item(0, 0, 1, "one");
    add_test_item(0, 0, 1, "two");
    ASSERT_TRUE(pass.start(screen_mode::scheduled, false));
    std::multiset<std::string> graded;
    pass_step step = pass_step::shown;
    for (int n = 0; n < 10 && step == pass_step::shown; ++n) {
        graded.insert(pass.current_item()->question);
        step = pass.grade(4);
    }
    EXPECT_EQ(std::tuple(step, pass.mode(), pass.current_item()), std::tuple(pass_step::no_more_scheduled, screen_mode::main, nullptr));
    EXPECT_EQ(graded, (std::multiset<std::string>{"one", "two"}));
    EXPECT_EQ(pass.grade(4), pass_step::unchanged);

    // A failed item comes back until its fourth failure of the day, which the pass tells.
    add_test_item(0, 0, 1, "hard");
    ASSERT_TRUE(pass.start(screen_mode::scheduled, false));
    std::vector<bool> rested;
    for (step = pass_step::shown; step == pass_step::shown && rested.size() < 10;) {
        step = pass.grade(0);
        rested.push_back(pass.rested());
    }
    EXPECT_EQ(rested, (std::vector<bool>{false, false, false, true}));
}

TEST_F(ReviewPassTest, QueueGradesIntroduceTheItemsInFileOrder)
{
    const uint16_t sub = add_category("Sub", 0);
    add_test_pending(sub, "first", "a");
    add_test_pending(0, "second", "b");
    ASSERT_TRUE(pass.start(screen_mode::queue, false));
    EXPECT_EQ(pass.current_pending()->question, "first");
    ASSERT_EQ(pass.grade(3), pass_step::shown);
    EXPECT_EQ(pass.current_pending()->question, "second");
    EXPECT_EQ(std::tuple(db().pending_count, db().item_count), std::tuple(1u, 1u));
    EXPECT_EQ(pass.grade(2), pass_step::no_more_queued);
    EXPECT_EQ(std::tuple(db().pending_count, db().item_count), std::tuple(0u, 2u));
    const item* first = db().head->gr == 3 ? db().head : db().head->next;
    EXPECT_EQ(std::tuple(first->question.str(), first->answer.str(), first->ctgr, first->gr), std::tuple("first", "a", sub, 3));
}

// With only the skipped item left the pass ends; the queue in file order always ends at a skip.
TEST_F(ReviewPassTest, SkipShowsAnotherItemOrEndsThePass)
{
    const struct {
        screen_mode mode;
        bool random;
        pass_step end;
        bool moves_on;  // with two items a skip shows the other one
        uint16_t day;  // of the scheduled items: the forced pass takes them before they are due
    } cases[] = {{screen_mode::scheduled, false, pass_step::no_more_scheduled, true, 0},
        {screen_mode::forced, false, pass_step::no_more_scheduled, true, 3},
        {screen_mode::queue, false, pass_step::no_more_queued, false, 0},
        {screen_mode::queue, true, pass_step::no_more_queued, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.mode) << (c.random ? " random" : ""));
        while (db().head)
            remove_item(db().head);
        while (db().pending_head)
            remove_pending(db().pending_head);
        const auto shown = [&]() -> const void* {
            return c.mode == screen_mode::queue ? static_cast<const void*>(pass.current_pending()) : pass.current_item();
        };
        add_test_item(c.day, 0, 1, "item");
        add_test_pending(0, "queued");
        ASSERT_TRUE(pass.start(c.mode, c.random));
        EXPECT_EQ(pass.skip(), c.end) << "only the skipped item is left";
        add_test_item(c.day, 0, 1, "item 2");
        add_test_pending(0, "queued 2");
        ASSERT_TRUE(pass.start(c.mode, c.random));
        for (int n = 0; n < (c.moves_on ? 4 : 1); ++n) {
            const void* before = shown();
            ASSERT_EQ(pass.skip(), c.moves_on ? pass_step::shown : c.end);
            EXPECT_TRUE(!c.moves_on || shown() != before);
        }
    }
}

TEST_F(ReviewPassTest, DeletingTheShownItemShowsTheNextOrEnds)
{
    add_test_item(0, 0, 1, "one");
    add_test_item(0, 0, 1, "two");
    ASSERT_TRUE(pass.start(screen_mode::scheduled, false));
    const std::string first = pass.current_item()->question;
    ASSERT_EQ(pass.remove_shown(), pass_step::shown);
    EXPECT_NE(pass.current_item()->question, first);
    EXPECT_TRUE(pass.remove_shown() == pass_step::no_more_scheduled && db().head == nullptr);

    add_test_pending(0, "queued");
    ASSERT_TRUE(pass.start(screen_mode::queue, false));
    EXPECT_TRUE(pass.remove_shown() == pass_step::no_more_queued && db().pending_head == nullptr);

    // The forced pass goes on with items not yet due.
    add_test_item(5);
    add_test_item(6);
    ASSERT_TRUE(pass.start(screen_mode::forced, false));
    EXPECT_TRUE(pass.remove_shown() == pass_step::shown && pass.remove_shown() == pass_step::no_more_scheduled);

    item* kept = add_test_item(0);
    ASSERT_TRUE(pass.start(screen_mode::scheduled, false));
    EXPECT_TRUE(pass.after_browsing(false) == pass_step::shown && pass.current_item() == kept);
    pass.drop_shown();
    remove_item(kept);
    EXPECT_EQ(pass.after_browsing(true), pass_step::no_more_scheduled);
}

TEST_F(ReviewPassTest, UndoShowsTheGradedItemAgainOnItsOwnScreenEvenAfterThePassEnded)
{
    const uint16_t a = add_category("a", -1);
    add_test_item(0, 0, 1, "in root");
    item* only = add_test_item(0, a);
    const uint16_t interval = only->ivl;
    pass.select_categories(std::vector<int32_t>{a, filter_end});
    ASSERT_TRUE(pass.start(screen_mode::scheduled, false));
    EXPECT_EQ(pass.current_item(), only) << "the chosen categories limit the pass";
    ASSERT_EQ(pass.grade(2), pass_step::no_more_scheduled);
    pass.start_adding();
    EXPECT_FALSE(pass.undo().undone) << "the add screen takes no undo";
    pass.stop();
    ASSERT_TRUE(pass.undo().undone);
    EXPECT_EQ(std::tuple(pass.mode(), pass.current_item(), only->ivl), std::tuple(screen_mode::scheduled, only, interval));
    EXPECT_FALSE(pass.selection()) << "an undo from the main screen passes over every category";
    pass.select_categories(std::vector<int32_t>{});
    EXPECT_EQ(pass.filter(), nullptr) << "none chosen: every one";
    EXPECT_FALSE(pass.undo().undone);

    // The queue's and the forced pass's grades come back on their own screens.
    add_test_pending(0, "queued");
    ASSERT_TRUE(pass.start(screen_mode::queue, false));
    ASSERT_EQ(pass.grade(4), pass_step::no_more_queued);
    ASSERT_TRUE(pass.undo().undone);
    EXPECT_EQ(std::tuple(pass.mode(), pass.current_pending()), std::tuple(screen_mode::queue, db().pending_head));
    add_test_item(7);
    choose_next_item(nullptr, -1);  // neither is among the recently shown now
    ASSERT_TRUE(pass.start(screen_mode::forced, false));
    item* forced = pass.current_item();
    ASSERT_EQ(pass.grade(4), pass_step::shown);
    ASSERT_TRUE(pass.undo().undone);
    EXPECT_EQ(std::tuple(pass.mode(), pass.current_item()), std::tuple(screen_mode::forced, forced));
}

deinit_result close_nothing(close_mode) { return {}; }

using StartDirectoryTest = clean_state_test;

TEST_F(StartDirectoryTest, TheSetDirectoryIsMadeElseTheDefaultIsUsedElseTheStartEnds)
{
    const temp_dir home;
    write_file(home.file("file"), "x");
    const std::string missing = home.file("a/b/cards/");
    const std::string blocked = home.file("file/cards/");
    const std::string fallback = home.file("default/");

    start_directory s = open_start_directory(missing, fallback, close_nothing);
    EXPECT_EQ(std::tuple(s.opened, s.fell_back, s.read_only(), s.path), std::tuple(true, false, false, missing));
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    s = open_start_directory(blocked, fallback, close_nothing);
    EXPECT_EQ(std::tuple(s.opened, s.fell_back, s.path, s.set_path), std::tuple(true, true, fallback, blocked));
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    s = open_start_directory(blocked, home.file("file/default/"), close_nothing);
    EXPECT_FALSE(s.opened || s.gave_up);

    // Made, but too long a path for the database to open in.
    const std::string too_long = home.file(std::string(150, 'h') + "/" + std::string(150, 'h') + "/");
    s = open_start_directory(blocked, too_long, close_nothing);
    EXPECT_TRUE(s.gave_up && !s.opened && std::filesystem::is_directory(too_long));
}

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
int half(int r) { return r / 16384; }
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

// Each item not shown lately is taken with one chance in 20, one to repeat today with a further
// even chance; otherwise one at random.
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
        {2, [](auto& r) { return !one_in_20(r[0]) && half(r[1]) == 0; }, 0, 0},
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
    // The random pick counts recent items but skips them: k = 1 takes the second, not the third.
    seed_where(3, [](auto& r) { return !one_in_20(r[0]) && !one_in_20(r[1]) && half(r[2]) == 1; });
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
