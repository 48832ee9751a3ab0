#include "learner_cases.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "learner.h"

namespace {

// One item as the program schedules it for the simulated learner.
struct card {
    uint16_t ivl = 0;  // days chosen at the last review
    uint16_t livl = 0, rllivl = 0;  // the interval chosen before it, and the days that then passed
    uint16_t rp = 0, gr = 0;  // reviews so far, and the last grade
    int last_day = 0;  // of the last review
};

constexpr uint16_t longest = 2047;
constexpr size_t due_ring = longest + 2;  // every due day lies within this many days of today
constexpr std::array<float, 6> target_factor = {0.4f, 0.6f, 0.8f, 0.9f, 1.0f, 1.25f};

// The interval that should have been chosen, as the grade's feedback forms it (without the
// network's own test of whether the case is worth keeping).
uint16_t target_for(const card& c, uint16_t elapsed, uint16_t grade)
{
    uint32_t x = elapsed;
    if (grade == 4 || (grade >= 1 && grade <= 3 && elapsed > c.ivl))
        x = (static_cast<uint32_t>(c.ivl) + elapsed) / 2;
    auto target = static_cast<uint32_t>(target_factor[grade] * static_cast<float>(x) + 0.5f);
    if (grade == 5 && target <= c.ivl)
        ++target;
    return static_cast<uint16_t>(std::min<uint32_t>(target, longest));
}

}  // namespace

std::vector<ann_case> learner_cases(size_t count, uint64_t seed)
{
    learner person(learner_family::exponential, grading_habit::graded, seed);
    // About three years of reviews whatever the count: a heavier learner for a larger file.
    const uint32_t new_per_day = std::max<uint32_t>(20, static_cast<uint32_t>(count / 5000));
    std::vector<card> cards;
    std::vector<std::vector<uint32_t>> due(due_ring);
    std::vector<ann_case> cases;
    cases.reserve(count);
    for (int day = 0; cases.size() < count; ++day) {
        for (uint32_t n = 0; n < new_per_day; ++n) {
            const uint32_t index = person.add_item(day);
            card c;
            c.gr = person.creation_grade(index);
            c.ivl = std::max<uint16_t>(ann_interval(0, 0, 0, c.gr), 1);
            c.last_day = day;
            cards.push_back(c);
            due[static_cast<size_t>(day + c.ivl) % due_ring].push_back(index);
        }
        std::vector<uint32_t> today;
        today.swap(due[static_cast<size_t>(day) % due_ring]);
        for (uint32_t index : today) {
            card& c = cards[index];
            const review_outcome r = person.review(index, day);
            const auto elapsed = static_cast<uint16_t>(std::min(r.elapsed_days, static_cast<int>(longest)));
            if (elapsed > 0 && cases.size() < count)
                cases.push_back(make_case(c.livl, c.rllivl, c.rp, c.gr, target_for(c, elapsed, r.grade)));
            if (c.rp < 127)
                ++c.rp;
            const uint16_t next = std::max<uint16_t>(ann_interval(c.ivl, elapsed, c.rp, r.grade), 1);
            c.livl = c.ivl;
            c.rllivl = elapsed;
            c.ivl = next;
            c.gr = r.grade;
            c.last_day = day;
            due[static_cast<size_t>(day + next) % due_ring].push_back(index);
        }
    }
    return cases;
}

void write_case_file(const std::string& path, const std::vector<ann_case>& cases)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(cases.data(), sizeof(ann_case), cases.size(), f);
    std::fclose(f);
}
