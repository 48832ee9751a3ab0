#include "support/database_helpers.h"

namespace {

using CategoryLookupTest = open_database_test;

// The table changed in place, not through add_category: the lookup by parent and name built
// before still finds what the table holds now.
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

}  // namespace
