#pragma once
// What the network learns from each grade, and the choice of the next interval.
#include <array>
#include <cstdint>

// Multiplier of the observed interval that forms a training target, by grade.
extern const std::array<float, 6> grade_target_factor;

uint16_t percent_difference(uint16_t a, uint16_t b);
// Makes candidate interval v for grade g consistent with the network's answers for g - 1, g + 1.
uint16_t adjust_to_neighbour_grades(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t g, uint16_t v);
// A day count in lo..hi, days on which few reviews are due being likelier.
uint16_t pick_spread_interval(uint16_t lo, uint16_t hi);
// Days until the next review (0..2047) for an item with this history and new grade.
uint16_t propose_interval(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade);
// Turns the outcome of the interval just ended into a training case when it tells something.
void feedback_to_ann(uint16_t livl, uint16_t rllivl, uint16_t rp, uint16_t gr, uint16_t ivl, uint16_t elapsed,
    uint16_t grade);
