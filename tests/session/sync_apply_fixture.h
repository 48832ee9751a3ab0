#pragma once
// Two computers that sync, one open at a time, for the tests of applying the other's records.
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

    // The other computer's log reaches this one, which opens, and then this one's log the other:
    // both hold the same collection, which is returned.
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

    // The other computer: three items added, then graded in two later sessions; all within the
    // age a log keeps its records, so none is trimmed.
    void other_session(int session)
    {
        open_at(other, other_id, 1, 1 + 6 * session, 9);
        if (session == 0) {
            for (const char* q : {"one", "two", "three"})
                static_cast<void>(add_reviewed(4, q, "answer", 0));
        } else {
            for (const char* q : {"one", "two", "three"})
                grade_reviewed(item_named(q), static_cast<uint16_t>(2 + session), review_screen::scheduled);
        }
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
