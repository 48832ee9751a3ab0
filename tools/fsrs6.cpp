#include "fsrs6.h"

#include <algorithm>
#include <cmath>

const fsrs6_weights fsrs6_defaults = {0.212, 1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001, 1.8722, 0.1666,
    0.796, 1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};

namespace {

constexpr double least_stability = 0.01;

double factor(const fsrs6_weights& w) { return std::pow(0.9, -1.0 / w[20]) - 1.0; }

double first_difficulty(const fsrs6_weights& w, int rating) { return w[4] - std::exp(w[5] * (rating - 1)) + 1.0; }

}  // namespace

double fsrs6_recall(const fsrs6_weights& w, double days, double stability)
{
    return std::pow(1.0 + factor(w) * days / stability, -w[20]);
}

fsrs6_memory fsrs6_first(const fsrs6_weights& w, fsrs6_rating rating)
{
    const int g = static_cast<int>(rating);
    return {std::max(w[static_cast<size_t>(g - 1)], least_stability), std::clamp(first_difficulty(w, g), 1.0, 10.0)};
}

fsrs6_memory fsrs6_after(const fsrs6_weights& w, fsrs6_memory m, double days, double recall, fsrs6_rating rating)
{
    const int g = static_cast<int>(rating);
    const double s = m.stability;
    const double d = m.difficulty;
    fsrs6_memory next;
    if (days < 1.0) {
        double gain = std::exp(w[17] * (g - 3 + w[18])) * std::pow(s, -w[19]);
        if (g >= 3)
            gain = std::max(gain, 1.0);
        next.stability = s * gain;
    } else if (rating == fsrs6_rating::again) {
        const double forgotten = w[11] * std::pow(d, -w[12]) * (std::pow(s + 1.0, w[13]) - 1.0) * std::exp(w[14] * (1.0 - recall));
        next.stability = std::min(forgotten, s);
    } else {
        const double hard = rating == fsrs6_rating::hard ? w[15] : 1.0;
        const double easy = rating == fsrs6_rating::easy ? w[16] : 1.0;
        next.stability = s * (1.0 + std::exp(w[8]) * (11.0 - d) * std::pow(s, -w[9]) * (std::exp(w[10] * (1.0 - recall)) - 1.0) * hard * easy);
    }
    next.stability = std::max(next.stability, least_stability);
    // Difficulty moves by the rating, less the nearer it is to 10, and reverts a little to an easy card's.
    const double moved = d - w[6] * (g - 3) * (10.0 - d) / 9.0;
    next.difficulty = std::clamp(w[7] * first_difficulty(w, 4) + (1.0 - w[7]) * moved, 1.0, 10.0);
    return next;
}

double fsrs6_interval(const fsrs6_weights& w, double stability, double retention)
{
    return stability / factor(w) * (std::pow(retention, -1.0 / w[20]) - 1.0);
}
