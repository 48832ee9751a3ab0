#include "session/sync_same_items.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "session/sync_state.h"

namespace {

// Records are looked up by digests of their texts: a lifetime collection holds a million items
// and 200,000 queued in a few hundred categories. An item's texts count within its id, a queue
// item's within its category; every hit is compared in full.
uint64_t text_digest(uint64_t within, char which, std::string_view text)
{
    return XXH3_64bits_withSeed(text.data(), text.size(), within * 4 + (which == 'a'));
}

uint64_t texts_digest(uint64_t within, std::string_view question, std::string_view answer)
{
    return XXH3_64bits_withSeed(answer.data(), answer.size(), text_digest(within, 'q', question));
}

template <typename Record>
uint64_t within_of(const Record* x)
{
    if constexpr (std::is_same_v<Record, item>)
        return x->id;
    else
        return (uint64_t{1} << 32) | x->ctgr;
}

uint64_t within_of(const change_record& r, uint16_t c)
{
    return r.kind == change_kind::add_item ? r.schedule.id : (uint64_t{1} << 32) | c;
}

template <typename Record>
bool same_texts(const Record* x, std::string_view question, std::string_view answer)
{
    return x->question.view() == question && x->answer.view() == answer;
}

template <typename Record>
uint64_t digest_of(const Record* x)
{
    return texts_digest(within_of(x), x->question.view(), x->answer.view());
}

// `f` of the item or queue item `record` as what it is.
template <typename F>
auto as_record(const void* record, bool queued, F&& f)
{
    return queued ? f(static_cast<const pending_item*>(record)) : f(static_cast<const item*>(record));
}

struct unrecorded_notes {
    bool open = false;  // a start is applying: records with no identity may be made again
    bool gathered = false;  // the lists below hold them (at the first making that looks)
    // By the digest of each non-empty text: several records may share an id and a short answer.
    std::unordered_map<uint64_t, std::vector<const item*>> items;
    std::unordered_map<uint64_t, std::vector<const pending_item*>> queue;
    std::unordered_set<const void*> taken;  // matched to a record already
    std::vector<std::pair<item_key, uint32_t>> kept;  // items keeping their schedule, with its digest
};

unrecorded_notes& notes()
{
    static unrecorded_notes n;
    return n;
}

template <typename Record>
void note_unrecorded(std::unordered_map<uint64_t, std::vector<const Record*>>& by_text, const Record* x)
{
    const uint64_t within = within_of(x);
    if (!x->question.view().empty())
        by_text[text_digest(within, 'q', x->question.view())].push_back(x);
    if (!x->answer.view().empty())
        by_text[text_digest(within, 'a', x->answer.view())].push_back(x);
}

// Both texts alike, or else one that no other record of the same id (category) has.
template <typename Record>
const Record* take_unrecorded(std::unordered_map<uint64_t, std::vector<const Record*>>& by_text, const change_record& r,
    uint16_t c, std::unordered_set<const void*>& taken)
{
    const uint64_t within = within_of(r, c);
    const auto candidates = [&](char which, const std::string& text) {
        std::vector<const Record*> found;
        if (text.empty())
            return found;
        if (const auto it = by_text.find(text_digest(within, which, text)); it != by_text.end())
            for (const Record* x : it->second)
                if (!taken.count(x) && within_of(x) == within && (which == 'q' ? x->question : x->answer).view() == text)
                    found.push_back(x);
        return found;
    };
    const std::vector<const Record*> by_question = candidates('q', r.question);
    const std::vector<const Record*> by_answer = candidates('a', r.answer);
    const Record* found = nullptr;
    if (const auto both = std::ranges::find_if(by_question, [&r](const Record* x) { return same_texts(x, r.question, r.answer); });
        both != by_question.end())
        found = *both;
    else if (by_question.size() == 1)
        found = by_question[0];
    else if (by_answer.size() == 1)
        found = by_answer[0];
    if (found)
        taken.insert(found);
    return found;
}

// Every record of the open database by the digest of its id (category) and texts, gathered at the
// first lookup of a session with the folder; those made by a record since are added. A record
// freed or changed since is told by its marks and its fields.
struct copy_index {
    bool built = false;
    std::vector<std::pair<uint64_t, const void*>> gathered;  // sorted
    std::unordered_multimap<uint64_t, const void*> made;  // by a record since
    std::set<std::tuple<uint64_t, uint64_t, uint64_t>> named;  // key and a computer whose copy names it
};

copy_index& copies()
{
    static copy_index index;
    return index;
}

bool key_less(const item_key& a, const item_key& b) { return std::pair(a.computer, a.number) < std::pair(b.computer, b.number); }

copy_index& built_copies()
{
    copy_index& x = copies();
    if (x.built)
        return x;
    x.built = true;
    x.gathered.reserve(db().item_count + db().pending_count);
    for (const item* e = db().head; e; e = e->next)
        x.gathered.emplace_back(digest_of(e), e);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        x.gathered.emplace_back(digest_of(p), p);
    std::ranges::sort(x.gathered);
    for (const auto& [copy, key] : sync_g().same_as)
        x.named.emplace(key.computer, key.number, copy.computer);
    return x;
}

}  // namespace

