
#include "session/choose.h"
#include "settings/category_dialog.h"
#include "settings/settings_store.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"

namespace {

class CategoryDialog : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        dir = std::make_unique<temp_dir>();
        ASSERT_FALSE(holds_any(ma_init(dir->path().c_str()), init_status::dir_not_accessible));
        db().time_of_start -= 10 * 86400;
    }
    static void add_item(uint16_t ctgr, int days) { add_test_item(static_cast<uint16_t>(day_number(0) + days), ctgr, 0); }
    static void add_pending(uint16_t ctgr) { add_test_pending(ctgr, ""); }
    static QString label(const category_selection_dialog& d, uint32_t c) { return d.item_of(c)->text(0); }

    std::unique_ptr<temp_dir> dir;
    settings record;
    uint16_t new_item_category = 0;
};

}  // namespace

TEST_F(CategoryDialog, TheTreeShowsTheForestWithCountsBelowEachCategoryAndEveryOneOfADamagedTable)
{
    const uint16_t lang = add_category("Languages", 0);
    const uint16_t french = add_category("French", lang);
    const uint16_t verbs = add_category("Verbs", french);
    const uint16_t maths = add_category("Maths", 0);
    // French: 3 items, 1 due today, 2 queued; Verbs below it: 2 items, 1 due.
    for (const auto& [c, days] : {std::pair{french, 0}, {french, 4}, {french, 9}, {verbs, -2}, {verbs, 1}})
        add_item(c, days);
    add_pending(french);
    add_pending(french);

    category_selection_dialog d(&record, &record.acs1, true, &new_item_category);
    EXPECT_EQ(QStringList({label(d, french), label(d, verbs), label(d, maths), label(d, 0)}).join('|'),
        QStringLiteral("French (i:5,r:2,q:2)|Verbs (i:2,r:1,q:0)|Maths (i:0,r:0,q:0)|root (i:5,r:2,q:2)"));
    EXPECT_TRUE(d.item_of(verbs)->parent() == d.item_of(french) && d.item_of(french)->parent() == d.item_of(lang));
    EXPECT_TRUE(d.item_of(lang)->parent() == d.item_of(0) && d.item_of(0)->parent() == nullptr);
    EXPECT_EQ(d.item_of(0)->indexOfChild(d.item_of(maths)), 1);
    // The letters in words, for a pointer resting on a row as for a screen reader.
    EXPECT_EQ(d.item_of(verbs)->data(0, Qt::ToolTipRole).toString(), QStringLiteral("Verbs: 1 due, 0 queued, 2 items"));

    // A long name gives way to the counts within 143 bytes, never splitting a character.
    const std::string name = std::string(120, 'n') + "\xc3\xa9\xc3\xa9\xc3\xa9";
    EXPECT_EQ(category_label(name.c_str(), 4000000000u, 4000000000u, 4000000000u),
        std::string(102, 'n') + " (i:4000000000,r:4000000000,q:4000000000)");
    EXPECT_EQ(category_label("é", 1, 2, 3), "é (i:1,r:2,q:3)");

    // A damaged table still shows every category: Languages under Verbs under French under
    // Languages, Maths under a parent past the table.
    category_at(lang)->parent = verbs;
    category_at(maths)->parent = 999;
    category_selection_dialog damaged(&record, &record.acs1, true, &new_item_category);
    EXPECT_EQ(damaged.tree()->topLevelItemCount(), 5);  // none of them reaches a top-level category
    for (uint32_t c = 0; c < 5; ++c)
        ASSERT_NE(damaged.item_of(c), nullptr);
    EXPECT_EQ(damaged.item_of(5), nullptr);
}

