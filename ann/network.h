#pragma once
// The interval network: 4 inputs, 32 sigmoid hidden units, 1 sigmoid output, no biases.
#include <cstdint>

// The network's process-wide state, one record.
struct ann_state {
    float learning_rate = 0.1f;
    float last_error = 0;
    float test_error = 0;  // smoothed TestError of this run; 0 until estimated
    bool ann_initialised = false;
    uint32_t case_count = 0;
};

constexpr uint16_t builtin_case_count = 962;

ann_state& ann_globals();
// Estimates TestError, adapts the learning rate, stores and returns the smoothed value.
float compute_test_error();
