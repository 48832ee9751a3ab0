// Starting and closing as the window tells them: the data directory, failed saves, close requests, restores.
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "database/binfile.h"
#include "platform/platform_state.h"
#include "ui/program.h"
#include "ui/signal_bridge.h"
#include "ui_fixture.h"

namespace {

QStringList rescue_files(const QString& dir) { return QDir(dir).entryList({QStringLiteral("elements.rescue-*.bin")}, QDir::Files); }
void disk_full(const std::string& part) { fail_file_operations({{.op = file_op::write, .path_part = part, .error = ENOSPC}}); }

class DataDirectory : public qt_test {
protected:
    void store_data_dir(const QString& path) { QSettings(settings_file(), QSettings::NativeFormat).setValue("pathtodatadir", path); }
    QString uncreatable() const  // under a regular file
    {
        write_file(data_.file("plain-file"), "");
        return base() + "plain-file/cards/";
    }
    QString base() const { return QString::fromStdString(data_.path()); }
    temp_dir data_;
};

class Closing : public qt_test {
protected:
    std::string dir() const { return default_dir().toStdString(); }
    static void press_exit(main_window* w)
    {
        QApplication::setActiveWindow(w);  // back from a dialog, as the window manager does
        QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
        EXPECT_TRUE(w->closed() && db().db_state == database_state::uninitialised);
        const size_t told_before = recorded_messages().size();
        w->closing_sequence();  // a second request, a signal after Exit, does nothing more
        EXPECT_EQ(recorded_messages().size(), told_before);
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);  // the close's quit
    }
    // A new item, on a disk with room for elements.bin only.
    main_window* open_on_a_full_disk()
    {
        main_window* w = open_window();
        add_test_item(0, 0, 1, "typed today");
        disk_full(dir() + "queue.txt.tmp-");
        return w;
    }
    static void expect_saved_in(const std::string& where)
    {
        ASSERT_EQ(ma_init(where.c_str()), init_status::from_bin);
        ASSERT_NE(db().head, nullptr);
        EXPECT_EQ(db().head->question, "typed today");
    }
};

class CloseRequest : public qt_test {
protected:
    void SetUp() override
    {
        qt_test::SetUp();
        ui().message_box = nullptr;  // the real box, so that nothing but the program can end it
        window = open_window();
        for (int i = 0; i < 30; ++i)
            add_test_item(0, 0, 1, "typed today " + std::to_string(i));
        bridge = std::make_unique<signal_bridge>();
        connect_close_requests(*bridge, *window);
    }
    void TearDown() override
    {
        fail_file_operations({});
        bridge.reset();
        qt_test::TearDown();
    }

    // The program's exit code, or 99 after 20 s.
    static int run_until_exit()
    {
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&loop] {
            for (int i = 0; i < 16; ++i)
                if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    box->done(0);
            loop.exit(99);
        });
        return loop.exec();
    }

    main_window* window = nullptr;
    std::unique_ptr<signal_bridge> bridge;
};

}  // namespace

// The window is up while the data is read (a lifetime collection takes a while): it says what it
// opens, takes no key, and a close asked meanwhile comes once the database is open.
TEST_F(Closing, WhileTheDataIsReadTheWindowSaysSoTakesNoKeyAndClosesAfter)
{
    earlier_session(1);
    // The reading stops at the database's lock until the test lets it go on.
    static std::atomic<int> stage;
    stage = 0;
    platform_globals().fault_hook = [](file_op op, const char*) {
        // Not forever: a window that used the database meanwhile would wait for the reading.
        if (op == file_op::lock && stage.exchange(1) == 0)
            for (int i = 0; i < 3000 && stage.load() != 2; ++i)
                sleep_ms(1);
        return 0;
    };
    bool asked = false;
    main_window w;
    w.show();
    QApplication::setActiveWindow(&w);
    QTimer::singleShot(0, &w, [this, &w, &asked] {
        for (int i = 0; i < 10000 && stage.load() != 1; ++i)
            sleep_ms(1);
        EXPECT_EQ(w.question_box->toPlainText(), "Opening " + QDir::toNativeSeparators(default_dir()) + " ...");
        EXPECT_TRUE(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
        QTimer::singleShot(300, &w, [&asked] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                asked = true;
                dialog->reject();
            }
        });
        QTest::keyClick(&w, Qt::Key_Insert);  // the add screen, which asks for a category first
        EXPECT_FALSE(asked);
        w.close();
        EXPECT_FALSE(w.closed());
        stage = 2;
    });
    EXPECT_EQ(w.open_data(), 0);
    platform_globals().fault_hook = nullptr;
    EXPECT_EQ(stage.load(), 2);
    EXPECT_EQ(ui().pass.mode(), screen_mode::main);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(db().item_count, 1u);
    QCoreApplication::sendPostedEvents(&w, QEvent::MetaCall);
    EXPECT_TRUE(w.closed() && db().db_state == database_state::uninitialised);
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
}

