#include "session/sync_same_items.h"

#include <algorithm>
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

}  // namespace

void gather_unrecorded()
{
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
    return changes;
}
