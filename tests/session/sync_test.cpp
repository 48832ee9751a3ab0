// Three computers and one sync folder: each computer sees the folder through a view of its own,
// into which a simulated sync service copies the other computers' logs in random order, in
// pieces, late, twice and beside conflict copies. Once everything is delivered, every computer
// must hold the same items, schedules and categories, and have applied every grade once.
#include "session/sync.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "ann/ann_files.h"
#include "database/days.h"
#include "session/browse.h"
#include "session/item_edits.h"
#include "session/lifecycle.h"
#include "session/undo.h"
#include "support/database_helpers.h"

namespace fs = std::filesystem;

namespace {

// Sessions in `make test`; `make sync-soak` runs many more through CARDWRIGHT_SYNC_SESSIONS.
int session_count()
{
    const char* v = std::getenv("CARDWRIGHT_SYNC_SESSIONS");
    return v ? std::atoi(v) : 240;
}

// Hundreds of sessions append and save thousands of times, each synced to the disk: on a
// memory file system where there is one, so that the test takes seconds, not minutes.
class memory_tmpdir {
public:
    memory_tmpdir()
    {
        if (const char* t = std::getenv("TMPDIR"))
            old_ = t;
        if (fs::is_directory("/dev/shm"))
            ::setenv("TMPDIR", "/dev/shm", 1);
    }
    ~memory_tmpdir()
    {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> old_;
};

struct computer {
    uint64_t id = 0;
    temp_dir data;  // its data directory
    temp_dir view;  // the sync folder as this computer sees it
    size_t own_grades = 0;  // grades given here that are not in a grade record (the add screen's)
    size_t dropped_grades = 0;  // grades of items deleted here, dropped as the README says
};

// Everything that must agree between computers, by item identity rather than by address.
struct collection_image {
    std::map<std::string, std::tuple<std::string, std::string, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t,
        uint16_t, uint16_t, uint32_t>>
        items;  // by question (unique in this test): answer, path, schedule in days since 1970, id
    std::map<std::string, std::tuple<std::string, std::string>> queue;  // by question: answer, path
    std::set<std::string> categories;  // every path
    bool operator==(const collection_image&) const = default;
};

std::string path_text(uint16_t c)
{
    std::string s;
    for (const std::string& n : category_names_from_top(c))
        s += "/" + n;
    return s;
}

collection_image image_of_open_database()
{
    collection_image m;
    // Days since 1970 of the database's day 0 (the zone is UTC): databases begin on different days.
    const auto shift = static_cast<uint16_t>(db().time_of_start / 86400);
    for (const item* e : scheduled_items())
        m.items[e->question.str()] = {e->answer.str(), path_text(e->ctgr), static_cast<uint16_t>(e->tmtrpt + shift),
            static_cast<uint16_t>(e->stmtrpt + shift), e->ivl, e->livl, e->rllivl, e->rp, e->gr, e->id};
    for (const pending_item* p : pending_items())
        m.queue[p->question.str()] = {p->answer.str(), path_text(p->ctgr)};
    for (uint16_t c = 0; c < category_count(); ++c)
        m.categories.insert(path_text(c));
    return m;
}

std::string describe(int) { return {}; }
template <typename... T>
std::string describe(const std::tuple<T...>& t)
{
    std::string out;
    std::apply([&](const auto&... field) { ((out += ::testing::PrintToString(field) + " "), ...); }, t);
    return out;
}

// The first few entries in which two images differ, for the failure message.
template <typename Map>
std::string difference(const Map& a, const Map& b, const char* what)
{
    std::string out;
    int shown = 0;
    for (const auto& [key, value] : a) {
        const auto it = b.find(key);
        if ((it == b.end() || !(it->second == value)) && shown++ < 5)
            out += std::string(what) + " " + key + (it == b.end() ? " missing\n" : " differs: " + describe(value) + " | " + describe(it->second) + "\n");
    }
    for (const auto& [key, value] : b)
        if (a.find(key) == a.end() && shown++ < 10)
            out += std::string(what) + " " + key + " extra\n";
    return out;
}

std::string difference(const collection_image& a, const collection_image& b)
{
    std::map<std::string, int> ca, cb;
    for (const std::string& c : a.categories)
        ca[c] = 0;
    for (const std::string& c : b.categories)
        cb[c] = 0;
    return difference(a.items, b.items, "item") + difference(a.queue, b.queue, "queued") + difference(ca, cb, "category");
}

size_t grade_events(const std::string& reviews_log)
{
    const std::string bytes = file_exists(reviews_log) ? read_file(reviews_log) : std::string();
    size_t n = 0;
    for (size_t at = 0; at + 24 <= bytes.size(); at += 24)
        n += bytes[at + 23] == 0 ? 1 : 0;
    return n;
}

// Grade records in a computer's complete log.
size_t grade_records(const computer& c)
{
    const change_log_read read = read_change_log(read_file(c.view.file(change_log_name(c.id))));
    size_t n = 0;
    for (const change_record& r : read.records)
        n += r.kind == change_kind::grade ? 1 : 0;
    return n;
}

class SyncTest : public clean_state_test {
protected:
    void TearDown() override
    {
        sync_close();
        clean_state_test::TearDown();
    }

