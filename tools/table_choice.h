#pragma once
// Judging candidate built-in weights on learners held out of their fit: the family that fares
// worst decides, not the average.
#include <array>
#include <cstdint>
#include <vector>

#include "ann/network.h"
#include "memory_models.h"

struct family_score {
    learner_family family = learner_family::exponential;
    double retention = 0;          // at review, from the built-in weights alone (graded user)
    double reviews_per_known = 0;  // the same run's reviews per item known at the end
};

struct judging_settings {
    uint64_t seed = 1;
    std::vector<uint32_t> draws;  // the learners of each family that judge (none of the fit's)
    int days = 730;
    uint32_t items = 14600;
};

// Each family's means over its judging learners with `weights` as the built-in weights.
std::vector<family_score> judge_builtin(const std::array<float, ann_weight_count>& weights, const judging_settings& settings);
// The worst family's retention less the reference's on the same family: the candidate's mark.
double worst_family_margin(const std::vector<family_score>& candidate, const std::vector<family_score>& reference,
    learner_family* worst = nullptr);
