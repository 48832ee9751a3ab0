// The sync folder in the running program: arrivals, the setting, and a lost edit taken instead.

#include "formats/change_log.h"
#include "services/services_state.h"
#include "session/item_edits.h"
#include "session/sync.h"
#include "session/sync_conflicts.h"
#include "settings/settings_store.h"
#include "ui/browser_conflicts.h"
#include "ui/sync_watch.h"
#include "ui_fixture.h"

namespace {

constexpr uint64_t other_computer = 0x0badc0ffee000001ULL;
// Long before the test clock: the other computer's edit is older than one made here.
constexpr uint64_t long_ago_ms = 1'000'000'000'000ULL;

class SyncWindowTest : public qt_test {
protected:
    void TearDown() override
    {
        if (w)
            w->close();
        delete w;
        qt_test::TearDown();
    }

    void record(change_kind kind, uint64_t number, const char* question, const char* answer, uint64_t stamp_ms)
    {
        change_record r;
        r.kind = kind;
        r.item = {other_computer, number};
        if (kind == change_kind::add_item) {
            r.path = {"root"};
            r.schedule = {1'768'400'000u, 20468, 20468, 1, 0, 0, 0, 3};  // due on the test clock's day
        }
        r.question = question;
        r.answer = answer;
        ASSERT_EQ(log.append(r, stamp_ms).status, change_append_status::appended);
    }

    void open_window(bool with_folder)
    {
        if (with_folder)
            open_settings_store()->setValue(QStringLiteral("syncfolder"), QString::fromStdString(folder.path()));
        w = qt_test::open_window();
    }

    void copy_writes_own_log(bool at_start)
    {
        record(change_kind::add_item, 1, "gehen", "to go", long_ago_ms);
        record(change_kind::add_item, 2, "laufen", "to run", long_ago_ms + 1);
        open_window(true);
        const uint64_t before = sync_computer_id(ui().settings_record.get());
        const std::string own = folder.file(change_log_name(before));
        static_cast<void>(add_reviewed(4, "eigen", "own", 0));
        const std::string parted = read_file(own);
        static_cast<void>(add_reviewed(4, "hier", "here", 0));
        if (at_start) {
            w->close();
            delete w;
            // As a later start finds things: the quit the close posted gone, the window state anew.
            QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
            reset_window_state();
            ui().message_box = recording_message_box();
        }
        write_file(folder.file("copy.tmp"), parted);
        change_log_writer copy(folder.file("copy.tmp"), before);
        change_record r;
        r.kind = change_kind::add_item;
        r.item = {before, copy.next_sequence()};
        r.path = {"root"};
        r.schedule = {1'768'400'000u, 20468, 20468, 1, 0, 0, 0, 3};
        r.question = "Zwilling";
        r.answer = "twin";
        ASSERT_EQ(copy.append(r, long_ago_ms).status, change_append_status::appended);
        ASSERT_EQ(::rename(folder.file("copy.tmp").c_str(), own.c_str()), 0);  // as a service puts its version
        if (at_start) {
            w = qt_test::open_window();
        } else {
            // Found at a grade: the new identity waits until the pass lets go of its item.
            for (const Qt::Key k : {Qt::Key_Return, Qt::Key_Return, Qt::Key_4})
                QTest::keyClick(w->client_area, k);
            ASSERT_TRUE(ui().pass.reviewing());
            QTest::qWait(2500);  // past the next look at the folder
            EXPECT_TRUE(recorded_messages().empty());
            EXPECT_EQ(sync_computer_id(ui().settings_record.get()), before);
            QTest::keyClick(w->client_area, Qt::Key_Escape);
        }
        QTRY_VERIFY_WITH_TIMEOUT(told(1, 0, QStringLiteral("Sync Folder"),
            QString::fromStdString(change_log_name(before)) + QStringLiteral("\" under the same identity")), 5000);
        const uint64_t after = sync_computer_id(ui().settings_record.get());
        EXPECT_NE(after, before);
        EXPECT_TRUE(file_exists(folder.file(change_log_name(after))));
        EXPECT_EQ(db().item_count, 5u);
    }

    temp_dir folder;
    change_log_writer log{folder.file(change_log_name(other_computer)), other_computer};
    main_window* w = nullptr;
};

}  // namespace

// The browser shows rows that point at items: a deletion from elsewhere waits until it closes.
TEST_F(SyncWindowTest, ChangesOfAnotherComputerArriveButWaitForADialogAndARefusingLogIsToldOnce)
{
    record(change_kind::add_item, 1, "gehen", "to go", 1'768'478'400'000ULL);
    open_window(true);
    ASSERT_EQ(db().item_count, 1u);
    EXPECT_EQ(std::tuple(db().head->question.str(), w->sync->summary_button()->text()),
        std::tuple("gehen", QStringLiteral("1 changes from other computers")));
    EXPECT_FALSE(w->sync->polling()) << "nothing waits and the watcher sees the folder";
    record(change_kind::edit_item, 1, "gehen", "to walk", 1'768'478'400'001ULL);
    QTRY_VERIFY(db().head->answer.str() == "to walk");
    EXPECT_EQ(w->sync->summary_button()->text(), QStringLiteral("2 changes from other computers"));  // since the start
    record(change_kind::add_item, 2, "laufen", "to run", 1'768'478'400'002ULL);
    QTRY_VERIFY(w->status_line->text().contains(QStringLiteral("Due today: 2")));
    bool waited = false;
    on_next_modal([&](QWidget* dialog) {
        record(change_kind::delete_item, 1, "", "", 1'768'478'400'003ULL);
        waited = QTest::qWaitFor([&] { return w->sync->polling(); }, 5000) && db().item_count == 2;
        dialog->close();
    });
    QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(waited);
    QTRY_COMPARE_WITH_TIMEOUT(db().item_count, 1u, 5000);

    // A folder that refuses this computer's log is told once, and again only after the log took a change.
    QStringList logs = QDir(QString::fromStdString(folder.path())).entryList({QStringLiteral("changes-*.log")});
    logs.removeAll(QString::fromStdString(change_log_name(other_computer)));
    ASSERT_EQ(logs.size(), 1);
    const QString log = QString::fromStdString(folder.path()) + logs[0];
    on_next_modal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    QApplication::setActiveWindow(w);
    QTest::keyClick(w, Qt::Key_Insert);
    QApplication::setActiveWindow(w);  // back from the dialog, as the window manager does
    const auto add = [this](int n) {
        for (int i = 0; i < n; ++i) {
            w->question_box->setPlainText(QStringLiteral("question %1").arg(db().item_count));
            w->answer_box->setPlainText(QStringLiteral("answer"));
            QTest::keyClick(w->question_box, Qt::Key_4, Qt::ControlModifier);
            QCoreApplication::processEvents();
        }
    };
    const auto refuse = [&](bool refused) {
        ASSERT_TRUE(refused ? QFile::rename(log, log + ".kept") && QDir().mkdir(log)
                            : QDir().rmdir(log) && QFile::rename(log + ".kept", log));
    };
    refuse(true);
    add(3);
    EXPECT_TRUE(told(1, 0, QStringLiteral("Sync Folder")));
    refuse(false);
    add(1);
    refuse(true);
    add(2);
    EXPECT_TRUE(told(2, 1, QStringLiteral("Sync Folder")));
    EXPECT_EQ(db().item_count, 7u);
}

TEST_F(SyncWindowTest, TheSyncFolderSetInTheSettingsTakesEffectAtOnce)
{
    record(change_kind::add_item, 1, "gehen", "to go", long_ago_ms);
    open_window(false);
    ASSERT_FALSE(sync_active());
    static_cast<void>(add_reviewed(1, "eigen", "own", 0));  // failed: due today
    // A review on screen when the folder is set: what the folder brings could take its item.
    QTest::keyClick(w, Qt::Key_Return);
    ASSERT_TRUE(ui().pass.reviewing());
    type_in_settings(w, "sync_folder", QString::fromStdString(folder.path()));
    EXPECT_TRUE(sync_active());
    EXPECT_FALSE(ui().pass.reviewing()) << "the review ends before the folder is taken up";
    EXPECT_EQ(db().item_count, 2u) << "what waited in the folder is applied at once";
    EXPECT_TRUE(w->status_line->text().contains(QStringLiteral("Due today: 2"))) << w->status_line->text().toStdString();
    type_in_settings(w, "sync_folder", QString());
    EXPECT_FALSE(sync_active());
    EXPECT_TRUE(file_exists(services().data_dir + sync_state_name)) << "the state is saved when the folder is left";
}

// A record of the shared items that cannot be read is made again from the folder, and said so;
// the item the folder names stays one.
TEST_F(SyncWindowTest, AnUnreadableRecordOfTheSharedItemsIsMadeAgainFromTheFolder)
{
    record(change_kind::add_item, 1, "gehen", "to go", long_ago_ms);
    open_settings_store()->setValue(QStringLiteral("syncfolder"), QString::fromStdString(folder.path()));
    earlier_session(0);
    write_file(default_dir().toStdString() + sync_state_name, "damaged");
    open_window(true);
    EXPECT_TRUE(told(1, 0, QStringLiteral("Sync Folder"), QStringLiteral("it was made again from the sync folder")));
    EXPECT_EQ(db().item_count, 1u);
}

// A copy of this system, computer id and all, writes this computer's log: found at the next
// change, or at the next start, this computer takes an id of its own, says why, and every item
// of both stays.
TEST_F(SyncWindowTest, ACopyOfThisSystemWritingUnderItsIdIsToldAndPartedFromAtAChange)
{
    copy_writes_own_log(false);
}

TEST_F(SyncWindowTest, ACopyOfThisSystemWritingUnderItsIdIsToldAndPartedFromAtTheStart)
{
    copy_writes_own_log(true);
}

TEST_F(SyncWindowTest, TheLosingTextIsShownAndCanBeTakenInstead)
{
    record(change_kind::add_item, 1, "gehen", "to go", long_ago_ms);
    open_window(true);
    ASSERT_EQ(db().item_count, 1u);
    change_texts(db().head, "gehen", "to walk");

    record(change_kind::edit_item, 1, "gehen", "to leave", long_ago_ms + 1);
    QTRY_VERIFY_WITH_TIMEOUT(lost_edit_of(db().head).has_value(), 5000);
    EXPECT_EQ(db().head->answer.str(), "to walk");
    // A few words that stay whole at the narrowest window; in full on the tooltip and at a click.
    QToolButton* summary = w->sync->summary_button();
    EXPECT_EQ(summary->text(), QStringLiteral("2 changes from other computers, 1 conflicts"));
    w->resize(w->minimumSizeHint().width(), w->height());
    QTRY_VERIFY(summary->isVisible() && summary->width() >= summary->sizeHint().width());
    w->statusBar()->showMessage(QStringLiteral("Added: 0"));
    EXPECT_TRUE(summary->isVisible()) << "a message shown later does not hide it";
    const QString whole = QStringLiteral("1 in conflict (kept in sync-conflicts.txt in the data directory)");
    EXPECT_TRUE(summary->toolTip().contains(whole) && summary->accessibleDescription().contains(whole));
    QTest::mouseClick(summary, Qt::LeftButton);
    EXPECT_TRUE(told(1, 0, {}, whole));
    QStringList listed;
    on_next_modal([&](QWidget* dialog) {
        auto* browser = qobject_cast<browser_window*>(dialog);
        on_next_modal([&](QWidget* inner) {
            QTableWidget* table = static_cast<conflicts_dialog*>(inner)->table();
            listed = column_texts(table, 1) + column_texts(table, 3);
            QTest::mouseClick(child<QPushButton>(inner, "conflicts_take"), Qt::LeftButton);
            EXPECT_EQ(table->rowCount(), 0);
            inner->close();
        });
        QTest::mouseClick(browser->conflicts_button(), Qt::LeftButton);
        EXPECT_FALSE(browser->conflicts_button()->isVisible());
        dialog->close();
    });
    QTest::keyClick(w, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(std::tuple(listed, db().head->answer.str()), std::tuple(QStringList{"to walk", "to leave"}, "to leave"));
}

