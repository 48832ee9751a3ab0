#include "session/statistics.h"

#include <algorithm>

#include "ann/network.h"
#include "session/choose.h"
#include "database/database.h"

void compute_statistics(statistics* record)
{
    statistics s{};
    wait_for_case_store();
    ann_state& ann = ann_globals();
    // The first call after start-up estimates the network's TestError (and adapts its
    // learning rate); later calls show the smoothed value.
    s.test_error = ann.test_error > 0 ? ann.test_error : compute_test_error();
    s.case_count = ann.case_count;
    // Before the network has loaded its cases the store is empty, not "minus 962 user cases".
    s.user_case_count = ann.case_count > builtin_case_count ? ann.case_count - builtin_case_count : 0;
    s.learning_rate = ann.learning_rate;
    s.category_count_stat = category_count();

    const database& d = db();
    if (!d.head) {
        *record = s;
        return;
    }
    s.min_ivl = s.min_livl = s.min_rllivl = 2047;
    // 64-bit sums: with two million items of the longest intervals 32 bits would overflow.
    uint64_t sum_gr = 0;
    uint64_t sum_ivl = 0;
    uint64_t sum_livl = 0;
    uint64_t sum_rllivl = 0;
    uint64_t total_rp = 0;
    uint32_t failed = 0;
    for (const item* e = d.head; e; e = e->next) {
        s.min_ivl = std::min(s.min_ivl, e->ivl);
        s.max_ivl = std::max(s.max_ivl, e->ivl);
        s.min_livl = std::min(s.min_livl, e->livl);
        s.max_livl = std::max(s.max_livl, e->livl);
        s.min_rllivl = std::min(s.min_rllivl, e->rllivl);
        s.max_rllivl = std::max(s.max_rllivl, e->rllivl);
        s.max_rp = std::max(s.max_rp, e->rp);
        total_rp += e->rp;
        sum_gr += e->gr;
        sum_ivl += e->ivl;
        sum_livl += e->livl;
        sum_rllivl += e->rllivl;
        if (e->gr < 3)
            ++failed;
    }
    s.total_rp = static_cast<uint32_t>(total_rp);
    s.item_count = d.item_count;
    s.today = day_number(0);
    if (s.item_count != 0) {
        const float count = static_cast<float>(s.item_count);
        s.avg_ivl = static_cast<uint16_t>(sum_ivl / s.item_count);
        s.avg_livl = static_cast<uint16_t>(sum_livl / s.item_count);
        s.avg_rllivl = static_cast<uint16_t>(sum_rllivl / s.item_count);
        s.avg_rp = static_cast<float>(total_rp) / count;
        s.avg_gr = static_cast<float>(sum_gr) / count;
        s.pass_percent = static_cast<float>(s.item_count - failed) / count * 100.0f;
    }
    s.items_per_day = s.today > 0 ? static_cast<float>(s.item_count) / static_cast<float>(s.today) : 0.0f;
    s.time_of_start = d.time_of_start;
    *record = s;
}


status_figures status_figures_of(const statistics& stats)
{
    status_figures f;
    f.due = count_due(0, nullptr);
    f.total = stats.item_count;
    f.queue = pending_count();
    f.days = stats.today;
    // Not "less than" also catches an error that is not a number.
    f.network_ok = stats.test_error < network_ok_error;
    f.cases = stats.case_count;
    return f;
}

status_figures current_status_figures()
{
    statistics stats;
    compute_statistics(&stats);
    return status_figures_of(stats);
}
