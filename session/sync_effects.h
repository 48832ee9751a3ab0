#pragma once
// What applying another computer's records adds outside the database's commit: the grades'
// lines in reviews.log and the network's cases in user_cases.bin. A batch's bytes go first into
// sync.effects in the data directory, with how far each computer's records have had their
// effects here, and are appended after; a start finishes an append a crash cut short. So the
// lines and cases of a record are added once, even when a start after a crash, or after a
// restored backup, applies the record to the database again.
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
    not_appended,  // an append could not be finished (logged); it is tried again at the next start
};

class sync_effects {
public:
    // Reads the file of the data directory `dir` (ending with '/') and finishes its appends.
    effects_status open(const std::string& dir);
    // Whether the record `sequence` of `computer` has had its effects here already.
    bool had_effects(uint64_t computer, uint64_t sequence) const;
    // Records that the records of each computer up to `through` have had their effects, with
    // the batch's bytes, then appends them: done, or not_appended when the disk refused (the
    // bytes stay in the file for the next start).
    effects_status commit(const std::map<uint64_t, uint64_t>& through, const sync_effects_batch& batch);

private:
    effects_status finish_appends();

    std::string dir_;  // the data directory
    std::map<uint64_t, uint64_t> through_;  // per computer, the last sequence whose effects are made
    uint64_t reviews_at_ = 0;  // where the last batch's reviews go in reviews.log
    uint64_t cases_at_ = 0;  // where its cases go in user_cases.bin
    sync_effects_batch last_;  // the last batch, until a later one replaces it
};
