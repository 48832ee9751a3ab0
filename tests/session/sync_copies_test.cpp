// One collection held by two computers before it met the sync folder (a data directory copied,
// or sync.state lost): each item stays one item on every computer.
#include <filesystem>

#include "session/item_edits.h"
#include "session/sync_conflicts.h"
#include "session/sync_same_items.h"
#include "sync_fixture.h"

constexpr uint64_t other_id = 0x0b0b000000000002ULL;
constexpr uint64_t my_id = 0x0a0a000000000001ULL;

class SyncCopiesTest : public sync_fixture {
protected:
    temp_dir mine, other;  // the two data directories
};

// A collection used alone, copied to a second computer, and used on both before either took the
// folder: each item stays one, whether the second starts from the first's snapshot or its log,
// and again when its sync.state is lost later.
TEST_F(SyncCopiesTest, ACollectionCopiedBeforeSyncingStaysOneCollection)
{
    for (const bool from_snapshot : {true, false}) {
        SCOPED_TRACE(from_snapshot ? "from the snapshot" : "from the log");
        temp_dir first, second, first_view, second_view;
        set_local_clock(2026, 1, 1, 9);
        open_unsynced(first);
        for (const char* q : {"one", "two", "three"})
            static_cast<void>(add_reviewed(4, q, "answer", 0));
        add_test_pending(0, "queued", "answer");
        close();
        for (const auto& entry : std::filesystem::directory_iterator(first.path()))
            if (entry.is_regular_file())
                std::filesystem::copy_file(entry.path(), second.path() + entry.path().filename().string());
        const auto session = [](const temp_dir& data, int day, const char* graded, const char* edited) {
            set_local_clock(2026, 1, day, 9);
            open_unsynced(data);
            static_cast<void>(grade_reviewed(item_named(graded), 5, review_screen::scheduled));
            if (edited)
                change_texts(item_named(edited), edited, "answer, edited");
            close();
        };
        session(first, 3, "one", nullptr);
        session(second, 4, "two", "three");
        set_local_clock(2026, 1, 5, 9);
        static_cast<void>(open(first, first_view.path(), other_id));
        close();
        deliver(first_view, second_view, change_log_name(other_id));
        if (from_snapshot)
            deliver(first_view, second_view, snapshot_name(other_id));
        set_local_clock(2026, 1, 6, 9);
        const sync_summary joined = open(second, second_view.path(), my_id);
        EXPECT_EQ(joined.adopted, 0u);
        const collection_image there = image_of_open_database();
        const std::optional<lost_texts> lost = lost_edit_of(item_named("three"));
        close();
        EXPECT_EQ(std::tuple(there.items.size(), there.queue.size()), std::tuple(size_t{3}, size_t{1}));
        EXPECT_EQ(std::get<8>(there.items.at("one")), 5) << "graded there later";
        EXPECT_EQ(std::get<8>(there.items.at("two")), 5) << "graded here later";
        EXPECT_EQ(std::get<0>(there.items.at("three")), "answer");
        EXPECT_EQ(lost ? lost->answer : "", "answer, edited");
        deliver(second_view, first_view, change_log_name(my_id));
        EXPECT_EQ(image_at(first, first_view.path(), other_id), there);
        // sync.state lost after the makings were trimmed from the log: the snapshots still name them.
        write_file(second.file(sync_state_name), "damaged");
        std::filesystem::remove(second_view.file(change_log_name(other_id)));
        open_unsynced(second);
        sync_summary again;
        EXPECT_EQ(sync_open(second_view.path(), my_id, &again), sync_open_status::state_damaged);
        EXPECT_EQ(std::tuple(db().item_count, db().pending_count, again.adopted), std::tuple(size_t{3}, size_t{1}, size_t{0}));
        close();
    }
}

