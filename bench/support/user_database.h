#pragma once
// Databases shaped like a user's, for the benchmarks: texts of real lengths, due days spread as
// the grades of years spread them (most ahead, some overdue), categories and a queue. They are
// written to a data directory and read back by ma_init, so that the items lie in memory as the
// reader allocates them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "platform/files.h"
#include "session/lifecycle.h"

namespace bench_data {

// Opens the database in `dir`; a run on a database that did not open would measure nothing.
inline void open_database(const std::string& dir)
{
    if (holds_any(ma_init(dir.c_str()), init_status::dir_not_accessible | init_status::held_by_other)) {
        std::fprintf(stderr, "cannot open the database in %s\n", dir.c_str());
        std::abort();
    }
}

// Saves and closes; a database left unsaved would make the next run measure a stale one.
inline void close_database()
{
    if (ma_deinit(close_mode::complete) == deinit_status::not_saved) {
        std::fprintf(stderr, "cannot save the benchmark's database\n");
        std::abort();
    }
}

// The database was started this many days ago; intervals go up to 2047 days.
constexpr uint16_t days_in_use = 3000;

// Question and answer lengths of vocabulary and fact cards: most short, a long tail.
inline std::string user_text(std::mt19937& random, double median)
{
    std::lognormal_distribution<double> length(std::log(median), 0.8);
    const auto n = static_cast<size_t>(std::clamp(length(random), 2.0, 2000.0));
    std::string text(n, 'a');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
    return text;
}

struct user_options {
    uint32_t items = 100'000;
    uint32_t pending = 500;
    double question_median = 28;  // bytes; with the answer's, about 129 bytes an item in the file
    double answer_median = 42;
};

// Makes a new data directory holding the database and returns its path (ends with '/').
inline std::string make_user_directory(const user_options& o)
{
    const std::string path = make_temp_directory("cardwright-user-bench");
    open_database(path);
    database& d = db();
    d.time_of_start = time_now() - static_cast<uint32_t>(days_in_use) * 86'400u;
    std::mt19937 random(o.items);
    uint16_t categories[20];
    for (int i = 0; i < 20; ++i)
        categories[i] = add_category(("topic " + std::to_string(i)).c_str(), i < 5 ? -1 : categories[i % 5]);

    // Each item was last graded some days into its interval's reach: most are due ahead, the
    // ones whose interval ran out lately are overdue by a few days.
    struct due_item {
        uint16_t tmtrpt, ivl;
    };
    std::vector<due_item> due(o.items);
    std::lognormal_distribution<double> interval(std::log(40.0), 1.0);
    std::uniform_real_distribution<double> since(0.0, 1.1);
    for (due_item& x : due) {
        x.ivl = static_cast<uint16_t>(std::clamp(interval(random), 1.0, 2047.0));
        const auto last = static_cast<uint16_t>(days_in_use - static_cast<uint16_t>(since(random) * x.ivl));
        x.tmtrpt = static_cast<uint16_t>(last + x.ivl);
    }
    std::stable_sort(due.begin(), due.end(), [](const due_item& a, const due_item& b) { return a.tmtrpt < b.tmtrpt; });
    for (uint32_t i = 0; i < o.items; ++i) {
        item* e = new_item();
        e->tmtrpt = due[i].tmtrpt;
        e->stmtrpt = e->tmtrpt;
        e->ivl = due[i].ivl;
        e->livl = static_cast<uint16_t>(due[i].ivl * 2 / 3);
        e->rllivl = e->livl;
        e->ctgr = categories[random() % 20];
        e->rp = static_cast<uint16_t>(1 + random() % 20);
        e->gr = static_cast<uint16_t>(random() % 6);
        e->id = 1'600'000'000u + i;
        e->question = user_text(random, o.question_median);
        e->answer = user_text(random, o.answer_median);
        insert_scheduled(e);  // in day order, so each goes in at the hint
        ++d.item_count;
    }
    for (uint32_t i = 0; i < o.pending; ++i) {
        pending_item* p = new_pending_item();
        p->ctgr = categories[random() % 20];
        p->question = user_text(random, o.question_median);
        p->answer = user_text(random, o.answer_median);
        append_pending(p);
    }
    ma_nn_init();
    close_database();
    return path;
}

// The directory of type `directory` (made from `key`, its path in `path`) that the run makes once
// and keeps until it ends.
template <class directory>
const std::string& made_once(uint32_t key)
{
    static std::map<uint32_t, std::unique_ptr<directory>> made;
    auto& d = made[key];
    if (!d)
        d = std::make_unique<directory>(key);
    return d->path;
}

}  // namespace bench_data
