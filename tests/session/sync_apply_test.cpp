// Another computer's records against crashes, restored backups, undo and full disks: each change
// is applied once and each grade logged once; items due before a computer's first day stay due.
#include <cerrno>
#include <filesystem>

#include "ann/network.h"
#include "database/backups.h"
#include "formats/change_log_trim.h"
#include "services/paths.h"
#include "session/browse.h"
#include "session/overview.h"
#include "session/retention_control.h"
#include "session/review_log.h"
#include "session/saving.h"
#include "session/sync_conflicts.h"
#include "session/sync_state.h"
#include "session/undo.h"
#include "sync_fixture.h"

constexpr uint64_t other_id = 0x0b0b000000000002ULL;
constexpr uint64_t my_id = 0x0a0a000000000001ULL;

class SyncApplyTest : public sync_fixture {
protected:
    // Opens on 2026-`month`-`day` at `hour` o'clock, or at the time the clock shows (month 0).
    void open_at(const temp_dir& data, uint64_t id, int month = 0, int day = 0, int hour = 0)
    {
        if (month > 0)
            set_local_clock(2026, month, day, hour);
        open(data, (id == my_id ? folder : other_view).path(), id);
    }
    void deliver_other() { deliver(other_view, folder, change_log_name(other_id)); }

    // Each computer's log reaches the other, which opens: both hold the collection returned.
    collection_image agreed()
    {
        deliver_other();
        open_at(mine, my_id);
        const collection_image here = image_of_open_database();
        close();
        deliver(folder, other_view, change_log_name(my_id));
        open_at(other, other_id);
        EXPECT_EQ(image_of_open_database(), here);
        close();
        return here;
    }

    // The other computer adds three items, then grades them a session at a time (none trimmed).
    void other_session(int session)
    {
        open_at(other, other_id, 1, 1 + 6 * session, 9);
        for (const char* q : {"one", "two", "three"})
            session == 0 ? static_cast<void>(add_reviewed(4, q, "answer", 0))
                         : static_cast<void>(grade_reviewed(item_named(q), static_cast<uint16_t>(2 + session), review_screen::scheduled));
        close();
    }
    void other_sessions(int n)
    {
        for (int session = 0; session < n; ++session)
            other_session(session);
        deliver_other();
    }

    temp_dir mine;  // this computer's data directory
    temp_dir folder;  // the sync folder as this computer sees it
    temp_dir other;  // the other computer's data directory
    temp_dir other_view;  // and its sync folder
};

// A full disk during the apply, a restored backup, a kill at each file operation of a start.
TEST_F(SyncApplyTest, AKillAtAnyFileOperationOfTheApplyLeavesEveryGradeOnce)
{
    other_sessions(2);
    open_at(mine, my_id, 1, 20, 9);
    close();
    other_session(2);
    deliver_other();
    set_local_clock(2026, 2, 1, 9);
    fail_file_operations({{file_op::write, "reviews.log", ENOSPC}});
    EXPECT_FALSE(open(mine, folder.path(), my_id).conflicts.empty());
    EXPECT_EQ(std::tuple(grade_lines(mine), held_review_count()), std::tuple(3u, 3u));
    fail_file_operations({});
    close();
    open_at(mine, my_id);
    EXPECT_GT(retention_control_state().growth_log, 0.0f);
    EXPECT_EQ(retention_control_state(),
        retention_control_of(standing_reviews(read_review_log(mine.file(review_log_name)).records)));
    const collection_image expected = image_of_open_database();
    close();
    ASSERT_EQ(std::tuple(expected.items.size(), grade_lines(mine)), std::tuple(3u, 6u));
    open_at(mine, my_id, 2, 1, 10);
    const std::vector<backup_file> backups = list_backups(mine.path());
    ASSERT_EQ(backups.size(), 2u);
    ASSERT_EQ(restore_backup(backups[1].path).status, restore_status::done);
    EXPECT_EQ(image_of_open_database(), expected);
    close();
    EXPECT_EQ(grade_lines(mine), 6u);
    const std::string cases = read_file(mine.file("user_cases.bin"));

    int killed = 0;
    for (int at = 0;; ++at) {
        std::filesystem::remove(folder.file(snapshot_name(my_id)));
        temp_dir fresh;
        const int code = run_in_child([&] {
            if (holds_any(ma_init(fresh.path().c_str()), init_status::dir_not_accessible))
                return 2;
            ma_nn_init();
            kill_at_file_operation(at);
            static_cast<void>(sync_open(folder.path(), my_id, nullptr));
            return 0;
        });
        if (code == 0)
            break;
        ASSERT_EQ(code, -1) << at;
        ++killed;
        reset_process_state();
        open_at(fresh, my_id, 2, 1, 9);
        EXPECT_EQ(image_of_open_database(), expected) << at;
        close();
        EXPECT_EQ(std::tuple(grade_lines(fresh), read_file(fresh.file("user_cases.bin"))), std::tuple(6u, cases)) << at;
    }
    EXPECT_GT(killed, 10);
}

