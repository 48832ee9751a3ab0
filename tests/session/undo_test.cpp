#include <filesystem>
#include <tuple>

#include "ann/ann_files.h"
#include "platform/crt_rand.h"
#include "session/choose.h"
#include "session/grading.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace fs = std::filesystem;

namespace {

// Everything of the open database and network that a grade may touch, by value, with the
// items' addresses so that "the same place" means the same record.
struct memory_image {
    std::vector<std::string> items;  // address and fields of each scheduled item, in list order
    std::vector<std::string> queue;  // texts and category of each queue item, in file order
    std::vector<ann_case> cases;
    std::array<float, ann_weight_count> weights{};
    std::tuple<uint32_t, uint32_t, std::string, float, float> counts;  // items, queue, tail, rate, error
    bool operator==(const memory_image&) const = default;
};

memory_image image()
{
    memory_image m;
    for (const item* e : scheduled_items())
        m.items.push_back(::testing::PrintToString(std::tuple(static_cast<const void*>(e), e->question.str(),
            e->answer.str(), e->id, e->tmtrpt, e->stmtrpt, e->ctgr, e->livl, e->rllivl, e->ivl, e->rp, e->gr, e->failed_day,
            e->failed_times)));
    for (const pending_item* p : pending_items())
        m.queue.push_back(::testing::PrintToString(std::tuple(std::string(p->question), std::string(p->answer), p->ctgr)));
    const ann_state& s = ann_globals();
    for (uint32_t i = 0; i < s.case_count; ++i)
        m.cases.push_back(*case_at(i));
    m.weights = s.ann_weights;
    m.counts = {db().item_count, db().pending_count, db().pending_tail ? db().pending_tail->question.str() : "",
        s.learning_rate, s.test_error};
    return m;
}

// The files of a data directory, by name; the backups are dated, so they are left out.
std::map<std::string, std::string> files_of(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        // The review log keeps the undone grades as records; the figures kept beside it and the
        // error log follow it.
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with("reviews.log")
            && entry.path().filename() != "error.log")
            files[entry.path().filename()] = read_file(entry.path());
    return files;
}

class UndoTest : public clean_state_test {
protected:
    // A database of a learner two months in: items of every age, a queue, user cases.
    void SetUp() override
    {
        clean_state_test::SetUp();
        crt_srand(3);
        ASSERT_EQ(ma_init(base.path().c_str()), init_status::new_database);
        ma_nn_init();
        for (unsigned day = 0; day < 60; ++day) {
            go_to_day(day);
            for (int i = 0; i < 4; ++i)
                create_item(static_cast<uint16_t>(day * 7 + i) % 6, ("q" + std::to_string(day * 4 + i)).c_str(),
                    "a", 0);
            // Failed items come back the same day; a few of them stay due overnight.
            for (int n = 0; n < 40; ++n)
                if (item* e = choose_next_item(nullptr, 0))
                    grade_item(e, static_cast<uint16_t>(e->id / 86400 + e->rp + n) % 6);
        }
        for (int i = 0; i < 12; ++i)
            add_test_pending(0, "queued " + std::to_string(i), "answer " + std::to_string(i));
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
    }

    // Runs `session` on one copy of the database and nothing on another, closes both and
    // compares every file; the session must also leave the memory as it found it.
    void expect_no_trace(unsigned day, const std::function<void()>& session)
    {
        const copy_of with(base.path()), without(base.path());
        go_to_day(day);
        ASSERT_EQ(ma_init(with.path().c_str()), init_status::from_bin);
        ma_nn_init();
        const memory_image before = image();
        session();
        EXPECT_TRUE(image() == before) << "the memory differs after the undo";
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);

        ASSERT_EQ(ma_init(without.path().c_str()), init_status::from_bin);
        ma_nn_init();
        ASSERT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        const auto a = files_of(with.path()), b = files_of(without.path());
        for (const auto& [name, bytes] : b)
            EXPECT_TRUE(a.contains(name) && a.at(name) == bytes) << name << " differs";
        EXPECT_EQ(a.size(), b.size());
        EXPECT_TRUE(file_exists(with.file("reviews.log")));
    }

    temp_dir base;
};

}  // namespace

TEST_F(UndoTest, AnUndoneGradeLeavesNoTraceInMemoryOrFiles)
{
    // A forced review of an item not yet due, undone the next day.
    expect_no_trace(61, [&] {
        item* e = const_cast<item*>(scheduled_items().back());
        ASSERT_GT(e->tmtrpt, 61);
        grade_reviewed(e, 0, review_screen::forced);
        go_to_day(62);
        EXPECT_EQ(undo_last_grade().restored_item, e);
        EXPECT_FALSE(undo_last_grade().undone);
    });

    // Queue introductions in a random order, undone latest first: each queue item comes back
    // to its old place, though its neighbours were introduced and brought back too.
    expect_no_trace(61, [&] {
        for (int position : {5, 0, 9, 4}) {
            pending_item* p = db().pending_head;
            for (int n = 0; n < position; ++n)
                p = p->next;
            introduce_reviewed(static_cast<uint16_t>(position % 6), p);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_NE(undo_last_grade().restored_pending, nullptr);
    });

    // A whole session stepped back, some grades undone at once; one at least taught the network a case.
    bool case_appended = false;
    expect_no_trace(61, [&] {
        for (int i = 0; i < 30; ++i) {
            item* e = choose_next_item(nullptr, i % 3 == 0 ? 1 : 0);
            ASSERT_NE(e, nullptr);
            const uint32_t cases = ann_globals().case_count;
            grade_reviewed(e, static_cast<uint16_t>(i % 6), i % 3 == 0 ? review_screen::forced : review_screen::scheduled);
            case_appended = case_appended || ann_globals().case_count > cases;
            if (i % 5 == 0) {
                const undo_result r = undo_last_grade();
                EXPECT_TRUE(r.restored_item == e && r.network_restored) << i;
            }
        }
        introduce_reviewed(4, db().pending_head);
        grade_reviewed(db().head, 3, review_screen::scheduled);
        int undone = 0;
        while (undo_last_grade().undone)
            ++undone;
        EXPECT_EQ(undone, 26);
    });
    EXPECT_TRUE(case_appended);
}
