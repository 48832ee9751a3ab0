#pragma once
// Computers sharing a sync folder, one open at a time, each through a view of its own into which
// the tests copy the others' files as a sync service would.
#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <tuple>

#include "ann/ann_files.h"
#include "formats/sync_snapshot.h"
#include "session/review_log.h"
#include "support/database_helpers.h"
#include "support/sync_changes.h"

// What must agree between computers, by item identity rather than by address.
struct collection_image {
    std::map<std::string, std::tuple<std::string, std::string, uint32_t, uint32_t, uint16_t, uint16_t, uint16_t,
        uint16_t, uint16_t, uint32_t>>
        items;  // by question (unique in these tests): answer, path, schedule in days since 1970, id
    std::map<std::string, std::tuple<std::string, std::string>> queue;  // by question: answer, path
    std::set<std::string> categories;  // every path
    bool operator==(const collection_image&) const = default;
    friend void PrintTo(const collection_image& m, std::ostream* os)
    {
        *os << ::testing::PrintToString(std::tie(m.items, m.queue, m.categories));
    }
};

// What tells two images apart, entry by entry: gtest cuts long maps short.
inline std::string differences(const collection_image& a, const collection_image& b)
{
    std::string out;
    const auto missing = [&out](const auto& from, const auto& in, const char* side) {
        for (const auto& entry : from)
            if (std::ranges::find(in, entry) == in.end())
                out += std::string("\n") + side + ::testing::PrintToString(entry);
    };
    for (const auto& [x, y, side] : {std::tuple(&a, &b, "only left: "), std::tuple(&b, &a, "only right: ")}) {
        missing(x->items, y->items, side);
        missing(x->queue, y->queue, side);
        missing(x->categories, y->categories, side);
    }
    return out;
}

inline std::string path_text(uint16_t c)
{
    std::string s;
    for (const std::string& n : category_names_from_top(c))
        s += "/" + n;
    return s;
}

inline collection_image image_of_open_database()
{
    collection_image m;
    // Days since 1970, not modulo 2^16 as records carry them: databases begin on different days.
    const uint32_t shift = db().time_of_start / 86400;
    for (const item* e : scheduled_items())
        m.items[e->question.str()] = {e->answer.str(), path_text(e->ctgr), e->tmtrpt + shift, e->stmtrpt + shift, e->ivl,
            e->livl, e->rllivl, e->rp, e->gr, e->id};
    for (const pending_item* p : pending_items())
        m.queue[p->question.str()] = {p->answer.str(), path_text(p->ctgr)};
    for (uint16_t c = 0; c < category_count(); ++c)
        m.categories.insert(path_text(c));
    return m;
}

// A record written by hand into a computer's log, as another computer would have made it.
struct stamped {
    change_kind kind;
    std::vector<std::string> path;
    uint64_t stamp;
    std::string text = {};  // the new name of a rename
};
inline stamped made(std::vector<std::string> path, uint64_t stamp) { return {change_kind::category_make, std::move(path), stamp}; }
inline stamped renamed(std::vector<std::string> path, uint64_t stamp, std::string to)
{
    return {change_kind::category_rename, std::move(path), stamp, std::move(to)};
}
inline stamped deleted(std::vector<std::string> path, uint64_t stamp) { return {change_kind::category_delete, std::move(path), stamp}; }
inline stamped added(std::vector<std::string> path, uint64_t stamp) { return {change_kind::add_item, std::move(path), stamp}; }

class sync_fixture : public clean_state_test {
protected:
    void TearDown() override
    {
        sync_close();
        clean_state_test::TearDown();
    }

    // Opens `data` as computer `id` on the folder seen at `view`, applying what arrived.
    static sync_summary open(const temp_dir& data, const std::string& view, uint64_t id, bool away = false)
    {
        open_unsynced(data);
        sync_summary s;
        EXPECT_EQ(sync_open(view, id, away ? nullptr : &s), away ? sync_open_status::no_folder : sync_open_status::opened);
        return s;
    }

    static void open_unsynced(const temp_dir& data)
    {
        EXPECT_FALSE(holds_any(ma_init(data.path().c_str()), init_status::dir_not_accessible));
        ma_nn_init();
    }

    static void close()
    {
        EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        sync_close();
    }

    // A session of computer `id` that adds these items (graded 4 on the add screen) and closes.
    static void adding(const temp_dir& data, const temp_dir& view, uint64_t id, std::initializer_list<const char*> questions)
    {
        static_cast<void>(open(data, view.path(), id));
        for (const char* question : questions)
            static_cast<void>(add_reviewed(4, question, "answer", 0));
        close();
    }

    static collection_image image_at(const temp_dir& data, const std::string& view, uint64_t id)
    {
        static_cast<void>(open(data, view, id));
        const collection_image image = image_of_open_database();
        close();
        return image;
    }

    // The folder seen at `view` goes (a share unmounted, a drive pulled out), or comes back.
    static void take_away(const temp_dir& view, bool away)
    {
        const std::string gone = view.path().substr(0, view.path().size() - 1) + ".away";
        away ? std::filesystem::rename(view.path(), gone) : std::filesystem::rename(gone, view.path());
    }

    static size_t grade_lines(const temp_dir& data)
    {
        const std::vector<review_record> log = read_review_log(data.file(review_log_name)).records;
        return static_cast<size_t>(std::ranges::count(log, review_event::grade, &review_record::event));
    }

    static void deliver(const temp_dir& from, const temp_dir& to, const std::string& name)
    {
        write_file(to.file(name), read_file(from.file(name)));
    }

    static void write_records(const temp_dir& view, uint64_t id, const std::vector<stamped>& records)
    {
        change_log_writer w(view.file(change_log_name(id)), id);
        for (const stamped& s : records) {
            change_record r;
            r.kind = s.kind;
            r.path = s.path;
            r.text = s.text;
            if (s.kind == change_kind::add_item) {
                r.item = {id, w.next_sequence()};
                r.question.assign(1, 'q');
            }
            ASSERT_EQ(w.append(r, s.stamp).status, change_append_status::appended);
        }
    }

    static change_log_read log_of(const temp_dir& view, uint64_t id)
    {
        return read_change_log(read_file(view.file(change_log_name(id))));
    }

    static item* item_named(const std::string& question)
    {
        item* found = nullptr;
        for (item* e = db().head; e; e = e->next)
            found = e->question.str() == question ? e : found;
        EXPECT_NE(found, nullptr) << question;
        return found;
    }
};
