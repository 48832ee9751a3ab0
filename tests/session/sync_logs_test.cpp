// Each log has one writer and gives each number once, whatever copies come back; a join from a
// snapshot holds what a replay holds; category records end as their stamps decide in any order.
#include <filesystem>

#include "formats/change_log_trim.h"
#include "session/sync_snapshot.h"
#include "sync_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t first_id = 0x0a0a000000000001ULL;
constexpr uint64_t copy_id = 0x0b0b000000000002ULL;
constexpr uint64_t other_id = 0x0c0c000000000003ULL;

class SyncIdentityTest : public sync_fixture {
protected:
    static uint8_t grade_of(const collection_image& image, const std::string& question)
    {
        return static_cast<uint8_t>(std::get<8>(image.items.at(question)));
    }
    // Closes a and opens b with a's log delivered, which must hold the same.
    std::pair<collection_image, sync_summary> b_takes_a_log()
    {
        const collection_image here = image_of_open_database();
        close();
        deliver(a_view, b_view, change_log_name(first_id));
        const sync_summary s = open(b, b_view.path(), other_id);
        EXPECT_EQ(image_of_open_database(), here) << differences(image_of_open_database(), here);
        return {here, s};
    }

    temp_dir a, a_view, b, b_view;  // two computers' data directories and views of the folder
};

}  // namespace

TEST_F(SyncIdentityTest, ADataDirectoryOpenedUnderAnotherIdGoesOnAsThatComputer)
{
    set_local_clock(2026, 1, 1, 9);
    adding(a, a_view, first_id, {"one", "two"});
    // The home directory copied to a new machine, which has an id of its own.
    copy_directory(a.path(), b.path());
    copy_directory(a_view.path(), b_view.path());
    set_local_clock(2026, 1, 5, 9);
    EXPECT_EQ(open(b, b_view.path(), copy_id).adopted, 0u);
    grade_reviewed(item_named("one"), 5, review_screen::scheduled);
    close();
    open(a, a_view.path(), first_id);
    change_texts(item_named("two"), "two", "edited");
    close();
    deliver(a_view, b_view, change_log_name(first_id));
    deliver(b_view, a_view, change_log_name(copy_id));
    const collection_image there = image_at(b, b_view.path(), copy_id);
    EXPECT_EQ(image_at(a, a_view.path(), first_id), there);
    ASSERT_EQ(there.items.size(), 2u);
    EXPECT_EQ(std::tuple(grade_of(there, "one"), std::get<0>(there.items.at("two"))), std::tuple(5, "edited"));
    // One data directory used from two machines by turns (a home shared over the network).
    for (const uint64_t id : {other_id, first_id, other_id}) {
        const sync_summary s = open(a, a_view.path(), id);
        EXPECT_EQ(std::tuple(s.applied, s.adopted), std::tuple(0u, 0u)) << std::hex << id;
        grade_reviewed(item_named("two"), 3, review_screen::forced);
        close();
    }
    deliver(a_view, b_view, change_log_name(first_id));
    deliver(a_view, b_view, change_log_name(other_id));
    EXPECT_EQ(image_at(b, b_view.path(), copy_id), image_at(a, a_view.path(), first_id));
    for (const uint64_t id : {first_id, other_id}) {
        std::vector<uint64_t> numbers;
        for (const change_record& r : log_of(a_view, id).records)
            numbers.push_back(r.sequence);
        EXPECT_EQ(numbers.back(), numbers.size()) << "each number once, in order";
    }
}

// The folder back from a backup older than a crash here: what the log lost comes back from the
// other's snapshot, and a change kept meanwhile takes none of the lost numbers.
TEST_F(SyncIdentityTest, ALogRestoredShorterGivesNoNumberTheOthersTook)
{
    set_local_clock(2026, 1, 1, 9);
    adding(a, a_view, first_id, {"one"});
    const std::string backup = read_file(a_view.file(change_log_name(first_id)));
    open(a, a_view.path(), first_id);
    static_cast<void>(add_reviewed(4, "two", "answer", 0));
    ma_discard();
    sync_close();
    deliver(a_view, b_view, change_log_name(first_id));
    static_cast<void>(image_at(b, b_view.path(), other_id));
    write_file(a_view.file(change_log_name(first_id)), backup);
    deliver(b_view, a_view, snapshot_name(other_id));
    take_away(a_view, true);
    open(a, a_view.path(), first_id, true);
    grade_reviewed(item_named("one"), 5, review_screen::forced);
    close();
    take_away(a_view, false);
    open(a, a_view.path(), first_id);
    const collection_image here = b_takes_a_log().first;
    close();
    EXPECT_EQ(std::tuple(here.items.size(), grade_of(here, "one")), std::tuple(2u, 5));
}

