#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "database/backups.h"
#include "database/binfile.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "support/database_helpers.h"
#include "support/qt_test_support.h"
#include "ui/main_window.h"

namespace {

class DataSafety : public qt_test {
protected:
    std::string dir() const { return default_dir().toStdString(); }
    main_window* open_window()
    {
        auto* w = new main_window;
        EXPECT_EQ(w->open_data(), 0);
        w->show();
        QApplication::setActiveWindow(w);
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        return w;
    }
    // A database of `count` items saved and closed, as earlier sessions leave it.
    void earlier_session(int count)
    {
        auto* w = new main_window;
        ASSERT_EQ(w->open_data(), 0);
        for (int i = 0; i < count; ++i)
            create_test_item("saved " + std::to_string(i));
        w->close();
        ASSERT_EQ(db().db_state, DB_UNINITIALISED);
        // The quit that the close posted would end the next dialog at once.
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
        delete w;
        ui().window = nullptr;
        reset_window_state();
        ui().message_box = recorded_messages_box();
    }
    static void create_test_item(const std::string& question) { add_test_item(0, 0, 1, question); }
    static message_box_function recorded_messages_box() { return saved_box; }
    static message_box_function saved_box;
};
message_box_function DataSafety::saved_box = nullptr;

// The queue file cannot be written in `dir`, as on a disk with room for elements.bin only.
void queue_disk_full(const std::string& dir)
{
    fail_file_operations({{.op = file_op::write, .path_part = dir + "queue.txt.tmp-", .error = ENOSPC}});
}

QString chosen_folder;
int folders_asked = 0;
// The folder once; asked again, the user cancels.
QString answer_folder(QWidget*, const QString&) { return folders_asked++ == 0 ? chosen_folder : QString(); }

void press_exit(main_window* w)
{
    QApplication::setActiveWindow(w);  // back from a dialog, as the window manager does
    QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(w->closed());
    // The quit that the close posted would end every later event loop of this test program.
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
}

}  // namespace

TEST_F(DataSafety, ACloseThatCannotSaveSaysWhichFileAndWhyAndSavesOnRetry)
{
    main_window* w = open_window();
    create_test_item("typed today");
    // A rescue copy of an earlier session stays; the one of this session goes once Retry saved.
    const std::string earlier_rescue = dir() + "elements.rescue-20260101-080000.bin";
    write_file(earlier_rescue, "kept");
    queue_disk_full(dir());
    // The first answer tries again while the disk is still full; the second after room was made.
    message_answers() = {message_answer::retry};
    static bool boxes_could_wait;
    boxes_could_wait = true;
    ui().message_box = [](QWidget* owner, const QString& title, const QString& text, message_buttons buttons) {
        recorded_messages().push_back({title, text, buttons, owner != nullptr});
        // A real box runs its own event loop until the user answers; nothing may end it first.
        QElapsedTimer waited;
        waited.start();
        QEventLoop user_reading;
        QTimer::singleShot(150, &user_reading, &QEventLoop::quit);
        user_reading.exec();
        boxes_could_wait = boxes_could_wait && waited.elapsed() >= 140;
        if (recorded_messages().size() == 2)
            fail_file_operations({});
        return message_answer::retry;
    };
    press_exit(w);
    EXPECT_TRUE(boxes_could_wait) << "the box was ended before the user could answer";
    ASSERT_EQ(recorded_messages().size(), 2u);
    const recorded_message& m = recorded_messages()[0];
    EXPECT_EQ(m.title, QStringLiteral("Cannot Save Database"));
    EXPECT_TRUE(m.text.contains(default_dir() + "queue.txt")) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QString::fromUtf8(std::strerror(ENOSPC)))) << m.text.toStdString();
    EXPECT_EQ(m.buttons, message_buttons::retry_elsewhere_discard);
    EXPECT_TRUE(m.text.contains(QStringLiteral("A rescue copy of the database was written to:\n") + default_dir()))
        << m.text.toStdString();
    EXPECT_TRUE(w->closed());
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
    EXPECT_EQ(QDir(default_dir()).entryList({QStringLiteral("elements.rescue-*.bin")}, QDir::Files),
        QStringList{QStringLiteral("elements.rescue-20260101-080000.bin")});
    ASSERT_EQ(ma_init(dir().c_str()), init_status::from_bin);
    ASSERT_NE(db().head, nullptr);
    EXPECT_EQ(db().head->question, "typed today");
}

