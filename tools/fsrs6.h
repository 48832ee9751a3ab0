#pragma once
// FSRS-6, written from its published formulas: the memory model (difficulty D in 1..10,
// stability S in days to 90 % recall, retrievability R) that the learners of one family follow,
// and the interval that its scheduler sets for a desired retention.
#include <array>

using fsrs6_weights = std::array<double, 21>;
// The published default parameters w0..w20, fitted to a very large body of real review logs.
extern const fsrs6_weights fsrs6_defaults;

// Ratings: 1 again, 2 hard, 3 good, 4 easy.
enum class fsrs6_rating : int { again = 1, hard = 2, good = 3, easy = 4 };

struct fsrs6_memory {
    double stability = 0;   // days until R falls to 0.9
    double difficulty = 0;  // 1 (easy) .. 10 (hard)
};

// R = (1 + factor t / S)^-w20, with factor such that R is 0.9 at t = S.
double fsrs6_recall(const fsrs6_weights& w, double days, double stability);
fsrs6_memory fsrs6_first(const fsrs6_weights& w, fsrs6_rating rating);
// After a review `days` after the last one with recall R then; a review on the same day
// (days below 1) follows the short-term formula.
fsrs6_memory fsrs6_after(const fsrs6_weights& w, fsrs6_memory m, double days, double recall, fsrs6_rating rating);
// Days until recall falls to `retention`.
double fsrs6_interval(const fsrs6_weights& w, double stability, double retention);
