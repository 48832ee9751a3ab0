#include "memory_models.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

#include "sim_random.h"

namespace {

constexpr double ln_0_9 = -0.10536051565782628;
constexpr double seconds_per_day = 86400.0;

// Exponential and power law: growth follows exp(gain (1 - recall)) - 1 and slows as S^-0.2.
constexpr double growth_age_exponent = 0.2;
constexpr double growth_recall_gain = 1.5;
constexpr double lapse_age_exponent = 0.3;
constexpr double lapse_recall_gain = 2.0;
constexpr double least_stability = 0.2;

// How strongly an item's ease moves ACT-R's activation and HLR's log2 half-life.
constexpr double act_r_ease_weight = 1.0;
constexpr double hlr_ease_weight = 2.0;

// ACT-R: a trace's age in seconds; the time between sessions counts only in part.
double act_r_age(const family_parameters& p, double days)
{
    const double seconds = days * seconds_per_day;
    return days < 0.5 ? seconds : seconds * p.intersession;
}

// ln of the summed traces' strength at `now`, without the item's own boost.
double act_r_activation(const family_parameters& p, const item_memory& m, double now)
{
    double sum = 0;
    for (const act_r_trace& t : m.traces)
        sum += std::pow(std::max(act_r_age(p, now - t.time), 1.0), -t.decay);
    return sum > 0 ? std::log(sum) : -INFINITY;
}

double act_r_boost(const family_parameters& p, const item_memory& m)
{
    return p.first_boost + act_r_ease_weight * std::log(m.ease);
}

void act_r_study(const family_parameters& p, item_memory& m, double now)
{
    const double active = act_r_activation(p, m, now);
    m.traces.push_back({now, p.decay_scale * std::exp(active) + p.decay_intercept});
}

double hlr_half_life(const family_parameters& p, const item_memory& m)
{
    return std::exp2(p.right_weight * std::sqrt(1.0 + m.right) + p.wrong_weight * std::sqrt(1.0 + m.wrong) + p.hlr_bias +
        hlr_ease_weight * std::log2(m.ease));
}

}  // namespace

const char* family_name(learner_family family)
{
    // In the order of the enumeration.
    static constexpr const char* names[] = {"exponential", "power law", "FSRS-6", "ACT-R", "HLR"};
    static_assert(std::size(names) == all_families.size());
    return names[static_cast<size_t>(family)];
}

family_parameters draw_parameters(learner_family family, uint64_t seed, uint32_t draw, double spread)
{
    family_parameters p;
    uint32_t stream = 0;
    // Each parameter its own normal draw, from the learner alone (not the item nor the habit).
    auto normal = [&] { return spread * standard_normal(seed ^ (static_cast<uint64_t>(family) << 40), draw, ++stream, 0); };
    auto scale = [&](double& value, double sd) { value *= std::exp(sd * normal()); };
    switch (family) {
    case learner_family::exponential:
    case learner_family::power_law:
        scale(p.growth_scale, 0.25);
        scale(p.first_stability, 0.25);
        scale(p.lapse_scale, 0.2);
        break;
    case learner_family::fsrs6:
        for (size_t i = 0; i < p.fsrs.size(); ++i)
            scale(p.fsrs[i], 0.1);
        p.fsrs[20] = std::clamp(p.fsrs[20], 0.1, 0.8);
        break;
    case learner_family::act_r:
        scale(p.decay_intercept, 0.1);
        scale(p.decay_scale, 0.1);
        p.threshold += 0.05 * normal();
        scale(p.noise, 0.1);
        scale(p.intersession, 0.2);
        p.first_boost += 0.15 * normal();
        break;
    case learner_family::half_life_regression:
        scale(p.right_weight, 0.1);
        scale(p.wrong_weight, 0.15);
        p.hlr_bias += 0.2 * normal();
        break;
    }
    return p;
}

void start_memory(learner_family family, const family_parameters& p, item_memory& m, fsrs6_rating first, double time)
{
    switch (family) {
    case learner_family::exponential:
    case learner_family::power_law:
        break;  // the learner draws the first stability
    case learner_family::fsrs6: {
        const fsrs6_memory f = fsrs6_first(p.fsrs, first);
        m.stability = f.stability * m.ease;
        m.difficulty = f.difficulty;
        break;
    }
    case learner_family::act_r:
        act_r_study(p, m, time);
        break;
    case learner_family::half_life_regression:
        break;
    }
}

double memory_recall(learner_family family, const family_parameters& p, const item_memory& m, double now, double last)
{
    const double days = std::max(now - last, 0.0);
    switch (family) {
    case learner_family::exponential:
        return std::exp(ln_0_9 * days / m.stability);
    case learner_family::power_law:
        return std::pow(1.0 + 19.0 / 81.0 * days / m.stability, -0.5);
    case learner_family::fsrs6:
        return fsrs6_recall(p.fsrs, days, m.stability);
    case learner_family::act_r: {
        const double activation = act_r_activation(p, m, now) + act_r_boost(p, m);
        return 1.0 / (1.0 + std::exp((p.threshold - activation) / p.noise));
    }
    case learner_family::half_life_regression:
        return std::exp2(-days / hlr_half_life(p, m));
    }
    return 0;
}

void update_memory(learner_family family, const family_parameters& p, item_memory& m, double now, double last,
    double recall, bool recalled, fsrs6_rating rating)
{
    switch (family) {
    case learner_family::exponential:
    case learner_family::power_law:
        if (recalled) {
            m.stability *= 1.0 + p.growth_scale * m.ease * std::pow(m.stability, -growth_age_exponent) *
                (std::exp(growth_recall_gain * (1.0 - recall)) - 1.0);
        } else {
            const double lapsed = p.lapse_scale * std::sqrt(m.ease) *
                (std::pow(m.stability + 1.0, lapse_age_exponent) - 1.0) * std::exp(lapse_recall_gain * (1.0 - recall));
            m.stability = std::max(least_stability, std::min(m.stability, lapsed));
        }
        break;
    case learner_family::fsrs6: {
        const fsrs6_memory f = fsrs6_after(p.fsrs, {m.stability, m.difficulty}, now - last, recall, rating);
        m.stability = f.stability;
        m.difficulty = f.difficulty;
        break;
    }
    case learner_family::act_r:
        act_r_study(p, m, now);  // a failed review shows the answer: a study too
        break;
    case learner_family::half_life_regression:
        ++(recalled ? m.right : m.wrong);
        break;
    }
}