TEST_F(Closing, ACloseThatCannotSaveSaysWhichFileAndWhyAndSavesOnRetry)
{
    main_window* w = open_on_a_full_disk();
    // A rescue copy of an earlier session stays; the one of this session goes once Retry saved.
    write_file(dir() + "elements.rescue-20260101-080000.bin", "kept");
    // Retry while the disk is full, then after room was made.
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
    for (const QString& part : {default_dir() + "queue.txt", QString::fromUtf8(std::strerror(ENOSPC)),
             "A rescue copy of the database was written to:\n" + default_dir()})
        EXPECT_TRUE(told(2, 0, QStringLiteral("Cannot Save Database"), part));
    EXPECT_EQ(recorded_messages()[0].buttons, message_buttons::retry_elsewhere_discard);
    EXPECT_EQ(rescue_files(default_dir()), QStringList{QStringLiteral("elements.rescue-20260101-080000.bin")});
    expect_saved_in(dir());
}

TEST_F(Closing, ACloseThatCannotSaveCanSaveInAnotherFolder)
{
    main_window* w = open_on_a_full_disk();
    temp_dir elsewhere;
    static QString chosen_folder;
    chosen_folder = QString::fromStdString(elsewhere.path());
    ui().choose_folder = [](QWidget*, const QString&) { return chosen_folder; };
    message_answers() = {message_answer::elsewhere};
    press_exit(w);
    fail_file_operations({});
    ASSERT_TRUE(told(2, 1, QStringLiteral("Database Saved"), chosen_folder));
    EXPECT_FALSE(QFile::exists(default_dir() + "elements.bin") || QFile::exists(default_dir() + "lockfile"));
    EXPECT_TRUE(file_exists(elsewhere.file("weights.bin")));
    expect_saved_in(elsewhere.path());
    ma_discard();
}

