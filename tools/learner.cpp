#include "learner.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "sim_random.h"

namespace {

constexpr double ln_0_9 = -0.10536051565782628;

// Newly typed-in items are spread by ease and chance around the learner's typical item.
constexpr double ease_spread = 0.35;
constexpr double first_stability_spread = 0.5;
constexpr double impression_spread = 0.4;
// Impressions are measured against an item that keeps 90 % for three days.
constexpr double typical_first_stability = 3.0;
// The noisy user's grade is off by one this often.
constexpr double noisy_share = 0.2;

// Draw streams, so that an item's parameters and its reviews never share a draw.
enum : uint32_t { ease_stream = 1, first_stability_stream, impression_stream, review_stream, noise_stream };

double logit(double p) { return std::log(p / (1.0 - p)); }

// The rating the learner would give on the FSRS scale, whatever the buttons pressed.
fsrs6_rating felt_rating(uint16_t graded)
{
    return graded <= 2 ? fsrs6_rating::again : graded == 3 ? fsrs6_rating::hard : graded == 4 ? fsrs6_rating::good : fsrs6_rating::easy;
}

}  // namespace

const char* habit_name(grading_habit habit)
{
    // In the order of the enumeration.
    static constexpr const char* names[] = {"graded", "sparing 5", "pass/fail", "generous", "noisy"};
    static_assert(std::size(names) == static_cast<size_t>(grading_habit::noisy) + 1);
    return names[static_cast<size_t>(habit)];
}

learner::learner(learner_family family, grading_habit habit, uint64_t seed, uint32_t draw, double spread)
    : family_(family), habit_(habit), seed_(seed ^ (static_cast<uint64_t>(draw) << 32)),
      params_(draw_parameters(family, seed, draw, spread))
{
}

double learner::draw(uint32_t index, uint32_t event, uint32_t stream) const { return uniform_draw(seed_, index, event, stream); }

uint32_t learner::add_item(int day)
{
    const auto index = static_cast<uint32_t>(items_.size());
    item_state s;
    s.memory.ease = std::exp(ease_spread * standard_normal(seed_, index, ease_stream, 0));
    const double ease = s.memory.ease;
    const double luck = std::exp(first_stability_spread * standard_normal(seed_, index, first_stability_stream, 0));
    s.memory.stability = params_.first_stability * ease * ease * luck;
    // The other families rate the first study by the same ease and luck.
    const double z = std::log(ease * ease * luck);
    const fsrs6_rating first = z < -1.2 ? fsrs6_rating::again : z < -0.4 ? fsrs6_rating::hard : z < 0.8 ? fsrs6_rating::good : fsrs6_rating::easy;
    start_memory(family_, params_, s.memory, first, day);
    s.last_day = day;
    s.last_time = day;
    s.reviews = 0;
    // The impression follows how long the item would keep 90 %, read off its recall a day later.
    const double next_day = std::clamp(memory_recall(family_, params_, s.memory, day + 1.0, day), 1e-9, 1.0 - 1e-9);
    const double keeps = ln_0_9 / std::log(next_day);
    s.impression = std::log(keeps / typical_first_stability) + impression_spread * standard_normal(seed_, index, impression_stream, 0);
    items_.push_back(std::move(s));
    return index;
}

uint16_t learner::creation_grade(uint32_t index) const
{
    const double z = items_[index].impression;
    uint16_t grade = z > -0.3 ? 4 : z > -0.9 ? 3 : z > -1.5 ? 2 : 1;
    switch (habit_) {
    case grading_habit::pass_fail:
        return z > -0.9 ? 4 : 1;
    case grading_habit::sparing_with_5:
        grade = z > 1.6 ? 5 : grade;
        break;
    case grading_habit::graded:
        grade = z > 0.7 ? 5 : grade;
        break;
    case grading_habit::generous:
        grade = grade == 4 ? 5 : grade;
        break;
    case grading_habit::noisy:
        return with_noise(z > 0.7 ? 5 : grade, index, 0);
    }
    return grade;
}

double learner::recall(uint32_t index, int day) const
{
    const item_state& s = items_[index];
    // The time of day is the same at every session; a repeat comes 30 minutes after the last.
    const double now = day > s.last_day ? day : s.last_time + same_session_days;
    return memory_recall(family_, params_, s.memory, now, s.last_time);
}

uint16_t learner::grade_from(grading_habit habit, double recall, double draw, bool recalled) const
{
    if (habit == grading_habit::pass_fail)
        return recalled ? 4 : 1;
    // How far the draw fell from the recall, on the logistic scale: well inside means the
    // answer came easily, well outside that nothing came at all.
    const double p = std::clamp(recall, 1e-12, 1.0 - 1e-12);
    const double margin = logit(p) - logit(draw);
    if (!recalled)
        return margin < -2.0 ? 0 : margin < -0.8 ? 1 : 2;
    if (habit == grading_habit::generous)
        return margin < 1.5 ? 3 : 5;
    const double easiest = habit == grading_habit::sparing_with_5 ? 5.5 : 3.5;
    return margin < 1.5 ? 3 : margin < easiest ? 4 : 5;
}

uint16_t learner::with_noise(uint16_t grade, uint32_t index, uint32_t event) const
{
    const double u = draw(index, event, noise_stream);
    if (u >= noisy_share)
        return grade;
    const bool up = grade == 0 || (grade < 5 && u < noisy_share / 2);
    return static_cast<uint16_t>(up ? grade + 1 : grade - 1);
}

review_outcome learner::review(uint32_t index, int day)
{
    item_state& s = items_[index];
    review_outcome out;
    out.elapsed_days = day - s.last_day;
    const double now = day > s.last_day ? day : s.last_time + same_session_days;
    const double p = recall(index, day);
    const double u = draw(index, ++s.reviews, review_stream);
    out.recalled = u < p;
    const uint16_t felt = grade_from(grading_habit::graded, p, u, out.recalled);
    out.grade = habit_ == grading_habit::noisy ? with_noise(felt, index, s.reviews) : grade_from(habit_, p, u, out.recalled);
    update_memory(family_, params_, s.memory, now, s.last_time, p, out.recalled, felt_rating(felt));
    s.last_day = day;
    s.last_time = now;
    return out;
}