// The record here an arriving making takes, in turn: both texts, or one no other record has.
TEST_F(SyncCopiesTest, AnItemMadeAgainTakesTheRecordItsTextsName)
{
    open_unsynced(mine);
    const auto here = [](uint32_t id, const char* q, const char* a = "yes") {
        item* e = add_test_item(1, 0, 1, q, a);
        e->id = id;
        return e;
    };
    const item* one = here(7, "one");
    const item* two = here(7, "two");
    const item* three = here(8, "three");
    here(7, "two", "no");
    const pending_item* queued = add_test_pending(0, "queued", "yes");
    gather_unrecorded();
    const struct {
        change_kind kind;
        uint32_t id;
        const char *question, *answer;
        const void* taken;
    } rows[] = {
        {change_kind::add_item, 7, "one, edited", "yes", nullptr},  // two records have the answer
        {change_kind::add_item, 7, "two", "maybe", nullptr},  // two records have the question
        {change_kind::add_item, 7, "two", "yes", two},  // each text alone names two
        {change_kind::add_item, 9, "three", "yes", nullptr},  // another id
        {change_kind::add_item, 7, "one, edited", "yes", one},  // the only one left with it
        {change_kind::add_item, 8, "three", "yes", three},
        {change_kind::queue_add, 0, "queued", "no", queued},
        {change_kind::queue_add, 0, "queued", "yes", nullptr},  // taken
    };
    for (const auto& row : rows) {
        change_record r;
        r.kind = row.kind;
        r.schedule.id = row.id;
        r.question = row.question;
        r.answer = row.answer;
        EXPECT_EQ(take_unrecorded_match(r, 0), row.taken) << row.question << " / " << row.answer;
    }
    static_cast<void>(finish_unrecorded());
    close();
}

// Two copies of one collection that both took the folder before either's records reached the
// other, and a third computer joining later: one item each on all three, and a change either
// copy's computer makes reaches the others, across restarts and from a snapshot.
TEST_F(SyncCopiesTest, CopiesRecordedOnTwoComputersMeetAsOneItem)
{
    constexpr uint64_t third_id = 0x0c0c000000000003ULL;
    temp_dir views[3], third;
    const temp_dir* data[] = {&other, &mine, &third};
    const uint64_t ids[] = {other_id, my_id, third_id};
    const auto session = [&](int c, int day, const char* graded) {
        set_local_clock(2026, 1, day, 9 + c);
        static_cast<void>(open(*data[c], views[c].path(), ids[c]));
        if (graded)
            static_cast<void>(grade_reviewed(item_named(graded), 5, review_screen::scheduled));
        const std::tuple<collection_image, size_t> held{image_of_open_database(), db().item_count};
        close();
        return held;
    };
    const auto exchange = [&] {
        for (int from = 0; from < 2; ++from)
            for (int to = 0; to < 3; ++to)
                if (to != from)
                    for (const std::string& name : {change_log_name(ids[from]), snapshot_name(ids[from])})
                        if (file_exists(views[from].file(name)))
                            deliver(views[from], views[to], name);
    };
    set_local_clock(2026, 1, 1, 9);
    open_unsynced(other);
    for (const char* q : {"one", "two", "three"})
        static_cast<void>(add_reviewed(4, q, "answer", 0));
    close();
    for (const char* name : {"elements.bin", "queue.txt"})
        std::filesystem::copy_file(other.file(name), mine.file(name));
    static_cast<void>(session(0, 2, "one"));
    static_cast<void>(session(1, 2, "two"));
    exchange();
    const auto first = session(0, 3, nullptr);
    EXPECT_EQ(std::get<1>(first), 3u);
    EXPECT_EQ(session(1, 3, nullptr), first);
    static_cast<void>(session(1, 3, "three"));
    exchange();
    const auto joined = session(2, 4, nullptr);
    EXPECT_EQ(std::get<1>(joined), 3u);
    EXPECT_EQ(session(0, 4, nullptr), joined);
    for (const char* graded : {"one", "two", "three"})
        EXPECT_EQ(std::get<8>(std::get<0>(joined).items.at(graded)), 5) << graded;
    // Each names the item by its own key: the joiner knows both from the snapshot.
    static_cast<void>(session(0, 9, "two"));
    static_cast<void>(session(1, 9, "one"));
    exchange();
    const auto later = session(2, 10, nullptr);
    EXPECT_NE(later, joined);
    EXPECT_EQ(session(0, 10, nullptr), later);
    EXPECT_EQ(session(1, 10, nullptr), later);
}