// What a restore does is the session's; here the refusal's report, the list, its question and its mark.
TEST_F(Closing, RestoreBackupReportsARefusedDatabaseListsTheBackupsAsksFirstAndMarksTheWayBack)
{
    // Two closes within a minute: their backups are told apart by the second.
    const QLocale before = QLocale();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    set_local_clock(2026, 1, 15, 9, 0, 5);
    earlier_session(1);
    set_local_clock(2026, 1, 15, 9, 0, 40);
    earlier_session(4);
    set_local_clock(2026, 1, 15, 11);
    write_file(dir() + "elements.bin", std::string("\x0c\x00", 2) + "damaged beyond reading");
    message_answers() = {message_answer::yes};
    main_window* w = open_window();
    for (const QString& part : {default_dir() + "elements.refused-1.bin", QStringLiteral("5 items")})
        EXPECT_TRUE(told(1, 0, QStringLiteral("Database Not Readable"), part));
    EXPECT_TRUE(recorded_messages()[0].buttons == message_buttons::yes_no && db().item_count == 5u);
    EXPECT_TRUE(w->question_box->toPlainText().startsWith(QStringLiteral("The backup was restored.")));
    recorded_messages().clear();
    add_test_item(0, 0, 1, "typed before the restore");
    // The older backup (second row) by keys; the first time No, the box's default, the second Yes.
    QStringList rows, dates;
    auto choose_second = [&rows, &dates](QWidget* dialog) {
        auto* table = child<QTableWidget>(dialog, "backup_table");
        rows = column_texts(table, 1);
        dates = column_texts(table, 0);
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Return);
    };
    on_next_modal(choose_second);
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QLocale::setDefault(before);
    EXPECT_EQ(rows, (QStringList{"5", "1"}));
    EXPECT_TRUE(dates.size() == 2 && dates[0] != dates[1] && dates[1].contains(QStringLiteral(":00:05"))) << dates.join(" | ").toStdString();
    // A count that says what it counts (the English plural file makes it "1 item").
    ASSERT_TRUE(told(1, 0, QStringLiteral("Restore Backup"), QStringLiteral(" (1 items)?")));
    EXPECT_TRUE(recorded_messages()[0].buttons == message_buttons::yes_no && db().item_count == 6u);
    message_answers() = {message_answer::yes};
    on_next_modal(choose_second);
    click_file_menu_entry(w, "restore_action");
    EXPECT_EQ(db().item_count, 1u);
    EXPECT_TRUE(w->question_box->toPlainText().startsWith(QStringLiteral("The backup was restored.")));
    // The next time, the list marks the state left behind as the way back.
    QString marked;
    on_next_modal([&marked](QWidget* dialog) {
        marked = child<QTableWidget>(dialog, "backup_table")->item(0, 0)->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(marked.endsWith(QStringLiteral("(your database before the last restore)"))) << marked.toStdString();
    press_exit(w);
}

// SIGTERM while the data directory takes nothing: the question names the rescue copy in home and
// stays; a second SIGTERM ends the program, not with success, with every item rescued.
TEST_F(CloseRequest, ASecondSigtermEndsAFailedSaveOnlyOnceTheDatabaseIsRescued)
{
    disk_full(default_dir().toStdString());
    QString asked_text;
    bool still_asking_later = false;
    on_next_modal([&](QWidget* modal) {
        auto* box = static_cast<QMessageBox*>(modal);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Cannot Save Database"));
        asked_text = box->text();
        // A box that a close request ends by itself would be gone by now.
        QTimer::singleShot(600, [box = QPointer<QMessageBox>(box), &still_asking_later] {
            still_asking_later = box && box->isVisible();
            std::raise(SIGTERM);
        });
    });
    std::raise(SIGTERM);
    const int code = run_until_exit();
    fail_file_operations({});

    EXPECT_TRUE(still_asking_later) << "the failed save's question vanished";
    EXPECT_EQ(code, 1) << "the program must not end as if it had saved";
    const QStringList rescued = rescue_files(QDir::homePath());
    ASSERT_EQ(rescued.size(), 1) << "no rescue copy in the home folder";
    const QString rescue = QDir::homePath() + "/" + rescued[0];
    EXPECT_TRUE(rescue_files(default_dir()).isEmpty());
    EXPECT_TRUE(asked_text.contains(rescue)) << asked_text.toStdString();
    EXPECT_NE(read_file(default_dir().toStdString() + "error.log").find(rescue.toStdString()), std::string::npos);
    EXPECT_TRUE(db().db_state == database_state::uninitialised && !file_exists(default_dir().toStdString() + "elements.bin"));
    bin_summary summary;
    ASSERT_TRUE(inspect_bin(rescue.toUtf8().constData(), &summary));
    EXPECT_EQ(summary.item_count, 30u);
}

// While no copy can be written anywhere, further requests are refused and the question stays;
// the user's own answer still decides.
TEST_F(CloseRequest, WhileNothingCanBeWrittenAnywhereASecondSigtermIsRefused)
{
    disk_full("/");
    bool asking_after_second = false;
    on_next_modal([&](QWidget* modal) {
        std::raise(SIGTERM);
        QTimer::singleShot(400, [modal = QPointer<QWidget>(modal), &asking_after_second] {
            asking_after_second = modal && modal->isVisible();
            fail_file_operations({});
            if (auto* box = qobject_cast<QMessageBox*>(modal.data()))
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QStringLiteral("Close Without Saving"))
                        b->click();
        });
    });
    std::raise(SIGTERM);
    const int code = run_until_exit();
    EXPECT_TRUE(asking_after_second) << "a close request ended a session that is saved nowhere";
    EXPECT_TRUE(code == 0 && rescue_files(QDir::homePath()).isEmpty() && db().db_state == database_state::uninitialised);
}

