// The sync folder in the running program: what another computer recorded is applied at start
// and, through the watcher, while the window is open; the status bar says what arrived.
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "formats/change_log.h"
#include "settings/settings_store.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"
#include "ui/sync_watch.h"

namespace {

constexpr uint64_t other_computer = 0x0badc0ffee000001ULL;

class SyncWatchTest : public qt_test {
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

    void record(change_record r)
    {
        ASSERT_EQ(log->append(r, 1'768'478'400'000ULL).status, change_append_status::appended);
    }

    temp_dir folder;
    std::unique_ptr<change_log_writer> log;
    main_window* w = nullptr;
};

}  // namespace

TEST_F(SyncWatchTest, ChangesOfAnotherComputerArriveAtStartAndWhileRunning)
{
    change_record add;
    add.kind = change_kind::add_item;
    add.item = {other_computer, 1};
    add.path = {"root", "Deutsch"};
    add.question = "gehen";
    add.answer = "to go";
    add.schedule = {1'768'400'000u, 20468, 20468, 1, 0, 0, 0, 3};  // due on the test clock's day
    record(add);

    w = new main_window;
    ASSERT_EQ(w->open_data(), 0);
    w->show();
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(db().head->question.str(), "gehen");
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("1 arrived, 1 applied")))
        << w->statusBar()->currentMessage().toStdString();
    EXPECT_FALSE(w->sync->polling()) << "nothing waits and the watcher sees the folder";

    change_record edit;
    edit.kind = change_kind::edit_item;
    edit.item = {other_computer, 1};
    edit.question = "gehen";
    edit.answer = "to walk";
    record(edit);
    EXPECT_TRUE(QTest::qWaitFor([] { return db().head->answer.str() == "to walk"; }, 5000));
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("1 applied")));
}
