#include <random>

#include "calendar/calendar.h"
#include "database/category_edits.h"
#include "database/days.h"
#include "support/database_helpers.h"

namespace {

using DatabaseTest = open_database_test;

}  // namespace

TEST_F(DatabaseTest, AddCategoryFindsCleansAndGrows)
{
    const uint16_t a = add_category("Languages", -1);
    EXPECT_EQ(std::pair(category_at(a)->parent, category_at(add_category("French", a))->parent), std::pair(a, a));

    for (const auto& [given, kept] : {std::pair{std::string(200, 'x'), std::string(127, 'x')}, {"say \"hi\"", "say 'hi'"}, {"abc\ndef", "abc"}})
        EXPECT_EQ(category_at(add_category(given.c_str(), -1))->name, kept);
    // The cleaned name is what is looked up: the same category again.
    EXPECT_EQ(add_category("abc\nxyz", -1), add_category("abc", -1));

    const uint16_t before = category_count();
    EXPECT_EQ((std::tuple{add_category("", -1), add_category("\nname", -1), category_count()}), std::tuple(0, 0, before));
    EXPECT_EQ(category_at(category_count()), nullptr);
}

TEST_F(DatabaseTest, TheLastCategoryIndexIsTheLimitAndNothingWraps)
{
    while (category_count() < UINT16_MAX)
        add_category(("c" + std::to_string(category_count())).c_str(), -1);
    EXPECT_EQ(category_at(UINT16_MAX - 1)->name, "c65534");
    // Index 65,535 is past what 16 bits name with the count: into the root, with a log line.
    EXPECT_EQ((std::tuple{add_category("one too many", -1), create_category("one more", -1).result, category_count()}),
        std::tuple(0, category_edit::table_full, UINT16_MAX));
    EXPECT_EQ(add_category("c65534", -1), UINT16_MAX - 1);  // names already there are still found

    // Many more names log the first, and then how many followed it, once.
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(add_category(("more " + std::to_string(i)).c_str(), 1), 0);
    report_refused_categories();
    const std::string log = read_file(dir.file("error.log"));
    EXPECT_EQ(log, "ERROR: add_category(): too many categories, \"one too many\" goes into category 0\n"
                   "ERROR: add_category(): 1000 more categories went into category 0, the table being full\n");
    // A report with nothing new to say says nothing; the next refusal is logged again.
    report_refused_categories();
    EXPECT_EQ(add_category("again", -1), 0);
    report_refused_categories();
    EXPECT_EQ(read_file(dir.file("error.log")), log + "ERROR: add_category(): too many categories, \"again\" goes into category 0\n");
}

using CategoryLookupTest = open_database_test;

// The table changed in place, not through add_category.
TEST_F(CategoryLookupTest, FindsWhatASwapOrANewRootLeft)
{
    const uint16_t top = add_category("top", -1);
    const uint16_t child = add_category("child", top);
    ASSERT_EQ(category_named("child", top), child);
    swap_categories(top, child);
    EXPECT_EQ(category_named("child", child), top);
    category_at(0)->name = "before";
    category_table_changed();
    ASSERT_EQ(category_named("before", -1), 0);
    create_root_category();
    EXPECT_EQ(category_named(root_category_name, -1), 0);
}

// Against a search of the whole table from its highest index down, through edits of the table.
TEST_F(CategoryLookupTest, FindsWhatTheWholeTableHolds)
{
    auto plain_find = [](const std::string& name, int32_t parent) {
        for (size_t i = category_count(); i-- > 0;) {
            const category& c = *category_at(static_cast<uint32_t>(i));
            if ((parent >= 0 ? c.parent == parent : c.parent == i) && c.name == name)
                return static_cast<int32_t>(i);
        }
        return -1;
    };
    std::mt19937 random(9);
    for (int step = 0; step < 2'000; ++step) {
        const std::string name = "n" + std::to_string(random() % 8);
        const int32_t parent = random() % 4 == 0 ? -1 : static_cast<int32_t>(random() % category_count());
        const int32_t expected = plain_find(name, parent);
        const uint16_t before = category_count();
        const uint16_t got = add_category(name.c_str(), parent);
        ASSERT_EQ(std::tuple(got, category_count()), std::tuple(expected >= 0 ? expected : before, before + (expected < 0)))
            << "step " << step;
        const unsigned op = random() % 50;
        if (op == 0) {
            category_at(random() % category_count())->parent = static_cast<uint16_t>(random() % category_count());
            order_categories();
            for (uint16_t i = 0; i < category_count(); ++i) {
                const category& c = *category_at(i);
                const int32_t under = c.parent == i ? -1 : c.parent;
                ASSERT_EQ(add_category(c.name.c_str(), under), plain_find(c.name, under)) << "step " << step;
            }
        } else if (op == 1) {
            create_root_category();
        }
    }
}

