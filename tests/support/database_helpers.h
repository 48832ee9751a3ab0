#pragma once
// Building small databases for the core tests.
#include <ctime>
#include <filesystem>
#include <set>

#include "database/database.h"
#include "session/lifecycle.h"
#include "session/review_log.h"
#include "support/test_support.h"

// Everything in directory `from` copied into `to`, over what has the same name there.
inline void copy_directory(const std::string& from, const std::string& to)
{
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

// A new directory holding what `from` holds now.
struct copy_of : temp_dir {
    explicit copy_of(const std::string& from) { copy_directory(from, path()); }
};

// A record as reviews.log holds it.
inline std::string review_bytes(const review_record& r)
{
    std::string bytes(review_record_size, '\0');
    encode_review(r, reinterpret_cast<unsigned char*>(bytes.data()));
    return bytes;
}

// Puts a scheduled item in its sorted place, after those of the same day (without the
// one-item exception of insert_scheduled, so that tests read in creation order).
inline item* add_test_item(uint16_t tmtrpt, uint16_t ctgr = 0, uint16_t ivl = 1, std::string question = "q",
    std::string answer = "a")
{
    item* e = new_item();
    e->tmtrpt = tmtrpt;
    e->stmtrpt = tmtrpt;
    e->ctgr = ctgr;
    e->ivl = ivl;
    e->question = std::move(question);
    e->answer = std::move(answer);
    item* at = nullptr;
    for (item* x = db().head; x && x->tmtrpt <= tmtrpt; x = x->next)
        at = x;
    link_scheduled_after(at, e);
    ++db().item_count;
    return e;
}

inline pending_item* add_test_pending(uint16_t ctgr, std::string question, std::string answer = "")
{
    pending_item* p = new_pending_item();
    p->ctgr = ctgr;
    p->question = std::move(question);
    p->answer = std::move(answer);
    append_pending(p);
    return p;
}

inline std::vector<const item*> scheduled_items()
{
    std::vector<const item*> all;
    for (const item* e = db().head; e; e = e->next)
        all.push_back(e);
    return all;
}

inline std::vector<const pending_item*> pending_items()
{
    std::vector<const pending_item*> all;
    for (const pending_item* p = db().pending_head; p; p = p->next)
        all.push_back(p);
    return all;
}

// Everything the user has: the questions of scheduled and pending items.
inline std::multiset<std::string> all_questions()
{
    std::multiset<std::string> all;
    for (const item* e : scheduled_items())
        all.insert(e->question);
    for (const pending_item* p : pending_items())
        all.insert(p->question);
    return all;
}

// A clean state with a new, empty database open in a temporary directory (root category only,
// started at the fixed clock's moment, 2026-01-15 12:00 UTC, which is day 0).
class open_database_test : public clean_state_test {
protected:
    void SetUp() override
    {
        clean_state_test::SetUp();
        ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    }
    std::string log() const { return read_file(dir.file("error.log")); }
    temp_dir dir;
};

// Sets the clock to noon of day `n` of a database started on 2026-01-15 (in the UTC zone).
inline void go_to_day(unsigned n)
{
    const time_t base = 1768478400;  // 2026-01-15 12:00 UTC
    const time_t t = base + static_cast<time_t>(n) * 86400;
    tm date{};
    gmtime_r(&t, &date);
    set_local_clock(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, 12);
}
