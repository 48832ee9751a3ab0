// Joining from a snapshot and trimming the logs: a computer that starts from a snapshot and the
// records after it holds what one replaying every log holds, and no computer's log loses a record
// that another computer still needs.
#include "session/sync_snapshot.h"

#include <filesystem>

#include "sync_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t computer_a = 0xaaaa000000000001ULL;
constexpr uint64_t computer_b = 0xbbbb000000000002ULL;
constexpr uint64_t joiner = 0xcccc000000000003ULL;

class SyncJoinTest : public sync_fixture {
protected:
    // Opens a computer's data directory on `view` at `day` days and `hour` hours after
    // 2026-01-15, applying what arrived.
    static sync_summary open(const temp_dir& data, const std::string& view, uint64_t id, int day, int hour = 12)
    {
        set_local_clock(2026, 1, 15 + day, hour, 0, 0);
        return sync_fixture::open(data, view, id);
    }

    static collection_image image_after_open(const temp_dir& data, const std::string& view, uint64_t id, int day)
    {
        set_local_clock(2026, 1, 15 + day, 12, 0, 0);
        return image_at(data, view, id);
    }

    // A session that adds items with these questions and closes.
    static void adding(const temp_dir& data, const temp_dir& view, uint64_t id, int day,
        std::initializer_list<const char*> added, int hour = 12)
    {
        static_cast<void>(open(data, view.path(), id, day, hour));
        for (const char* question : added)
            static_cast<void>(add_reviewed(4, question, "a", 0));
        close();
    }

    static void copy_logs(const temp_dir& from, const temp_dir& to)
    {
        for (const auto& entry : fs::directory_iterator(from.path()))
            if (classify_sync_file(entry.path().filename().string()).role == sync_file_role::change_log)
                fs::copy_file(entry.path(), to.path() + entry.path().filename().string());
    }

    temp_dir folder;  // the sync folder that computers a and b share
    temp_dir data_a;
    temp_dir data_b;
    temp_dir view_b;  // b's laptop's own view, for changes that have not left it
    temp_dir join_data;  // a computer that joins from a snapshot
    temp_dir replay_view, replay_data;  // and one that replays every log instead
};

TEST_F(SyncJoinTest, ALogLosesOnlyOldRecordsThatEveryComputersSnapshotHolds)
{
    const auto a_log = [&] { return log_of(folder, computer_a); };
    adding(data_a, folder, computer_a, 0, {"first", "second"});
    // Alone in the folder, a waits until its records are old enough, then keeps only its last.
    adding(data_a, folder, computer_a, 10, {"third"});
    EXPECT_EQ(a_log().records.size(), 3u);
    adding(data_a, folder, computer_a, 30, {"fourth"});
    ASSERT_EQ(a_log().records.size(), 1u);
    EXPECT_EQ(a_log().records.front().sequence, 4u);

    // b starts from a's snapshot and says how far it holds a's log.
    const sync_summary b_joined = open(data_b, folder.path(), computer_b, 31);
    EXPECT_EQ(std::tuple(b_joined.joined_from, b_joined.waiting), std::tuple(computer_a, 0u));
    close();
    // b's snapshot holds a up to its fourth record: a keeps its fifth on, old as it is.
    adding(data_a, folder, computer_a, 60, {"fifth"});
    adding(data_a, folder, computer_a, 90, {"sixth"});
    ASSERT_FALSE(a_log().records.empty());
    EXPECT_EQ(a_log().records.front().sequence, 5u);
    const sync_summary b_later = open(data_b, folder.path(), computer_b, 91);
    EXPECT_EQ(std::tuple(b_later.waiting, b_later.arrived), std::tuple(0u, 2u));
    close();
    EXPECT_EQ(image_after_open(data_b, folder.path(), computer_b, 92), image_after_open(data_a, folder.path(), computer_a, 92));
}

