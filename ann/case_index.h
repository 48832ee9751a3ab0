#pragma once
// What the duplicate search of a loading case store asks of the cases before the new one, each
// answered without walking the store: the latest case with the same four inputs, the highest
// index below a bound whose case has a given key, and the highest multiple of 4 below a bound
// whose case's input 1 is below a given value. Cases are taken in by index order; their
// inputs must not change afterwards (a merge changes only a target).
#include <cstdint>
#include <vector>

#include "ann/ann_case.h"

class case_index {
public:
    static constexpr uint32_t none = UINT32_MAX;

    // `mark`: the bound that searches by key ask for most; each key keeps its answer for it.
    explicit case_index(uint32_t mark = 0) : mark_(mark) {}

    // Forgets every case; the memory goes too.
    void clear();
    // Makes room for `count` cases at once, so that taking in a known number grows nothing.
    void reserve(uint32_t count);
    // Takes in store[indexed() .. count - 1].
    void catch_up(const std::vector<ann_case*>& store, uint32_t count);
    uint32_t indexed() const { return static_cast<uint32_t>(key_links_.size()); }

    // The highest index whose case has the same 16 bytes of inputs as `c`, or none.
    uint32_t last_with_inputs(const std::vector<ann_case*>& store, const ann_case& c) const;
    // The highest index below `end` whose case has this key, or none.
    uint32_t last_with_key_below(uint32_t key, uint32_t end) const;
    // The highest index below `end`, a multiple of 4 and not 0, whose case's input 1 is below
    // `limit` (a NaN is below nothing) and whose key is not `other_than`, or none.
    uint32_t last_input1_below(uint32_t end, float limit, uint32_t other_than) const;

private:
    void add(const std::vector<ann_case*>& store, uint32_t index);

    // Open addressing, linear probing, power-of-two sizes, at most half full.
    struct key_slot {
        uint32_t key = 0;      // the key of the duplicate search
        uint32_t last = none;  // highest index with the key; none marks a free slot
        uint32_t last_below_mark = none;  // highest index below mark_ with the key
    };
    struct inputs_slot {
        uint32_t hash = 0;     // of the 16 input bytes, compared before the bytes themselves
        uint32_t last = none;  // highest index with these inputs; none marks a free slot
    };
    uint32_t mark_;
    std::vector<key_slot> keys_;
    std::vector<inputs_slot> inputs_;
    uint32_t key_count_ = 0;
    uint32_t inputs_count_ = 0;

    // Per index: the previous index with the same key (none for the first), a jump further
    // back along that chain, and the chain's length below, so that finding the highest index
    // below a bound takes logarithmic steps (skew-binary jumps).
    struct key_link {
        uint32_t prev;   // the previous index with the key, or none
        uint32_t jump;   // an index further back on the chain (the index itself at its start)
        uint32_t depth;  // the number of indexes before this one on the chain
    };
    std::vector<key_link> key_links_;  // together, as each step reads both prev and jump

    // Input 1 of the cases at multiples of 4 (index 0 as +infinity: it is never examined),
    // and above it levels of minimums over groups of `fanout`. Each minimum comes with the
    // smallest value among the other keys, so that the cases of one key can be left out.
    struct minimum {
        float least;        // the smallest input 1 (+infinity when none counts)
        uint32_t key;       // the key of a case holding it
        float least_other;  // the smallest input 1 among cases of other keys than `key`
    };
    static constexpr uint32_t fanout = 16;
    std::vector<std::vector<minimum>> minimums_;
};

// The key of the duplicate search: the exclusive-or of the bit patterns of inputs 0 and 2.
uint32_t case_key(const ann_case& c);
