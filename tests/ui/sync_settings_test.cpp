// The sync folder set in the Settings dialog is taken up at once, and left at once when cleared.
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "formats/change_log.h"
#include "resources/ids.h"
#include "services/services_state.h"
#include "session/sync.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"

namespace {

constexpr uint64_t other_computer = 0x0badc0ffee000003ULL;

class SyncSettingsTest : public qt_test {
protected:
    void TearDown() override
    {
        if (w)
            w->close();
        delete w;
        qt_test::TearDown();
    }

    // Types `folder` over the setting in File > Settings... and confirms with Return.
    void set_sync_folder(const QString& folder)
    {
        bool typed = false;
        on_next_modal([&](QWidget* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("sync_folder"));
            typed = edit != nullptr;
            if (!edit) {
                dialog->close();
                return;
            }
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, folder);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        run_command(w, cmd_settings);
        ASSERT_TRUE(typed);
    }

    temp_dir folder;
    main_window* w = nullptr;
};

}  // namespace

TEST_F(SyncSettingsTest, TheSyncFolderTakesEffectAtOnce)
{
    change_log_writer other(folder.file(change_log_name(other_computer)), other_computer);
    change_record add;
    add.kind = change_kind::add_item;
    add.item = {other_computer, 1};
    add.path = {"root"};
    add.question = "gehen";
    add.answer = "to go";
    ASSERT_EQ(other.append(add, 1'000'000'000'000ULL).status, change_append_status::appended);

    w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    w->show();
    ASSERT_FALSE(sync_active());
    ASSERT_EQ(db().item_count, 0u);

    set_sync_folder(QString::fromStdString(folder.path()));
    EXPECT_TRUE(sync_active());
    EXPECT_EQ(db().item_count, 1u) << "what waited in the folder is applied at once";

    set_sync_folder(QString());
    EXPECT_FALSE(sync_active());
    EXPECT_TRUE(file_exists(services().data_dir + sync_state_name)) << "the state is saved when the folder is left";
}
