#pragma once
// Passes over a whole review log that hold a chunk of it at a time, not its records: a lifetime's
// log is ten million records.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "session/review_log.h"

// A log's whole records in chunks, from its end back to its start or from its start on, so that
// a pass over a lifetime's log holds one chunk, not the records.
class review_log_chunks {
public:
    enum class direction : uint8_t { backward, forward };
    // At most `records` whole records from the log's start are read (all of them when larger),
    // `chunk_records` at a time: a pass that ends near the log's end reads little.
    review_log_chunks(const std::string& path, direction way, uint64_t records = UINT64_MAX, uint32_t chunk_records = 65536);
    ~review_log_chunks();
    review_log_chunks(const review_log_chunks&) = delete;
    review_log_chunks& operator=(const review_log_chunks&) = delete;
    bool found() const { return file_ != nullptr; }
    // Whole records in the part read, and the bytes of a piece of a record after them.
    uint64_t records() const { return records_; }
    uint32_t partial_bytes() const { return partial_bytes_; }
    // The next chunk of whole records; empty at the end, or after a read error (logged).
    std::span<const unsigned char> next();
    // The number in the file of the first record of the chunk `next` gave.
    uint64_t first_record() const { return first_; }

private:
    std::string path_;
    FILE* file_ = nullptr;
    direction way_;
    uint64_t records_ = 0;
    uint32_t partial_bytes_ = 0;
    uint64_t first_ = 0;
    uint64_t done_ = 0;  // records already given
    std::vector<unsigned char> chunk_;
};

// Tells, for records met from the log's end backwards, which grades still stand. An undo takes
// back the latest earlier grade of its item not yet taken back, so going backwards an item's
// grade falls when an undo of it is still unmatched; matched undos leave the table, which holds
// only the items with one open.
class backward_undos {
public:
    bool stands(const review_record& r)
    {
        if (r.event == review_event::undo) {
            ++open_undos_[r.item_id];
            return false;
        }
        if (!open_undos_.empty()) {
            const auto open = open_undos_.find(r.item_id);
            if (open != open_undos_.end()) {
                if (--open->second == 0)
                    open_undos_.erase(open);
                return false;
            }
        }
        return true;
    }

private:
    std::unordered_map<uint32_t, uint32_t> open_undos_;  // item id to its undos not yet matched
};
