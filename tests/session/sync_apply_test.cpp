// Applying another computer's records against crashes, restored backups and undo: whatever
// happens, each record's change is in the database once and its grade in reviews.log once.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "ann/ann_files.h"
#include "database/backups.h"
#include "formats/sync_snapshot.h"
#include "session/item_edits.h"
#include "session/lifecycle.h"
#include "session/retention_control.h"
#include "session/saving.h"
#include "session/sync.h"
#include "session/sync_conflicts.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace {

constexpr uint64_t other_id = 0x0b0b000000000002ULL;
constexpr uint64_t my_id = 0x0a0a000000000001ULL;

// Items by question: answer and schedule in days since 1970.
using image = std::map<std::string, std::tuple<std::string, uint16_t, uint16_t, uint16_t, uint16_t>>;

image image_of_open_database()
{
    image m;
    const auto shift = static_cast<uint16_t>(db().time_of_start / 86400);
    for (const item* e : scheduled_items())
        m[e->question.str()] = {e->answer.str(), static_cast<uint16_t>(e->tmtrpt + shift), e->ivl, e->rp, e->gr};
    return m;
}

// The category tree as paths from the top, for comparing computers.
std::set<std::vector<std::string>> category_paths()
{
    std::set<std::vector<std::string>> paths;
    for (uint16_t c = 0; c < category_count(); ++c)
        paths.insert(category_names_from_top(c));
    return paths;
}

size_t grade_lines(const std::string& reviews_log)
{
    const std::string bytes = file_exists(reviews_log) ? read_file(reviews_log) : std::string();
    size_t n = 0;
    for (size_t at = 0; at + review_record_size <= bytes.size(); at += review_record_size)
        n += bytes[at + 23] == 0 ? 1 : 0;
    return n;
}

class SyncApplyTest : public clean_state_test {
protected:
    void TearDown() override
    {
        sync_close();
        clean_state_test::TearDown();
    }

    void open(const temp_dir& data, uint64_t id, const temp_dir* view = nullptr)
    {
        ASSERT_FALSE(holds_any(ma_init(data.path().c_str()), init_status::dir_not_accessible));
        ma_nn_init();
        ASSERT_EQ(sync_open((view ? *view : folder).path(), id, nullptr), sync_open_status::opened);
    }

    // The sync service brings the other computer's log as it is now.
    void deliver() { write_file(folder.file(change_log_name(other_id)), read_file(other_view.file(change_log_name(other_id)))); }

    void close()
    {
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        sync_close();
    }

    // The other computer: three items added, then graded in two later sessions; all within the
    // age a log keeps its records, so none is trimmed.
    void other_session(int session)
    {
        set_local_clock(2026, 1, 1 + 6 * session, 9);
        open(other, other_id, &other_view);
        if (session == 0) {
            for (const char* q : {"one", "two", "three"})
                static_cast<void>(add_reviewed(4, q, "answer", 0));
        } else {
            std::vector<item*> all;
            for (item* e = db().head; e; e = e->next)
                all.push_back(e);
            for (item* e : all)
                grade_reviewed(e, static_cast<uint16_t>(2 + session), review_screen::scheduled);
        }
        close();
    }

    temp_dir folder;  // the sync folder as this computer sees it
    temp_dir other;  // the other computer's data directory
    temp_dir other_view;  // and its sync folder
};

}  // namespace

