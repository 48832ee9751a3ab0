// Restoring a backup: the state left is kept as a backup of its own and the backup becomes the
// database; each failure leaves the open database as it was.
#include <cerrno>

#include "database/backups.h"
#include "database/binfile.h"
#include "session/saving.h"
#include "support/database_helpers.h"

namespace {

class RestoreBackupTest : public open_database_test {
protected:
    // Five items and a queued one; backups of one item (made at 9) and of four (at 10); the
    // clock at 11. The oldest backup's path.
    std::string two_backups_and_more()
    {
        for (const int hour : {9, 10}) {
            set_local_clock(2026, 1, 15, hour);
            for (int i = 0; i < (hour == 9 ? 1 : 3); ++i)
                add_test_item(0, 0, 1, "saved at " + std::to_string(hour));
            EXPECT_EQ(save_database(), save_status::done);
        }
        add_test_item(0, 0, 1, "not saved");
        add_test_pending(0, "queued");
        set_local_clock(2026, 1, 15, 11);
        const std::vector<backup_file> backups = list_backups(dir.path());
        EXPECT_EQ(backups.size(), 2u);
        return backups.back().path;
    }
    static size_t items_in(const std::string& path)
    {
        bin_summary summary;
        return inspect_bin(path.c_str(), &summary) ? summary.item_count : 0;
    }
};

TEST_F(RestoreBackupTest, AFailedRestoreChangesNothingAndThenTheBackupBecomesTheDatabaseAndTheStateLeftIsKept)
{
    const std::string oldest = two_backups_and_more();
    const struct {
        const char* name;
        std::function<std::string()> set_up;  // the backup to restore
        restore_status status;
    } cases[] = {
        {"not a database", [&] { write_file(dir.file("junk.bin"), "junk"); return dir.file("junk.bin"); },
            restore_status::not_readable},
        {"queue not saved",
            [&] {
                fail_file_operations({{.op = file_op::write, .path_part = "queue.txt.tmp-", .error = ENOSPC}});
                return oldest;
            },
            restore_status::current_not_saved},
        {"copy not written",
            [&] {
                fail_file_operations({{.op = file_op::copy, .path_part = "elements.bin.tmp-", .error = ENOSPC}});
                return oldest;
            },
            restore_status::not_written},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const restore_result r = restore_backup(c.set_up());
        fail_file_operations({});
        EXPECT_EQ(std::tuple(r.status, r.problem.path.empty()), std::tuple(c.status, c.status == restore_status::not_readable));
        EXPECT_EQ(std::tuple(db().item_count, db().pending_count), std::tuple(5u, 1u));
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

}  // namespace
