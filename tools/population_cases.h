#pragma once
// Review histories of the simulator's learners of every family, each review with the interval
// that would have kept the learner's recall at 90 %: targets for the built-in weights that no
// single model of memory sets alone.
#include <cstdint>
#include <random>
#include <vector>

#include "learner.h"
#include "memory_models.h"

struct population_sample {
    uint16_t ivl = 0;      // the interval before the review (0 for a same-day repeat)
    uint16_t elapsed = 0;  // the days that really passed
    uint16_t rp = 0;       // repetitions after the review, counted as the program counts them
    uint16_t grade = 0;
    double days = 0;       // days until the learner's recall after this review falls to 90 %
    learner_family family = learner_family::exponential;
};

struct population_settings {
    uint64_t seed = 1;                // the simulator's seed: the learners are its draws
    std::vector<uint32_t> draws;      // which of each family's learners take part
    uint32_t items = 150;             // per learner
    int days = 730;                   // an item's history ends here
    uint32_t samples_per_family = 1200;  // drawn evenly from all of a family's reviews
};

// Days after `day` (whole and fractional, at most 2048) until the item's recall falls to `recall`.
double days_to_recall(const learner& person, uint32_t index, int day, double recall);

// The histories of `settings.draws` of every family's learners (graded user). The schedule
// misses each learner's true interval as the program would (log-normal, some reviews late);
// a failed item is repeated the same day, as the program repeats it.
std::vector<population_sample> population_histories(const population_settings& settings, std::mt19937_64& random);
