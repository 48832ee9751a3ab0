#pragma once
// Fitting the interval network's weights to the model's targets under the answers it must give.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "ann/network.h"

struct fit_sample {
    std::array<double, 4> x;  // inputs as the network sees them (raised to 1/512)
    double t;                 // wanted output
    double weight;            // share of the fit error
};

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

std::array<double, 4> network_inputs(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade);

// Fits all weights but the given units' to the samples, pulling the eighteen answers into the
// bands that decode to them and keeping the order on the grid.
std::array<float, ann_weight_count> fit_weights(const std::vector<fit_sample>& samples, std::mt19937_64& random);
// Moves the free output weights as little as the fit allows until, in the program's own single
// precision, every answer is exact, the order holds on the dense grid and the answers grow. False
// if it cannot.
bool place_answers(std::array<float, ann_weight_count>& w, const std::vector<fit_sample>& samples);

// Checks of the weights the network holds now, with the program's own code.
int exact_answers();
// On the grid; `dense` takes every elapsed day up to 400 and every 5th beyond instead.
bool answers_ordered(bool dense);
// For grades 4 and 5 at every interval and repetition count of the grid: the answer after 2048
// elapsed days is longer than the answer after none.
bool answers_grow();
