#include <QDialog>
#include <QMenuBar>
#include <QSettings>
#include <QTreeWidget>

#include "platform/crt_rand.h"
#include "resources/ids.h"
#include "session/lifecycle.h"
#include "settings/category_dialog.h"
#include "ui_fixture.h"

namespace {

class Activities : public ui_test {
protected:
    // The "  Skip  " entry of the menu bar, clicked.
    void click_skip()
    {
        QMenuBar* bar = w->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(w->skip_action).center());
    }
    QString status() const { return question_shown(); }
};

}  // namespace

TEST_F(Activities, AForcedPassMovesOnToAnotherItemAfterEachGrade)
{
    item* first = add_item("first", "a", 0, 30);
    item* second = add_item("second", "b", 0, 60);
    show_main_screen();
    click(w->force_button);
    ASSERT_EQ(ui().screen_mode, mode_forced);
    item* shown = ui().current_item;
    ASSERT_TRUE(shown == first || shown == second);
    key(Qt::Key_Return);
    key(Qt::Key_4);
    // Neither item is due, yet the pass goes on with the one not just graded.
    ASSERT_EQ(ui().screen_mode, mode_forced);
    EXPECT_NE(ui().current_item, shown);
    EXPECT_TRUE(ui().current_item == first || ui().current_item == second);
    EXPECT_EQ(question_shown(), QString::fromStdString(ui().current_item->question));
}

TEST_F(Activities, SkippingInTheQueueWithRandomPickShowsAnotherItem)
{
    ui().settings_record->randompick = 1;
    add_pending("p1", "x");
    add_pending("p2", "y");
    add_pending("p3", "z");
    show_main_screen();
    crt_srand(5);
    click(w->queue_button);
    ASSERT_EQ(ui().screen_mode, mode_queue);
    for (int i = 0; i < 10; ++i) {
        const pending_item* before = ui().current_pending;
        click_skip();
        ASSERT_EQ(ui().screen_mode, mode_queue) << "skip " << i;
        EXPECT_NE(ui().current_pending, before) << "skip " << i;
        EXPECT_EQ(question_shown(), QString::fromStdString(ui().current_pending->question));
    }
    EXPECT_EQ(pending_count(), 3u);  // skipping takes nothing out of the queue
}

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
    ASSERT_EQ(ui().screen_mode, mode_queue);
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

TEST_F(Activities, FontSizesFromTheSettingsAreKeptWithinWhatABoxCanShow)
{
    delete w;
    w = nullptr;
    ui().window = nullptr;
    {
        QSettings raw(settings_file(), QSettings::NativeFormat);
        raw.setValue("qfontsize", 100000);
        raw.setValue("afontsize", -7);
    }
    ma_discard();
    w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    EXPECT_EQ(w->question_box->font().pixelSize(), 512);
    EXPECT_EQ(w->answer_box->font().pixelSize(), 7);
}
