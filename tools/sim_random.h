#pragma once
// The simulator's draws: pure functions of their keys, so that every scheduler meets the same luck.
#include <cstdint>

// Strictly between 0 and 1.
double uniform_draw(uint64_t seed, uint32_t index, uint32_t event, uint32_t stream);
double standard_normal(uint64_t seed, uint32_t index, uint32_t stream, uint32_t event);
