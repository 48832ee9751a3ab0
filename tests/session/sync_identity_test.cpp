// This computer's log in the sync folder has one writer and gives each number once, whatever
// copies of the data directory or older versions of the log come back.
#include "formats/change_log_trim.h"
#include "sync_fixture.h"

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
    // Closes the first machine's open database and opens the other machine's with its log
    // delivered, which must then hold the same; returns what the first held and the summary.
    std::pair<collection_image, sync_summary> b_takes_a_log()
    {
        const collection_image here = image_of_open_database();
        close();
        deliver(a_view, b_view, change_log_name(first_id));
        const sync_summary s = open(b, b_view.path(), other_id);
        EXPECT_EQ(image_of_open_database(), here) << differences(image_of_open_database(), here);
        return {here, s};
    }

    temp_dir a;  // the data directory of the first machine
    temp_dir a_view;  // and its view of the folder
    temp_dir b;  // the other machine's
    temp_dir b_view;
};

}  // namespace

TEST_F(SyncIdentityTest, ADataDirectoryOpenedUnderAnotherIdGoesOnAsThatComputer)
{
    set_local_clock(2026, 1, 1, 9);
    open(a, a_view.path(), first_id);
    for (const char* q : {"one", "two"})
        static_cast<void>(add_reviewed(4, q, "answer", 0));
    close();
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
    // One data directory from two machines by turns (a home shared over the network): each
    // machine's changes go into its own log, and nothing that came through the folder is
    // applied or recorded again.
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

// The folder back from a backup older than a crash here: this computer's log lacks records the
// other computer applied. A change kept while the folder was away goes into the log after them,
// not under one of their numbers, and what the log lost comes back from the other's snapshot.
TEST_F(SyncIdentityTest, ALogRestoredShorterGivesNoNumberTheOthersTook)
{
    set_local_clock(2026, 1, 1, 9);
    open(a, a_view.path(), first_id);
    static_cast<void>(add_reviewed(4, "one", "answer", 0));
    close();
    const std::string backup = read_file(a_view.file(change_log_name(first_id)));
    open(a, a_view.path(), first_id);
    static_cast<void>(add_reviewed(4, "two", "answer", 0));
    ma_discard();
    sync_close();
    deliver(a_view, b_view, change_log_name(first_id));
    open(b, b_view.path(), other_id);
    close();
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

// The sync service puts back an older version of this computer's log while the program runs (a
// restore, or the other side of a conflict kept). The records it lost are written again, at
// the next append or at the close, so that the other computer follows on past them; a trim of its
// head is no loss.
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

// An older copy of the log put back while its writer was not running: the records lost are in
// no file any more, and the writer goes on after them. The other computer, behind that gap,
// starts again from the snapshot that holds them; where the service kept the newer side as a
// conflict copy, it takes them from there instead.
TEST_F(SyncIdentityTest, AGapLeftWhileTheWriterWasAwayIsPassedBySnapshot)
{
    for (const bool copy_kept : {false, true}) {
        temp_dir a, a_view, b, b_view;
        set_local_clock(2026, 1, 1, 9);
        const std::string log = a_view.file(change_log_name(first_id));
        open(a, a_view.path(), first_id);
        static_cast<void>(add_reviewed(4, "one", "answer", 0));
        close();
        const std::string older = read_file(log);
        deliver(a_view, b_view, change_log_name(first_id));
        open(b, b_view.path(), other_id);
        close();
        open(a, a_view.path(), first_id);
        static_cast<void>(add_reviewed(4, "two", "answer", 0));
        close();
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