    sync_summary open(computer& c)
    {
        EXPECT_FALSE(holds_any(ma_init(c.data.path().c_str()), init_status::dir_not_accessible));
        ma_nn_init();
        sync_summary s;
        EXPECT_EQ(sync_open(c.view.path(), c.id, &s), sync_open_status::opened);
        for (const std::string& line : s.conflicts)
            c.dropped_grades += line.rfind("a grade", 0) == 0 && line.find("was dropped") != std::string::npos ? 1 : 0;
        return s;
    }

    void close()
    {
        EXPECT_EQ(ma_deinit(close_mode::complete), deinit_status::done);
        sync_close();
        EXPECT_FALSE(sync_take_problem());
    }

    // What a sync service does between sessions: a random piece of a random log reaches a random
    // other view, sometimes again, sometimes as a conflict copy of an older state.
    void deliver_some(std::mt19937& rng, std::vector<std::unique_ptr<computer>>& all, bool everything)
    {
        for (auto& from : all) {
            const std::string source = from->view.file(change_log_name(from->id));
            if (!file_exists(source))
                continue;
            const std::string bytes = read_file(source);
            for (auto& to : all) {
                if (to == from)
                    continue;
                const std::string target = to->view.file(change_log_name(from->id));
                const size_t have = file_exists(target) ? read_file(target).size() : 0;
                if (everything) {
                    write_file(target, bytes);
                    continue;
                }
                switch (rng() % 6) {
                case 0:
                case 1: break;  // late: nothing this time
                case 2: write_file(target, bytes); break;
                case 3: write_file(target, bytes.substr(0, have)); break;  // the same again
                case 4:
                    // A conflict copy of an older state beside the log.
                    write_file(to->view.file("changes-" + change_log_name(from->id).substr(8, 16) + ".sync-conflict-"
                                   + std::to_string(rng() % 1000) + ".log"),
                        bytes.substr(0, rng() % (bytes.size() + 1)));
                    break;
                default:
                    // Half-way, cutting a record: the service has not finished the file.
                    write_file(target, bytes.substr(0, have + rng() % (bytes.size() - have + 1)));
                }
            }
        }
    }

