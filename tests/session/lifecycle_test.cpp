#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "database/backups.h"
#include "database/binfile.h"
#include "database/category_edits.h"
#include "database/days.h"
#include "platform/platform_state.h"
#include "services/log.h"
#include "services/paths.h"
#include "services/services_state.h"
#include "session/grading.h"
#include "session/queue_file_edits.h"
#include "session/saving.h"
#include "support/database_helpers.h"

namespace {

class LifecycleTest : public clean_state_test {
protected:
    std::string log() const { return read_file(dir.file("error.log")); }
    temp_dir dir;
};

// A missing or too long directory is refused without a log line; the log is written only while open.
TEST_F(LifecycleTest, AnUnusableDirectoryIsRefusedAndAFreshOneStartsANewDatabaseWithTheLockAndTheLog)
{
    for (const std::string& path : {dir.file("nowhere"), "/tmp/" + std::string(251, 'x')}) {
        EXPECT_TRUE(ma_init(path.c_str()) == init_status::dir_not_accessible && db().db_state == database_state::opening);
        EXPECT_TRUE(ma_deinit(close_mode::complete) == deinit_status::done && db().db_state == database_state::uninitialised);
        EXPECT_FALSE(file_exists(path));
    }
    ASSERT_EQ(set_data_dir(dir.path().c_str()), data_dir_status::set);
    write_log("INFO: before\n");
    EXPECT_FALSE(file_exists(dir.file("error.log")));
    set_local_clock(2026, 3, 1, 9, 30);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    EXPECT_EQ(std::tuple(category_count(), category_at(0)->name, category_at(0)->parent, db().time_of_start),
        std::tuple(1, "root", 0, 1772357400u));
    EXPECT_TRUE(file_exists(dir.file("lockfile")));
    write_log("INFO: %s %d\n", "during", 42);
    std::string expected = "INFO: during 42\n";
    // A reader holds the path of its file across the lines it logs.
    const char* held = data_path("queue.txt");
    for (int i = 0; i < 4; ++i) {
        write_log("WARNING: line %d of %s\n", i, held);
        expected += "WARNING: line " + std::to_string(i) + " of " + dir.file("queue.txt") + "\n";
    }
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(std::tuple(file_exists(dir.file("lockfile")), category_count()), std::tuple(false, 0));
    write_log("INFO: after\n");
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::not_initialised);
    EXPECT_EQ(ma_deinit(close_mode::save_only), deinit_status::not_initialised);  // its warning goes nowhere either
    EXPECT_EQ(log(), expected);
    // The close that only saves lets go of the lock too, but keeps the memory.
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(ma_deinit(close_mode::save_only), deinit_status::done);
    EXPECT_EQ(std::tuple(file_exists(dir.file("lockfile")), category_count(), db().db_state), std::tuple(false, 1, database_state::uninitialised));
    free_categories();
}

std::string removed_before_lock;  // the lock file another copy removes just before this copy locks it

int remove_before_first_lock(file_op op, const char*)
{
    if (op == file_op::lock && !removed_before_lock.empty()) {
        std::filesystem::remove(removed_before_lock);
        removed_before_lock.clear();
    }
    return 0;
}

// Another copy of the program in a child: its own fresh state, the same directory.
init_status second_copy_opens(const std::string& dir)
{
    return static_cast<init_status>(run_in_child([&] {
        db().lock_fd = -1;
        db().db_state = database_state::uninitialised;
        return static_cast<int>(ma_init(dir.c_str()));
    }));
}

}  // namespace

// A crashed copy's lock file does not block; one removed between this copy's open and its lock
// must not count, or two copies would hold "the" lock; a link is never followed.
TEST_F(LifecycleTest, OnlyARunningCopysLockOnTheNamedLockFileHolds)
{
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    EXPECT_EQ(second_copy_opens(dir.path()), init_status::held_by_other);
    EXPECT_NE(log().find("ERROR: Seems a copy of Cardwright is already running\n\ttry deleting \"" + dir.file("lockfile")
                  + "\" file if this is not true (e.g. previous copy of Cardwright crashed)\n"), std::string::npos) << log();
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    write_file(dir.file("lockfile"), "");
    removed_before_lock = dir.file("lockfile");
    platform_globals().fault_hook = remove_before_first_lock;
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    platform_globals().fault_hook = nullptr;
    EXPECT_EQ(second_copy_opens(dir.path()), init_status::held_by_other) << "two copies hold the lock at once";
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    temp_dir elsewhere;
    write_file(elsewhere.file("notes.txt"), "the user's notes");
    std::filesystem::create_symlink(elsewhere.file("notes.txt"), dir.file("lockfile"));
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(read_file(elsewhere.file("notes.txt")), "the user's notes");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("lockfile")));
    EXPECT_NE(log().find("is a symbolic link"), std::string::npos);
}

