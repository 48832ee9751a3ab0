#include <algorithm>
#include <iterator>
#include <numeric>
#include <random>
#include <tuple>
#include <utility>

#include "ann/ann_files.h"
#include "session/browse.h"
#include "session/item_edits.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace {

TEST(BrowseFoldTest, CaseAndDiacriticsFoldToTheBaseLetterAndTagsGoOnlyWhenAsked)
{
    // A decomposed accent folds like the composed letter; broken UTF-8 is kept as it is.
    const std::tuple<const char*, bool, const char*> cases[] = {{"Ärger ÜBER Öl", false, "arger uber ol"},
        {"Straße", false, "strasse"}, {"Łódź Šťastný Œuvre Ÿ", false, "lodz stastny oeuvre y"},
        {"ÆØÅ ÇÑ", false, "aeoa cn"}, {"МОСКВА Ё ΑΘΗΝΑ", false, "москва ё αθηνα"},
        {"Cafe\xCC\x81 Café", false, "cafe cafe"}, {"× ÷ € 漢字", false, "× ÷ € 漢字"},
        {"<b>Haus</b> <i>X</i>", true, "haus x"}, {"<b>Haus</b>", false, "<b>haus</b>"},
        {"a < b <x> <b", true, "a < b <x> <b"}, {"A\xC3" "B\xE2\x82", false, "a\xC3" "b\xE2\x82"},
        {"\x80Z", false, "\x80z"}};
    for (const auto& [text, skip_tags, folded] : cases)
        EXPECT_EQ(fold_text(text, skip_tags), folded) << text;
    // Every ASCII byte at every offset, through the eight-byte path too: only capitals change.
    std::string all;
    for (int c = 1; c < 128; ++c)
        all += static_cast<char>(c);
    for (size_t offset = 0; offset < 9; ++offset) {
        const std::string text = std::string(offset, 'Q') + all + "Ä" + all;
        std::string expected;
        for (const char c : text)
            expected += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        expected.replace(expected.find("\xC3\x84"), 2, "a");
        ASSERT_EQ(fold_text(text), expected) << offset;
        ASSERT_EQ(fold_text(text, true), expected) << offset;
    }
    EXPECT_EQ(fold_text("ABCDEFGH<b>IJKLMNOP</b>QRSTUVWX", true), "abcdefghijklmnopqrstuvwx");
}

using BrowseTest = open_database_test;

TEST_F(BrowseTest, CategoryPathsLeaveOutTheRootAndDatesCountFromTheStartDate)
{
    const uint16_t deutsch = add_category("Deutsch", 0);
    const uint16_t verben = add_category("Verben", deutsch);
    const uint16_t alone = add_category("Alone", -1);
    EXPECT_EQ(std::tuple(category_path(verben), category_path(deutsch), category_path(alone), category_path(0)),
        std::tuple("Deutsch / Verben", "Deutsch", "Alone", "root"));
    // A file's first category with a name of its own is a category like any other.
    db().categories[0]->name = "Sprachen";
    EXPECT_EQ(std::tuple(category_path(verben), category_path(alone)), std::tuple("Sprachen / Deutsch / Verben", "Alone"));
    // A damaged table with a cycle of parents still gives a path, marked as broken.
    db().categories[deutsch]->parent = verben;
    EXPECT_NE(category_path(verben).find("?"), std::string::npos);
    go_to_day(0);
    EXPECT_EQ(std::tuple(date_of_day(0), date_of_day(17), date_of_day(351)), std::tuple("2026-01-15", "2026-02-01", "2027-01-01"));
}

