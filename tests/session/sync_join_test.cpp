// Joining from a snapshot and trimming the logs: a computer that starts from a snapshot and the
// records after it holds what one replaying every log holds, and no computer's log loses a record
// that another computer still needs.
#include "session/sync_snapshot.h"

#include <filesystem>
#include <random>

#include "session/item_edits.h"
#include "session/undo.h"
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

    static collection_image image_after_open(const temp_dir& data, const std::string& view, uint64_t id, int day,
        sync_summary* s = nullptr)
    {
        const sync_summary opened = open(data, view, id, day);
        const collection_image image = image_of_open_database();
        close();
        if (s)
            *s = opened;
        return image;
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
};

TEST_F(SyncJoinTest, JoiningFromASnapshotAndTheLaterRecordsHoldsWhatReplayingEveryLogHolds)
{
    std::mt19937 rng(33);
    int made = 0;
    temp_dir kept;  // a's snapshot as it stood half-way
    for (int session = 0; session < 40; ++session) {
        const bool on_a = rng() % 2 == 0;
        static_cast<void>(open(on_a ? data_a : data_b, folder.path(), on_a ? computer_a : computer_b, session / 8, session % 8));
        random_changes(rng, on_a ? computer_a : computer_b, made);
        close();
        if (session == 25)
            fs::copy_file(folder.file(snapshot_name(computer_a)), kept.file(snapshot_name(computer_a)));
    }
    // Every log complete (nothing is old enough to be trimmed) and no snapshot: the replay.
    EXPECT_EQ(log_of(folder, computer_a).records.front().sequence, 1u);
    temp_dir replay_view;
    copy_logs(folder, replay_view);
    temp_dir replay_data;
    sync_summary replayed;
    const collection_image everything = image_after_open(replay_data, replay_view.path(), joiner, 6, &replayed);
    EXPECT_EQ(replayed.joined_from, 0u);

    temp_dir join_view;
    copy_logs(folder, join_view);
    for (const auto& entry : fs::directory_iterator(kept.path()))
        fs::copy_file(entry.path(), join_view.path() + entry.path().filename().string());
    // Half-way: its header and length promise more than arrived.
    const std::string whole_b = read_file(folder.file(snapshot_name(computer_b)));
    write_file(join_view.file(snapshot_name(computer_b)), whole_b.substr(0, whole_b.size() / 2));
    temp_dir join_data;
    sync_summary joined;
    const collection_image from_snapshot = image_after_open(join_data, join_view.path(), joiner, 6, &joined);
    EXPECT_EQ(joined.joined_from, computer_a);
    sync_snapshot start = *read_snapshot_file(kept.file(snapshot_name(computer_a)));
    EXPECT_GT(start.covered[computer_a], 0u);
    EXPECT_EQ(joined.arrived, log_of(folder, computer_a).records.size() + log_of(folder, computer_b).records.size()
            - start.covered[computer_a] - start.covered[computer_b]);
    EXPECT_GT(everything.items.size(), 10u);
    EXPECT_TRUE(from_snapshot == everything) << difference(from_snapshot, everything);
    EXPECT_TRUE(image_after_open(data_a, folder.path(), computer_a, 6) == everything);
    // The joiner made itself known at once: a snapshot of what it started from.
    EXPECT_TRUE(read_snapshot_file(join_view.file(snapshot_name(joiner))).has_value());
}

TEST_F(SyncJoinTest, ALogLosesOnlyOldRecordsThatEveryComputersSnapshotHolds)
{
    const auto a_log = [&] { return log_of(folder, computer_a); };
    const auto add = [](const std::string& question) { add_reviewed(4, question.c_str(), "a", 0); };
    static_cast<void>(open(data_a, folder.path(), computer_a, 0));
    add("first");
    add("second");
    close();
    // Alone in the folder, a waits until its records are old enough, then keeps only its last.
    static_cast<void>(open(data_a, folder.path(), computer_a, 10));
    add("third");
    close();
    EXPECT_EQ(a_log().records.size(), 3u);
    static_cast<void>(open(data_a, folder.path(), computer_a, 30));
    add("fourth");
    close();
    ASSERT_EQ(a_log().records.size(), 1u);
    EXPECT_EQ(a_log().records.front().sequence, 4u);

    // b starts from a's snapshot and says how far it holds a's log.
    const sync_summary b_joined = open(data_b, folder.path(), computer_b, 31);
    EXPECT_EQ(b_joined.joined_from, computer_a);
    EXPECT_EQ(b_joined.waiting, 0u);
    close();
    // A computer with a log and no snapshot yet holds back every trim.
    {
        change_log_writer other(folder.file(change_log_name(joiner)), joiner);
        change_record r;
        r.kind = change_kind::category_make;
        r.path = {"root", "theirs"};
        ASSERT_EQ(other.append(r, sync_clock_ms()).status, change_append_status::appended);
    }
    static_cast<void>(open(data_a, folder.path(), computer_a, 60));
    add("fifth");
    close();
    EXPECT_EQ(a_log().records.front().sequence, 4u);
    sync_snapshot theirs;
    theirs.computer = joiner;
    theirs.covered = {{computer_a, 5}, {joiner, 1}};
    ASSERT_TRUE(write_snapshot_file(folder.path(), theirs));
    // Now b's snapshot holds a up to its fourth record, which b has: a keeps its fifth on.
    static_cast<void>(open(data_a, folder.path(), computer_a, 90));
    add("sixth");
    close();
    ASSERT_FALSE(a_log().records.empty());
    EXPECT_EQ(a_log().records.front().sequence, 5u);
    const sync_summary b_later = open(data_b, folder.path(), computer_b, 91);
    EXPECT_EQ(b_later.waiting, 0u);
    EXPECT_EQ(b_later.arrived, 3u);  // a's fifth and sixth, and the third computer's category
    close();
    EXPECT_TRUE(image_after_open(data_b, folder.path(), computer_b, 92)
        == image_after_open(data_a, folder.path(), computer_a, 92));
}

