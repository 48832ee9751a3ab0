#pragma once
// What applying another computer's records adds outside the database's commit: the grades'
// lines in reviews.log and the network's cases in user_cases.bin. Before a batch is appended,
// sync.effects in the data directory says how far each computer's records have had their
// effects here, where the batch goes and how long it is; a start that finds the batch cut short
// by a crash cuts it off and counts its records as not having had their effects, so they apply
// again in full. So the lines and cases of a record are added once, even when a start after a
// crash, or after a restored backup, applies the record to the database again. An undo from
// elsewhere takes its grade's case back out, as an undo here does.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "formats/change_log.h"
#include "session/retention_control.h"

// The file in the data directory.
inline constexpr const char sync_effects_name[] = "sync.effects";

struct sync_effects_batch {
    std::string reviews;  // records for reviews.log
    std::string cases;  // records for user_cases.bin
};

enum class effects_status {
    done,  // the file is read (or there was none) and its appends are whole
    unreadable,  // the file is damaged: no record counts as having had its effects
    not_appended,  // an append failed (logged): the grades wait in memory as the review log's own do
};

class sync_effects {
public:
    // Reads the file of the data directory `dir` (ending with '/'); a batch whose append a crash
    // cut short is cut off.
    effects_status open(const std::string& dir);
    // Whether the record `sequence` of `computer` has had its effects here already.
    bool had_effects(uint64_t computer, uint64_t sequence) const;
    // Whether any record has.
    bool any() const { return !through_.empty(); }
    // Records that the records of each computer up to `through` have had their effects, with
    // where the batch goes, then appends it: done, or not_appended when the disk refused. The
    // cases that undos took back leave the batch, or user_cases.bin where an earlier batch put them.
    effects_status commit(const std::map<uint64_t, uint64_t>& through, sync_effects_batch batch);
    // Before and after `r` of `computer` is applied; `effects` as it is applied with. A grade's
    // case is remembered; an undo takes the case of its computer's last grade of the item back
    // out of the network, and the network and the retention figures back to before that grade
    // where nothing changed them since: as the undo did where it was made.
    void applying(const change_record& r, bool effects);
    void applied(uint64_t computer, const change_record& r, bool effects);

private:
    // The network and the retention figures as they stood before or after a grade.
    struct network_state {
        std::array<float, ann_weight_count> weights{};  // the weights
        float learning_rate = 0;  // the learning rate
        float last_error = 0;  // the error of the last evaluation
        float test_error = 0;  // the smoothed TestError
        retention_control control;  // the retention figures
        static network_state now();
        void restore() const;
        bool operator==(const network_state&) const = default;
    };
    // What a grade from elsewhere gave the network: its case, and the network around it.
    struct given_case {
        ann_case added{};  // the case
        network_state before;  // the network before the grade
        network_state after;  // and after it
    };
    // A grade from elsewhere applied in this run, for its undo.
    struct remote_grade {
        uint64_t computer = 0;  // its writer
        item_key item;  // the item graded
        std::unique_ptr<given_case> given;  // null when it added no case here
    };
    // Takes one case of these bytes out of user_cases.bin, the last that matches; false (logged)
    // when the file could not be replaced.
    bool drop_case_from_file(const std::string& bytes) const;

    // Replaces the file: the sequences through which effects are made (and were, before the
    // batch) and where the batch goes.
    void write_file(const std::map<uint64_t, uint64_t>& before, uint64_t reviews_at, uint64_t reviews_length,
        uint64_t cases_at, uint64_t cases_length) const;

    std::string dir_;  // the data directory
    std::map<uint64_t, uint64_t> through_;  // per computer, the last sequence whose effects are made
    network_state before_;  // what applying() took of the network before a grade
    uint32_t cases_before_ = 0;  // the cases in the store then
    std::deque<remote_grade> grades_;  // the grades from elsewhere of this run, oldest first
    std::vector<std::string> taken_back_;  // cases undos took out of the network, in the file's form, for the next commit
};
