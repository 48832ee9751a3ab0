#pragma once
// A simulated learner: the memory of each item, its recall at a review and the grade it earns.
//
// Every item has a stability S, the days after which its recall has fallen to 90 %, and an ease
// that makes it easier (above 1) or harder to learn. A recalled item grows in stability, the more
// the lower its recall was (reviewing at 90 % teaches more than reviewing at 99 %), less for
// memories already long held; a forgotten item falls back to a short stability. The draws come
// from the item and the count of its reviews alone, so every scheduler meets the same learner
// with the same luck: the k-th review of item i recalls if and only if the same uniform draw
// falls below that review's recall.
#include <cstdint>
#include <vector>

// How recall falls after the last review; both pass 90 % at t = S.
enum class forgetting {
    exponential,  // R = 0.9^(t / S)
    power_law,    // R = (1 + 19/81 * t / S)^-0.5, a longer tail
};

// How the learner turns a review into a grade.
enum class grading_habit {
    graded,          // the whole scale, by how easily the answer came
    sparing_with_5,  // the same, but 5 only for the very easiest
    pass_fail,       // only 1 (forgotten) and 4 (recalled)
};

const char* forgetting_name(forgetting truth);
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
    learner(forgetting truth, grading_habit habit, uint64_t seed) : truth_(truth), habit_(habit), seed_(seed) {}

    // A new item studied on `day`; returns its index (0, 1, 2, ... in order of creation).
    uint32_t add_item(int day);
    // The grade given when the item is typed in: the learner's impression of how well it sits.
    uint16_t creation_grade(uint32_t index) const;
    // Reviews the item on `day`: draws its recall, grades it and updates its memory.
    review_outcome review(uint32_t index, int day);
    // Probability of recalling the item on `day` without reviewing it.
    double recall(uint32_t index, int day) const;
    uint32_t item_count() const { return static_cast<uint32_t>(items_.size()); }

private:
    struct item_memory {
        double stability;
        double ease;
        double impression;  // log-scale: above 0 the item seems easy when typed in
        int last_day;
        uint32_t reviews;
    };

    double recall_after(double days, double stability) const;
    uint16_t grade_from(double recall, double draw, bool recalled) const;
    double draw(uint32_t index, uint32_t event, uint32_t stream) const;

    forgetting truth_;
    grading_habit habit_;
    uint64_t seed_;
    std::vector<item_memory> items_;
};
