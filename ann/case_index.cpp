#include "ann/case_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <cmath>
#include <limits>

namespace {

constexpr size_t input_bytes = 4 * sizeof(float);
constexpr size_t first_table_size = 1024;
constexpr float never_below = std::numeric_limits<float>::infinity();

uint32_t bits(float f) { return std::bit_cast<uint32_t>(f); }

uint32_t mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h);
}

uint32_t inputs_hash(const ann_case& c)
{
    uint64_t h = 0;
    for (size_t i = 0; i < 4; ++i)
        h = (h ^ bits(c[i])) * 0x9E3779B97F4A7C15ull;
    return mix(h);
}

bool same_inputs(const ann_case& a, const ann_case& b) { return std::memcmp(a.data(), b.data(), input_bytes) == 0; }

void lower(float& minimum, float value)
{
    if (value < minimum)
        minimum = value;
}

template <class Slot>
std::vector<Slot> grown(const std::vector<Slot>& table, uint32_t Slot::*hash_of, size_t size = 0)
{
    std::vector<Slot> bigger(std::max({first_table_size, table.size() * 2, size}));
    const size_t mask = bigger.size() - 1;
    for (const Slot& s : table) {
        if (s.last == case_index::none)
            continue;
        size_t at = mix(s.*hash_of) & mask;
        while (bigger[at].last != case_index::none)
            at = (at + 1) & mask;
        bigger[at] = s;
    }
    return bigger;
}

}  // namespace

namespace {

// The minimum of the union of two groups of cases.
template <class Minimum>
Minimum combined(const Minimum& a, const Minimum& b)
{
    Minimum r = b.least < a.least ? b : a;
    r.least_other = never_below;
    for (const Minimum* m : {&a, &b}) {
        if (m->key != r.key)
            lower(r.least_other, m->least);
        lower(r.least_other, m->least_other);
    }
    return r;
}

template <class Minimum>
bool counts(const Minimum& m, float limit, uint32_t other_than)
{
    return (m.key != other_than ? m.least : m.least_other) < limit;
}

}  // namespace

uint32_t case_key(const ann_case& c) { return bits(c[0]) ^ bits(c[2]); }

void case_index::clear() { *this = case_index{mark_}; }

void case_index::reserve(uint32_t count)
{
    // At most half full, as add keeps them.
    const size_t slots = std::bit_ceil(size_t{count} * 2);
    if (keys_.size() < slots)
        keys_ = grown(keys_, &key_slot::key, slots);
    if (inputs_.size() < slots)
        inputs_ = grown(inputs_, &inputs_slot::hash, slots);
    key_links_.reserve(count);
}

void case_index::catch_up(const std::vector<ann_case*>& store, uint32_t count)
{
    for (uint32_t i = indexed(); i < count && i < store.size(); ++i)
        add(store, i);
}