TEST_F(DataSafety, ACloseThatCannotSaveCanSaveInAnotherFolder)
{
    main_window* w = open_window();
    create_test_item("typed today");
    queue_disk_full(dir());
    temp_dir elsewhere;
    folders_asked = 0;
    chosen_folder = QString::fromStdString(elsewhere.path());
    ui().choose_folder = answer_folder;
    message_answers() = {message_answer::elsewhere};
    press_exit(w);
    fail_file_operations({});
    ASSERT_EQ(recorded_messages().size(), 2u);
    EXPECT_EQ(recorded_messages()[1].title, QStringLiteral("Database Saved"));
    EXPECT_TRUE(recorded_messages()[1].text.contains(chosen_folder));
    EXPECT_EQ(db().db_state, DB_UNINITIALISED);
    // The session is in the other folder, whole; here the files stay as they were.
    EXPECT_FALSE(QFile::exists(default_dir() + "elements.bin"));
    EXPECT_FALSE(QFile::exists(default_dir() + "lockfile"));
    ASSERT_EQ(ma_init(elsewhere.path().c_str()), init_status::from_bin);
    ASSERT_NE(db().head, nullptr);
    EXPECT_EQ(db().head->question, "typed today");
    EXPECT_TRUE(file_exists(elsewhere.file("weights.bin")));
    ma_discard();
}

TEST_F(DataSafety, ARefusedDatabaseIsReportedAndItsNewestBackupRestored)
{
    saved_box = ui().message_box;
    earlier_session(3);
    earlier_session(5);  // two backups now, made in the same second: of 3 and of 8 items
    ASSERT_EQ(list_backups(dir()).size(), 2u);
    const std::string damaged = std::string("\x0c\x00", 2) + "damaged beyond reading";
    write_file(dir() + "elements.bin", damaged);

    message_answers() = {message_answer::yes};
    main_window* w = open_window();
    ASSERT_EQ(recorded_messages().size(), 1u);
    const recorded_message& m = recorded_messages()[0];
    EXPECT_EQ(m.title, QStringLiteral("Database Not Readable"));
    EXPECT_TRUE(m.text.contains(default_dir() + "elements.refused-1.bin")) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QStringLiteral("8 items"))) << m.text.toStdString();
    EXPECT_EQ(m.buttons, message_buttons::yes_no);
    EXPECT_EQ(read_file(dir() + "elements.refused-1.bin"), damaged);
    EXPECT_EQ(db().item_count, 8u);
    EXPECT_TRUE(w->question_box->toPlainText().startsWith(QStringLiteral("The backup was restored.")));
    press_exit(w);
}

TEST_F(DataSafety, RestoreBackupFromTheFileMenuKeepsTheCurrentStateAsABackup)
{
    saved_box = ui().message_box;
    set_local_clock(2026, 1, 15, 9);
    earlier_session(1);
    set_local_clock(2026, 1, 15, 10);
    earlier_session(4);
    set_local_clock(2026, 1, 15, 11);
    main_window* w = open_window();
    create_test_item("typed before the restore");
    ASSERT_EQ(db().item_count, 6u);

    // Return in the list asks first; No (the default) restores nothing.
    auto choose_second = [](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("backup_table"));
        ASSERT_NE(table, nullptr);
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Return);
    };
    on_next_modal(choose_second);
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_FALSE(recorded_messages().empty());
    EXPECT_EQ(recorded_messages().back().title, QStringLiteral("Restore Backup"));
    EXPECT_EQ(recorded_messages().back().buttons, message_buttons::yes_no);
    EXPECT_EQ(db().item_count, 6u);

    // File > "Restore Backup..." by mouse, the older backup (second row) by keys, confirmed.
    message_answers() = {message_answer::yes};
    on_next_modal([](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("backup_table"));
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("5"));
        EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("1"));
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Return);
    });
    click_file_menu_entry(w, "restore_action");
    EXPECT_EQ(db().item_count, 1u);
    EXPECT_TRUE(w->question_box->toPlainText().startsWith(QStringLiteral("The backup was restored.")));
    // The state left behind is a backup of its own: three now, the newest of six items.
    const std::vector<backup_file> backups = list_backups(dir());
    ASSERT_EQ(backups.size(), 3u);
    EXPECT_EQ(backups.front().name, "elements-20260115-110000.bin");
    bin_summary left;
    ASSERT_TRUE(inspect_bin(backups.front().path.c_str(), &left));
    EXPECT_EQ(left.item_count, 6u);
    // The next time, the list marks it as the way back.
    QString marked;
    on_next_modal([&marked](QWidget* dialog) {
        marked = dialog->findChild<QTableWidget*>(QStringLiteral("backup_table"))->item(0, 0)->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(marked.endsWith(QStringLiteral("(your database before the last restore)"))) << marked.toStdString();
    press_exit(w);
    ASSERT_EQ(ma_init(dir().c_str()), init_status::from_bin);
    EXPECT_EQ(db().item_count, 1u);
}