// Which recorded item a second making names: another computer's copy with the same id and texts,
// the least key of several, and none that the maker's own copy already names.
TEST_F(SyncCopiesTest, ASecondMakingNamesAnotherComputersCopy)
{
    constexpr uint64_t a = 1, b = 2, c = 3;
    open_unsynced(mine);
    const auto recorded = [](const char* answer, item_key key) {
        item* e = add_test_item(1, 0, 1, "one", answer);
        e->id = 7;
        item_marks m;
        m.key = key;
        bind_record(e, m);
        return e;
    };
    const item* of_a = recorded("yes", {a, 1});
    const item* of_b = recorded("yes", {b, 2});
    recorded("no", {a, 3});
    forget_copies();
    const struct {
        item_key made;
        uint32_t id;
        const char* answer;
        const void* named;
    } rows[] = {
        {{a, 9}, 7, "yes", of_b},  // not a's own
        {{c, 1}, 7, "yes", of_a},  // the least key
        {{c, 2}, 8, "yes", nullptr},
        {{c, 3}, 7, "maybe", nullptr},
        {{b, 9}, 7, "yes", of_a},
    };
    for (const auto& row : rows) {
        change_record r;
        r.kind = change_kind::add_item;
        r.item = row.made;
        r.schedule.id = row.id;
        r.question = "one";
        r.answer = row.answer;
        EXPECT_EQ(recorded_copy(r, 0), row.named) << row.made.computer << "/" << row.made.number;
    }
    note_copy({b, 9}, {a, 1});
    change_record again;
    again.kind = change_kind::add_item;
    again.item = {b, 10};
    again.schedule.id = 7;
    again.question = "one";
    again.answer = "yes";
    EXPECT_EQ(recorded_copy(again, 0), nullptr) << "b's copy names a's already";
    close();
}

// A whole system copied, computer id and all, and used on both sides: the service keeps one
// side's log. The other side finds records it did not write under its id, at its next append or
// its next start, and parts under an id of its own with nothing of either side lost, also when
// the log's head was trimmed (the two alone in the folder: nothing else holds those records).
TEST_F(SyncCopiesTest, ASystemCopiedWithItsIdPartsFromTheCopy)
{
    for (const bool while_open : {true, false}) {
        SCOPED_TRACE(while_open ? "found at an append" : "found at the start, past a trim");
        temp_dir a, b, view_a, view_b;
        set_local_clock(2026, 1, 1, 9);
        adding(a, view_a, my_id, {"one", "two"});
        const int day = while_open ? 1 : 20;
        if (!while_open) {
            set_local_clock(2026, 1, day, 9);
            static_cast<void>(open(a, view_a.path(), my_id));
            static_cast<void>(grade_reviewed(item_named("two"), 4, review_screen::scheduled));
            close();
            ASSERT_EQ(log_of(view_a, my_id).records.front().sequence, 3u) << "trimmed";
        }
        for (const temp_dir* from : {&a, &view_a})
            for (const auto& entry : std::filesystem::directory_iterator(from->path()))
                if (entry.is_regular_file())
                    std::filesystem::copy_file(entry.path(), (from == &a ? b : view_b).path() + entry.path().filename().string());
        set_local_clock(2026, 1, day + 1, 9);
        adding(b, view_b, my_id, {"made on the copy"});
        set_local_clock(2026, 1, day + 1, 10);
        static_cast<void>(open(a, view_a.path(), my_id));
        static_cast<void>(add_reviewed(4, "made here", "answer", 0));
        if (!while_open)
            close();
        // As a service puts its version in place: a new file renamed over the log.
        const std::string log = change_log_name(my_id);
        write_file(view_a.file(log + ".tmp"), read_file(view_b.file(log)));
        std::filesystem::rename(view_a.file(log + ".tmp"), view_a.file(log));
        const std::string kept_there = read_file(view_a.file(log));
        set_local_clock(2026, 1, day + 1, 11);
        if (!while_open) {
            open_unsynced(a);
            EXPECT_EQ(sync_open(view_a.path(), my_id, nullptr), sync_open_status::another_writer);
        }
        // Kept for the log while open: sent under the new id, the second would name the copy's item.
        for (const char* graded : {"one", "made here"})
            static_cast<void>(grade_reviewed(item_named(graded), 5, review_screen::scheduled));
        if (while_open) {
            EXPECT_EQ(sync_take_problem().status, change_append_status::another_writer);
            sync_leave();
        }
        EXPECT_EQ(read_file(view_a.file(log)), kept_there) << "the copy's records stay as they are";
        EXPECT_EQ(sync_open(view_a.path(), other_id, nullptr, sync_state_use::rebuilt), sync_open_status::state_damaged);
        const collection_image here = image_of_open_database();
        close();
        EXPECT_EQ(here.items.size(), 4u);
        for (const char* graded : {"one", "made here"})
            EXPECT_EQ(std::get<8>(here.items.at(graded)), 5) << graded;
        deliver(view_a, view_b, change_log_name(other_id));
        EXPECT_EQ(image_at(b, view_b.path(), my_id), here);
        EXPECT_EQ(image_at(a, view_a.path(), other_id), here) << "the new state holds at the next start";
    }
}