TEST_F(CategoryDialog, ReviewModeTicksTheRememberedSetAndStoresTheNewOne)
{
    for (int i = 1; i < 12; ++i)
        add_category(("c" + std::to_string(i)).c_str(), 0);
    // A set stored when there were fewer categories: 3 and 7 ticked, 8 and up unknown.
    record.acs1 = std::vector<uint8_t>{0x88};
    record.acs4 = std::vector<uint8_t>{0xFF, 0xFF};
    const auto ticked = [](const category_selection_dialog& d) {
        std::string t;
        for (uint32_t c = 0; c < 12; ++c)
            t += d.item_of(c)->checkState(0) == Qt::Checked ? 'x' : '.';
        return t;
    };
    {
        category_selection_dialog d(&record, &record.acs1, true, &new_item_category);
        EXPECT_EQ(ticked(d), "...x...x....");
        d.item_of(7)->setCheckState(0, Qt::Unchecked);
        d.item_of(10)->setCheckState(0, Qt::Checked);
        d.item_of(0)->setCheckState(0, Qt::Checked);
        d.accept();
        EXPECT_EQ(d.selection().value_or(std::vector<int32_t>{}), (std::vector<int32_t>{10, 3, 0, -1}));
    }
    EXPECT_EQ(*record.acs1, (std::vector<uint8_t>{0x09, 0x04}));
    EXPECT_EQ(*record.acs4, (std::vector<uint8_t>{0xFF, 0xFF}));  // another activity's set
    EXPECT_EQ(new_item_category, 0);
    // Nothing ticked: OK waits until Space ticks one.
    record.acs2.reset();
    {
        category_selection_dialog d(&record, &record.acs2, true, &new_item_category);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        EXPECT_EQ(ticked(d), "............");
        QPushButton* ok = d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::keyClick(d.tree(), Qt::Key_Return);
        EXPECT_TRUE(d.isVisible() && !ok->isEnabled() && !d.selection());
        d.tree()->setCurrentItem(d.item_of(5));
        QTest::keyClick(d.tree(), Qt::Key_Space);
        EXPECT_TRUE(ok->isEnabled());
        QTest::keyClick(d.tree(), Qt::Key_Return);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.selection().value_or(std::vector<int32_t>{}), (std::vector<int32_t>{5, -1}));
    }
    EXPECT_EQ(*record.acs2, (std::vector<uint8_t>{0x20, 0x00}));
    {
        category_selection_dialog d(&record, &record.acs4, true, &new_item_category);
        d.item_of(1)->setCheckState(0, Qt::Unchecked);
        d.reject();
        EXPECT_FALSE(d.selection());
    }
    EXPECT_EQ(*record.acs4, (std::vector<uint8_t>{0xFF, 0xFF}));

    EXPECT_EQ(selection_from_settings(&record.acs1), (std::vector<uint8_t>{1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(selection_from_settings(nullptr), std::vector<uint8_t>(12, 0));
}

TEST_F(CategoryDialog, AddModeChoosesOneCategoryAndKeepsTheLastChoice)
{
    const uint16_t a = add_category("A", 0);
    const uint16_t b = add_category("B", a);
    record.acs3 = b;
    {
        category_selection_dialog d(&record, nullptr, false, &new_item_category);
        EXPECT_FALSE(d.item_of(a)->flags() & Qt::ItemIsUserCheckable);
        EXPECT_TRUE(d.findChild<QLabel*>(QStringLiteral("category_hint"))->text().startsWith(QStringLiteral("Choose the category")));
        EXPECT_TRUE(d.tree()->currentItem() == d.item_of(b) && new_item_category == b);
        d.tree()->setCurrentItem(d.item_of(a));
        EXPECT_EQ(record.acs3, a);
        d.show();
        on_next_modal([](QWidget* ask) {
            QTest::keyClicks(ask->findChild<QLineEdit*>(), "Verbs \"irregular\"");
            QTest::keyClick(ask, Qt::Key_Return);
        });
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("new_category")), Qt::LeftButton);
        ASSERT_EQ(category_count(), 4u);
        EXPECT_TRUE(category_at(3)->name == "Verbs 'irregular'" && category_at(3)->parent == a);
        EXPECT_TRUE(d.tree()->currentItem() == d.item_of(3) && new_item_category == 3);
        d.reject();  // Cancel keeps the last selection made
    }
    EXPECT_TRUE(new_item_category == 3 && record.acs3 == 3);
    // 127 bytes at most, never half a character: 63 two-byte letters.
    EXPECT_EQ(category_name_from_typed(QStringLiteral("  Two   words ")), "Two words");
    EXPECT_EQ(QString::fromStdString(category_name_from_typed(QString(100, QChar(0xE9)))), QString(63, QChar(0xE9)));

    // A remembered category past the last one preselects nothing and changes nothing.
    record.acs3 = 40;
    new_item_category = b;
    {
        category_selection_dialog d(&record, nullptr, false, &new_item_category);
        EXPECT_EQ(d.tree()->currentItem(), nullptr);
        d.accept();
        EXPECT_FALSE(d.selection());
    }
    EXPECT_TRUE(new_item_category == b && record.acs3 == 40u);
}
