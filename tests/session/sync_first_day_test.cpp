// A computer's unsigned day numbers count from the first day its collection or the folder names:
// items due before then stay due and keep their calendar dates.
#include <cerrno>
#include <filesystem>

#include "database/backups.h"
#include "formats/change_log_trim.h"
#include "services/paths.h"
#include "session/overview.h"
#include "session/review_log.h"
#include "session/saving.h"
#include "session/sync_state.h"
#include "sync_apply_fixture.h"

// However it joins (empty, with items and grades of its own, or from a snapshot after it used the
// folder first), and when the move of its first day cannot be saved.
TEST_F(SyncApplyTest, ItemsDueBeforeAComputersFirstDayAreDueThere)
{
    other_sessions(1);
    enum class joining { empty, with_items, with_items_unsaved, before_the_files_arrived };
    for (const joining how :
        {joining::empty, joining::with_items, joining::with_items_unsaved, joining::before_the_files_arrived}) {
        temp_dir data, late_view;
        const bool own_items = how != joining::empty;
        const bool late = how == joining::before_the_files_arrived;
        const uint64_t id = my_id + static_cast<uint64_t>(how);
        const temp_dir& view = how == joining::empty ? folder : late ? late_view : other_view;
        // The calendar days (since 1970) of the own item's schedule and of its grade.
        const auto own_days = [] {
            const item_schedule s = schedule_of(*item_named("its own"));
            const std::vector<review_record> log = read_review_log(data_path(review_log_name)).records;
            return std::tuple(s.due, s.interval_end, log.empty() ? 0 : log.front().day + day_shift());
        };
        std::tuple<uint16_t, uint16_t, int> before;
        if (own_items) {
            set_local_clock(2026, 2, 20, 9);
            if (late) {
                static_cast<void>(open(data, view.path(), id));
            } else {
                ASSERT_FALSE(holds_any(ma_init(data.path().c_str()), init_status::dir_not_accessible));
                ma_nn_init();
            }
            static_cast<void>(add_reviewed(4, "its own", "answer", 0));
            before = own_days();
            close();
        }
        if (late) {
            // The other computer's snapshot, and its log trimmed past the items' making: having
            // applied its own change, this one is behind the trim and starts from the snapshot.
            deliver(other_view, view, change_log_name(other_id));
            deliver(other_view, view, snapshot_name(other_id));
            ASSERT_EQ(trim_change_log(view.file(change_log_name(other_id)), other_id, 2), change_trim_status::trimmed);
        }
        if (how == joining::with_items_unsaved)
            fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
        for (int start = 0; start < (how == joining::with_items_unsaved ? 1 : 2); ++start) {  // joining, a restart
            set_local_clock(2026, 3, 1 + start, 9);
            const sync_summary s = open(data, view.path(), id);
            if (late && start == 0) {
                EXPECT_EQ(s.joined_from, other_id);
            }
            if (how == joining::empty) {
                // It begins the day before the folder's first item was made (a day covers any
                // zone), which the status line counts from, not on a later day its records name.
                EXPECT_EQ(day_shift(), item_named("one")->id / 86400 - 1);
            }
            if (how != joining::with_items_unsaved) {
                EXPECT_EQ(make_overview(day_number(0)).due, 3u + own_items) << static_cast<int>(how);
            }
            if (own_items) {
                EXPECT_EQ(own_days(), before) << static_cast<int>(how) << start;
            }
            close();
        }
        fail_file_operations({});
        if (how == joining::with_items) {
            // The backup from before the join begins on the later day: restored, its days and the
            // log's still name the same dates.
            open_at(data, id, 3, 3, 9);
            ASSERT_EQ(restore_backup(list_backups(data.path()).back().path), restore_status::done);
            EXPECT_EQ(own_days(), before);
            close();
        }
    }
}

// Two computers sync; a third joins later with a collection begun years before theirs. Its
// overdue item is due on both, whether its record arrives at a start or while running, and keeps
// its calendar dates there after a restart.
TEST_F(SyncApplyTest, AnOlderCollectionJoiningLaterKeepsItsDates)
{
    constexpr uint64_t older_id = 0x0c0c000000000003ULL;
    other_sessions(1);
    open_at(mine, my_id, 1, 2, 9);
    close();
    deliver(folder, other_view, change_log_name(my_id));
    temp_dir older, older_view, held_back;
    set_local_clock(2022, 3, 1, 9);
    ASSERT_FALSE(holds_any(ma_init(older.path().c_str()), init_status::dir_not_accessible));
    ma_nn_init();
    static_cast<void>(add_reviewed(4, "old", "answer", 0));
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    for (const uint64_t id : {my_id, other_id})
        deliver(folder, older_view, change_log_name(id));
    set_local_clock(2026, 3, 1, 9);
    open(older, older_view.path(), older_id);
    const item_schedule old = schedule_of(*item_named("old"));
    close();
    deliver(older_view, folder, change_log_name(older_id));
    deliver(older_view, other_view, change_log_name(older_id));

    enum class arriving { at_start, while_running };
    for (const arriving how : {arriving::at_start, arriving::while_running}) {
        const bool at_start = how == arriving::at_start;
        const temp_dir& data = at_start ? other : mine;
        const uint64_t id = at_start ? other_id : my_id;
        const std::string view = (at_start ? other_view : folder).path();
        if (!at_start)
            std::filesystem::rename(folder.file(change_log_name(older_id)), held_back.file("log"));
        open(data, view, id);
        if (!at_start) {
            ASSERT_EQ(make_overview(day_number(0)).due, 3u);
            std::filesystem::rename(held_back.file("log"), folder.file(change_log_name(older_id)));
            ASSERT_EQ(sync_apply().applied, 1u);
        }
        for (int start = 0; start < 2; ++start) {  // as it arrived, after a restart
            EXPECT_EQ(make_overview(day_number(0)).due, 4u) << at_start << start;
            // Calendar days compare modulo 2^16: a day wrapped past the first reads the same there.
            const item* e = item_named("old");
            EXPECT_LT(e->stmtrpt, day_number(0)) << at_start << start;  // its interval ended years ago
            const item_schedule here = schedule_of(*e);
            EXPECT_EQ(std::tuple(here.due, here.interval_end), std::tuple(old.due, old.interval_end)) << at_start << start;
            close();
            if (start == 0)
                open(data, view, id);
        }
    }
}