void gather_unrecorded()
{
    forget_copies();
    notes() = {};
    notes().open = true;
}

const void* take_unrecorded_match(const change_record& r, uint16_t c)
{
    unrecorded_notes& n = notes();
    if (!n.open)
        return nullptr;
    // Only when a start applies a making: most starts apply none, and a pass over a lifetime
    // collection is not free. Records made since the start began have identities already.
    if (!n.gathered) {
        n.gathered = true;
        for (const item* e = db().head; e; e = e->next)
            if (!marks_of(e))
                note_unrecorded(n.items, e);
        for (const pending_item* p = db().pending_head; p; p = p->next)
            if (!marks_of(p))
                note_unrecorded(n.queue, p);
    }
    if (r.kind == change_kind::add_item)
        return n.items.empty() ? nullptr : take_unrecorded(n.items, r, c, n.taken);
    return n.queue.empty() ? nullptr : take_unrecorded(n.queue, r, c, n.taken);
}

void note_schedule_kept(const item* e)
{
    notes().kept.emplace_back(marks_of(e)->key, schedule_print(*e));
}

std::vector<offline_change> finish_unrecorded()
{
    std::vector<offline_change> changes;
    for (const auto& [key, print] : notes().kept) {
        const void* record = record_with(key);
        const item_marks* m = record ? marks_of(record) : nullptr;
        // Set again by a later change from elsewhere, or introduced back into the queue: that stands.
        if (!m || m->queued || schedule_print(*static_cast<const item*>(record)) != print)
            continue;
        offline_change c;
        c.item = key;
        c.schedule = true;
        c.schedule_set = m->schedule;
        changes.push_back(c);
    }
    notes() = {};
    return changes;
}

const void* recorded_copy(const change_record& r, uint16_t c)
{
    copy_index& x = built_copies();
    const bool queued = r.kind == change_kind::queue_add;
    const uint64_t within = within_of(r, c);
    const uint64_t digest = texts_digest(within, r.question, r.answer);
    const void* found = nullptr;
    const item_marks* found_marks = nullptr;
    const auto consider = [&](const void* record) {
        const item_marks* m = marks_of(record);
        if (!m || m->queued != queued || record_with(m->key) != record || m->key.computer == r.item.computer
            || x.named.count({m->key.computer, m->key.number, r.item.computer}))
            return;
        const bool same = as_record(record, queued,
            [&](const auto* x) { return within_of(x) == within && same_texts(x, r.question, r.answer); });
        if (same && (!found || key_less(m->key, found_marks->key))) {
            found = record;
            found_marks = m;
        }
    };
    for (auto it = std::ranges::lower_bound(x.gathered, std::pair<uint64_t, const void*>(digest, nullptr));
         it != x.gathered.end() && it->first == digest; ++it)
        consider(it->second);
    const auto [from, to] = x.made.equal_range(digest);
    for (auto it = from; it != to; ++it)
        consider(it->second);
    return found;
}

void note_made(const void* made, bool queued)
{
    copy_index& x = copies();
    if (!x.built)
        return;
    x.made.emplace(as_record(made, queued, [](const auto* e) { return digest_of(e); }), made);
}

void note_copy(const item_key& copy, const item_key& key)
{
    sync_g().same_as[copy] = key;
    copies().named.emplace(key.computer, key.number, copy.computer);
}

void forget_copies() { copies() = {}; }