// A grade of an arrived item outlasts a crash; an undo never takes back past what arrived.
TEST_F(SyncApplyTest, AnArrivedGradeEndsWhatCanBeUndoneAndStays)
{
    other_session(0);
    open_at(mine, my_id, 1, 2, 9);
    deliver_other();
    ASSERT_EQ(sync_apply().applied, 3u);
    grade_reviewed(item_named("two"), 5, review_screen::scheduled);
    const collection_image crashed = image_of_open_database();
    ma_discard();
    sync_close();
    open_at(mine, my_id);
    EXPECT_EQ(image_of_open_database(), crashed);
    close();
    other_session(1);
    open_at(mine, my_id, 1, 12, 8);
    grade_reviewed(item_named("one"), 5, review_screen::scheduled);
    EXPECT_TRUE(sync_apply().arrived == 0 && next_undo().available) << "nothing arrived: the grade can be undone";
    const collection_image graded = image_of_open_database();
    deliver_other();
    EXPECT_EQ(sync_apply().applied, 3u);
    const collection_image arrived = image_of_open_database();
    EXPECT_FALSE(arrived == graded);
    EXPECT_FALSE(undo_last_grade().undone);
    EXPECT_EQ(image_of_open_database(), arrived);
    close();
}

// An undo takes back a grade, not a later move or edit, on both computers.
TEST_F(SyncApplyTest, AnUndoneGradeKeepsALaterMoveAndEditOnBothComputers)
{
    other_session(0);
    open_at(other, other_id, 1, 12, 9);
    pending_item* waiting = add_test_pending(0, "queued", "waiting");
    sync_note_import("queue.txt", 1);
    const uint16_t elsewhere = create_user_category("elsewhere", -1).index;
    item* introduced = introduce_reviewed(4, waiting);
    change_texts(introduced, "queued, edited", "waiting");
    move_to(introduced, elsewhere);
    grade_reviewed(item_named("one"), 5, review_screen::scheduled);
    move_to(item_named("one"), elsewhere);
    ASSERT_TRUE(undo_last_grade().undone);
    ASSERT_TRUE(undo_last_grade().undone);
    close();
    const collection_image there = agreed();
    EXPECT_EQ(there.queue.at("queued, edited"), std::tuple("waiting", "/elsewhere"));
    EXPECT_EQ(std::get<1>(there.items.at("one")), "/elsewhere");
}

TEST_F(SyncApplyTest, GradesFromElsewhereMoveTheRetentionFiguresAsTheLogGives)
{
    other_sessions(3);
    open_at(mine, my_id, 1, 14, 9);
    close();
    open_at(other, other_id, 6, 1, 9);
    for (const char* q : {"one", "two", "three"})
        grade_reviewed(item_named(q), 1, review_screen::scheduled);
    close();
    deliver_other();
    open_at(mine, my_id, 6, 1, 10);
    EXPECT_EQ(retention_control_state(),
        retention_control_of(standing_reviews(read_review_log(mine.file(review_log_name)).records)));
    close();
}

