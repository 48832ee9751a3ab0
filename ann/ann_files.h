#pragma once
// The network's start-up and shutdown with its two files: weights.bin (the 160 weights,
// rewritten whole at close) and user_cases.bin (20-byte cases, appended as they arise).
#include <cstdint>
#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "ann/network.h"

constexpr size_t weights_file_size = ann_weight_count * sizeof(float);  // 640
constexpr size_t case_record_size = sizeof(ann_case);  // 20

// When user_cases.bin is read: at once, or on a thread of its own while the program goes on,
// the store's first use waiting for it (wait_for_case_store).
enum class case_loading { now, beside };

// Builds the network, loads user_cases.bin and weights.bin; called once the database is open.
void ma_nn_init(case_loading loading = case_loading::now);
// Saves weights.bin and frees the network and the case store; the weights stay.
void ma_nn_deinit();
// Frees the network and the case store without saving (the close saves the weights together
// with the database).
void ann_shutdown();

void load_weights();
// False when weights.bin could not be replaced (logged).
bool save_weights();
// The weights in the file's form; false when the write failed.
bool write_weights(FILE* file);
void load_cases(case_loading loading = case_loading::now);
// Whether `candidate`, about to become the store's next case (index case_count), repeats an
// earlier case; if so that case's target becomes the mean of both, in days.
bool merge_duplicate_case(const ann_case& candidate);
// A new case from a grade: into the store, trained on once, appended to user_cases.bin.
void add_cases(uint16_t livl, uint16_t rllivl, uint16_t rp, uint16_t gr, uint16_t target);
// While held, add_cases keeps the cases' bytes for its caller to append in one write (the many
// grades of another computer applied at once) instead of a synced append each.
void hold_case_appends();
// The bytes held since hold_case_appends, in user_cases.bin's form; appends are direct again.
std::string release_held_cases();

// What a grade may change in the network: its weights, rates and case store, and the length of
// user_cases.bin. Taken before a grade, restored to undo it.
struct ann_checkpoint {
    std::array<float, ann_weight_count> weights{};  // the weights before the grade
    float learning_rate = 0;  // the learning rate before the grade
    float last_error = 0;  // the error of the last evaluation before the grade
    float test_error = 0;  // the smoothed TestError before the grade
    uint32_t case_count = 0;  // cases in the store before the grade
    int64_t cases_file_size = -1;  // bytes of user_cases.bin then; -1 when it did not exist
};
ann_checkpoint take_ann_checkpoint();
// Puts the network back; cases appended since are dropped from the store and from
// user_cases.bin. False (logged) when the file could not be cut back.
bool restore_ann_checkpoint(const ann_checkpoint& c);
