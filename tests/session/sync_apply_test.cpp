// Applying another computer's records against crashes, restored backups, undo and full disks:
// whatever happens, each record's change is in the database once and its grade in reviews.log once.
#include <cerrno>
#include <filesystem>

#include "ann/network.h"
#include "database/backups.h"
#include "session/browse.h"
#include "session/retention_control.h"
#include "session/saving.h"
#include "services/paths.h"
#include "session/review_log.h"
#include "session/sync_state.h"
#include "session/sync_conflicts.h"
#include "session/undo.h"
#include "sync_apply_fixture.h"

// A full disk during the apply, a backup restored with its sync.state (the records after it
// applied again), a kill at each file operation of a start: each grade is logged once.
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
    // The arrived due reviews moved the retention figures as the log now holding them gives.
    EXPECT_GT(retention_control_state().growth_log, 0.0f);
    EXPECT_EQ(retention_control_state(),
        retention_control_of(standing_reviews(read_review_log(mine.file(review_log_name)).records)));
    const collection_image expected = image_of_open_database();
    close();
    ASSERT_EQ(expected.items.size(), 3u);
    ASSERT_EQ(grade_lines(mine), 6u);
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
        // Each start applies the logs, not a snapshot the start before left at its close.
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
        EXPECT_EQ(grade_lines(fresh), 6u) << at;
        EXPECT_EQ(read_file(fresh.file("user_cases.bin")), cases) << at;
    }
    EXPECT_GT(killed, 10);
}

// A grade of an item that arrived while the program ran outlasts a crash: the next start applies
// the item, then the grade. Undo takes back this computer's own grades only: once changes from
// elsewhere are applied, the grade given here before them is not undone, and an arrived grade stays.
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

// An undo takes back a grade, not a move or an edit made after it: the computer that undid and
// the one that applies the undo end with the same category and texts.
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

// Lapses after time away elsewhere leave the retention figures here as they leave them there: as
// the fold of the log gives them.
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

// A grade that another computer took back: what the grade gave the network here goes again, as
// the undo took it back there, whether the grade was applied with its undo or before it.
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
            ASSERT_EQ(std::get<0>(network()), builtin_case_count + 1u) << "the grade adds a case";
            ASSERT_EQ(file_size_or_zero(data.file("user_cases.bin")), case_record_size);
            write_file(view.file(change_log_name(other_id)), log);
            ASSERT_EQ(sync_apply().applied, 1u);
        }
        EXPECT_EQ(network(), std::tuple(uint32_t{builtin_case_count}, builtin_weights));
        EXPECT_EQ(file_size_or_zero(data.file("user_cases.bin")), 0u);
        close();
    }
}

// A clock behind the others: an edit made here after a restart still comes after the edit from
// elsewhere that the session before applied, on both computers. An edit that lost is kept with
// its item; taking it makes it the item's texts on both computers.
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

// Both computers move to a new, empty sync folder: the records made there are new to the other
// computer, not numbers it applied in the old folder.
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