TEST_F(LifecycleTest, WithoutFileLocksTheDirectoryOpensWithAWarningAndSaves)
{
    fail_file_operations({{.op = file_op::lock, .error = ENOLCK}});
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database | init_status::no_locks);
    EXPECT_EQ(std::tuple(db().db_state, db().read_only), std::tuple(database_state::open, false));
    EXPECT_NE(log().find("file locks are not available"), std::string::npos) << log();
    EXPECT_EQ(log().find("not accessible"), std::string::npos) << log();
    add_test_item(0, 0, 1, "kept", "safe");
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    fail_file_operations({});
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(db().item_count, 1u);
}

TEST_F(LifecycleTest, AReadOnlyDirectoryOpensForReviewsAndRefusesToSave)
{
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    add_test_item(0, 0, 1, "kept", "safe");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    const std::string saved = read_file(dir.file("elements.bin"));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const int child = run_in_child([&] {
        // The superuser writes anywhere; an ordinary user sees the refusal.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 99;
        if (ma_init(dir.path().c_str()) != (init_status::from_bin | init_status::read_only))
            return 1;
        if (db().item_count != 1 || db().lock_fd >= 0)
            return 2;
        const deinit_result closed = ma_deinit(close_mode::complete);
        if (closed != deinit_status::not_saved || closed.problem.obstacle != save_obstacle::read_only_directory
            || db().db_state != database_state::open)
            return 3;
        ma_discard();
        return 0;
    });
    ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
    EXPECT_EQ(child, 0);
    EXPECT_EQ(read_file(dir.file("elements.bin")), saved);
    EXPECT_FALSE(file_exists(dir.file("lockfile")));
}

TEST_F(LifecycleTest, ExhaustedMemorySavesTheDatabaseThenEndsWithCodeOne)
{
    auto run = [&](int failures) {
        return run_in_child([&] {
            const init_status opened = ma_init(dir.path().c_str());
            if (opened != init_status::new_database && opened != init_status::from_bin)
                return 90;
            add_test_item(3, 0, 1, "made before the failure " + std::to_string(failures));
            services().failing_allocations = failures;
            item* e = new_item();  // one failure is retried; two end the program
            e->question = "made after";
            insert_scheduled(e);
            return static_cast<int>(ma_deinit(close_mode::complete).status);
        });
    };
    EXPECT_EQ(run(1), 0);
    EXPECT_EQ(run(2), 1);
    // What was made before the failure was saved on the way out, and the log says why.
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(all_questions(),
        (std::multiset<std::string>{"made after", "made before the failure 1", "made before the failure 2"}));
    EXPECT_NE(log().find("FATAL ERROR: out of memory\n"), std::string::npos);
    EXPECT_FALSE(file_exists(dir.file("lockfile.tmp")));
}

