// The browser's "Conflicts...": an edit made elsewhere that lost to a later one here is listed
// beside the item's texts, and "Take Losing Text" makes it the item's texts.
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "formats/change_log.h"
#include "session/item_edits.h"
#include "session/sync_conflicts.h"
#include "settings/settings_store.h"
#include "support/qt_test_support.h"
#include "ui/browser.h"
#include "ui/browser_conflicts.h"
#include "ui/main_window.h"

namespace {

constexpr uint64_t other_computer = 0x0badc0ffee000002ULL;
// Long before the test clock: the other computer's edit is older than one made here.
constexpr uint64_t long_ago_ms = 1'000'000'000'000ULL;

class SyncConflictsTest : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        log = std::make_unique<change_log_writer>(folder.file(change_log_name(other_computer)), other_computer);
        const auto store = open_settings_store();
        store->setValue(QStringLiteral("syncfolder"), QString::fromStdString(folder.path()));
        store->sync();
    }
    void TearDown() override
    {
        if (w)
            w->close();
        delete w;
        qt_test::TearDown();
    }

    void record(change_record r, uint64_t stamp_ms)
    {
        ASSERT_EQ(log->append(r, stamp_ms).status, change_append_status::appended);
    }

    temp_dir folder;
    std::unique_ptr<change_log_writer> log;
    main_window* w = nullptr;
};

}  // namespace

TEST_F(SyncConflictsTest, TheLosingTextIsShownAndCanBeTakenInstead)
{
    change_record add;
    add.kind = change_kind::add_item;
    add.item = {other_computer, 1};
    add.path = {"root"};
    add.question = "gehen";
    add.answer = "to go";
    record(add, long_ago_ms);
    w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    w->show();
    ASSERT_EQ(db().item_count, 1u);
    change_texts(db().head, "gehen", "to walk");

    change_record edit;
    edit.kind = change_kind::edit_item;
    edit.item = {other_computer, 1};
    edit.question = "gehen";
    edit.answer = "to leave";
    record(edit, long_ago_ms + 1);
    QTRY_VERIFY_WITH_TIMEOUT(lost_edit_of(db().head).has_value(), 5000);
    EXPECT_EQ(db().head->answer.str(), "to walk");

    bool listed = false;
    on_next_modal([&](QWidget* dialog) {
        auto* browser = qobject_cast<browser_window*>(dialog);
        if (browser) {
            ASSERT_TRUE(browser->conflicts_button()->isVisible());
            on_next_modal([&](QWidget* inner) {
                auto* conflicts = qobject_cast<conflicts_dialog*>(inner);
                if (conflicts) {
                    QTableWidget* table = conflicts->table();
                    listed = table->rowCount() == 1 && table->item(0, 1)->text() == QStringLiteral("to walk")
                        && table->item(0, 3)->text() == QStringLiteral("to leave");
                    QTest::mouseClick(conflicts->findChild<QPushButton*>(QStringLiteral("conflicts_take")), Qt::LeftButton);
                    EXPECT_EQ(table->rowCount(), 0);
                }
                inner->close();
            });
            QTest::mouseClick(browser->conflicts_button(), Qt::LeftButton);
            EXPECT_FALSE(browser->conflicts_button()->isVisible());
        }
        dialog->close();
    });
    QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(listed);
    EXPECT_EQ(db().head->answer.str(), "to leave");
}
