#pragma once
// One training case of the network.
#include <array>

// Encoded interval, elapsed days, repetitions, grade, then the target.
// Also the 20-byte record of the case file, so it must stay five packed floats.
using ann_case = std::array<float, 5>;
static_assert(sizeof(ann_case) == 20);
