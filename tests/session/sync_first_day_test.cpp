// A computer's database begins on the first day its collection or the sync folder names, and its
// unsigned day numbers count from there: whenever it joins, and whatever collection joins after
// it, the items due before then are due on it and keep their calendar dates.
#include <cerrno>
#include <filesystem>

#include "database/backups.h"
#include "services/paths.h"
#include "session/overview.h"
#include "session/review_log.h"
#include "session/saving.h"
#include "session/sync_state.h"
#include "sync_apply_fixture.h"

// A computer's database begins on its first day: the items due before then are due there, when
// it joins with an empty database or with items and grades of its own, which keep their days. A
// move of its first day that cannot be saved leaves it as it was.
TEST_F(SyncApplyTest, ItemsDueBeforeAComputersFirstDayAreDueThere)
{
    other_sessions(1);
    enum class joining { empty, with_items, with_items_unsaved };
    for (const joining how : {joining::empty, joining::with_items, joining::with_items_unsaved}) {
        temp_dir data;
        const bool own_items = how != joining::empty;
        // The calendar days (since 1970) of the own item's schedule and of its grade.
        const auto own_days = [] {
            const item_schedule s = schedule_of(*item_named("its own"));
            const std::vector<review_record> log = read_review_log(data_path(review_log_name)).records;
            return std::tuple(s.due, s.interval_end, log.empty() ? 0 : log.front().day + day_shift());
        };
        std::tuple<uint16_t, uint16_t, int> before;
        if (own_items) {
            set_local_clock(2026, 2, 20, 9);
            ASSERT_FALSE(holds_any(ma_init(data.path().c_str()), init_status::dir_not_accessible));
            ma_nn_init();
            static_cast<void>(add_reviewed(4, "its own", "answer", 0));
            before = own_days();
            ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        }
        if (how == joining::with_items_unsaved)
            fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
        for (int start = 0; start < (how == joining::with_items_unsaved ? 1 : 2); ++start) {  // joining, a restart
            open_at(data, my_id + static_cast<uint64_t>(how), 3, 1 + start, 9);
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
            open_at(data, my_id + static_cast<uint64_t>(how), 3, 3, 9);
            ASSERT_EQ(restore_backup(list_backups(data.path()).back().path), restore_status::done);
            EXPECT_EQ(own_days(), before);
            close();
        }
    }
}