// Whether the grade arrived with its undo or before it, the case it gave the network goes.
TEST_F(SyncApplyTest, AnUndoFromElsewhereTakesItsGradesCaseBack)
{
    other_session(0);
    open_at(other, other_id, 1, 9, 9);
    grade_reviewed(item_named("one"), 4, review_screen::scheduled);
    ASSERT_TRUE(undo_last_grade().undone);
    close();
    const std::string log = read_file(other_view.file(change_log_name(other_id)));
    const change_log_read read = read_change_log(log);
    ASSERT_EQ(read.records.back().kind, change_kind::undo);
    const auto network = [] { return std::tuple(ann_globals().case_count, ann_globals().ann_weights); };
    for (const bool grade_first : {false, true}) {
        SCOPED_TRACE(grade_first ? "the grade applied before its undo arrived" : "both at once");
        temp_dir data, view;
        write_file(view.file(change_log_name(other_id)), grade_first ? log.substr(0, read.ends[read.ends.size() - 2]) : log);
        open(data, view.path(), my_id);
        if (grade_first) {
            ASSERT_EQ(std::tuple(std::get<0>(network()), file_size_or_zero(data.file("user_cases.bin"))),
                std::tuple(builtin_case_count + 1u, case_record_size)) << "the grade adds a case";
            write_file(view.file(change_log_name(other_id)), log);
            ASSERT_EQ(sync_apply().applied, 1u);
        }
        EXPECT_TRUE(network() == std::tuple(uint32_t{builtin_case_count}, builtin_weights)
            && file_size_or_zero(data.file("user_cases.bin")) == 0);
        close();
    }
}

// A clock behind: an edit after a restart still follows the one applied before it. A losing
// edit is kept with its item, and taking it reaches both computers.
TEST_F(SyncApplyTest, EditsFromBothComputersEndTheSameAndALosingOneCanBeTakenInstead)
{
    other_sessions(1);
    open_at(other, other_id, 1, 2, 12);
    change_texts(item_named("one"), "one", "elsewhere, at noon");
    close();
    deliver_other();
    open_at(mine, my_id, 1, 2, 10);
    close();
    open_at(mine, my_id, 1, 2, 11);
    change_texts(item_named("one"), "one", "here, after it");
    close();
    EXPECT_EQ(std::get<0>(agreed().items.at("one")), "here, after it");

    open_at(other, other_id, 1, 3, 9);
    change_texts(item_named("one"), "one", "earlier, elsewhere");
    close();
    open_at(mine, my_id, 1, 3, 10);
    change_texts(item_named("one"), "one", "later, here");
    deliver_other();
    EXPECT_EQ(sync_apply().conflicted, 1u);
    EXPECT_EQ(item_named("one")->answer.str(), "later, here");
    close();
    open_at(mine, my_id);
    ASSERT_EQ(records_with_lost_edits().size(), 1u) << "kept through a close";
    EXPECT_EQ(lost_edit_of(records_with_lost_edits()[0].scheduled)->answer, "earlier, elsewhere");
    EXPECT_TRUE(take_lost_edit(records_with_lost_edits()[0].scheduled));
    close();
    EXPECT_EQ(std::get<0>(agreed().items.at("one")), "earlier, elsewhere");
}

// In a new, empty folder the records are new to the other, not numbers applied in the old one.
TEST_F(SyncApplyTest, ANewFolderContinuesTheSequenceTheOthersHold)
{
    other_sessions(1);
    open_at(mine, my_id, 1, 2, 9);
    static_cast<void>(add_reviewed(4, "mine", "answer", 0));
    close();
    deliver(folder, other_view, change_log_name(my_id));
    open_at(other, other_id, 1, 2, 10);
    close();
    temp_dir moved, moved_there;
    set_local_clock(2026, 1, 3, 9);
    open(mine, moved.path(), my_id);
    static_cast<void>(add_reviewed(4, "after the move", "answer", 0));
    const collection_image here = image_of_open_database();
    close();
    deliver(moved, moved_there, change_log_name(my_id));
    open(other, moved_there.path(), other_id);
    EXPECT_EQ(image_of_open_database(), here);
    close();
}