// Ties keep the list's order either way; texts equal in their first eight bytes compare in full.
TEST_F(BrowseTest, RowsSortByEachKeyBothWays)
{
    const uint16_t b = add_category("B", 0);
    const uint16_t a = add_category("A", 0);
    const uint16_t c = add_category("C", 0);
    for (const auto& [due, ctgr, ivl, q, rp, gr, id] : {std::tuple{1, b, 9, "prefix12 b", 2, 5, 300u},
             {2, a, 3, "prefix12 a", 7, 1, 100u}, {3, 0, 5, "alpha", 1, 3, 200u}}) {
        item* e = add_test_item(static_cast<uint16_t>(due), ctgr, static_cast<uint16_t>(ivl), q, std::string(q) + " answer");
        std::tie(e->rp, e->gr, e->id) = std::tuple(rp, gr, id);
    }
    std::vector<browse_row> rows = scheduled_rows();
    rows.push_back((add_test_pending(c, "queued", "queued answer"), pending_rows().front()));
    const std::pair<browse_sort, std::string> cases[] = {{browse_sort::question, "2103"}, {browse_sort::answer, "2103"},
        {browse_sort::category, "1032"}, {browse_sort::next_date, "3012"}, {browse_sort::interval, "3120"},
        {browse_sort::repetitions, "3201"}, {browse_sort::grade, "3120"}, {browse_sort::created, "3120"}};
    for (const auto& [key, ascending] : cases)
        for (const bool descending : {false, true}) {
            std::vector<uint32_t> order = {0, 1, 2, 3};
            sort_rows(rows, order, key, descending);
            std::string got(order.size(), '0');
            std::ranges::transform(order, got.begin(), [](uint32_t r) { return static_cast<char>('0' + r); });
            EXPECT_EQ(got, descending ? std::string(ascending.rbegin(), ascending.rend()) : ascending)
                << static_cast<int>(key) << (descending ? " descending" : "");
        }
    // Equal keys keep the order they had, in both directions: equal days, equal texts.
    rows.pop_back();
    for (browse_row& row : rows) {
        row.scheduled->tmtrpt = 4;
        row.scheduled->answer = "same text past eight bytes";
    }
    for (const browse_sort key : {browse_sort::next_date, browse_sort::answer})
        for (const bool descending : {false, true}) {
            std::vector<uint32_t> order = {2, 0, 1};
            sort_rows(rows, order, key, descending);
            EXPECT_EQ(order, (std::vector<uint32_t>{2, 0, 1}));
        }
    // Ranks past one radix pass's eleven bits order as numbers do.
    std::vector<uint32_t> order = {0, 1, 2, 3, 4};
    for (const bool descending : {false, true}) {
        sort_by_rank(order, {5'000'000, 3, 70'000, 2048, 3}, descending);
        EXPECT_EQ(order, (descending ? std::vector<uint32_t>{0, 2, 3, 1, 4} : std::vector<uint32_t>{1, 4, 3, 2, 0}));
    }
    // A ranking told to stop gives none rather than a part.
    const std::atomic<bool> stop {true};
    EXPECT_TRUE(rank_rows(rows, browse_sort::question, &stop).empty());
}

TEST_F(BrowseTest, FiltersCombineSearchDueAndCategory)
{
    const uint16_t fr = add_category("Français", 0);
    const uint16_t verbs = add_category("Verbes", fr);
    add_test_item(3, 0, 1, "Der <b>Bär</b>", "the bear");
    add_test_item(5, verbs, 1, "être", "to be");
    add_test_item(5, fr, 1, "la fête", "the PARTY");
    add_test_item(9, 0, 1, "nothing", "here");
    add_test_pending(verbs, "avoir", "to have");
    using enum due_filter;
    const struct {
        const char* query;
        due_filter due;
        std::optional<uint16_t> category;
        const char* found;  // the questions found, scheduled items first, each ending in '|'
    } cases[] = {
        {"BAR", any, {}, "Der <b>Bär</b>|"},
        {"ÊT", any, {}, "être|la fête|"},  // case and accent aside
        {"party", any, {}, "la fête|"},  // the answer is searched too
        {"b>b", any, {}, ""},  // tags are not text
        {"", due, {}, "Der <b>Bär</b>|être|la fête|"},
        {"", overdue, {}, "Der <b>Bär</b>|"},
        {"", any, fr, "être|la fête|avoir|"},  // with the categories below it
        {"", due, fr, "être|la fête|"},  // queue items are never due
    };
    for (const auto& c : cases) {
        const browse_filter filter{fold_text(c.query), c.due, c.category, 5};
        std::string found;
        for (const std::vector<browse_row>& rows : {scheduled_rows(), pending_rows()}) {
            std::vector<uint32_t> all(rows.size());
            std::iota(all.begin(), all.end(), 0u);
            for (const uint32_t i : filter_rows(rows, all, filter))
                found += std::string(question_of(rows[i])) + "|";
        }
        EXPECT_EQ(found, c.found) << c.query << " " << static_cast<int>(c.due);
    }
    // The order given is kept, and indexes past the rows are ignored.
    EXPECT_EQ(filter_rows(scheduled_rows(), {3, 0, 7}, browse_filter{}), (std::vector<uint32_t>{3, 0}));
}

// Stored composed, as imports store them, to be found as duplicates; unless composing lengthens.
TEST_F(BrowseTest, TextsAndNamesTypedDecomposedAreStoredComposed)
{
    ma_nn_init();
    const std::string decomposed = "Ba\xCC\x88ume \xE2\x84\xAB", composed = "B\xC3\xA4ume \xC3\x85";
    const std::string lengthened = "\xE0\xA5\x98";  // Devanagari qa, which composing splits in two
    item* added = add_reviewed(4, decomposed.c_str(), lengthened.c_str(), 0);
    item* edited = add_test_item(5);
    change_texts(edited, lengthened, decomposed);
    pending_item* queued = add_test_pending(0, "q", "a");
    change_texts(queued, decomposed, "a");
    const category_made made = create_user_category(decomposed, -1);
    const category_made other = create_user_category("x", -1);
    ASSERT_EQ(rename_user_category(other.index, decomposed + " 2"), category_edit::done);
    EXPECT_EQ(std::vector<std::string>({added->question.str(), added->answer.str(), edited->question.str(), edited->answer.str(),
                  std::string(queued->question), db().categories[made.index]->name, db().categories[other.index]->name}),
        std::vector<std::string>({composed, lengthened, lengthened, composed, composed, composed, composed + " 2"}));
}

// Forget keeps the id; rescheduling to today moves only items not yet due.
TEST_F(BrowseTest, ForgetAndRescheduleTodayMoveAnItemToItsNewPlace)
{
    ma_nn_init();
    const auto in_order = [] { return std::ranges::is_sorted(scheduled_items(), {}, [](const item* e) { return e->tmtrpt; }); };
    item* known = add_test_item(40, 0, 120);
    std::tie(known->rp, known->gr, known->livl, known->rllivl, known->id) = std::tuple(6, 5, 60, 61, 1'700'000'000u);
    item* early = add_test_item(2);
    item* later = add_test_item(20, 0, 12);  // last graded on day 8
    add_test_item(7);
    item* last = add_test_item(30, 0, 28);  // last graded on day 2
    forget_item(known, 3);
    EXPECT_EQ(std::tuple(known->rp, known->gr, known->livl, known->rllivl, known->id, known->tmtrpt, known->stmtrpt),
        std::tuple(0, 0, 0, 0, 1'700'000'000u, 3 + known->ivl, 3 + known->ivl));
    EXPECT_TRUE(known->ivl < 120 && in_order());
    EXPECT_FALSE(reschedule_today(early, 6));
    EXPECT_TRUE(reschedule_today(later, 6));
    // Today is before the day it was graded: no days passed.
    EXPECT_EQ(std::tuple(later->tmtrpt, later->ivl), std::tuple(6, 0));
    EXPECT_TRUE(reschedule_today(last, 6));
    EXPECT_EQ(std::tuple(last->tmtrpt, last->ivl), std::tuple(6, 4));
    EXPECT_TRUE(scheduled_items().size() == 5 && db().item_count == 5 && in_order());
}

// Hits at either end of a text, none across question and answer ("xstrasse"), in a buffer of
// only some rows, and at the cut of a search in two halves.
TEST_F(BrowseTest, TheFoldedTextsFindWhatFoldingAsItGoesFinds)
{
    const uint16_t sub = add_category("Sub", 0);
    const char* const texts[] = {"Straße", "STRASSE", "<b>Stra</b>sse", "strass", "ÉCOLE du Bär", "école",
        "x", "", "naïve", "Baer", "bär\nzwei", "über", "Ende", "e", "Nr. 7"};
    std::mt19937 random(5);
    for (int i = 0; i < 4'200; ++i)
        add_test_item(static_cast<uint16_t>(random() % 30), random() % 3 == 0 ? sub : 0, 1,
            texts[random() % std::size(texts)], texts[random() % std::size(texts)]);
    add_test_item(31, 0, 1, "q", "the last answer endet");
    const std::vector<browse_row> rows = scheduled_rows();
    std::vector<uint32_t> order(rows.size());
    std::iota(order.rbegin(), order.rend(), 0u);  // a sort order other than the list's

    folded_rows folded;
    size_t slices = 0;
    while (!fold_more_rows(folded, rows, 64))
        ++slices;
    EXPECT_EQ(std::tuple(slices, folded.text), std::tuple(rows.size() / 64, fold_rows(rows).text));
    folded_rows half_folded;
    fold_more_rows(half_folded, rows, rows.size() / 2);

    size_t found_any = 0;
    for (const char* query : {"strasse", "STRASSE", "ecole", "bar", "ae", "e", "x", "7", "endet", "eende", "stra", "zwei",
             "bar\nzwei", "sse", "\xC3", "ai", "ub", "nd", "r.", "xstrasse"}) {
        for (const bool narrowed : {false, true}) {
            const browse_filter filter{fold_text(query), narrowed ? due_filter::overdue : due_filter::any,
                narrowed ? std::optional<uint16_t>(sub) : std::nullopt, 15};
            const std::vector<uint32_t> plain = filter_rows(rows, order, filter);
            ASSERT_EQ(filter_rows(rows, order, filter, &folded), plain) << query;
            filter_progress progress;
            progress.filter = filter;
            size_t filter_slices = 0;
            while (!filter_more_rows(progress, rows, order, 37, &half_folded))
                ++filter_slices;
            ASSERT_EQ(progress.shown, plain) << query;
            EXPECT_EQ(filter_slices, rows.size() / 37);
            found_any += plain.empty() ? 0 : 1;
        }
    }
    EXPECT_GT(found_any, 10u);
    // A hit at the very end of the buffer.
    EXPECT_EQ(filter_rows(rows, order, browse_filter{"endet", due_filter::any, {}, 0}, &folded), std::vector<uint32_t>{order.front()});
}

}  // namespace
