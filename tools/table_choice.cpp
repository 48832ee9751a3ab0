#include "table_choice.h"

#include <cmath>
#include <cstdio>

#include "simulation.h"

std::vector<family_score> judge_builtin(const std::array<float, ann_weight_count>& weights, const judging_settings& settings)
{
    std::vector<family_score> scores;
    for (learner_family family : all_families) {
        family_score score{family};
        for (uint32_t draw : settings.draws) {
            simulation_settings s;
            s.days = settings.days;
            s.items = settings.items;
            s.family = family;
            s.habit = grading_habit::graded;
            s.seed = settings.seed;
            s.draw = draw;
            s.start_weights = weights;
            const simulation_result r = simulate(scheduler_kind::network_builtin, s);
            score.retention += r.retention() / static_cast<double>(settings.draws.size());
            score.reviews_per_known += r.reviews_per_known() / static_cast<double>(settings.draws.size());
        }
        std::fprintf(stderr, "  %s: retention %.3f, %.2f reviews per known item\n", family_name(family), score.retention,
            score.reviews_per_known);
        scores.push_back(score);
    }
    return scores;
}

double worst_family_margin(const std::vector<family_score>& candidate, const std::vector<family_score>& reference,
    learner_family* worst)
{
    double margin = INFINITY;
    for (size_t i = 0; i < candidate.size() && i < reference.size(); ++i) {
        const double m = candidate[i].retention - reference[i].retention;
        if (m < margin) {
            margin = m;
            if (worst)
                *worst = candidate[i].family;
        }
    }
    return margin;
}