// An older log put back while running: the lost records are written again at the next append
// or the close; a trim of its head is no loss.
TEST_F(SyncIdentityTest, ALogRolledBackWhileRunningGetsItsRecordsBack)
{
    set_local_clock(2026, 1, 1, 9);
    const std::string log = a_view.file(change_log_name(first_id));
    open(a, a_view.path(), first_id);
    static_cast<void>(add_reviewed(4, "one", "answer", 0));
    std::string older = read_file(log);
    static_cast<void>(add_reviewed(4, "two", "answer", 0));
    write_file(log, older);
    grade_reviewed(item_named("one"), 5, review_screen::forced);
    const std::vector<change_record> records = log_of(a_view, first_id).records;
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().sequence, records.size()) << "a gap while the program still runs";
    older = read_file(log);
    grade_reviewed(item_named("two"), 2, review_screen::forced);
    write_file(log, older);
    EXPECT_EQ(b_takes_a_log().second.waiting, 0u);
    EXPECT_EQ(grade_lines(b), 2u) << "both grades, once each";
    close();

    // The same after a grade, when the folder is then left in the settings.
    open(a, a_view.path(), first_id);
    older = read_file(log);
    grade_reviewed(item_named("one"), 3, review_screen::forced);
    write_file(log, older);
    sync_leave();
    EXPECT_EQ(b_takes_a_log().second.waiting, 0u);
    EXPECT_EQ(grade_lines(b), 3u) << "the grade given before the leave, once";
    close();

    open(a, a_view.path(), first_id);
    ASSERT_EQ(trim_change_log(log, first_id, 1), change_trim_status::trimmed);
    grade_reviewed(item_named("one"), 5, review_screen::forced);
    close();
    EXPECT_EQ(log_of(a_view, first_id).records.front().sequence, 2u);
}

// An older log put back while its writer was away: the other computer passes the gap from the
// snapshot, or from a conflict copy that holds the newer side.
TEST_F(SyncIdentityTest, AGapLeftWhileTheWriterWasAwayIsPassedBySnapshot)
{
    for (const bool copy_kept : {false, true}) {
        temp_dir a, a_view, b, b_view;
        set_local_clock(2026, 1, 1, 9);
        const std::string log = a_view.file(change_log_name(first_id));
        adding(a, a_view, first_id, {"one"});
        const std::string older = read_file(log);
        deliver(a_view, b_view, change_log_name(first_id));
        static_cast<void>(image_at(b, b_view.path(), other_id));
        adding(a, a_view, first_id, {"two"});
        std::vector<std::string> names{change_log_name(first_id), snapshot_name(first_id)};
        if (copy_kept) {
            names.push_back(change_log_name(first_id).substr(0, 24) + ".sync-conflict-20260101-090000-AAAAAAA.log");
            write_file(a_view.file(names.back()), read_file(log));
        }
        write_file(log, older);
        open(a, a_view.path(), first_id);
        grade_reviewed(item_named("one"), 5, review_screen::forced);
        const collection_image here = image_of_open_database();
        close();
        for (const std::string& name : names)
            deliver(a_view, b_view, name);
        const sync_summary s = open(b, b_view.path(), other_id);
        EXPECT_EQ(std::tuple(s.waiting, s.joined_from), std::tuple(0u, copy_kept ? 0 : first_id)) << copy_kept;
        EXPECT_EQ(image_of_open_database(), here) << differences(image_of_open_database(), here);
        close();
    }
}

namespace {

constexpr uint64_t computer_a = 0xaaaa000000000001ULL;
constexpr uint64_t computer_b = 0xbbbb000000000002ULL;
constexpr uint64_t joiner = 0xcccc000000000003ULL;

class SyncJoinTest : public sync_fixture {
protected:
    // Opens at `day` days and `hour` hours after 2026-01-15.
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

    static void adding(const temp_dir& data, const temp_dir& view, uint64_t id, int day,
        std::initializer_list<const char*> added, int hour = 12)
    {
        set_local_clock(2026, 1, 15 + day, hour, 0, 0);
        sync_fixture::adding(data, view, id, added);
    }

    static void copy_logs(const temp_dir& from, const temp_dir& to)
    {
        for (const auto& entry : fs::directory_iterator(from.path()))
            if (classify_sync_file(entry.path().filename().string()).role == sync_file_role::change_log)
                fs::copy_file(entry.path(), to.path() + entry.path().filename().string());
    }

