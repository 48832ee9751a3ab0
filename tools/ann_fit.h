#pragma once
// Fitting the interval network's weights to the model's targets under the answers it must give.
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "ann/network.h"
#include "ann_rules.h"

// Makes `w` the network's weights, for ann_interval and the program's own arithmetic.
void use_weights(const std::array<float, ann_weight_count>& w);

struct fit_sample {
    std::array<double, 4> x;  // inputs as the network sees them (raised to 1/512)
    double t;                 // wanted output
    double weight;            // share of the fit error
};

// What the fit answers to besides the samples.
// The last two measure what the answers and the rules cost; they are never shipped.
enum class fit_terms {
    answers_and_rules,  // the eighteen answers, the order, the growth and the floors
    answers_and_order,  // the same without the floors, which the grading holds on the interval it applies
    rules_only,         // the order, the growth and the floors, not the answers
    model_only,         // the samples alone
};

// Fits all weights but the given units' to the samples; with the answers it pulls the eighteen
// answers into the bands that decode to them, with the rules it keeps the order on the grid.
// From `start` when given (the given units stay), else from random weights. The floors are held
// for items of at most `floors_up_to_rp` repetitions.
std::array<float, ann_weight_count> fit_weights(const std::vector<fit_sample>& samples, std::mt19937_64& random,
    fit_terms terms = fit_terms::answers_and_rules, int iterations = 6000,
    const std::array<float, ann_weight_count>* start = nullptr, uint16_t floors_up_to_rp = floors_everywhere);
// Moves the free output weights as little as the fit allows until, in the program's own single
// precision, every answer is exact, the order holds on the dense grid and the answers grow. False
// if it cannot.
// Without `floors` the answers may fall below their floors, and beyond `floors_up_to_rp` repetitions too.
bool place_answers(std::array<float, ann_weight_count>& w, const std::vector<fit_sample>& samples, bool floors = true,
    uint16_t floors_up_to_rp = floors_everywhere);