TEST_F(SyncJoinTest, AChangeMadeBeforeTheSnapshotsButArrivingAfterItLosesAsItWouldInAReplay)
{
    temp_dir view_b;
    const auto edit_answer = [](const std::string& answer) {
        change_texts(db().head, db().head->question.str(), answer);
    };
    static_cast<void>(open(data_a, folder.path(), computer_a, 0, 10));
    add_reviewed(4, "x", "first", 0);
    close();
    copy_logs(folder, view_b);
    static_cast<void>(open(data_b, view_b.path(), computer_b, 0, 11));
    edit_answer("from b, earlier");
    close();
    static_cast<void>(open(data_a, folder.path(), computer_a, 0, 12));
    edit_answer("from a, later");
    close();
    // b's edit arrives after a's snapshot was written without it.
    fs::copy_file(view_b.file(change_log_name(computer_b)), folder.file(change_log_name(computer_b)));
    temp_dir replay_view;
    copy_logs(folder, replay_view);
    temp_dir replay_data;
    temp_dir join_data;
    sync_summary joined;
    const collection_image from_snapshot = image_after_open(join_data, folder.path(), joiner, 1, &joined);
    EXPECT_EQ(joined.joined_from, computer_a);
    EXPECT_EQ(joined.conflicted, 1u);
    const collection_image replayed = image_after_open(replay_data, replay_view.path(), joiner, 1);
    EXPECT_EQ(std::get<0>(replayed.items.at("x")), "from a, later");
    EXPECT_TRUE(from_snapshot == replayed) << difference(from_snapshot, replayed);
}


TEST_F(SyncJoinTest, AComputerAwayHalfAYearStopsHoldingBackTrimsAndComesBackFromASnapshot)
{
    temp_dir view_b;  // b's laptop, whose last change never left it
    const auto deliver_all = [](const temp_dir& from, const temp_dir& to, uint64_t id) {
        deliver(from, to, change_log_name(id));
        deliver(from, to, snapshot_name(id));
    };
    const auto session = [&](const temp_dir& data, const temp_dir& view, uint64_t id, int day, const char* added) {
        const sync_summary s = open(data, view.path(), id, day);
        add_reviewed(4, added, "a", 0);
        close();
        return s;
    };
    static_cast<void>(session(data_a, folder, computer_a, 0, "first"));
    deliver_all(folder, view_b, computer_a);
    static_cast<void>(session(data_b, view_b, computer_b, 1, "from b"));
    deliver_all(view_b, folder, computer_b);
    static_cast<void>(session(data_b, view_b, computer_b, 2, "unsent from b"));
    static_cast<void>(session(data_a, folder, computer_a, 10, "second"));
    static_cast<void>(session(data_a, folder, computer_a, 200, "third"));
    // b's snapshot holds only a's first record, but b has been silent for half a year.
    EXPECT_EQ(log_of(folder, computer_a).records.front().sequence, 3u);
    deliver_all(folder, view_b, computer_a);
    const sync_summary back = open(data_b, view_b.path(), computer_b, 201);
    EXPECT_EQ(back.joined_from, computer_a);
    EXPECT_EQ(back.waiting, 0u);
    const collection_image b = image_of_open_database();
    close();
    EXPECT_EQ(b.items.size(), 5u);
    EXPECT_EQ(b.items.count("unsent from b"), 1u);
    deliver_all(view_b, folder, computer_b);
    const collection_image a = image_after_open(data_a, folder.path(), computer_a, 202);
    EXPECT_TRUE(a == b) << difference(a, b);
}

}  // namespace