TEST_F(DatabaseTest, PendingListKeepsFileOrder)
{
    std::vector<pending_item*> made;
    for (int i = 0; i < 4; ++i)
        made.push_back(add_test_pending(0, "q" + std::to_string(i)));
    EXPECT_EQ(remove_pending(made[3]), nullptr);  // the last one
    add_test_pending(0, "q4");  // the tail must have moved back to q2
    EXPECT_EQ(remove_pending(made[1]), made[2]);
    pending_item stranger;
    EXPECT_EQ(remove_pending(&stranger), nullptr);
    EXPECT_EQ(all_questions(), (std::multiset<std::string>{"q0", "q2", "q4"}));
    EXPECT_EQ(std::tuple(pending_items()[1], pending_items()[2]->question, pending_count()), std::tuple(made[2], "q4", 3u));
    free_pending_list();
    EXPECT_EQ(std::pair(pending_count(), db().pending_head), std::pair(0u, static_cast<pending_item*>(nullptr)));
}

TEST_F(DatabaseTest, QueueTextsReadBackAcrossBlocksAndARewindDropsOnlyTheLaterOnes)
{
    std::vector<std::pair<pending_item*, std::string>> made;
    const auto add = [&](std::string text) {
        pending_item* p = new_pending_item();
        p->question = text;
        p->answer = "a" + text.substr(0, 7);
        append_pending(p);
        made.emplace_back(p, std::move(text));
    };
    std::mt19937 random(3);
    for (int i = 0; i < 3000; ++i)
        add(std::string(1 + random() % 8191, static_cast<char>('a' + i % 26)));
    add(std::string(5 << 20, 'L'));
    add("");
    add("after the long one");
    EXPECT_EQ(db().pending_store.live, made.size());
    for (const auto& [p, text] : made)
        ASSERT_EQ(p->question.str() + "|" + p->answer.str(), text + "|a" + text.substr(0, 7));
    pending_item* cut = new_pending_item();
    cut->question = std::string_view("before\0after", 12);
    EXPECT_EQ(cut->question, "before");

    const queue_text_mark mark = queue_text_position();
    const size_t blocks = db().pending_store.text_blocks.size();
    for (int i = 0; i < 1000; ++i)
        cut->answer = std::string(8000, 'x');
    EXPECT_GT(db().pending_store.text_blocks.size(), blocks);
    queue_text_rewind(mark);
    const auto& store = db().pending_store;
    EXPECT_EQ(std::tuple(store.text_blocks.size(), store.text_used, made.back().first->question.str()),
        std::tuple(mark.blocks, mark.used, "after the long one"));
    free_pending_item(cut);
    free_pending_list();
    EXPECT_EQ(std::tuple(store.live, store.text_blocks.size(), store.record_chunks.size()), std::tuple(0u, 0u, 0u));
}

TEST_F(DatabaseTest, FiltersSelectCategoriesAndTheirDescendants)
{
    const uint16_t a = add_category("a", -1);      // 1
    const uint16_t b = add_category("b", a);       // 2
    const uint16_t c = add_category("c", b);       // 3
    const uint16_t d = add_category("d", -1);      // 4
    EXPECT_EQ((std::vector{category_within(a, c), category_within(c, c), category_within(c, a), category_within(d, c)}),
        (std::vector{true, true, false, false}));
    const int32_t only_b[] = {b, filter_end};
    const int32_t none[] = {filter_end};
    EXPECT_EQ((std::vector{category_in_filter(only_b, b), category_in_filter(only_b, c), category_in_filter(only_b, a),
                  category_in_filter(only_b, d), category_in_filter(only_b, 0), category_in_filter(none, a),
                  category_in_filter(nullptr, d)}),
        (std::vector{true, true, false, false, false, false, true}));
    // Top-level categories are their own parents but not their own children.
    EXPECT_EQ((std::vector{next_child_category(a, -1), next_child_category(a, b), next_child_category(d, -1),
                  next_child_category(0, -1)}),
        (std::vector{int32_t{b}, -1, -1, -1}));

    // A damaged cycle of parents ends the walk instead of hanging.
    category_at(a)->parent = c;
    EXPECT_FALSE(category_within(d, a));
}

