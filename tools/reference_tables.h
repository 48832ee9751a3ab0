#pragma once
// Built-in weights of earlier tables, to measure new ones against.
#include <array>

#include "ann/network.h"

// Hidden unit j: weights for x0..x3 at 4j..4j+3; its output weight at 128 + j.
extern const std::array<float, ann_weight_count> e140667_weights;
