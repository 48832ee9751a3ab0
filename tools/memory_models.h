#pragma once
// The families of simulated learners: published models of memory, each with its parameters
// drawn per learner around the published values.
#include <array>
#include <cstdint>
#include <vector>

#include "fsrs6.h"

enum class learner_family {
    exponential,  // R = 0.9^(t / S); growth by recall at review, slower for old memories
    power_law,    // the same growth, R = (1 + 19/81 t / S)^-0.5: a longer tail
    fsrs6,        // FSRS-6's difficulty, stability and retrievability
    act_r,        // ACT-R's spacing model (Pavlik and Anderson, 2005): a decaying trace per study
    half_life_regression,  // Settles and Meeder (2016): half-life from counts of right and wrong
};
constexpr std::array<learner_family, 5> all_families = {learner_family::exponential, learner_family::power_law,
    learner_family::fsrs6, learner_family::act_r, learner_family::half_life_regression};

const char* family_name(learner_family family);

// One learner's parameters; each family reads only its own.
struct family_parameters {
    double growth_scale = 23.5;     // exponential, power law: growth of a recalled memory
    double first_stability = 3.0;   // exponential, power law: days to 90 % of a typical new item
    double lapse_scale = 1.7;       // exponential, power law: what a lapse leaves
    fsrs6_weights fsrs = fsrs6_defaults;
    double decay_intercept = 0.177;  // ACT-R a: a trace's decay at no activation
    double decay_scale = 0.217;      // ACT-R c: how much more a trace decays when studied while active
    double threshold = -0.704;       // ACT-R tau: activation of 50 % recall
    double noise = 0.255;            // ACT-R s: logistic spread of recall around the threshold
    double intersession = 0.025;     // ACT-R h: share of the time between sessions that counts
    double first_boost = 1.3;        // ACT-R: activation a typical item gains from being typed in
    double right_weight = 4.0;       // HLR: log2 half-life per sqrt(1 + right answers)
    double wrong_weight = -1.0;      // HLR: the same per sqrt(1 + wrong answers)
    double hlr_bias = 0.3;           // HLR: log2 half-life of a typical new item, less the counts' terms
};
// Draw `draw` of a family's learners (from the seed), each parameter's deviation from the family's
// centre `spread` times as wide as its own spread (above 1: learners further out than the fit saw).
family_parameters draw_parameters(learner_family family, uint64_t seed, uint32_t draw, double spread = 1.0);

struct act_r_trace {
    double time;   // day of the study
    double decay;  // the trace's decay exponent, set when it is laid
};

// One item's memory; each family keeps only its own fields.
struct item_memory {
    double ease = 1;  // above 1 easier to learn; log-normal around 1
    double stability = 0;   // exponential, power law, FSRS-6: days to 90 % recall
    double difficulty = 0;  // FSRS-6
    uint32_t right = 0;     // HLR: reviews recalled
    uint32_t wrong = 0;     // HLR: reviews forgotten
    std::vector<act_r_trace> traces;  // ACT-R
};

// The memory of an item first studied at `time` (days), first rated `first` by its ease.
void start_memory(learner_family family, const family_parameters& p, item_memory& m, fsrs6_rating first, double time);
// Recall at `now` of an item last studied at `last`.
double memory_recall(learner_family family, const family_parameters& p, const item_memory& m, double now, double last);
// A review at `now` with recall `recall` then, recalled or not, as the learner felt it (`rating`).
void update_memory(learner_family family, const family_parameters& p, item_memory& m, double now, double last,
    double recall, bool recalled, fsrs6_rating rating);
