#pragma once
// What the shipped weights must do: the raw answers that are given, the given hidden units, and
// the shape of the answers on grids of histories. Checked with the program's own code on the
// weights the network holds.
#include <array>
#include <cstdint>
#include <vector>

#include "ann/network.h"

// The network's raw answers that the shipped weights must reproduce exactly.
struct raw_answer {
    uint16_t ivl, elapsed, rp, grade, days;
};
extern const raw_answer raw_answers[18];

// The four hidden units whose weights (four inputs, then the output weight) are given.
struct given_unit {
    int unit;
    float weights[5];
};
extern const given_unit given_units[4];
constexpr float weight_bound = 13.6539421f;  // no weight may be larger in magnitude

// Histories on which the answers must not fall as the grade rises, nor (grades 4 and 5) as the
// elapsed days rise.
extern const std::vector<uint16_t> grid_days;
extern const std::vector<uint16_t> grid_repetitions;
// The grid's elapsed days, or every day up to 400 and every 5th beyond when `dense`.
std::vector<uint16_t> elapsed_days(bool dense);

// The shortest answer a passing grade may give: once an item has been reviewed (repetitions or
// elapsed days), never 0 days, so that it cannot come back in the same session for ever; for
// grade 4 at least the elapsed days (the interval was right) and for grade 5 more (it could have
// been longer), up to floor_elapsed_limit days. 0 for the other grades.
uint16_t answer_floor(uint16_t elapsed, uint16_t rp, uint16_t grade);
// Beyond this the network (without biases, its weights bounded) cannot rise steeply enough to
// follow the elapsed days up to 2047 and still fit the cases: after longer absences grades 4 and
// 5 answer at least this many days.
constexpr int floor_elapsed_limit = 1000;
constexpr uint16_t top_repetitions = 127;
// A fit's floors at every repetition count, the grid's 128 beyond the top included.
constexpr uint16_t floors_everywhere = UINT16_MAX;
// Intervals and elapsed days on which the floors are checked: every interval of `floor_intervals`
// with, when `dense`, every elapsed day up to 100 and then every 2nd, 5th and 10th (else the
// grid's days), at every repetition count 0-127 (else the grid's and 127).
extern const std::vector<uint16_t> floor_intervals;
std::vector<uint16_t> floor_elapsed_days(bool dense);
std::vector<uint16_t> floor_repetitions(bool dense);
// Calls `visit` (ivl, elapsed, rp, grade) at every point of that grid, grades 3-5, of at most
// `up_to_rp` repetitions, while it returns true.
template <typename Visit>
bool every_floor_point(bool dense, Visit visit, uint16_t up_to_rp = floors_everywhere)
{
    const std::vector<uint16_t> elapsed = floor_elapsed_days(dense);
    const std::vector<uint16_t> reps = floor_repetitions(dense);
    for (uint16_t ivl : floor_intervals)
        for (uint16_t e : elapsed)
            for (uint16_t rp : reps)
                for (uint16_t g = 3; g <= 5; ++g)
                    if (rp <= up_to_rp && !visit(ivl, e, rp, g))
                        return false;
    return true;
}

std::array<double, 4> network_inputs(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade);

int exact_answers();
// On the grid; `dense` takes every elapsed day up to 400 and every 5th beyond instead.
bool answers_ordered(bool dense);
// For grades 4 and 5 at every interval and repetition count of the grid: the answer after 2048
// elapsed days is longer than the answer after none.
bool answers_grow();
// No answer of grades 3-5 below its floor; `dense` as for floor_elapsed_days. Only items of at
// most `up_to_rp` repetitions when a fit holds the floors no further.
bool answers_hold_floors(bool dense, uint16_t up_to_rp = floors_everywhere);
// How many answers of grades 3, 4 and 5 fall below their floors.
std::array<uint64_t, 3> answers_below_floors(bool dense);