// A queued item introduced on the other computer and then forgotten or made due on this one: a
// third computer that gets this one's change before the introduction ends with the later
// schedule, as the two others do.
TEST_F(SyncApplyTest, AChangeOfAnIntroducedItemArrivingBeforeItsIntroductionStands)
{
    constexpr uint64_t third_id = 0x0c0c000000000003ULL;
    enum class change { forget, make_due };
    for (const change what : {change::forget, change::make_due}) {
        temp_dir here, here_view, other_data, other_view_now, third, third_view;
        // The other computer queues an item, and introduces it the next day.
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
        // The third computer: the queueing, this computer's change, then the introduction.
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

// Changes made while the folder is away (at the start, or gone in the middle of a session) reach
// the other computer once, with their stamps, whatever crash comes between their appending and the
// save; an item edited, graded and moved in a session with the folder turned off stays one item,
// as it is here.
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
    // A crash after the kept changes were appended, before the save that lets them go.
    const copy_of before(mine.path());
    open_at(mine, my_id, 1, 12, 9);
    close();
    copy_directory(before.path(), mine.path());
    open_at(mine, my_id);
    close();
    ASSERT_FALSE(holds_any(ma_init(mine.path().c_str()), init_status::dir_not_accessible));
    grade_reviewed(item_named("two"), 5, review_screen::scheduled);
    move_to(item_named("one"), item_named("two")->ctgr);
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    take_away(folder, true);  // and away at the next start, which keeps them
    open(mine, folder.path(), my_id, true);
    close();
    take_away(folder, false);
    ASSERT_FALSE(holds_any(ma_init(mine.path().c_str()), init_status::dir_not_accessible));
    change_texts(item_named("one"), "one", "edited without the folder");
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    // Both hold what was done here (the agreement), and the log each change once.
    EXPECT_EQ(std::get<1>(agreed().items.at("one")), "/d");
    EXPECT_FALSE(file_exists(mine.file("sync.outbox")));
    std::map<change_kind, size_t> kinds;
    for (const change_record& r : log_of(folder, my_id).records)
        kinds[r.kind] += r.kind != change_kind::delete_item || r.stamp < made + 3'600'000 ? 1 : 100;  // its stamp
    EXPECT_EQ(kinds, (std::map<change_kind, size_t>{{change_kind::grade, 2}, {change_kind::edit_item, 1},
                         {change_kind::delete_item, 1}, {change_kind::move_item, 2}, {change_kind::make_due, 1},
                         {change_kind::category_make, 1}, {change_kind::category_rename, 1}}));
}

// Queue items edited or introduced in a session with the folder turned off stay one item
// everywhere: known by a text they kept, or by being the only one of their category edited.
TEST_F(SyncApplyTest, QueueItemsChangedWithTheFolderOffStayOneItem)
{
    // Two of each kind in one category, so that the category alone does not name them.
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
    ASSERT_FALSE(holds_any(ma_init(mine.path().c_str()), init_status::dir_not_accessible));
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
    ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    const collection_image there = agreed();
    EXPECT_EQ(there.queue, queued);
    EXPECT_EQ(std::get<0>(there.items.at("eight")), "8, edited");
    open_at(other, other_id);
    EXPECT_EQ(std::tuple(db().pending_count, db().item_count), std::tuple(queued.size(), size_t{2}))
        << "a question kept names one item, not two";
    close();
}

// Category records of several computers reaching this one in batches, late and out of their
// stamps' order: this computer ends with the tree the computers that had them in order hold.
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
        // A change that came after a rename elsewhere, under the new name, arrives before it:
        // the path it made and the renamed category are one.
        {"a making under the new name before the rename", {"/u", "/u/c"},
            {{other_id, {made({"t"}, 1000)}}, {third, {made({"u", "c"}, 3000)}}, {other_id, {renamed({"t"}, 2000, "u")}}}},
        // One made under the old name after the rename is another category.
        {"a making under the old name after the rename", {"/t", "/u"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 2000, "u")}}, {third, {made({"t"}, 3000)}}}},
        {"a rename of the new name before the rename", {"/w"},
            {{other_id, {made({"t"}, 1000)}}, {third, {renamed({"u"}, 3000, "w")}}, {other_id, {renamed({"t"}, 2000, "u")}}}},
        // Of two renames of one category, the earlier applied first: a change its computer made
        // under its name, arriving after the later rename, follows that one.
        {"a change under the losing name after it", {"/u"},
            {{other_id, {made({"t"}, 1000)}, false}, {third, {renamed({"t"}, 2000, "v")}}, {other_id, {renamed({"t"}, 3000, "u")}},
                {third, {added({"v"}, 2001)}}}},
        // The same change passed on by a fourth computer arrives before the losing rename.
        {"a change under the losing name before it", {"/u"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 3000, "u")}, false}, {fourth, {added({"v"}, 2500)}},
                {third, {renamed({"t"}, 2000, "v")}}}},
        // A fourth computer renamed the losing name in turn, and that arrived first: the two
        // are one category under the later of the two names.
        {"a losing name renamed again, earlier", {"/w"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 4000, "w")}}, {fourth, {renamed({"a"}, 3000, "b")}},
                {third, {renamed({"t"}, 2000, "a")}}}},
        {"a losing name renamed again, later", {"/b"},
            {{other_id, {made({"t"}, 1000), renamed({"t"}, 2500, "w")}}, {fourth, {renamed({"a"}, 3000, "b")}},
                {third, {renamed({"t"}, 2000, "a")}}}},
        // A rename applied here, then one of the category above it: a later rename of the first
        // one's category that names it under the new name above it is the same category.
        {"a rename under a renamed category", {"/q", "/q/y"},
            {{other_id, made_p_c}, {third, {renamed({"p", "c"}, 2000, "x")}},
                {fourth, {renamed({"p"}, 1500, "q"), renamed({"q", "c"}, 2001, "y")}}}},
        // The losing rename arrives after both: a later change under its new name, below the
        // category's new name above it, goes to the name that won.
        {"a losing rename under a renamed category, last", {"/q", "/q/y"},
            {{other_id, made_p_c}, {fourth, {renamed({"p"}, 1500, "q"), renamed({"q", "c"}, 3000, "y")}},
                {third, {renamed({"p", "c"}, 2000, "x"), added({"q", "x"}, 2500)}}}},
        // A rename of a sub-category arrives before that of the category above it, which the
        // renamer had: the sub-category takes it once it is there.
        {"a rename under a category renamed later", {"/q", "/q/y"},
            {{other_id, made_p_c}, {third, {renamed({"q", "c"}, 2000, "y")}}, {fourth, {renamed({"p"}, 1500, "q")}}}},
        {"an item under a category renamed later", {"/q", "/q/d"},
            {{other_id, made_p_c}, {third, {renamed({"p", "c"}, 2000, "d")}}, {other_id, {added({"q", "c"}, 1600)}},
                {fourth, {renamed({"p"}, 1500, "q")}}}},
        {"a rename and a deletion under a category renamed later", {"/q"},
            {{other_id, made_p_c}, {third, {renamed({"q", "c"}, 2000, "y"), deleted({"q", "y"}, 2001)}},
                {fourth, {renamed({"p"}, 1500, "q")}}}},
        // A name that a category left is free: another one renamed to it later stays apart.
        {"a rename to a name given up before", {"/m", "/n"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "n"), renamed({"n"}, 3000, "m")}},
                {third, {renamed({"y"}, 4000, "n")}}}},
        {"a losing rename to a name given up before", {"/m", "/w"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "n"), renamed({"n"}, 3000, "m"),
                 renamed({"y"}, 5000, "w")}},
                {third, {renamed({"y"}, 4000, "n")}}}},
        // A change after the name was taken again names the category that has it now.
        {"a change under a name taken again", {"/m", "/x", "/x/d"},
            {{other_id, {made({"x"}, 1000), made({"y"}, 1500), renamed({"x"}, 2000, "m"), renamed({"y"}, 3000, "x"),
                 made({"x", "c"}, 3500), deleted({"x", "c"}, 3600)}},
                {third, {renamed({"x", "c"}, 4000, "d")}}}},
        // A name given up, taken again and given up again: a change made before the first
        // rename away from it names the category that left first.
        {"a change under a name given up twice", {"/k", "/m", "/m/c"},
            {{other_id, {made({"n"}, 1000), made({"y"}, 1500), renamed({"n"}, 2000, "m"), renamed({"y"}, 3000, "n"),
                 renamed({"n"}, 4000, "k")}},
                {third, {made({"n", "c"}, 1800)}}}},
        // Two renames to one name, the later arriving first: the earlier one's category merges
        // into the other, and its sub-category of that name stays below it.
        {"two renames to one name, the later first, over a sub-category of that name", {"/n", "/n/n"},
            {{other_id, {made({"p", "n"}, 1000), made({"x"}, 1100)}}, {third, {renamed({"x"}, 3000, "n")}},
                {fourth, {renamed({"p"}, 2000, "n")}}}},
        // A rename of a category deleted here before it arrived, to a name another category
        // left just before: the renamed one takes the name, and stays as renamed after the deletion.
        {"a rename of a deleted category to a name left before", {"/n", "/r"},
            {{other_id, {made({"n"}, 900), made({"c"}, 1000)}}, {third, {deleted({"c"}, 2700)}},
                {other_id, {renamed({"n"}, 2800, "r"), renamed({"c"}, 2900, "n")}}}},
        // A change into a name taken again arrives after a deletion of the one that took it.
        {"a change under a name taken again and deleted after it", {"/m", "/n"},
            {{other_id, {made({"n"}, 1000), renamed({"n"}, 2000, "m"), made({"n"}, 3000)}}, {third, {deleted({"n"}, 5000)}},
                {fourth, {added({"n"}, 4000)}}}},
        // A making that arrives after a later rename of what it made, and a deletion of that.
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