    // One session of random changes on the open database.
    void random_session(std::mt19937& rng, computer& c, int& made)
    {
        const uint16_t today = day_number(0);
        const int actions = 3 + static_cast<int>(rng() % 10);
        for (int a = 0; a < actions; ++a) {
            std::vector<item*> items;
            for (item* e = db().head; e; e = e->next)
                items.push_back(e);
            std::vector<pending_item*> queue;
            for (pending_item* p = db().pending_head; p; p = p->next)
                queue.push_back(p);
            item* e = items.empty() ? nullptr : items[rng() % items.size()];
            pending_item* p = queue.empty() ? nullptr : queue[rng() % queue.size()];
            const uint16_t some_category = static_cast<uint16_t>(rng() % category_count());
            const auto grade = static_cast<uint16_t>(rng() % 6);
            const std::string name = std::to_string(c.id % 7) + "-" + std::to_string(++made);
            switch (rng() % 16) {
            case 0:
            case 1:
            case 2:
            case 3:
                if (e)
                    grade_reviewed(e, grade, review_screen::scheduled);
                break;
            case 4:
                if (p)
                    introduce_reviewed(grade, p);
                break;
            case 5:
                add_reviewed(grade, ("q" + name).c_str(), "a", some_category);
                ++c.own_grades;
                break;
            case 6: {
                pending_item* n = new_pending_item();
                n->question = "p" + name;
                n->answer = "b";
                n->ctgr = some_category;
                append_pending(n);
                sync_note_import("queue.txt", 1);
                break;
            }
            case 7: static_cast<void>(undo_last_grade()); break;
            case 8:
                if (e)
                    change_texts(e, std::string(e->question.view()), "edited " + name);
                else if (p)
                    change_texts(p, std::string(p->question), "edited " + name);
                break;
            case 9:
                if (e)
                    move_to(e, some_category);
                break;
            case 10:
                forget_undo();
                if (e && rng() % 3 == 0)
                    delete_scheduled_item(e);
                else if (p)
                    delete_queued_item(p);
                break;
            case 11:
                forget_undo();
                if (e)
                    forget_item(e, today);
                break;
            case 12:
                forget_undo();
                if (e)
                    reschedule_today(e, today);
                break;
            case 13: static_cast<void>(create_user_category("c" + name, rng() % 2 ? -1 : some_category)); break;
            case 14:
                // Renamed and deleted while empty: categories that items go into are not renamed.
                if (const category_made t = create_user_category("t" + name, -1); t.result == category_edit::done) {
                    static_cast<void>(rename_user_category(t.index, "u" + name));
                    if (rng() % 2) {
                        forget_undo();
                        static_cast<void>(delete_user_category(t.index));
                    }
                }
                break;
            default:
                if (p)
                    move_to(p, some_category);
            }
        }
    }
};

}  // namespace

TEST_F(SyncTest, ThreeComputersAgreeOnceEverythingIsDelivered)
{
    const char* seed = std::getenv("CARDWRIGHT_SYNC_SEED");
    std::mt19937 rng(seed ? static_cast<unsigned>(std::atoi(seed)) : 20261207u);
    const memory_tmpdir in_memory;
    std::vector<std::unique_ptr<computer>> all;
    for (uint64_t id : {0x1111000000000001ULL, 0x2222000000000002ULL, 0x3333000000000003ULL}) {
        all.push_back(std::make_unique<computer>());
        all.back()->id = id;
    }
    int made = 0;
    const int sessions = session_count();
    size_t arrived = 0;
    size_t conflict_copies = 0;
    for (int s = 0; s < sessions; ++s) {
        computer& c = *all[rng() % all.size()];
        // A few sessions a day, on clocks that run minutes apart.
        const time_t t = 1768478400 + (s / 6) * 86400 + static_cast<time_t>(rng() % 600);
        tm date{};
        gmtime_r(&t, &date);
        set_local_clock(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec);
        const sync_summary summary = open(c);
        arrived += summary.arrived;
        conflict_copies += summary.conflict_copies.size();
        random_session(rng, c, made);
        close();
        deliver_some(rng, all, false);
    }
    deliver_some(rng, all, true);
    std::vector<collection_image> images;
    for (auto& c : all) {
        const sync_summary last = open(*c);
        EXPECT_EQ(last.waiting, 0u);
        EXPECT_EQ(last.adopted, 0u);
        images.push_back(image_of_open_database());
        close();
    }
    EXPECT_GT(arrived, 0u);
    EXPECT_GT(conflict_copies, 0u);
    EXPECT_GT(images[0].items.size(), 10u);
    EXPECT_TRUE(images[0] == images[1]) << difference(images[0], images[1]);
    EXPECT_TRUE(images[0] == images[2]) << difference(images[0], images[2]);
    size_t all_grades = 0;
    for (auto& c : all)
        all_grades += grade_records(*c);
    for (auto& c : all)
        EXPECT_EQ(grade_events(c->data.file("reviews.log")) + c->dropped_grades, all_grades + c->own_grades)
            << std::hex << c->id;
}