// A forget or make-due of an introduced item reaching a third computer before the introduction.
TEST_F(SyncApplyTest, AChangeOfAnIntroducedItemArrivingBeforeItsIntroductionStands)
{
    constexpr uint64_t third_id = 0x0c0c000000000003ULL;
    enum class change { forget, make_due };
    for (const change what : {change::forget, change::make_due}) {
        temp_dir here, here_view, other_data, other_view_now, third, third_view;
        set_local_clock(2026, 1, 1, 9);
        open(other_data, other_view_now.path(), other_id);
        add_test_pending(0, "queued", "answer");
        sync_note_import("queue.txt", 1);
        close();
        const std::string queued_only = read_file(other_view_now.file(change_log_name(other_id)));
        set_local_clock(2026, 1, 2, 9);
        open(other_data, other_view_now.path(), other_id);
        ASSERT_NE(introduce_reviewed(4, db().pending_head), nullptr);
        close();
        deliver(other_view_now, here_view, change_log_name(other_id));
        set_local_clock(2026, 1, 4, 9);
        open(here, here_view.path(), my_id);
        what == change::forget ? forget_item(item_named("queued"), day_number(0))
                               : static_cast<void>(reschedule_today(item_named("queued"), day_number(0)));
        const collection_image changed = image_of_open_database();
        close();
        write_file(third_view.file(change_log_name(other_id)), queued_only);
        deliver(here_view, third_view, change_log_name(my_id));
        set_local_clock(2026, 1, 5, 9);
        open(third, third_view.path(), third_id);
        deliver(other_view_now, third_view, change_log_name(other_id));
        static_cast<void>(sync_apply());
        EXPECT_EQ(image_of_open_database(), changed) << static_cast<int>(what);
        close();
    }
}

// Changes made while the folder is away, or turned off, reach the other computer once, with
// their stamps, whatever crash comes between their appending and the save.
TEST_F(SyncApplyTest, ChangesMadeWhileTheFolderIsAwayReachTheOthersOnce)
{
    other_sessions(2);
    open_at(mine, my_id, 1, 8, 9);
    take_away(folder, true);
    grade_reviewed(item_named("one"), 5, review_screen::scheduled);
    EXPECT_TRUE(sync_take_problem());
    take_away(folder, false);
    grade_reviewed(item_named("two"), 4, review_screen::scheduled);
    close();
    take_away(folder, true);
    set_local_clock(2026, 1, 9, 9);
    const uint64_t made = sync_clock_ms();
    open(mine, folder.path(), my_id, true);
    const category_made c = create_user_category("c", -1);
    move_to(item_named("two"), c.index);
    ASSERT_EQ(rename_user_category(c.index, "d"), category_edit::done);
    delete_scheduled_item(item_named("three"));
    close();
    take_away(folder, false);
    // A crash after the kept changes were appended, before the save.
    const copy_of before(mine.path());
    open_at(mine, my_id, 1, 12, 9);
    close();
    copy_directory(before.path(), mine.path());
    open_at(mine, my_id);
    close();
    open_unsynced(mine);
    grade_reviewed(item_named("two"), 5, review_screen::scheduled);
    move_to(item_named("one"), item_named("two")->ctgr);
    close();
    take_away(folder, true);  // and away at the next start, which keeps them
    open(mine, folder.path(), my_id, true);
    close();
    take_away(folder, false);
    open_unsynced(mine);
    change_texts(item_named("one"), "one", "edited without the folder");
    grade_reviewed(item_named("two"), 4, review_screen::scheduled);
    close();
    // A grade from elsewhere that the next start applies stands over the one given here meanwhile.
    open_at(other, other_id, 1, 20, 9);
    grade_reviewed(item_named("two"), 3, review_screen::scheduled);
    close();
    EXPECT_EQ(std::get<1>(agreed().items.at("one")), "/d");
    EXPECT_FALSE(file_exists(mine.file("sync.outbox")));
    std::map<change_kind, size_t> kinds;
    for (const change_record& r : log_of(folder, my_id).records)
        kinds[r.kind] += r.kind != change_kind::delete_item || r.stamp < made + 3'600'000 ? 1 : 100;  // its stamp
    EXPECT_EQ(kinds, (std::map<change_kind, size_t>{{change_kind::grade, 2}, {change_kind::edit_item, 1},
                         {change_kind::delete_item, 1}, {change_kind::move_item, 2}, {change_kind::make_due, 1},
                         {change_kind::category_make, 1}, {change_kind::category_rename, 1}}));
}

