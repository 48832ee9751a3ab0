#pragma once
// What applying another computer's records adds outside the database's commit: the grades'
// lines in reviews.log and the network's cases in user_cases.bin. Before a batch is appended,
// sync.effects in the data directory says how far each computer's records have had their
// effects here, where the batch goes and how long it is; a start that finds the batch cut short
// by a crash cuts it off and counts its records as not having had their effects, so they apply
// again in full. So the lines and cases of a record are added once, even when a start after a
// crash, or after a restored backup, applies the record to the database again.
#include <cstdint>
#include <map>
#include <string>

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
    // where the batch goes, then appends it: done, or not_appended when the disk refused.
    effects_status commit(const std::map<uint64_t, uint64_t>& through, const sync_effects_batch& batch);

private:
    // Replaces the file: the sequences through which effects are made (and were, before the
    // batch) and where the batch goes.
    void write_file(const std::map<uint64_t, uint64_t>& before, uint64_t reviews_at, uint64_t reviews_length,
        uint64_t cases_at, uint64_t cases_length) const;

    std::string dir_;  // the data directory
    std::map<uint64_t, uint64_t> through_;  // per computer, the last sequence whose effects are made
};
