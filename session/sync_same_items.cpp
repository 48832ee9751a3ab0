#include "session/sync_same_items.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "session/sync_state.h"

namespace {

struct unrecorded_notes {
    std::unordered_map<uint32_t, std::vector<const item*>> items;  // by id
    std::unordered_map<uint16_t, std::vector<const pending_item*>> queue;  // by category
    std::vector<std::pair<item_key, uint32_t>> kept;  // items keeping their schedule, with its digest
};

unrecorded_notes& notes()
{
    static unrecorded_notes n;
    return n;
}

// Both texts alike, or else one, where no other record of the list has it: many items share an
// id (an import's second) and a short answer ("yes").
template <typename Record>
const Record* take_first(std::vector<const Record*>& list, const change_record& r)
{
    const auto take = [&list](auto it) {
        const Record* found = *it;
        list.erase(it);
        return found;
    };
    const auto both = std::ranges::find_if(list, [&r](const Record* x) {
        return x->question.view() == r.question && x->answer.view() == r.answer;
    });
    if (both != list.end())
        return take(both);
    for (const auto text : {&Record::question, &Record::answer}) {
        const std::string& wanted = text == &Record::question ? r.question : r.answer;
        const auto alike = [&](const Record* x) { return !wanted.empty() && (x->*text).view() == wanted; };
        if (std::ranges::count_if(list, alike) == 1)
            return take(std::ranges::find_if(list, alike));
    }
    return nullptr;
}

// Every record of the open database by id (items) or category (queue), gathered at the first
// lookup of an apply: a record freed since is told by its marks.
struct copy_index {
    bool built = false;
    std::unordered_map<uint32_t, std::vector<const void*>> items;
    std::unordered_map<uint16_t, std::vector<const void*>> queue;
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
    for (const item* e = db().head; e; e = e->next)
        x.items[e->id].push_back(e);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        x.queue[p->ctgr].push_back(p);
    for (const auto& [copy, key] : sync_g().same_as)
        x.named.emplace(key.computer, key.number, copy.computer);
    return x;
}

}  // namespace

void gather_unrecorded()
{
    forget_copies();
    unrecorded_notes& n = notes();
    n = {};
    for (const item* e = db().head; e; e = e->next)
        if (!marks_of(e))
            n.items[e->id].push_back(e);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        if (!marks_of(p))
            n.queue[p->ctgr].push_back(p);
}

const void* take_unrecorded_match(const change_record& r, uint16_t c)
{
    unrecorded_notes& n = notes();
    if (r.kind == change_kind::add_item) {
        const auto it = n.items.find(r.schedule.id);
        return it == n.items.end() ? nullptr : take_first(it->second, r);
    }
    const auto it = n.queue.find(c);
    return it == n.queue.end() ? nullptr : take_first(it->second, r);
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
    forget_copies();
    return changes;
}

const void* recorded_copy(const change_record& r, uint16_t c)
{
    copy_index& x = built_copies();
    const bool queued = r.kind == change_kind::queue_add;
    const std::vector<const void*>* list = nullptr;
    if (queued) {
        const auto it = x.queue.find(c);
        list = it == x.queue.end() ? nullptr : &it->second;
    } else {
        const auto it = x.items.find(r.schedule.id);
        list = it == x.items.end() ? nullptr : &it->second;
    }
    if (!list)
        return nullptr;
    const void* found = nullptr;
    const item_marks* found_marks = nullptr;
    for (const void* record : *list) {
        const item_marks* m = marks_of(record);
        if (!m || m->queued != queued || record_with(m->key) != record || m->key.computer == r.item.computer
            || x.named.count({m->key.computer, m->key.number, r.item.computer}))
            continue;
        const bool same = queued
            ? static_cast<const pending_item*>(record)->ctgr == c && static_cast<const pending_item*>(record)->question.view() == r.question
                && static_cast<const pending_item*>(record)->answer.view() == r.answer
            : static_cast<const item*>(record)->id == r.schedule.id && static_cast<const item*>(record)->question.view() == r.question
                && static_cast<const item*>(record)->answer.view() == r.answer;
        if (same && (!found || key_less(m->key, found_marks->key))) {
            found = record;
            found_marks = m;
        }
    }
    return found;
}

void note_made(const void* made, bool queued)
{
    copy_index& x = copies();
    if (!x.built)
        return;
    if (queued)
        x.queue[static_cast<const pending_item*>(made)->ctgr].push_back(made);
    else
        x.items[static_cast<const item*>(made)->id].push_back(made);
}

void note_copy(const item_key& copy, const item_key& key)
{
    sync_g().same_as[copy] = key;
    copies().named.emplace(key.computer, key.number, copy.computer);
}

void forget_copies() { copies() = {}; }
