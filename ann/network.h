#pragma once
// The interval network: 4 inputs, 32 sigmoid hidden units, 1 sigmoid output, no biases.
// All of its arithmetic is single precision, each product and sum rounded on its own.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ann/ann_case.h"
#include "ann/case_index.h"

constexpr int ann_inputs = 4;
constexpr int ann_hidden = 32;
constexpr int ann_weight_count = ann_hidden * ann_inputs + ann_hidden;  // 160
constexpr int ann_output_weights = ann_hidden * ann_inputs;  // index of the first output weight
constexpr float ann_input_floor = 0.001953125f;  // 1/512: no input or target runs below it

// What a run of the network does beyond answering.
enum class ann_mode : int {
    ANN_QUERY = 0,  // answer only
    ANN_EVALUATE = 1,  // also the error against the case's target
    ANN_TRAIN = 2,  // also a step of training on the case
};
using enum ann_mode;  // the modes go by their own names

struct ann_layer {
    float* out = nullptr;
    float* delta = nullptr;
};

struct ann {
    ann() = default;
    ann(const ann&) = delete;  // the layers point into the object itself
    ann& operator=(const ann&) = delete;

    std::array<float, 8> inputs{};  // kept for the layout's sake; a run reads the case itself
    std::array<float, 2 * ann_hidden> hidden_values{};  // out, then delta
    std::array<float, 2> output_values{};
    ann_layer hidden{hidden_values.data(), hidden_values.data() + ann_hidden};
    ann_layer output{output_values.data(), output_values.data() + 1};
};

constexpr uint16_t builtin_case_count = 962;
constexpr uint32_t case_store_step = 1024;
constexpr uint32_t user_case_block = 4096;  // user cases per block of their storage

extern const std::array<float, ann_weight_count> builtin_weights;
extern const std::array<ann_case, builtin_case_count> builtin_cases;

// The network's process-wide state, one record.
struct ann_state {
    float learning_rate = 0.1f;
    float last_error = 0;
    float test_error = 0;  // smoothed TestError of this run; 0 until estimated
    bool ann_initialised = false;
    uint32_t case_count = 0;

    std::array<float, ann_weight_count> ann_weights = builtin_weights;
    std::unique_ptr<ann> network;  // built by generate_ann

    // The case store, one pointer per case. Slots below builtin_case_count point into
    // builtin_copy, a working copy of the shipped table (merging may change a target for the
    // run); the others point into user_blocks. The vector grows geometrically.
    std::vector<ann_case*> case_store;
    // The store's capacity as its growth rule gives it: 1024 slots, then case_count + 1025
    // whenever case_count reaches a multiple of 1024.
    size_t case_capacity = 0;
    std::unique_ptr<std::array<ann_case, builtin_case_count>> builtin_copy;
    // The user cases in blocks of user_case_block, so that no case moves while the store grows.
    std::vector<std::unique_ptr<ann_case[]>> user_blocks;
    // The duplicate search's view of the store while it loads; empty at other times.
    case_index duplicates{builtin_case_count + 1};
};

ann_state& ann_globals();

float encode_days(uint16_t days);
// 0..2047; an output too large for the day range gives 2047, a NaN gives 0.
uint16_t decode_days(float y);
float encode_repetitions(uint16_t repetitions);
extern const std::array<float, 6> grade_input_table;
float encode_grade(uint16_t grade);  // 1.0 above grade 5
ann_case make_case(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade, uint16_t target);

// Runs the network on `c`. In ANN_QUERY mode returns the address of the output y; the other
// modes return null, ANN_EVALUATE having set last_error and the output delta, and ANN_TRAIN
// having trained the weights on the case as well.
const float* ann_step(const ann_case& c, ann_mode mode);
// The network's raw answer in days (0..2047).
uint16_t ann_interval(uint16_t ivl, uint16_t elapsed, uint16_t rp, uint16_t grade);

// Estimates TestError, adapts the learning rate, stores and returns the smoothed value.
float compute_test_error();

// Builds the network and an empty case store of 1024 slots; learning rate 0.1. The weights
// keep what they hold.
void generate_ann();
// Frees the network and the case store; the weights stay.
void free_ann();

// The store's filling at a start may run on a thread of its own: `fill` fills it there and
// returns what is left to do on the program's own thread (its messages to the log). Every
// function here that touches the store, and every other reader of its fields, first waits for
// the filling to end and does what it left (wait_for_case_store); the filling thread never waits.
void fill_case_store_beside(std::function<std::function<void()>()> fill);
void wait_for_case_store();

// Points the first builtin_case_count slots at a fresh copy of the built-in cases.
void reset_case_store();
// Makes room for the case at index case_count: the store's capacity becomes case_count + 1025
// slots when case_count is a multiple of 1024 (the memory behind it grows geometrically).
// False when the memory cannot be had.
bool reserve_case_slot();
// Appends a copy of `c` as the store's next user case; null when the memory cannot be had.
ann_case* append_case(const ann_case& c);
// Takes the user cases from index `count` on out of the store again (an undone grade).
void drop_cases_from(uint32_t count);
ann_case* case_at(uint32_t index);  // null at and beyond case_count
size_t case_store_capacity();  // by the growth rule of reserve_case_slot
