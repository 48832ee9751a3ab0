#include "ann_rules.h"

#include <algorithm>

const raw_answer raw_answers[18] = {
    {0, 0, 0, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 2, 0}, {0, 0, 0, 3, 2}, {0, 0, 0, 4, 4}, {0, 0, 0, 5, 6},
    {10, 10, 3, 0, 0}, {10, 10, 3, 1, 0}, {10, 10, 3, 2, 3}, {10, 10, 3, 3, 14}, {10, 10, 3, 4, 34}, {10, 10, 3, 5, 46},
    {100, 100, 6, 0, 0}, {100, 100, 6, 1, 2}, {100, 100, 6, 2, 27}, {100, 100, 6, 3, 120}, {100, 100, 6, 4, 220},
    {100, 100, 6, 5, 240},
};

const given_unit given_units[4] = {
    {0, {-0.971140027f, -1.353634f, 0.343623012f, -0.220980003f, 0.173454002f}},
    {1, {1.15720904f, 0.757073998f, -0.44869101f, -1.52861798f, 1.13797104f}},
    {24, {-13.6539421f, -11.907609f, -5.68901014f, 0.566134989f, -2.34161496f}},
    {31, {-5.52599001f, -5.19374418f, -0.888418972f, 3.69168591f, -1.59754395f}},
};

const std::vector<uint16_t> grid_days = {0, 1, 2, 4, 7, 12, 20, 35, 60, 100, 170, 300, 500, 850, 1400, 2048};
const std::vector<uint16_t> grid_repetitions = {0, 1, 3, 6, 12, 25, 50, 80, 110, 128};

std::array<double, 4> network_inputs(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    const float raw[4] = {encode_days(ivl), encode_days(elapsed), encode_repetitions(rp), encode_grade(grade)};
    std::array<double, 4> x;
    for (int i = 0; i < 4; ++i)
        x[i] = std::max(raw[i], ann_input_floor);
    return x;
}

std::vector<uint16_t> elapsed_days(bool dense)
{
    if (!dense)
        return grid_days;
    std::vector<uint16_t> days;
    for (int e = 0; e <= 2048; e += e < 400 ? 1 : 5)
        days.push_back(static_cast<uint16_t>(e));
    days.push_back(2048);
    return days;
}

const std::vector<uint16_t> floor_intervals = {0, 1, 2, 3, 4, 5, 6, 8, 10, 13, 16, 20, 25, 32, 40, 50, 64, 80, 100,
    128, 160, 200, 256, 320, 400, 512, 640, 800, 1024, 1280, 1600, 2047};

std::vector<uint16_t> floor_elapsed_days(bool dense)
{
    if (!dense)
        return {0, 1, 2, 4, 7, 12, 20, 35, 60, 100, 170, 300, 500, 700, 850, 1000, 1200, 1400, 1600, 1750, 1850, 1950, 2000,
            2047};
    std::vector<uint16_t> days;
    for (int e = 0; e < 2047; e += e < 100 ? 1 : e < 300 ? 2 : e < 1000 ? 5 : 10)
        days.push_back(static_cast<uint16_t>(e));
    days.push_back(2047);
    return days;
}

std::vector<uint16_t> floor_repetitions(bool dense)
{
    std::vector<uint16_t> reps = grid_repetitions;
    if (dense) {
        reps.clear();
        for (int rp = 0; rp <= top_repetitions; ++rp)
            reps.push_back(static_cast<uint16_t>(rp));
    } else {
        reps.push_back(top_repetitions);
    }
    return reps;
}

uint16_t answer_floor(uint16_t elapsed, uint16_t rp, uint16_t grade)
{
    const int longest = floor_elapsed_limit;
    if (grade < 3)
        return 0;
    int floor = rp >= 1 || elapsed >= 1 ? 1 : 0;
    if (grade == 4)
        floor = std::max(floor, std::min<int>(elapsed, longest));
    if (grade == 5)
        floor = std::max(floor, std::min(elapsed + 1, longest));
    return static_cast<uint16_t>(floor);
}

int exact_answers()
{
    int exact = 0;
    for (const raw_answer& a : raw_answers)
        exact += ann_interval(a.ivl, a.elapsed, a.rp, a.grade) == a.days;
    return exact;
}

bool answers_ordered(bool dense)
{
    const std::vector<uint16_t> elapsed = elapsed_days(dense);
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions) {
            uint16_t last[6] = {};
            for (size_t k = 0; k < elapsed.size(); ++k) {
                uint16_t previous = 0;
                for (uint16_t g = 0; g < 6; ++g) {
                    const uint16_t days = ann_interval(ivl, elapsed[k], rp, g);
                    if (days < previous || (g >= 4 && k > 0 && days < last[g]))
                        return false;
                    previous = days;
                    last[g] = days;
                }
            }
        }
    return true;
}

bool answers_grow()
{
    for (uint16_t ivl : grid_days)
        for (uint16_t rp : grid_repetitions)
            for (uint16_t g : {4, 5})
                if (ann_interval(ivl, 2048, rp, g) <= ann_interval(ivl, 0, rp, g))
                    return false;
    return true;
}

namespace {

bool below_floor(uint16_t ivl, uint16_t e, uint16_t rp, uint16_t g) { return ann_interval(ivl, e, rp, g) < answer_floor(e, rp, g); }

}  // namespace

bool answers_hold_floors(bool dense, uint16_t up_to_rp)
{
    return every_floor_point(
        dense, [](uint16_t ivl, uint16_t e, uint16_t rp, uint16_t g) { return !below_floor(ivl, e, rp, g); }, up_to_rp);
}

std::array<uint64_t, 3> answers_below_floors(bool dense)
{
    std::array<uint64_t, 3> below{};
    every_floor_point(dense, [&](uint16_t ivl, uint16_t e, uint16_t rp, uint16_t g) {
        below[g - 3] += below_floor(ivl, e, rp, g);
        return true;
    });
    return below;
}