// The browser's rows point into the database and its threads read them: a close request while
// it is open frees the items only once it is gone.
TEST_F(CloseRequest, TheBrowserIsGoneBeforeTheDatabaseCloses)
{
    static bool browser_at_close;
    browser_at_close = false;
    ui().close_database = [](close_mode mode) {
        browser_at_close = !ui().window->findChildren<browser_window*>().isEmpty();
        return ma_deinit(mode);
    };
    on_next_modal([](QWidget*) { std::raise(SIGTERM), std::raise(SIGHUP); });  // a session's end sends several
    QTimer::singleShot(0, window, [this] { QTest::keyClick(window, Qt::Key_B, Qt::ControlModifier); });
    EXPECT_EQ(run_until_exit(), 0);  // the browser's loop inside the program's, as in the program
    EXPECT_FALSE(browser_at_close) << "the database was closed under the open browser";
    EXPECT_EQ(db().db_state, database_state::uninitialised);
}

TEST_F(DataDirectory, TheStartSaysWhatBecameOfTheDirectoryAndEndsWhenItCannotGoOn)
{
    int lock_fd = -1;
    const struct {
        const char* name;
        std::function<QString()> set_up;  // the directory stored in the settings
        int exit_code;
        QStringList titles;
    } cases[] = {
        {"uncreatable", [&] { return uncreatable(); }, 0, {"Cannot Access Directory"}},
        {"held by another copy",
            [&] {
                QDir().mkpath(base() + "shared");
                lock_fd = ::open((base() + "shared/lockfile").toUtf8().constData(), O_WRONLY | O_CREAT, 0644);
                EXPECT_EQ(::flock(lock_fd, LOCK_EX | LOCK_NB), 0);
                return base() + "shared/";
            },
            1, {"Database In Use"}},
        {"no file locks",
            [&] {
                fail_file_operations({{.op = file_op::lock, .error = ENOLCK}});
                return base();
            },
            0, {"Data Directory Not Locked"}},
        {"default uncreatable too",
            [&] {
                // The documents folder is a regular file: nothing can be made in it.
                std::filesystem::remove_all(home_->path() + "Documents");
                write_file(home_->path() + "Documents", "");
                return uncreatable();
            },
            1, {"Cannot Access Directory", "Directory Not Accessible"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_process_state();
        recorded_messages().clear();
        const QString stored = c.set_up();
        store_data_dir(stored);
        {
            main_window w;
            EXPECT_EQ(w.open_data(), c.exit_code);
            fail_file_operations({});
            EXPECT_TRUE(told(c.titles.size(), 0, c.titles[0], stored));
            EXPECT_EQ(db().db_state == database_state::open, c.exit_code == 0);
            // The second box has no window to own it: that is gone.
            EXPECT_TRUE(c.titles.size() == 1 || (recorded_messages().back().title == c.titles[1] && !recorded_messages().back().owned));
            if (std::string_view(c.name) == "uncreatable" && !recorded_messages().empty()) {
                EXPECT_EQ(recorded_messages()[0].text, "Cannot access nor create directory that is set in settings:\n" + stored
                        + "\n\nUsing default directory:\n" + default_dir());
                EXPECT_EQ(ui().settings_record->pathtodatadir, default_dir());
            }
        }
        reset_window_state();
        ui().message_box = recording_message_box();
    }
    // The held directory gets only the log.
    EXPECT_EQ(QDir(base() + "shared").entryList(QDir::Files, QDir::Name), (QStringList{"error.log", "lockfile"}));
    ::close(lock_fd);
}

// A data directory that cannot be written is opened read-only for this run: the user is told,
// is told again at the close that nothing was saved there, and keeps the setting.
TEST_F(DataDirectory, AReadOnlyDirectoryIsOpenedReadOnlyAndTheSettingKept)
{
    const QString stored = base() + "cards/";
    store_data_dir(stored);
    earlier_session(1);
    std::vector<file_fault> read_only_mount;
    for (const file_op op : {file_op::create, file_op::write, file_op::rename, file_op::unlink, file_op::copy})
        read_only_mount.push_back({.op = op, .path_part = stored.toStdString(), .error = EROFS});
    fail_file_operations(read_only_mount);

    main_window* w = open_window();
    ASSERT_TRUE(told(1, 0, QStringLiteral("Read-Only Data Directory"), stored));
    ui().settings_record->qfontsize = 14;
    w->close();
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    fail_file_operations({});
    ASSERT_TRUE(told(2, 1, QStringLiteral("Cannot Save Database"), QStringLiteral("read-only")));
    QSettings raw(settings_file(), QSettings::NativeFormat);
    EXPECT_EQ(raw.value("pathtodatadir").toString(), stored);
    EXPECT_EQ(raw.value("qfontsize").toInt(), 14) << "the settings are saved though the database is not";
}
