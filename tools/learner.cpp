#include "learner.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double ln_0_9 = -0.10536051565782628;

// A typical item (ease 1) reviewed at 90 % recall after 10 days comes out at 34 days, after 100
// days at about 250: growth slows as the memory ages.
constexpr double growth_scale = 23.5;
constexpr double growth_age_exponent = 0.2;
constexpr double growth_recall_gain = 1.5;  // growth follows exp(gain * (1 - recall)) - 1

// After a lapse: a few days for an old memory, hours for a young one, never more than before.
constexpr double lapse_scale = 1.7;
constexpr double lapse_age_exponent = 0.3;
constexpr double lapse_recall_gain = 2.0;
constexpr double least_stability = 0.2;

// Newly typed-in items: 3 days to 90 % for a typical one, spread by ease and chance.
constexpr double first_stability = 3.0;

// Draw streams, so that an item's parameters and its reviews never share a draw.
enum : uint32_t { ease_stream = 1, first_stability_stream, impression_stream, review_stream };

uint64_t mix(uint64_t x)
{
    // splitmix64's finaliser: every input bit reaches every output bit.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double logit(double p) { return std::log(p / (1.0 - p)); }

}  // namespace

const char* forgetting_name(forgetting truth) { return truth == forgetting::exponential ? "exponential" : "power law"; }

const char* habit_name(grading_habit habit)
{
    switch (habit) {
    case grading_habit::graded:
        return "graded";
    case grading_habit::sparing_with_5:
        return "sparing 5";
    case grading_habit::pass_fail:
        return "pass/fail";
    }
    return "?";
}

double learner::draw(uint32_t index, uint32_t event, uint32_t stream) const
{
    const uint64_t h = mix(mix(mix(seed_ ^ index) ^ (static_cast<uint64_t>(event) << 8)) ^ stream);
    return (static_cast<double>(h >> 11) + 0.5) * 0x1.0p-53;  // strictly between 0 and 1
}

uint32_t learner::add_item(int day)
{
    const auto index = static_cast<uint32_t>(items_.size());
    auto normal = [&](uint32_t stream) {
        return std::sqrt(-2.0 * std::log(draw(index, 0, stream))) *
            std::cos(2.0 * std::numbers::pi * draw(index, 1, stream));
    };
    item_memory m;
    m.ease = std::exp(0.35 * normal(ease_stream));
    m.stability = first_stability * m.ease * m.ease * std::exp(0.5 * normal(first_stability_stream));
    m.impression = std::log(m.stability / first_stability) + 0.4 * normal(impression_stream);
    m.last_day = day;
    m.reviews = 0;
    items_.push_back(m);
    return index;
}

uint16_t learner::creation_grade(uint32_t index) const
{
    const double z = items_[index].impression;
    switch (habit_) {
    case grading_habit::pass_fail:
        return z > -0.9 ? 4 : 1;
    case grading_habit::sparing_with_5:
        if (z > 1.6)
            return 5;
        break;
    case grading_habit::graded:
        if (z > 0.7)
            return 5;
        break;
    }
    return z > -0.3 ? 4 : z > -0.9 ? 3 : z > -1.5 ? 2 : 1;
}

double learner::recall_after(double days, double stability) const
{
    if (truth_ == forgetting::exponential)
        return std::exp(ln_0_9 * days / stability);
    return std::pow(1.0 + 19.0 / 81.0 * days / stability, -0.5);
}

double learner::recall(uint32_t index, int day) const
{
    const item_memory& m = items_[index];
    const int days = day - m.last_day;
    return recall_after(days > 0 ? days : same_session_days, m.stability);
}

uint16_t learner::grade_from(double recall, double draw, bool recalled) const
{
    if (habit_ == grading_habit::pass_fail)
        return recalled ? 4 : 1;
    // How far the draw fell from the recall, on the logistic scale: well inside means the
    // answer came easily, well outside that nothing came at all.
    const double p = std::clamp(recall, 1e-12, 1.0 - 1e-12);
    const double margin = logit(p) - logit(draw);
    if (!recalled)
        return margin < -2.0 ? 0 : margin < -0.8 ? 1 : 2;
    const double easiest = habit_ == grading_habit::sparing_with_5 ? 5.5 : 3.5;
    return margin < 1.5 ? 3 : margin < easiest ? 4 : 5;
}

review_outcome learner::review(uint32_t index, int day)
{
    item_memory& m = items_[index];
    review_outcome out;
    out.elapsed_days = day - m.last_day;
    const double p = recall(index, day);
    const double u = draw(index, ++m.reviews, review_stream);
    out.recalled = u < p;
    out.grade = grade_from(p, u, out.recalled);
    if (out.recalled) {
        m.stability *= 1.0 + growth_scale * m.ease * std::pow(m.stability, -growth_age_exponent) *
            (std::exp(growth_recall_gain * (1.0 - p)) - 1.0);
    } else {
        const double lapsed = lapse_scale * std::sqrt(m.ease) *
            (std::pow(m.stability + 1.0, lapse_age_exponent) - 1.0) * std::exp(lapse_recall_gain * (1.0 - p));
        m.stability = std::max(least_stability, std::min(m.stability, lapsed));
    }
    m.last_day = day;
    return out;
}
