#pragma once
// What the network learns from each grade, and the choice of the next interval.
#include <cstdint>

// Days until the next review (0..2047) for an item with this history and new grade.
uint16_t propose_interval(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade);
// Turns the outcome of the interval just ended into a training case when it tells something.
void feedback_to_ann(uint16_t livl, uint16_t rllivl, uint16_t rp, uint16_t gr, uint16_t ivl, uint16_t elapsed,
    uint16_t grade);
