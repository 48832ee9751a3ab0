#include <QDialog>
#include <QMenuBar>
#include <QTreeWidget>

#include "resources/ids.h"
#include "session/lifecycle.h"
#include "settings/category_dialog.h"
#include "ui_fixture.h"

namespace {

class Activities : public ui_test {};

}  // namespace

TEST_F(Activities, HoldingTheQueueButtonAsksForTheQueuesOwnCategories)
{
    const uint16_t sub = add_category("Sub", -1);
    add_pending("in sub", "x", sub);
    add_pending("in root", "y", 0);
    add_item("due", "a", 0, 0);
    show_main_screen();
    // Tick only "Sub" in the dialog that the held button opens.
    on_next_modal([](QWidget* dialog) {
        auto* tree = dialog->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        for (QTreeWidgetItem* item : tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive))
            item->setCheckState(0, item->text(0).startsWith(QStringLiteral("Sub")) ? Qt::Checked : Qt::Unchecked);
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(w->queue_button, Qt::RightButton);
    ASSERT_EQ(ui().pass.mode(), screen_mode::queue);
    EXPECT_EQ(ui().ask_categories_queue, 1);
    EXPECT_EQ(ui().ask_categories_forced, 0);
    EXPECT_EQ(ui().ask_categories_scheduled, 0);
    EXPECT_EQ(question_shown(), QStringLiteral("in sub"));
    // The choice is remembered for the queue, and only for it.
    const settings& s = *ui().settings_record;
    ASSERT_TRUE(s.acs2.has_value());
    EXPECT_EQ(selection_from_settings(&s.acs2)[sub], 1);
    EXPECT_FALSE(s.acs1.has_value());
    EXPECT_FALSE(s.acs4.has_value());
}

