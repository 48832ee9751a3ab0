#pragma once
// A simulated learner: the memory of each item, its recall at a review and the grade it earns.
//
// A learner belongs to a family, a published model of memory, and has its own parameters drawn
// around the family's published values, so that a run meets many different users. The draws
// come from the seed, the family, the learner's draw number, the item and the count of its
// reviews alone, so every scheduler meets the same learner with the same luck: the k-th review of
// item i recalls if and only if the same uniform draw falls below that review's recall. The
// grading habit only turns recall into a grade; it never changes the memory.
#include <cstdint>
#include <vector>

#include "memory_models.h"

// How the learner turns a review into a grade.
enum class grading_habit {
    graded,          // the whole scale, by how easily the answer came
    sparing_with_5,  // the same, but 5 only for the very easiest
    pass_fail,       // only 1 (forgotten) and 4 (recalled)
    generous,        // 5 for every recall that came easily, 3 for the hard ones, never 4
    noisy,           // the whole scale, off by one a fifth of the time
};

const char* habit_name(grading_habit habit);

// Days between two reviews of an item on the same day, within one session.
constexpr double same_session_days = 1.0 / 48;

struct review_outcome {
    uint16_t grade = 0;
    bool recalled = false;
    int elapsed_days = 0;  // whole days since the item's last grade or creation
};

class learner {
public:
    learner(learner_family family, grading_habit habit, uint64_t seed, uint32_t draw = 0, double spread = 1.0);

    // A new item studied on `day`; returns its index (0, 1, 2, ... in order of creation).
    uint32_t add_item(int day);
    // The grade given when the item is typed in: the learner's impression of how well it sits.
    uint16_t creation_grade(uint32_t index) const;
    // Reviews the item on `day`: draws its recall, grades it and updates its memory.
    review_outcome review(uint32_t index, int day);
    // Probability of recalling the item on `day` without reviewing it.
    double recall(uint32_t index, int day) const;
    uint32_t item_count() const { return static_cast<uint32_t>(items_.size()); }
    const family_parameters& parameters() const { return params_; }

private:
    struct item_state {
        item_memory memory;
        double impression;  // log-scale: above 0 the item seems easy when typed in
        int last_day;
        double last_time;  // day of the last study, with a session's repeats 30 minutes apart
        uint32_t reviews;
    };

    uint16_t grade_from(grading_habit habit, double recall, double draw, bool recalled) const;
    uint16_t with_noise(uint16_t grade, uint32_t index, uint32_t event) const;
    double draw(uint32_t index, uint32_t event, uint32_t stream) const;

    learner_family family_;
    grading_habit habit_;
    uint64_t seed_;
    family_parameters params_;
    std::vector<item_state> items_;
};