// Queue items edited or introduced with the folder off are known by a text they kept, or by
// being the only one of their category edited.
TEST_F(SyncApplyTest, QueueItemsChangedWithTheFolderOffStayOneItem)
{
    const struct {
        const char *question, *answer;
        bool in_c;
        const char *edited_question, *edited_answer;
        bool introduced = false;
    } rows[] = {
        {"one", "1", false, "one, edited", "1"},
        {"five", "5", false, "five, edited", "5"},
        {"two", "2", false, "two", "2, edited"},
        {"six", "6", false, "six", "6, edited"},
        {"four", "4", false, "four", "4"},
        {"three", "3", true, "three, edited", "3, edited"},  // the only one of its category
        {"seven", "7", true, "seven", "7", true},
        {"eight", "8", true, "eight", "8, edited", true},
    };
    open_at(other, other_id, 1, 1, 9);
    const uint16_t c = create_user_category("c", -1).index;
    for (const auto& row : rows)
        add_test_pending(row.in_c ? c : 0, row.question, row.answer);
    sync_note_import("queue.txt", std::size(rows));
    close();
    deliver_other();
    open_at(mine, my_id, 1, 2, 9);
    close();
    open_unsynced(mine);
    std::map<std::string, std::tuple<std::string, std::string>> queued;
    for (const auto& row : rows) {
        pending_item* p = db().pending_head;
        while (p->question.str() != row.question)
            p = p->next;
        if (!row.introduced) {
            change_texts(p, row.edited_question, row.edited_answer);
            queued[row.edited_question] = {row.edited_answer, row.in_c ? "/c" : "/root"};
        } else {
            change_texts(introduce_reviewed(4, p), row.edited_question, row.edited_answer);
        }
    }
    for (pending_item* p = db().pending_head; p; p = p->next)
        if (p->question.str() == "four")
            move_to(p, c);
    queued["four"] = {"4", "/c"};
    close();
    const collection_image there = agreed();
    EXPECT_EQ(there.queue, queued);
    EXPECT_EQ(std::get<0>(there.items.at("eight")), "8, edited");
    open_at(other, other_id);
    EXPECT_EQ(std::tuple(db().pending_count, db().item_count), std::tuple(queued.size(), size_t{2}))
        << "a question kept names one item, not two";
    close();
}

