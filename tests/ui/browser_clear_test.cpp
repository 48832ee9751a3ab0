// The search box's clear button: drawn in full with the first key (no fade over later frames),
// named for a screen reader, and a click on it empties the search.
#include <QAccessible>
#include <QToolButton>

#include "ui_fixture.h"

namespace {

class BrowserClear : public ui_test {};

TEST_F(BrowserClear, TheClearButtonShowsWithTheFirstKeyAndAClickClearsTheSearch)
{
    for (const char* question : {"Bär", "Haus", "Baum"})
        add_item(question, "x");
    browse([&](browser_window* b) {
        QLineEdit* search = b->search_box();
        auto* clear = search->findChild<QToolButton*>();
        ASSERT_NE(clear, nullptr);
        EXPECT_FALSE(clear->isVisible());
        const QImage empty = search->grab().toImage();
        type_into(search, QStringLiteral("b"));
        ASSERT_TRUE(clear->isVisible());
        const QRect area = clear->geometry();
        EXPECT_NE(search->grab().toImage().copy(area), empty.copy(area));
        EXPECT_EQ(clear->toolTip(), QStringLiteral("Clear the search"));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(clear)->text(QAccessible::Name), clear->toolTip());
        ASSERT_EQ(b->model(browse_kind::scheduled)->rowCount(), 2);

        QTest::mouseClick(clear, Qt::LeftButton);
        EXPECT_EQ(search->text(), QString());
        EXPECT_FALSE(clear->isVisible());
        EXPECT_EQ(b->model(browse_kind::scheduled)->rowCount(), 3);
    });
}

}  // namespace