TEST_F(SyncJoinTest, AChangeMadeBeforeTheSnapshotsButArrivingAfterItLosesAsItWouldInAReplay)
{
    const auto edit_answer = [](const std::string& answer) {
        change_texts(db().head, db().head->question.str(), answer);
    };
    adding(data_a, folder, computer_a, 0, {"x"}, 10);
    copy_logs(folder, view_b);
    static_cast<void>(open(data_b, view_b.path(), computer_b, 0, 11));
    edit_answer("from b, earlier");
    close();
    static_cast<void>(open(data_a, folder.path(), computer_a, 0, 12));
    edit_answer("from a, later");
    close();
    // b's edit arrives after a's snapshot was written without it.
    fs::copy_file(view_b.file(change_log_name(computer_b)), folder.file(change_log_name(computer_b)));
    copy_logs(folder, replay_view);
    const sync_summary joined = open(join_data, folder.path(), joiner, 1);
    // Only b's edit arrives past the snapshot, and loses.
    EXPECT_EQ(std::tuple(joined.joined_from, joined.arrived, joined.conflicted), std::tuple(computer_a, 1u, 1u));
    const collection_image from_snapshot = image_of_open_database();
    close();
    const collection_image replayed = image_after_open(replay_data, replay_view.path(), joiner, 1);
    EXPECT_EQ(std::get<0>(replayed.items.at("x")), "from a, later");
    EXPECT_EQ(from_snapshot, replayed);
}

TEST_F(SyncJoinTest, AComputerAwayHalfAYearStopsHoldingBackTrimsAndComesBackFromASnapshot)
{
    const auto deliver_all = [](const temp_dir& from, const temp_dir& to, uint64_t id) {
        deliver(from, to, change_log_name(id));
        deliver(from, to, snapshot_name(id));
    };
    adding(data_a, folder, computer_a, 0, {"first"});
    deliver_all(folder, view_b, computer_a);
    adding(data_b, view_b, computer_b, 1, {"from b"});
    deliver_all(view_b, folder, computer_b);
    adding(data_b, view_b, computer_b, 2, {"unsent from b"});
    adding(data_a, folder, computer_a, 10, {"second"});
    adding(data_a, folder, computer_a, 200, {"third"});
    // b's snapshot holds only a's first record, but b has been silent for half a year.
    EXPECT_EQ(log_of(folder, computer_a).records.front().sequence, 3u);
    deliver_all(folder, view_b, computer_a);
    const sync_summary back = open(data_b, view_b.path(), computer_b, 201);
    EXPECT_EQ(std::tuple(back.joined_from, back.waiting), std::tuple(computer_a, 0u));
    const collection_image b = image_of_open_database();
    close();
    EXPECT_EQ(b.items.size(), 5u);
    EXPECT_EQ(b.items.count("unsent from b"), 1u);
    deliver_all(view_b, folder, computer_b);
    const collection_image a = image_after_open(data_a, folder.path(), computer_a, 202);
    EXPECT_EQ(a, b);
}

// The joiner takes the snapshot's renames too: a change that arrives later under the old name goes
// where the rename took it, as in a replay of every log. Its own snapshot is there before its
// first close, or the others would trim as if it were not.
TEST_F(SyncJoinTest, AJoinerFollowsTheSnapshotsRenamesAndWritesItsOwnSnapshotAtOnce)
{
    static_cast<void>(open(data_a, folder.path(), computer_a, 0));
    ASSERT_EQ(rename_user_category(create_user_category("x", -1).index, "w"), category_edit::done);
    close();
    // b made a category under x before the rename reached it.
    write_records(folder, computer_b, {made({"x", "y"}, sync_clock_ms() - 1000)});
    copy_logs(folder, replay_view);
    EXPECT_EQ(open(join_data, folder.path(), joiner, 1).joined_from, computer_a);
    EXPECT_TRUE(file_exists(folder.file(snapshot_name(joiner))));
    const collection_image joined = image_of_open_database();
    close();
    EXPECT_EQ(joined.categories, (std::set<std::string>{"/root", "/w", "/w/y"}));
    EXPECT_EQ(image_after_open(replay_data, replay_view.path(), joiner, 1), joined);
}

}  // namespace
