#pragma once
// Training cases as a simulated learner's grades produce them: items reviewed when the network
// schedules them, so that the elapsed days have a real user's spread (most at 1-30 days, many
// at 1-3), with the repeats and near-repeats that such a history holds.
#include <cstdint>
#include <string>
#include <vector>

#include "ann/network.h"

// `count` cases in the order they arose; the same for the same seed. The network must be built
// (generate_ann); its weights are not changed.
std::vector<ann_case> learner_cases(size_t count, uint64_t seed);

// The cases as user_cases.bin holds them.
void write_case_file(const std::string& path, const std::vector<ann_case>& cases);