// Before the first day's 03:30 the day number wrapped: such items get their interval's day again.
TEST_F(LifecycleTest, ItemsGradedBeforeTheFirstDayBeganAreDueOnTheirIntervalsDay)
{
    set_local_clock(2026, 3, 1, 2, 0);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    EXPECT_EQ(day_number(0), 0);
    add_test_item(49'710 + 3, 0, 3, "graded at two");
    add_test_item(2, 0, 2, "graded later");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    set_local_clock(2026, 3, 1, 10, 0);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    std::vector<std::pair<std::string, int>> days;
    for (const item* e = db().head; e; e = e->next)
        days.emplace_back(e->question.str(), e->tmtrpt);
    EXPECT_EQ(days, (std::vector<std::pair<std::string, int>>{{"graded later", 2}, {"graded at two", 3}}));
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
}

// queue.txt edited while open: additions are not overwritten, and what it held before (taken
// out, or renamed here since) does not come back.
TEST_F(LifecycleTest, ItemsAddedToTheQueueFileWhileOpenAreTakenInNotOverwritten)
{
    const auto queued = [] {
        std::vector<std::string> questions;
        for (const pending_item* p = db().pending_head; p; p = p->next)
            questions.push_back(std::string(p->question) + "/" + category_at(p->ctgr)->name);
        return questions;
    };
    const auto edit_queue_file = [&](const std::string& text, const std::vector<std::pair<std::string, std::string>>& edits) {
        std::string edited = text;
        for (const auto& [from, to] : edits) {
            ASSERT_NE(edited.find(from), std::string::npos) << from;
            edited.replace(edited.find(from), from.size(), to);
        }
        write_file(dir.file("queue.new"), edited);
        ASSERT_EQ(std::rename(dir.file("queue.new").c_str(), dir.file("queue.txt").c_str()), 0);
    };
    // With an item too long to offer, which the file keeps as it is.
    const std::string before = "<q>A</q>\n<a>a</a>\n<q>B</q>\n<a>b</a>\n<q>" + std::string(9000, 'x') +
        "</q>\n<a>long</a>\n<category name=\"Obst\">\n<q>E</q>\n<a>e</a>\n</category>\n";
    write_file(dir.file("queue.txt"), before);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    ASSERT_EQ(pending_count(), 3u);
    introduce_pending(4, db().pending_head);  // A is learnt now
    add_test_pending(0, "C", "c");  // queued here, not in the file yet
    ASSERT_EQ(rename_category(1, "Fruechte"), category_edit::done);
    // B once more, and an item in a category of its own.
    edit_queue_file(before + "<q>B</q>\n<a>b</a>\n<category name=\"Neu\">\n<q>D</q>\n<a>d</a>\n</category>\n", {});
    ASSERT_EQ(save_database(), save_status::done);  // a save before the close takes them in too
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(queued(), (std::vector<std::string>{"B/root", "C/root", "B/root", "E/Fruechte", "D/Neu"}));  // by category, as written
    EXPECT_EQ(std::tuple(category_count(), db().kept_queue.size()), std::tuple(3, size_t{1}));  // "Obst", made again for E, went again
    EXPECT_EQ(take_queue_file_edits().added, 0u);  // the file is the one just read
    // From the window, an item deleted from the file and one changed there leave the queue too.
    edit_queue_file(read_file(dir.file("queue.txt")), {{"<q>C</q>\n<a>c</a>\n", ""}, {"<q>D</q>", "<q>D2</q>"}});
    const queue_file_edits edits = take_queue_file_edits(queue_edit_moment::window);
    EXPECT_EQ(std::tuple(edits.added, edits.removed), std::tuple(1u, 2u));
    EXPECT_EQ(queued(), (std::vector<std::string>{"B/root", "B/root", "E/Fruechte", "D2/Neu"}));
    // Deleted while a review was on screen, so that only the close finds it: not written back.
    edit_queue_file(read_file(dir.file("queue.txt")), {{"<q>E</q>\n<a>e</a>\n", ""}});
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    EXPECT_EQ(queued(), (std::vector<std::string>{"B/root", "B/root", "D2/Neu"}));
    EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
}

using RestoreBackupTest = open_database_test;

TEST_F(RestoreBackupTest, AFailedRestoreChangesNothingAndThenTheBackupBecomesTheDatabaseAndTheStateLeftIsKept)
{
    // Five items and a queued one; backups of one item (made at 9) and of four (at 10).
    for (const int hour : {9, 10}) {
        set_local_clock(2026, 1, 15, hour);
        for (int i = 0; i < (hour == 9 ? 1 : 3); ++i)
            add_test_item(0, 0, 1, "saved at " + std::to_string(hour));
        ASSERT_EQ(save_database(), save_status::done);
    }
    add_test_item(0, 0, 1, "not saved");
    add_test_pending(0, "queued");
    set_local_clock(2026, 1, 15, 11);
    ASSERT_EQ(list_backups(dir.path()).size(), 2u);
    const std::string oldest = list_backups(dir.path()).back().path;
    const auto items_in = [](const std::string& path) {
        bin_summary summary;
        return inspect_bin(path.c_str(), &summary) ? summary.item_count : 0;
    };
    write_file(dir.file("junk.bin"), "junk");
    const struct {
        std::string backup;
        file_fault fault;
        restore_status status;
    } cases[] = {
        {dir.file("junk.bin"), {}, restore_status::not_readable},
        {oldest, {.op = file_op::write, .path_part = "queue.txt.tmp-", .error = ENOSPC}, restore_status::current_not_saved},
        {oldest, {.op = file_op::copy, .path_part = "elements.bin.tmp-", .error = ENOSPC}, restore_status::not_written},
    };
    for (const auto& c : cases) {
        fail_file_operations({c.fault});
        const restore_result r = restore_backup(c.backup);
        fail_file_operations({});
        EXPECT_EQ(std::tuple(r.status, r.problem.path.empty(), db().item_count, db().pending_count),
            std::tuple(c.status, c.status == restore_status::not_readable, 5u, 1u));
    }
    // With nothing in the way it goes through; the queue stays as it is.
    ASSERT_EQ(restore_backup(oldest), restore_status::done);
    EXPECT_EQ(std::tuple(db().item_count, db().head->question.str(), db().pending_count, items_in(dir.file("elements.bin"))),
        std::tuple(1u, "saved at 9", 1u, 1u));
    const std::vector<backup_file> backups = list_backups(dir.path());
    ASSERT_EQ(backups.size(), 3u);
    EXPECT_EQ(std::tuple(backups.front().name, items_in(backups.front().path)), std::tuple("elements-20260115-110000.bin", 5u));
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    EXPECT_EQ(restore_backup(oldest), restore_status::not_open);
}
