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

