#pragma once
// Runs a simulated learner through months of daily reviews, scheduled either by the program
// itself (the real library, driven as the main window drives it) or by a published scheduler
// as a baseline.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ann/network.h"
#include "learner.h"

enum class scheduler_kind {
    network_learning,  // the program as it runs: weights.bin and user_cases.bin carried from day to day
    network_builtin,   // the program with its built-in weights only: learning rate 0, no files kept
    sm2,               // SM-2: EF 2.5; 1 and 6 days, then interval times EF; failures start over
    fsrs6,             // FSRS-6 at its default parameters, desired retention 0.9, no same-day steps
};

const char* scheduler_name(scheduler_kind kind);

struct simulation_settings {
    int days = 730;
    uint32_t items = 14600;  // new items, spread evenly over the days
    learner_family family = learner_family::exponential;
    grading_habit habit = grading_habit::graded;
    uint64_t seed = 1;
    uint32_t draw = 0;  // which of the family's learners
    double spread = 1.0;  // how far the learners stray from their family's centre (see draw_parameters)
    // The network's weights at the start (a fresh user's: the built-in ones).
    std::array<float, ann_weight_count> start_weights = builtin_weights;
    // What-if, not the program: when above 0, a same-day repeat passed (grades 3-5) by an item
    // with at least `what_if_from_repetitions` repetitions is rescheduled this many days ahead,
    // to measure what the answers for such repeats cost.
    uint16_t what_if_repeat_days = 0;
    uint16_t what_if_from_repetitions = 1;
};

// An item offered this often in one session has the learner stop the session.
constexpr int stuck_offer = 6;
// Recall at which an item counts as known at the end of the run.
constexpr double known_recall = 0.9;
constexpr int days_per_week = 7;
constexpr int first_quarter_weeks = 13;
// Spaced reviews before, in the first quarter's breakdown: 0, 1, 2, then 3 or more.
constexpr size_t repetition_bands = 4;

struct week_tally {
    uint32_t spaced = 0;    // reviews after at least a day
    uint32_t recalled = 0;  // of those, the ones the learner recalled
};

// The cases a learning run taught the network with the grade of the review they describe.
struct learnt_cases {
    uint32_t count = 0;
    double median_ratio = 0;  // of the target over the days that had elapsed before that review
    uint32_t shorter = 0;     // cases whose target is below those elapsed days
};

struct simulation_result {
    scheduler_kind scheduler = scheduler_kind::sm2;
    simulation_settings settings;
    uint64_t reviews = 0;    // every grade of an existing item, same-day repeats included
    uint64_t same_day = 0;   // grades on the day of the item's previous grade or creation
    uint64_t repeats_after_pass = 0;  // of those, the ones whose previous grade was 3-5
    uint64_t spaced = 0;
    uint64_t recalled = 0;
    uint32_t items = 0;
    uint32_t known = 0;      // items whose recall the day after the run is at least known_recall
    uint32_t stuck_sessions = 0;  // sessions in which an item came a stuck_offer-th time
    uint32_t left_due = 0;   // items still due when a session ended (only after a stuck one)
    std::vector<week_tally> weeks;
    // Spaced reviews by the grade the item had before (at creation or a spaced review), and
    // those after a same-day repeat.
    std::array<week_tally, 6> after_grade{};
    week_tally after_repeat;
    // The first quarter's spaced reviews by the grade before (0-5, 6 after a same-day repeat)
    // and by the spaced reviews the item had had.
    std::array<std::array<week_tally, repetition_bands>, 7> first_quarter_by{};
    // The network's weights at the end of a run of the program.
    std::array<float, ann_weight_count> end_weights{};
    // The cases in the network's store at the end, by the grade they describe (learning runs).
    std::array<learnt_cases, 6> learnt{};
    double seconds = 0;

    double retention() const;
    double first_quarter_retention() const;
    double reviews_per_known() const;
};

simulation_result simulate(scheduler_kind kind, const simulation_settings& settings);

// New items on `day` when `items` are spread evenly over `days`.
uint32_t new_items_on(int day, const simulation_settings& settings);
