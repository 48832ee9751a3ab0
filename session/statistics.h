#pragma once
// Read-only summaries of the database: the statistics record and the per-category counts.
#include <cstdint>

struct statistics {
    uint32_t item_count = 0;
    uint32_t category_count_stat = 0;
    uint16_t today = 0;
    uint16_t max_ivl = 0;
    uint16_t min_ivl = 0;
    uint16_t avg_ivl = 0;
    uint16_t max_livl = 0;
    uint16_t min_livl = 0;
    uint16_t avg_livl = 0;
    uint16_t max_rllivl = 0;
    uint16_t min_rllivl = 0;
    uint16_t avg_rllivl = 0;
    uint16_t max_rp = 0;
    float avg_gr = 0;
    float avg_rp = 0;
    uint32_t total_rp = 0;
    uint32_t case_count = 0;
    uint32_t user_case_count = 0;
    float learning_rate = 0;
    float test_error = 0;
    float pass_percent = 0;
    float items_per_day = 0;
    uint32_t time_of_start = 0;
};

void compute_statistics(statistics* record);

// The figures of the main screen's status text.
struct status_figures {
    uint32_t due = 0;  // scheduled items due today, in every category
    uint32_t total = 0;  // scheduled items
    uint32_t queue = 0;  // items waiting in the queue
    uint16_t days = 0;  // today's day number
    bool network_ok = false;  // the network's TestError is below the threshold of "OK"
    uint32_t cases = 0;  // the network's training cases, built-in and the user's
};
// The TestError up to which the network's state reads "OK".
constexpr float network_ok_error = 2.4f;
status_figures status_figures_of(const statistics& stats);
status_figures current_status_figures();

