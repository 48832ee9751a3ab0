#include <map>

#include "database/category_edits.h"
#include "support/database_helpers.h"

namespace {

class CategoryEdits : public open_database_test {
protected:
    // "A/B": the names from the top-level category down.
    static std::string path_of(uint16_t c)
    {
        std::string path;
        walk_up_categories(c, [&](uint32_t k) {
            path = category_at(k)->name + (path.empty() ? "" : "/" + path);
            return true;
        });
        return path;
    }
};

TEST_F(CategoryEdits, RenameKeepsNamesUniqueUnderTheirParent)
{
    const uint16_t deutsch = add_category("Deutsch", -1);
    const uint16_t verben = add_category("Verben", deutsch);
    const uint16_t nomen = add_category("Nomen", deutsch);
    const uint16_t french = add_category("French", -1);
    add_category("Verben", french);

    // Refused alike when made or renamed; the parent's own name too, which add_category would find.
    const std::pair<std::string, category_edit> refused[] = {{"Nomen", category_edit::name_taken},
        {"Deutsch", category_edit::name_taken}, {"", category_edit::empty_name}, {"   ", category_edit::empty_name},
        {"two\nlines", category_edit::line_end_in_name}, {"two\rlines", category_edit::line_end_in_name},
        {std::string(128, 'x'), category_edit::name_too_long}};
    const uint16_t count = category_count();
    for (const auto& [name, result] : refused) {
        EXPECT_EQ(rename_category(verben, name), result) << name;
        EXPECT_EQ(create_category(name, deutsch).result, result) << name;
    }
    EXPECT_EQ(rename_category(french, "Deutsch"), category_edit::name_taken);
    EXPECT_EQ(rename_category(category_count(), "x"), category_edit::no_such_category);
    for (const int32_t parent : {-2, int32_t{count}})
        EXPECT_EQ(create_category("x", parent).result, category_edit::no_such_category) << parent;
    EXPECT_EQ(std::tuple(category_at(verben)->name, category_count()), std::tuple("Verben", count));

    // The same name under another parent, and the name it already has, are fine.
    EXPECT_EQ(rename_category(nomen, "Nomen"), category_edit::done);
    ASSERT_EQ(rename_category(verben, std::string(127, 'v')), category_edit::done);
    ASSERT_EQ(rename_category(verben, "Zeit\"wörter\""), category_edit::done);
    EXPECT_EQ(category_at(verben)->name, "Zeit'wörter'");
    // Quotes become apostrophes before the names are compared.
    EXPECT_EQ(rename_category(nomen, "Zeit'wörter'"), category_edit::name_taken);

    // The lookup by name follows: the new name finds the category, the old one is free.
    EXPECT_EQ(add_category("Zeit'wörter'", deutsch), verben);
    EXPECT_EQ(category_named("Verben", deutsch), -1);
    const category_made again = create_category("Verben", deutsch);
    EXPECT_EQ(std::tuple(again.result, again.index, path_of(again.index)), std::tuple(category_edit::done, count, "Deutsch/Verben"));
    EXPECT_EQ(rename_category(again.index, "Zeit\"wörter'"), category_edit::name_taken);
}

TEST_F(CategoryEdits, DeleteIsRefusedWhileAnythingIsInTheCategoryOrBelowIt)
{
    const uint16_t a = add_category("A", -1);
    const uint16_t b = add_category("B", a);
    const uint16_t c = add_category("C", b);
    item* e = add_test_item(3, c);
    EXPECT_EQ(items_within_category(a), 1u);
    EXPECT_EQ(std::pair(delete_category(a).result, delete_category(c).result),
        std::pair(category_edit::holds_items, category_edit::holds_items));
    e->ctgr = 0;
    pending_item* p = add_test_pending(b, "queued");
    EXPECT_EQ(delete_category(a).result, category_edit::holds_items);
    p->ctgr = 0;
    db().kept_queue.push_back({c, "<q>too long</q>\n", false});
    EXPECT_EQ(delete_category(b).result, category_edit::holds_items);
    db().kept_queue.clear();
    EXPECT_EQ(std::pair(delete_category(0).result, delete_category(category_count()).result),
        std::pair(category_edit::first_category, category_edit::no_such_category));
    EXPECT_EQ(std::tuple(category_count(), categories_below(a)), std::tuple(4, std::vector<uint16_t>{b, c}));
}

TEST_F(CategoryEdits, DeleteRenumbersEveryReference)
{
    // root, A, A/B, C, C/D, E, A/B/F: removing A takes B and F and moves C, D, E down.
    const uint16_t a = add_category("A", -1);
    const uint16_t b = add_category("B", a);
    const uint16_t c = add_category("C", -1);
    const uint16_t d = add_category("D", c);
    const uint16_t e = add_category("E", -1);
    add_category("F", b);
    const std::map<std::string, uint16_t> items{{"in C", c}, {"in D", d}, {"in E", e}, {"in root", 0}};
    for (const auto& [question, ctgr] : items)
        add_test_item(static_cast<uint16_t>(ctgr + 1), ctgr, 1, question);
    add_test_pending(e, "queued in E");
    db().kept_queue.push_back({d, "<q>kept in D</q>\n<a>x</a>\n", false});

    const category_removal removal = delete_category(a);
    ASSERT_EQ(std::tuple(removal.result, removal.removed, category_count()), std::tuple(category_edit::done, 3u, 4));
    EXPECT_EQ(removal.new_index, (std::vector<int32_t>{0, -1, -1, 1, 2, 3, -1}));
    EXPECT_EQ(std::tuple(path_of(1), path_of(2), path_of(3), category_at(1)->parent, category_at(3)->parent),
        std::tuple("C", "C/D", "E", 1, 3));
    for (const item* x : scheduled_items())
        EXPECT_EQ(path_of(x->ctgr), path_of(static_cast<uint16_t>(removal.new_index[items.at(x->question)])));
    EXPECT_EQ(std::pair(path_of(db().pending_head->ctgr), db().kept_queue[0].ctgr), std::pair(std::string("E"), 2));
    // The lookup knows the new indexes; the removed names are free again.
    EXPECT_EQ((std::tuple{category_named("D", 1), category_named("A", -1), add_category("E", -1)}), std::tuple(2, -1, 3));

    // An empty leaf goes alone.
    const uint16_t leaf = add_category("leaf", 2);
    const category_removal alone = delete_category(leaf);
    EXPECT_EQ(std::tuple(alone.removed, category_count(), category_named("leaf", 2)), std::tuple(1u, 4, -1));
}

}  // namespace