TEST_F(DatabaseTest, OrderCategoriesPutsParentsFirstAndRenumbersReferences)
{
    add_category("one", -1);  // 1
    add_category("two", -1);  // 2
    category_at(0)->parent = 2;  // as a file could leave it: a parent above its child
    item* in0 = add_test_item(1, 0);
    item* in2 = add_test_item(1, 2);
    pending_item* p = add_test_pending(2, "");

    order_categories();
    EXPECT_EQ(std::tuple(category_at(0)->name, category_at(0)->parent, category_at(2)->name, category_at(2)->parent),
        std::tuple("two", 0, "root", 0));
    EXPECT_EQ(std::tuple(in0->ctgr, in2->ctgr, p->ctgr), std::tuple(2, 0, 0));
}

TEST_F(DatabaseTest, ItemsOfABatchNeverLinkedAreFreedWithIt)
{
    {
        scheduled_batch dropped;
        item* unlinked = new_item();
        dropped.add(unlinked);
        db().recent_items[0] = unlinked;
    }
    // free_item clears a recent slot that names its record.
    EXPECT_EQ(std::tuple(db().recent_items[0], db().head), std::tuple(nullptr, nullptr));
}

using DayNumberTest = clean_state_test;

// In either season, whatever season the database began in; without daylight saving, standard time.
TEST_F(DayNumberTest, DaysBeginAtHalfPastThreeOnTheWallClock)
{
    struct day_case {
        const char* zone;
        int start_month, start_day;  // of 2026, at noon
        int month, day, hour, minute;  // the clock
        uint16_t expected;
        bool dst = true;
    };
    const char* const utc = "UTC0";
    const char* const cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const day_case cases[] = {
        {utc, 1, 15, 1, 15, 3, 29, 0},  // before day 0 begins: day 0 already, not 49,710 (a wrapped difference)
        {utc, 1, 15, 1, 15, 3, 30, 0}, {utc, 1, 15, 1, 16, 3, 29, 0}, {utc, 1, 15, 1, 16, 3, 30, 1},
        {cet, 1, 15, 7, 10, 3, 29, 175}, {cet, 1, 15, 7, 10, 3, 30, 176},  // started in winter
        {cet, 6, 1, 6, 2, 2, 30, 0}, {cet, 6, 1, 6, 2, 3, 29, 0}, {cet, 6, 1, 6, 2, 3, 30, 1},  // in summer
        {cet, 6, 1, 7, 10, 3, 29, 38}, {cet, 6, 1, 7, 10, 3, 30, 39}, {cet, 6, 1, 12, 1, 3, 29, 182},
        {cet, 6, 1, 12, 1, 3, 30, 183}, {cet, 6, 1, 7, 10, 3, 29, 38, false}, {cet, 6, 1, 7, 10, 3, 30, 39, false},
    };
    for (const day_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.zone << " from " << c.start_month << "-" << c.start_day << " at " << c.month
                                        << "-" << c.day << " " << c.hour << ":" << c.minute << (c.dst ? "" : " without DST"));
        use_zone(c.zone);
        g_bUseDST = c.dst ? 1 : 0;
        set_local_clock(2026, c.start_month, c.start_day, 12);
        db().time_of_start = time_now();
        set_local_clock(2026, c.month, c.day, c.hour, c.minute);
        EXPECT_EQ(day_number(0), c.expected);
    }
    g_bUseDST = 1;
    // A moment given is counted from the same start as the clock.
    use_zone(utc);
    EXPECT_EQ(day_number(db().time_of_start + 5 * 86'400), 5);
}