// Category records arriving late and out of their stamps' order end as in order.
TEST_F(SyncApplyTest, CategoryChangesArrivingLateEndAsTheirStampsDecide)
{
    constexpr uint64_t third = 0x0c0c000000000003ULL, fourth = 0x0d0d000000000004ULL;
    struct batch {
        uint64_t writer;
        std::vector<stamped> records;
        bool apply = true;  // applied after it and those before it arrived
    };
    const std::vector<stamped> made_p_c = {made({"p"}, 1000), made({"p", "c"}, 1100)};
    const struct {
        const char* what;
        std::set<std::string> tree;  // besides the root
        std::vector<batch> batches;
    } rows[] = {
        {"a making under the new name before the rename", {"/u", "/u/c"},
            {{other_id, {made({"t"}, 1000)}}, {third, {made({"u", "c"}, 3000)}}, {other_id, {renamed({"t"}, 2000, "u")}}}},
        {"a making under the old name after the rename", {"/t", "/u"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 2000, "u")}}, {third, {made({"t"}, 3000)}}}},
        {"a rename of the new name before the rename", {"/w"},
            {{other_id, {made({"t"}, 1000)}}, {third, {renamed({"u"}, 3000, "w")}}, {other_id, {renamed({"t"}, 2000, "u")}}}},
        {"a change under the losing name after it", {"/u"},
            {{other_id, {made({"t"}, 1000)}, false}, {third, {renamed({"t"}, 2000, "v")}}, {other_id, {renamed({"t"}, 3000, "u")}},
                {third, {added({"v"}, 2001)}}}},
        {"a change under the losing name before it", {"/u"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 3000, "u")}, false}, {fourth, {added({"v"}, 2500)}},
                {third, {renamed({"t"}, 2000, "v")}}}},
        {"a losing name renamed again, earlier", {"/w"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 4000, "w")}}, {fourth, {renamed({"a"}, 3000, "b")}},
                {third, {renamed({"t"}, 2000, "a")}}}},
        {"a losing name renamed again, later", {"/b"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 2500, "w")}}, {fourth, {renamed({"a"}, 3000, "b")}},
                {third, {renamed({"t"}, 2000, "a")}}}},
        {"a rename under a renamed category", {"/q", "/q/y"},
            {{other_id, made_p_c}, {third, {renamed({"p", "c"}, 2000, "x")}},
                {fourth, {renamed({"p"}, 1500, "q"), renamed({"q", "c"}, 2001, "y")}}}},
        {"a losing rename under a renamed category, last", {"/q", "/q/y"},
            {{other_id, made_p_c}, {fourth, {renamed({"p"}, 1500, "q"), renamed({"q", "c"}, 3000, "y")}},
                {third, {renamed({"p", "c"}, 2000, "x"), added({"q", "x"}, 2500)}}}},
        {"a rename under a category renamed later", {"/q", "/q/y"},
            {{other_id, made_p_c}, {third, {renamed({"q", "c"}, 2000, "y")}}, {fourth, {renamed({"p"}, 1500, "q")}}}},
        {"an item under a category renamed later", {"/q", "/q/d"},
            {{other_id, made_p_c}, {third, {renamed({"p", "c"}, 2000, "d")}}, {other_id, {added({"q", "c"}, 1600)}},
                {fourth, {renamed({"p"}, 1500, "q")}}}},
        {"a rename and a deletion under a category renamed later", {"/q"},
            {{other_id, made_p_c}, {third, {renamed({"q", "c"}, 2000, "y"), deleted({"q", "y"}, 2001)}},
                {fourth, {renamed({"p"}, 1500, "q")}}}},
        {"a rename to a name given up before", {"/m", "/n"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "n"), renamed({"n"}, 3000, "m")}},
                {third, {renamed({"y"}, 4000, "n")}}}},
        {"a losing rename to a name given up before", {"/m", "/w"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "n"), renamed({"n"}, 3000, "m"),
                 renamed({"y"}, 5000, "w")}},
                {third, {renamed({"y"}, 4000, "n")}}}},
        {"a change under a name taken again", {"/m", "/x", "/x/d"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "m"), renamed({"y"}, 3000, "x"),
                 made({"x", "c"}, 3500), deleted({"x", "c"}, 3600)}},
                {third, {renamed({"x", "c"}, 4000, "d")}}}},
        {"a change under a name given up twice", {"/k", "/m", "/m/c"},
            {{other_id, {made({"n"}, 1000), made({"y"}, 1500), renamed({"n"}, 2000, "m"), renamed({"y"}, 3000, "n"),
                 renamed({"n"}, 4000, "k")}},
                {third, {made({"n", "c"}, 1800)}}}},
        {"two renames to one name, the later first, over a sub-category of that name", {"/n", "/n/n"},
            {{other_id, {made({"p", "n"}, 1000), made({"x"}, 1100)}}, {third, {renamed({"x"}, 3000, "n")}},
                {fourth, {renamed({"p"}, 2000, "n")}}}},
        {"a rename of a deleted category to a name left before", {"/n", "/r"},
            {{other_id, {made({"n"}, 900), made({"c"}, 1000)}}, {third, {deleted({"c"}, 2700)}},
                {other_id, {renamed({"n"}, 2800, "r"), renamed({"c"}, 2900, "n")}}}},
        {"a change under a name taken again and deleted after it", {"/m", "/n"},
            {{other_id, {made({"n"}, 1000), renamed({"n"}, 2000, "m"), made({"n"}, 3000)}}, {third, {deleted({"n"}, 5000)}},
                {fourth, {added({"n"}, 4000)}}}},
        {"a making after its renaming", {"/u", "/u/c"},
            {{other_id, {renamed({"t"}, 2000, "u"), made({"u", "c"}, 2500)}}, {third, {made({"t"}, 1000)}}}},
        {"a making after its renaming and deletion", {},
            {{other_id, {renamed({"t"}, 2000, "u"), deleted({"u"}, 2001)}}, {third, {made({"t"}, 1000)}}}},
    };
    for (const auto& row : rows) {
        temp_dir data, view;
        set_local_clock(2026, 1, 1, 9);
        open(data, view.path(), my_id);
        for (const batch& b : row.batches) {
            write_records(view, b.writer, b.records);
            if (b.apply)
                sync_apply();
        }
        std::set<std::string> tree = row.tree;
        tree.insert("/root");
        EXPECT_EQ(image_of_open_database().categories, tree) << row.what;
        close();
    }
}