// A kill at each file operation of the start that applies the records: the next start holds
// every change and every grade line once, as a start that was not killed.
TEST_F(SyncApplyTest, AKillAtAnyFileOperationOfTheApplyLeavesEveryGradeOnce)
{
    for (int session = 0; session < 3; ++session)
        other_session(session);
    deliver();
    set_local_clock(2026, 2, 1, 9);
    temp_dir whole;
    open(whole, my_id);
    // The arrived due reviews moved the retention figures as the log now holding them gives.
    EXPECT_GT(retention_control_state().growth_log, 0.0f);
    EXPECT_EQ(retention_control_state(),
        retention_control_of(standing_reviews(read_review_log(whole.file("reviews.log")).records)));
    const image expected = image_of_open_database();
    close();
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_EQ(grade_lines(whole.file("reviews.log")), 6u);
    const std::string cases = file_exists(whole.file("user_cases.bin")) ? read_file(whole.file("user_cases.bin")) : "";

    int killed = 0;
    for (int at = 0;; ++at) {
        // Each start applies the logs, not a snapshot the start before left at its close.
        std::filesystem::remove(folder.file(snapshot_name(my_id)));
        temp_dir mine;
        const int code = run_in_child([&] {
            if (holds_any(ma_init(mine.path().c_str()), init_status::dir_not_accessible))
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
        set_local_clock(2026, 2, 1, 9);
        open(mine, my_id);
        EXPECT_EQ(image_of_open_database(), expected) << at;
        close();
        EXPECT_EQ(grade_lines(mine.file("reviews.log")), 6u) << at;
        EXPECT_EQ(file_exists(mine.file("user_cases.bin")) ? read_file(mine.file("user_cases.bin")) : "", cases) << at;
    }
    EXPECT_GT(killed, 10);
}

// A backup restored with sync on takes its sync.state with it: the records after the backup
// are applied again, and their grades are not logged twice.
TEST_F(SyncApplyTest, ARestoredBackupGetsTheRecordsAfterItAgainOnce)
{
    temp_dir mine;
    other_session(0);
    other_session(1);
    deliver();
    set_local_clock(2026, 1, 20, 9);
    open(mine, my_id);
    close();
    other_session(2);
    deliver();
    set_local_clock(2026, 2, 1, 9);
    open(mine, my_id);
    const image latest = image_of_open_database();
    close();
    set_local_clock(2026, 2, 1, 10);
    open(mine, my_id);
    const std::vector<backup_file> backups = list_backups(mine.path());
    ASSERT_EQ(backups.size(), 2u);
    ASSERT_EQ(restore_backup(backups[1].path).status, restore_status::done);
    EXPECT_EQ(image_of_open_database(), latest);
    close();
    EXPECT_EQ(grade_lines(mine.file("reviews.log")), 6u);
}

// Undo takes back this computer's own grades only: once changes from elsewhere are applied,
// the grade given here before them is not undone, and an arrived grade always stays.
TEST_F(SyncApplyTest, AnArrivedGradeEndsWhatCanBeUndoneAndStays)
{
    temp_dir mine;
    other_session(0);
    deliver();
    other_session(1);
    set_local_clock(2026, 1, 12, 8);
    open(mine, my_id);
    item* one = nullptr;
    for (item* e = db().head; e; e = e->next)
        if (e->question.str() == "one")
            one = e;
    ASSERT_NE(one, nullptr);
    grade_reviewed(one, 5, review_screen::scheduled);
    EXPECT_TRUE(sync_apply().arrived == 0 && next_undo().available) << "nothing arrived: the grade can be undone";
    const image graded = image_of_open_database();
    deliver();
    EXPECT_EQ(sync_apply().applied, 3u);
    const image arrived = image_of_open_database();
    EXPECT_NE(arrived, graded);
    EXPECT_FALSE(undo_last_grade().undone);
    EXPECT_EQ(image_of_open_database(), arrived);
    close();
}

// An undo takes back a grade, not a move or an edit made after it: the computer that undid and
// the one that applies the undo end with the same category and texts.
TEST_F(SyncApplyTest, AnUndoneGradeKeepsALaterMoveAndEditOnBothComputers)
{
    auto places = [] {
        std::map<std::string, std::vector<std::string>> m;  // question: category path, queued with a 'q'
        for (const item* e : scheduled_items())
            m[e->question.str()] = category_names_from_top(e->ctgr);
        for (const pending_item* p : pending_items()) {
            m[std::string(p->question)] = category_names_from_top(p->ctgr);
            m[std::string(p->question)].push_back("q");
        }
        return m;
    };
    other_session(0);
    set_local_clock(2026, 1, 12, 9);
    open(other, other_id, &other_view);
    pending_item* waiting = new_pending_item();
    waiting->question = "queued";
    waiting->answer = "waiting";
    append_pending(waiting);
    sync_note_import("queue.txt", 1);
    const uint16_t elsewhere = create_user_category("elsewhere", -1).index;
    item* introduced = introduce_reviewed(4, waiting);
    change_texts(introduced, "queued, edited", "waiting");
    move_to(introduced, elsewhere);
    item* one = nullptr;
    for (item* e = db().head; e; e = e->next)
        one = e->question.str() == "one" ? e : one;
    ASSERT_NE(one, nullptr);
    grade_reviewed(one, 5, review_screen::scheduled);
    move_to(one, elsewhere);
    ASSERT_TRUE(undo_last_grade().undone);
    ASSERT_TRUE(undo_last_grade().undone);
    const auto there = places();
    EXPECT_EQ(there.at("queued, edited"), (std::vector<std::string>{"elsewhere", "q"}));
    EXPECT_EQ(there.at("one"), std::vector<std::string>{"elsewhere"});
    close();
    deliver();
    temp_dir mine;
    open(mine, my_id);
    EXPECT_EQ(places(), there);
    close();
}

// An edit that lost is kept with its item; taking it makes it the item's texts on both computers.
TEST_F(SyncApplyTest, ALosingEditIsKeptAndCanBeTakenInstead)
{
    temp_dir mine;
    auto answer_of_one = [] {
        for (const item* e : scheduled_items())
            if (e->question.str() == "one")
                return e->answer.str();
        return std::string();
    };
    other_session(0);
    deliver();
    set_local_clock(2026, 1, 2, 9);
    open(other, other_id, &other_view);
    for (item* e = db().head; e; e = e->next)
        if (e->question.str() == "one")
            change_texts(e, "one", "earlier, elsewhere");
    close();
    set_local_clock(2026, 1, 2, 10);
    open(mine, my_id);
    item* one = nullptr;
    for (item* e = db().head; e; e = e->next)
        one = e->question.str() == "one" ? e : one;
    ASSERT_NE(one, nullptr);
    change_texts(one, "one", "later, here");
    EXPECT_FALSE(lost_edit_of(one));
    deliver();
    EXPECT_EQ(sync_apply().conflicted, 1u);
    EXPECT_EQ(answer_of_one(), "later, here");
    ASSERT_EQ(records_with_lost_edits().size(), 1u);
    EXPECT_EQ(records_with_lost_edits()[0].scheduled, one);
    EXPECT_EQ(lost_edit_of(one)->answer, "earlier, elsewhere");
    close();
    open(mine, my_id);
    ASSERT_EQ(records_with_lost_edits().size(), 1u) << "kept through a close";
    EXPECT_TRUE(take_lost_edit(records_with_lost_edits()[0].scheduled));
    EXPECT_EQ(answer_of_one(), "earlier, elsewhere");
    EXPECT_TRUE(records_with_lost_edits().empty());
    close();
    write_file(other_view.file(change_log_name(my_id)), read_file(folder.file(change_log_name(my_id))));
    open(other, other_id, &other_view);
    EXPECT_EQ(answer_of_one(), "earlier, elsewhere");
    close();
}

// A third computer's change into a renamed category arrives before the rename: the path it made
// and the renamed category become one, as on the computers that had the rename first.
TEST_F(SyncApplyTest, ARenameOntoAPathMadeMeanwhileMergesTheTwo)
{
    temp_dir mine;
    set_local_clock(2026, 1, 1, 9);
    open(other, other_id, &other_view);
    const category_made t = create_user_category("t", -1);
    static_cast<void>(add_reviewed(4, "in t", "answer", t.index));
    ASSERT_EQ(rename_user_category(t.index, "u"), category_edit::done);
    close();
    constexpr uint64_t third_id = 0x0c0c000000000003ULL;
    change_log_writer third(folder.file(change_log_name(third_id)), third_id);
    change_record make;
    make.kind = change_kind::category_make;
    make.path = {"u", "c"};
    ASSERT_EQ(third.append(make, 1'800'000'000'000ULL).status, change_append_status::appended);
    // The other computer's log reaches this one only up to its rename.
    const std::string log = read_file(other_view.file(change_log_name(other_id)));
    const change_log_read read = read_change_log(log);
    ASSERT_EQ(read.records.back().kind, change_kind::category_rename);
    write_file(folder.file(change_log_name(other_id)), log.substr(0, read.ends[read.ends.size() - 2]));
    set_local_clock(2026, 1, 1, 10);
    open(mine, my_id);
    ASSERT_EQ(category_paths().count({"t"}), 1u);
    deliver();
    sync_apply();
    const auto here = category_paths();
    EXPECT_EQ(here.count({"t"}), 0u);
    EXPECT_EQ(here.count({"u", "c"}), 1u);
    ASSERT_EQ(scheduled_items().size(), 1u);
    EXPECT_EQ(category_names_from_top(scheduled_items()[0]->ctgr), std::vector<std::string>{"u"});
    close();
    write_file(other_view.file(change_log_name(third_id)), read_file(folder.file(change_log_name(third_id))));
    open(other, other_id, &other_view);
    EXPECT_EQ(category_paths(), here);
    close();
}

// A full disk refuses the grades' lines: they wait in memory and go in at the close, once.
TEST_F(SyncApplyTest, GradeLinesTheDiskRefusesWaitAndGoInOnce)
{
    for (int session = 0; session < 3; ++session)
        other_session(session);
    deliver();
    temp_dir mine;
    set_local_clock(2026, 2, 1, 9);
    ASSERT_FALSE(holds_any(ma_init(mine.path().c_str()), init_status::dir_not_accessible));
    ma_nn_init();
    fail_file_operations({{file_op::write, "reviews.log", ENOSPC}});
    sync_summary s;
    ASSERT_EQ(sync_open(folder.path(), my_id, &s), sync_open_status::opened);
    EXPECT_EQ(grade_lines(mine.file("reviews.log")), 0u);
    EXPECT_EQ(held_review_count(), 6u);
    EXPECT_FALSE(s.conflicts.empty());
    fail_file_operations({});
    close();
    EXPECT_EQ(grade_lines(mine.file("reviews.log")), 6u);
    open(mine, my_id);
    close();
    EXPECT_EQ(grade_lines(mine.file("reviews.log")), 6u);
}