void case_index::add(const std::vector<ann_case*>& store, uint32_t index)
{
    const ann_case& c = *store[index];

    if ((key_count_ + 1) * 2 > keys_.size())
        keys_ = grown(keys_, &key_slot::key);
    const uint32_t key = case_key(c);
    size_t at = mix(key) & (keys_.size() - 1);
    while (keys_[at].last != none && keys_[at].key != key)
        at = (at + 1) & (keys_.size() - 1);
    const uint32_t prev = keys_[at].last;
    if (prev == none)
        ++key_count_;
    keys_[at] = {key, index, index < mark_ ? index : keys_[at].last_below_mark};
    if (prev == none) {
        key_links_.push_back({none, index, 0});
    } else {
        const key_link& parent = key_links_[prev];
        const uint32_t a = parent.jump;
        const uint32_t b = key_links_[a].jump;
        const bool even = parent.depth - key_links_[a].depth == key_links_[a].depth - key_links_[b].depth;
        key_links_.push_back({prev, even ? b : prev, parent.depth + 1});
    }

    if ((inputs_count_ + 1) * 2 > inputs_.size())
        inputs_ = grown(inputs_, &inputs_slot::hash);
    const uint32_t hash = inputs_hash(c);
    at = mix(hash) & (inputs_.size() - 1);
    while (inputs_[at].last != none && !(inputs_[at].hash == hash && same_inputs(*store[inputs_[at].last], c)))
        at = (at + 1) & (inputs_.size() - 1);
    if (inputs_[at].last == none)
        ++inputs_count_;
    inputs_[at] = {hash, index};

    if (index % 4 != 0)
        return;
    if (minimums_.empty())
        minimums_.emplace_back();
    // A NaN is below nothing, so it counts as +infinity, as does index 0, which is never examined.
    const float value = index == 0 || std::isnan(c[1]) ? never_below : c[1];
    const minimum leaf{value, key, never_below};
    const minimum nothing{never_below, key, never_below};
    size_t pos = minimums_[0].size();
    minimums_[0].push_back(leaf);
    for (size_t level = 1; minimums_[level - 1].size() > 1; ++level) {
        pos /= fanout;
        if (level == minimums_.size()) {
            // A new top: the minimums of every group below, this case's included.
            const std::vector<minimum>& below = minimums_[level - 1];
            std::vector<minimum> top((below.size() + fanout - 1) / fanout, nothing);
            for (size_t q = 0; q < below.size(); ++q)
                top[q / fanout] = combined(top[q / fanout], below[q]);
            minimums_.push_back(std::move(top));
            continue;
        }
        std::vector<minimum>& current = minimums_[level];
        if (pos == current.size())
            current.push_back(nothing);
        current[pos] = combined(current[pos], leaf);
    }
}

uint32_t case_index::last_with_inputs(const std::vector<ann_case*>& store, const ann_case& c) const
{
    if (inputs_.empty())
        return none;
    const uint32_t hash = inputs_hash(c);
    for (size_t at = mix(hash) & (inputs_.size() - 1); inputs_[at].last != none; at = (at + 1) & (inputs_.size() - 1))
        if (inputs_[at].hash == hash && same_inputs(*store[inputs_[at].last], c))
            return inputs_[at].last;
    return none;
}

uint32_t case_index::last_with_key_below(uint32_t key, uint32_t end) const
{
    if (keys_.empty())
        return none;
    size_t at = mix(key) & (keys_.size() - 1);
    while (keys_[at].last != none && keys_[at].key != key)
        at = (at + 1) & (keys_.size() - 1);
    uint32_t node = end <= mark_ ? keys_[at].last_below_mark : keys_[at].last;
    while (node != none && node >= end) {
        const key_link& link = key_links_[node];
        node = link.jump < node && link.jump >= end ? link.jump : link.prev;
    }
    return node;
}

uint32_t case_index::last_input1_below(uint32_t end, float limit, uint32_t other_than) const
{
    if (end == 0 || minimums_.empty())
        return none;
    // Ascend: the rest of the group that holds the last position below `end`, then the groups
    // before it one level up, until a minimum below the limit is found.
    size_t level = 0;
    size_t hi = std::min<size_t>((end - 1) / 4 + 1, minimums_[0].size());
    size_t found = SIZE_MAX;
    for (;;) {
        const std::vector<minimum>& current = minimums_[level];
        hi = std::min(hi, current.size());
        if (hi == 0)
            return none;
        const size_t lo = (hi - 1) / fanout * fanout;
        for (size_t q = hi; q-- > lo;) {
            if (counts(current[q], limit, other_than)) {
                found = q;
                break;
            }
        }
        if (found != SIZE_MAX || lo == 0 || level + 1 == minimums_.size())
            break;
        hi = lo / fanout;
        ++level;
    }
    if (found == SIZE_MAX)
        return none;
    // Descend: the last child below the limit, down to the cases themselves.
    while (level > 0) {
        --level;
        const std::vector<minimum>& current = minimums_[level];
        const size_t first = found * fanout;
        for (size_t q = std::min(first + fanout, current.size()); q-- > first;) {
            if (counts(current[q], limit, other_than)) {
                found = q;
                break;
            }
        }
    }
    return found == 0 ? none : static_cast<uint32_t>(found * 4);
}
