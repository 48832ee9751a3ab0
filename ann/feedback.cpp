#include "ann/feedback.h"

#include <algorithm>
#include <vector>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "database/database.h"
#include "database/days.h"
#include "services/log.h"
#include "services/random.h"

const std::array<float, 6> grade_target_factor = {0.4f, 0.6f, 0.8f, 0.9f, 1.0f, 1.25f};

namespace {

constexpr uint16_t max_interval = 2047;

uint16_t truncated(float value) { return static_cast<uint16_t>(static_cast<uint32_t>(value)); }

}  // namespace

uint16_t percent_difference(uint16_t a, uint16_t b)
{
    const uint16_t hi = a > b ? a : b;
    const uint16_t lo = a > b ? b : a;
    if (lo == 0)
        return 100;
    const float ratio = static_cast<float>(lo) * 100.0f / (static_cast<float>(hi) * 100.0f) * 100.0f + 0.5f;
    return static_cast<uint16_t>(100 - truncated(ratio));
}

uint16_t adjust_to_neighbour_grades(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t g, uint16_t v)
{
    const unsigned steps = v >= 16 ? v / 4u : 3u;
    uint16_t up = 0;
    uint16_t down = 0;
    if (g < 5)
        up = ann_interval(ivl, elapsed, rp, static_cast<uint16_t>(g + 1));
    if (g > 0)
        down = ann_interval(ivl, elapsed, rp, static_cast<uint16_t>(g - 1));
    for (unsigned i = 0; i < steps; ++i) {
        if (g < 5 && up < v)
            --v;
        if (g > 0 && down > v)
            ++v;
    }
    if (g == 0 && v > 0 && v == up)
        --v;
    if (g == 5 && v < 2048 && v == down)
        ++v;
    // Pulled towards the days that really elapsed, by three days at most.
    for (int i = 0; i < 3; ++i) {
        if (g <= 1 && v > elapsed)
            --v;
        else if (g == 4 && v < elapsed)
            ++v;
        else if (g == 5 && v <= elapsed)
            ++v;
    }
    if (g >= 1 && g <= 4) {
        const unsigned m = (static_cast<unsigned>(down) + up) / 2;
        return truncated((static_cast<float>(m) + static_cast<float>(v) * 2.0f) * 0.333333343f);
    }
    return v;
}

uint16_t pick_spread_interval(uint16_t lo, uint16_t hi)
{
    const uint16_t today = day_number(0);
    const unsigned n = static_cast<unsigned>(hi - lo) + 1;
    std::vector<uint32_t> count(n, 0);
    count_due_per_day(static_cast<uint16_t>(today + lo), static_cast<uint16_t>(today + hi), count.data());
    const uint32_t maxc = *std::max_element(count.begin(), count.end());
    // The weights are summed wide: a 16-bit sum could wrap and pick a day beyond hi.
    uint64_t total = 0;
    for (uint32_t c : count)
        total += maxc - c + 5;
    const unsigned r = rand_below(static_cast<unsigned>(total > UINT32_MAX ? UINT32_MAX : total));
    uint64_t sum = 0;
    for (unsigned k = 0; k < n; ++k) {
        sum += maxc - count[k] + 5;
        if (r < sum)
            return static_cast<uint16_t>(lo + k);
    }
    return hi;
}

uint16_t propose_interval(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    const uint16_t d = ann_interval(ivl, elapsed, rp, grade);
    uint16_t result = adjust_to_neighbour_grades(ivl, elapsed, rp, grade, d);
    if (result == d) {
        const uint16_t lo = truncated(static_cast<float>(d) * 0.899999976f + 0.5f);
        uint16_t hi = truncated(static_cast<float>(d) * 1.10000002f + 0.5f);
        if (hi > max_interval)
            hi = max_interval;
        result = lo < hi ? adjust_to_neighbour_grades(ivl, elapsed, rp, grade, pick_spread_interval(lo, hi)) : d;
    }
    return result > max_interval ? max_interval : result;
}

void feedback_to_ann(uint16_t livl, uint16_t rllivl, uint16_t rp, uint16_t gr, uint16_t ivl, uint16_t elapsed,
    uint16_t grade)
{
    if (elapsed == 0)
        return;  // graded again on the day of its last review: nothing learnt
    uint16_t x = 0;
    const bool late = elapsed > ivl;
    switch (grade) {
    case 0:
        if (late && percent_difference(elapsed, ivl) > 2)
            return;
        x = elapsed;
        break;
    case 1:
    case 2:
    case 3:
        if (!late) {
            x = elapsed;
        } else {
            if (percent_difference(elapsed, ivl) > grade + 2)
                return;
            x = static_cast<uint16_t>((static_cast<unsigned>(ivl) + elapsed) / 2);
        }
        break;
    case 4:
        x = static_cast<uint16_t>((static_cast<unsigned>(ivl) + elapsed) / 2);
        break;
    case 5:
        if (elapsed < ivl && percent_difference(ivl, elapsed) > 2)
            return;
        x = elapsed;
        break;
    default:
        write_log("ERROR: feedback_to_ann(): default case\n");
        return;
    }
    uint16_t target = truncated(grade_target_factor[grade] * static_cast<float>(x) + 0.5f);
    if (grade == 5 && target <= ivl)
        ++target;

    const uint16_t p = propose_interval(livl, rllivl, rp, gr);
    if (p == target || percent_difference(p, target) < 4)
        return;
    const uint16_t a = adjust_to_neighbour_grades(livl, rllivl, rp, gr, target);
    if (a != target) {
        if ((a < p && p < target) || (target < p && p < a))
            return;
        target = truncated((static_cast<float>(target) * 3.0f + static_cast<float>(a)) * 0.25f + 0.5f);
    }
    if (gr <= 1 && target > rllivl)
        return;
    if (gr == 4 && target < rllivl && target < livl)
        return;
    if (gr == 5 && target <= rllivl && target <= livl)
        return;
    add_cases(livl, rllivl, rp, gr, target);
    ann_step(make_case(livl, rllivl, rp, gr, target), ANN_TRAIN);
}