// Joining empty, with items of its own, from a snapshot, or unable to save its first day's move.
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
        const auto own_days = [] {
            const item_schedule s = schedule_of(*item_named("its own"));
            const std::vector<review_record> log = read_review_log(data_path(review_log_name)).records;
            return std::tuple(s.due, s.interval_end, log.empty() ? 0 : log.front().day + day_shift());
        };
        std::tuple<uint16_t, uint16_t, int> before;
        if (own_items) {
            set_local_clock(2026, 2, 20, 9);
            late ? static_cast<void>(open(data, view.path(), id)) : open_unsynced(data);
            static_cast<void>(add_reviewed(4, "its own", "answer", 0));
            before = own_days();
            close();
        }
        if (late) {
            // The other's log trimmed past the items' making: this one starts from the snapshot.
            deliver(other_view, view, change_log_name(other_id));
            deliver(other_view, view, snapshot_name(other_id));
            ASSERT_EQ(trim_change_log(view.file(change_log_name(other_id)), other_id, 2), change_trim_status::trimmed);
        }
        if (how == joining::with_items_unsaved)
            fail_file_operations({{.op = file_op::write, .path_part = "reviews.log", .error = ENOSPC}});
        for (int start = 0; start < (how == joining::with_items_unsaved ? 1 : 2); ++start) {  // joining, a restart
            set_local_clock(2026, 3, 1 + start, 9);
            SCOPED_TRACE(testing::Message() << static_cast<int>(how) << ", start " << start);
            const sync_summary s = open(data, view.path(), id);
            EXPECT_TRUE(!late || start > 0 || s.joined_from == other_id);
            // The day before the folder's first item was made (a day covers any zone).
            EXPECT_TRUE(how != joining::empty || day_shift() == item_named("one")->id / 86400 - 1);
            EXPECT_TRUE(how == joining::with_items_unsaved || make_overview(day_number(0)).due == 3u + own_items);
            EXPECT_TRUE(!own_items || own_days() == before);
            close();
        }
        fail_file_operations({});
        if (how == joining::with_items) {
            // The backup from before the join, restored, still names the same dates.
            open_at(data, id, 3, 3, 9);
            ASSERT_EQ(restore_backup(list_backups(data.path()).back().path), restore_status::done);
            EXPECT_EQ(own_days(), before);
            close();
        }
    }
}

// A collection begun years earlier joins later: its overdue item is due on the others, arriving
// at a start or while running, and keeps its calendar dates after a restart.
TEST_F(SyncApplyTest, AnOlderCollectionJoiningLaterKeepsItsDates)
{
    constexpr uint64_t older_id = 0x0c0c000000000003ULL;
    other_sessions(1);
    open_at(mine, my_id, 1, 2, 9);
    close();
    deliver(folder, other_view, change_log_name(my_id));
    temp_dir older, older_view, held_back;
    set_local_clock(2022, 3, 1, 9);
    open_unsynced(older);
    static_cast<void>(add_reviewed(4, "old", "answer", 0));
    close();
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