    temp_dir folder, data_a, data_b;  // a and b share the folder
    temp_dir view_b;  // b's own view, for changes that have not left it
    temp_dir join_data, replay_view, replay_data;  // one joining from a snapshot, one replaying every log
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
    fs::copy_file(view_b.file(change_log_name(computer_b)), folder.file(change_log_name(computer_b)));
    copy_logs(folder, replay_view);
    const sync_summary joined = open(join_data, folder.path(), joiner, 1);
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

// A change arriving later under the old name goes where the snapshot's rename took it; the
// joiner's own snapshot is there before its first close, or the others would trim past it.
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

constexpr uint64_t maker = 0x0a0a000000000001ULL;
constexpr uint64_t deleter = 0x0c0c000000000003ULL;
constexpr uint64_t third = 0x0e0e000000000005ULL;

using paths = std::set<std::vector<std::string>>;

class SyncOrdersTest : public sync_fixture {
protected:
    // The third computer's categories once `first`'s log (and `start`), then `second`'s arrived.
    paths tree_after(const std::vector<stamped>& first, uint64_t first_id, const std::vector<stamped>& second,
        uint64_t second_id, const sync_snapshot* start = nullptr)
    {
        temp_dir data, view;
        write_records(view, first_id, first);
        EXPECT_TRUE(!start || write_snapshot_file(view.path(), *start));
        set_local_clock(2026, 1, 1, 9);
        open(data, view.path(), third);
        write_records(view, second_id, second);
        static_cast<void>(sync_apply());
        return tree_and_close();
    }
    static paths tree_and_close()
    {
        paths tree;
        for (uint16_t c = 1; c < category_count(); ++c)
            tree.insert(category_names_from_top(c));
        close();
        return tree;
    }
};

TEST_F(SyncOrdersTest, CategoriesEndTheSameInEitherOrder)
{
    const std::vector<std::string> x = {"x"}, xy = {"x", "y"};
    struct row {
        const char* what;
        std::vector<stamped> made;  // the maker's log
        paths expected;
    };
    // The deleter saw "x" made and deleted it at 20,000, before the maker's later records reached it.
    const std::vector<row> rows = {
        {"a making under it, earlier", {made(x, 1000), made(xy, 10'000)}, {}},
        {"a making under it, later", {made(x, 1000), made(xy, 30'000)}, {x, xy}},
        {"an item put under it, earlier", {made(x, 1000), added(xy, 10'000)}, {x, xy}},
        {"a rename, earlier", {made(x, 1000), renamed(x, 10'000, "w")}, {}},
        {"a rename, later", {made(x, 1000), renamed(x, 30'000, "w")}, {{"w"}}},
    };
    const std::vector<stamped> deletion = {deleted(x, 20'000)};
    sync_snapshot after_deletion;
    after_deletion.computer = deleter;
    after_deletion.latest_stamp = 20'000;
    after_deletion.covered = {{deleter, 1}};
    after_deletion.deleted = {{x, {20'000, deleter}}};
    for (const row& r : rows) {
        EXPECT_EQ(tree_after(deletion, deleter, r.made, maker, &after_deletion), r.expected) << r.what << ", joined";
        EXPECT_EQ(tree_after(r.made, maker, deletion, deleter), r.expected) << r.what << ", the deletion last";
        EXPECT_EQ(tree_after(deletion, deleter, r.made, maker), r.expected) << r.what << ", the deletion first";
    }
}

// Two renames of one category, the later one's name then deleted: in any order of the logs the
// category goes, or stays under the later name for an item put under the earlier one.
TEST_F(SyncOrdersTest, ALosingRenameFollowsTheLaterOneIntoItsDeletion)
{
    constexpr uint64_t loser = 0x0b0b000000000002ULL;
    const std::vector<std::string> x = {"x"}, early = {"early"}, late = {"late"};
    const struct {
        const char* what;
        std::vector<stamped> lost;  // the log of the computer whose rename lost
        paths expected;
    } rows[] = {
        {"nothing under it", {renamed(x, 10'000, "early")}, {}},
        {"an item under it", {renamed(x, 10'000, "early"), added(early, 12'000)}, {late}},
    };
    for (const auto& r : rows) {
        const std::map<uint64_t, std::vector<stamped>> logs = {
            {maker, {made(x, 1000), renamed(x, 15'000, "late")}},
            {loser, r.lost},
            {deleter, {deleted(late, 20'000)}},
        };
        std::vector<uint64_t> order = {maker, loser, deleter};
        do {
            temp_dir data, view;
            set_local_clock(2026, 1, 1, 9);
            open(data, view.path(), third);
            for (const uint64_t id : order) {
                write_records(view, id, logs.at(id));
                static_cast<void>(sync_apply());
            }
            EXPECT_EQ(tree_and_close(), r.expected) << r.what << std::hex << ", from " << order[0] << ", " << order[1] << ", " << order[2];
        } while (std::ranges::next_permutation(order).found);
    }
}

}  // namespace
