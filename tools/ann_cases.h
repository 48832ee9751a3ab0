#pragma once
// The built-in training cases: a learner's review history drawn from a model of forgetting.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

struct history_case {
    uint16_t ivl = 0;
    uint16_t elapsed = 0;
    uint16_t rp = 0;
    uint16_t grade = 0;
    uint16_t target = 0;
    double model_days = 0;  // the model's target before the learner's scatter and rounding
    double scatter = 0;     // standard normal draw that scatters this case's target
    int fixed_position = -1;  // index in the table for the given rows, -1 for drawn cases
};

struct case_counts {
    static constexpr int grades[6] = {78, 67, 116, 246, 339, 116};
    static constexpr double median_ratio[6] = {0.0, 0.09, 0.24, 1.15, 2.67, 3.26};
};

// The rows the table must show at their fixed_position.
extern const history_case given_rows[6];

// Draws the histories (intervals, elapsed days, repetitions, grades) and the model's targets.
std::vector<history_case> draw_histories(std::mt19937_64& random);
// Sets every drawn target to the model's days scattered by exp(sigma * scatter), then moves the
// few cases nearest each grade's median ratio onto it.
void scatter_targets(std::vector<history_case>& cases, double sigma);
// Sorted by elapsed days, the given rows at their places.
std::vector<history_case> table_order(std::vector<history_case> cases);
// Empty when the table has every required property, else what is wrong.
std::string case_table_faults(const std::vector<history_case>& table);

// Helpers shared with the fit.
double uniform01(std::mt19937_64& random);
double standard_normal(std::mt19937_64& random);
double median_ratio(const std::vector<history_case>& cases, int grade);
