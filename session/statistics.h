#pragma once
// Read-only summaries of the database: the statistics record and the per-category counts.
#include <cstdint>

// A summary of the open database and the network; intervals are in days.
struct statistics {
    uint32_t item_count = 0;  // scheduled items
    uint32_t category_count_stat = 0;  // categories, the root included
    uint16_t today = 0;  // today's day number
    uint16_t max_ivl = 0;  // longest current interval
    uint16_t min_ivl = 0;  // shortest current interval
    uint16_t avg_ivl = 0;  // mean current interval, rounded down
    uint16_t max_livl = 0;  // longest interval before the last grade
    uint16_t min_livl = 0;  // shortest interval before the last grade
    uint16_t avg_livl = 0;  // mean interval before the last grade
    uint16_t max_rllivl = 0;  // most days that passed between the two last grades
    uint16_t min_rllivl = 0;  // fewest days that passed between the two last grades
    uint16_t avg_rllivl = 0;  // mean days that passed between the two last grades
    uint16_t max_rp = 0;  // most repetitions of one item
    float avg_gr = 0;  // mean last grade
    float avg_rp = 0;  // mean repetitions
    uint32_t total_rp = 0;  // repetitions of all items together
    uint32_t case_count = 0;  // the network's training cases, built-in and the user's
    uint32_t user_case_count = 0;  // the cases from the user's own grades
    float learning_rate = 0;  // the network's learning rate now
    float test_error = 0;  // the network's TestError
    float pass_percent = 0;  // share of items whose last grade was 3 or more, in percent
    float items_per_day = 0;  // items per day since the database began
    uint32_t time_of_start = 0;  // the database's start, in seconds
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

