#include "session/sync_rematch.h"

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "session/sync.h"
#include "session/sync_paths.h"
#include "session/sync_snapshot.h"
#include "session/sync_state.h"

namespace {

// What the folder's records say of a record whose saved marks nothing matched. Texts and
// categories are every one they ever gave it: a snapshot's entries carry no stamps to tell the
// latest by, and a text edited elsewhere meanwhile still names it.
struct known_record {
    uint32_t id = 0;  // an item's id; 0: none given
    std::set<std::string, std::less<>> questions;  // a queue item's
    std::set<std::string, std::less<>> answers;
    std::set<std::vector<std::string>> paths;  // as the records name them, before renames
};
using known_records = std::unordered_map<item_key, known_record, item_key_hash>;

// One read of the folder, kept to the records of `unmatched`: it holds every item's texts.
known_records what_the_folder_says(const std::vector<item_marks>& unmatched)
{
    known_records known;
    for (const item_marks& m : unmatched)
        known[m.key];
    each_record_in_folder([&](const change_record& r) {
        const auto it = known.find(r.item);
        if (it == known.end())
            return;
        known_record& k = it->second;
        if (r.schedule.id != 0)
            k.id = r.schedule.id;
        if (r.kind == change_kind::queue_add || r.kind == change_kind::edit_item) {
            k.questions.insert(r.question);
            k.answers.insert(r.answer);
        }
        if (r.kind == change_kind::queue_add || r.kind == change_kind::move_item)
            k.paths.insert(r.path);
    });
    return known;
}

// The one index the lists under `keys` hold, or none where they hold none or several.
std::optional<size_t> only_one(const std::unordered_map<std::string, std::vector<size_t>>& lists,
    const std::vector<std::string>& keys)
{
    std::optional<size_t> one;
    for (const std::string& key : keys)
        if (const auto list = lists.find(key); list != lists.end())
            for (const size_t i : list->second) {
                if (one && *one != i)
                    return std::nullopt;
                one = i;
            }
    return one;
}

// Pairs a mark with a record where they share a key and neither shares one with another; linear,
// as a queue imported with the folder off may hold many thousands. A record that becomes an item
// takes the mark as an item's.
template <typename Record>
void bind_where_one_fits(std::vector<const item_marks*>& marks, std::vector<const Record*>& records,
    const std::function<std::vector<std::string>(const item_marks&)>& keys_of_mark,
    const std::function<std::vector<std::string>(const Record&)>& keys_of_record, std::vector<item_key>& matched)
{
    std::vector<std::vector<std::string>> mark_keys, record_keys;
    std::unordered_map<std::string, std::vector<size_t>> marks_by_key, records_by_key;
    for (size_t m = 0; m < marks.size(); ++m)
        for (const std::string& key : mark_keys.emplace_back(keys_of_mark(*marks[m])))
            marks_by_key[key].push_back(m);
    for (size_t r = 0; r < records.size(); ++r)
        for (const std::string& key : record_keys.emplace_back(keys_of_record(*records[r])))
            records_by_key[key].push_back(r);
    std::vector<bool> mark_taken(marks.size()), record_taken(records.size());
    for (size_t m = 0; m < marks.size(); ++m)
        if (const std::optional<size_t> r = only_one(records_by_key, mark_keys[m]);
            r && only_one(marks_by_key, record_keys[*r]) == m) {
            item_marks bound = *marks[m];
            bound.queued = std::is_same_v<Record, pending_item>;
            bound.printed = bound.printed && bound.queued;  // a queue item's prints say nothing of an item
            bind_record(records[*r], bound);
            matched.push_back(marks[m]->key);
            mark_taken[m] = record_taken[*r] = true;
        }
    const auto keep_untaken = [](auto& list, const std::vector<bool>& taken) {
        size_t kept = 0;
        for (size_t i = 0; i < list.size(); ++i)
            if (!taken[i])
                list[kept++] = list[i];
        list.resize(kept);
    };
    keep_untaken(marks, mark_taken);
    keep_untaken(records, record_taken);
}

// An empty text names nothing.
template <typename Texts>
std::vector<std::string> text_keys(const Texts& questions, const Texts& answers)
{
    std::vector<std::string> keys;
    for (const std::string_view q : questions)
        if (!q.empty())
            keys.push_back("q" + std::string(q));
    for (const std::string_view a : answers)
        if (!a.empty())
            keys.push_back("a" + std::string(a));
    return keys;
}

void match_edited_queue_items(const std::vector<const item_marks*>& unmatched, const known_records& known, rematched& found)
{
    if (unmatched.empty())
        return;
    std::vector<const pending_item*> records;
    for (const pending_item* p = db().pending_head; p; p = p->next)
        if (!marks_of(p))
            records.push_back(p);
    std::vector<const item*> items;
    for (const item* e = db().head; e; e = e->next)
        if (!marks_of(e))
            items.push_back(e);
    if (records.empty() && items.empty())
        return;
    std::vector<const item_marks*> marks(unmatched);
    const std::function<std::vector<std::string>(const item_marks&)> known_texts = [&](const item_marks& m) {
        return text_keys(known.at(m.key).questions, known.at(m.key).answers);
    };
    // An edit seldom changes both texts: one that was kept names the item.
    bind_where_one_fits<pending_item>(marks, records, known_texts,
        [](const pending_item& p) {
            return text_keys(std::array{std::string_view(p.question.c_str())}, std::array{std::string_view(p.answer.c_str())});
        },
        found.edited);
    // Introduced: items typed in with the folder off share categories with these, so only a text
    // names them; before the categories are counted.
    bind_where_one_fits<item>(marks, items, known_texts,
        [](const item& e) {
            return text_keys(std::array{std::string_view(e.question.str())}, std::array{std::string_view(e.answer.str())});
        },
        found.introduced);
    // Both texts edited: the only one left of its category on both sides. A queue item deleted, or
    // introduced with both texts edited, leaves its identity unused, and then none is taken.
    bind_where_one_fits<pending_item>(marks, records,
        [&](const item_marks& m) {
            std::vector<std::string> keys;
            for (const std::vector<std::string>& path : known.at(m.key).paths)
                if (const std::optional<uint16_t> c = category_following_renames(path, false))
                    keys.push_back(std::to_string(*c));
            return keys;
        },
        [](const pending_item& p) { return std::vector{std::to_string(p.ctgr)}; }, found.edited);
    for (const item_key& key : found.introduced) {
        const auto* e = static_cast<const item*>(record_with(key));
        const known_record& k = known.at(key);
        if (!k.questions.count(e->question.str()) || !k.answers.count(e->answer.str()))
            found.edited.push_back(key);
    }
}

}  // namespace

rematched match_edited_records()
{
    sync_globals& g = sync_g();
    rematched found;
    if (g.unmatched.empty())
        return found;
    const known_records known = what_the_folder_says(g.unmatched);
    std::map<uint32_t, std::vector<const item_marks*>> marks_with;
    std::vector<const item_marks*> queued;
    for (const item_marks& m : g.unmatched)
        if (m.queued)
            queued.push_back(&m);
        else if (const uint32_t id = known.at(m.key).id; id != 0)
            marks_with[id].push_back(&m);
    std::map<uint32_t, std::vector<const item*>> items_with;
    for (const item* e = db().head; e; e = e->next)
        if (!marks_of(e) && marks_with.count(e->id))
            items_with[e->id].push_back(e);
    for (const auto& [id, items] : items_with)
        if (const std::vector<const item_marks*>& marks = marks_with[id]; items.size() == 1 && marks.size() == 1) {
            bind_record(items[0], *marks[0]);
            found.edited.push_back(marks[0]->key);
        }
    match_edited_queue_items(queued, known, found);
    g.unmatched.clear();
    return found;
}

namespace {

template <typename Record>
void take_offline_change(const Record& x, const std::vector<uint32_t>& places, std::vector<offline_change>& found)
{
    item_marks* m = marks_of(&x);
    if (!m || !m->printed)
        return;
    m->printed = false;
    offline_change c;
    c.item = m->key;
    if constexpr (std::is_same_v<Record, item>)
        c.schedule = m->schedule_print != schedule_print(x);
    c.place = m->place_print != place_print(places, x.ctgr);
    c.schedule_set = m->schedule;
    c.place_set = m->place;
    if (c.schedule || c.place)
        found.push_back(c);
}

}  // namespace

std::vector<offline_change> changes_made_offline()
{
    std::vector<offline_change> found;
    const std::vector<uint32_t> places = place_prints();
    for (const item* e = db().head; e; e = e->next)
        take_offline_change(*e, places, found);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        take_offline_change(*p, places, found);
    return found;
}

void record_offline_changes(const std::vector<offline_change>& changes)
{
    for (const offline_change& c : changes) {
        const void* record = record_with(c.item);
        const item_marks* m = record ? marks_of(record) : nullptr;
        if (!m)
            continue;  // deleted by the start
        if (c.schedule && !m->queued && m->schedule == c.schedule_set)
            // No kind says "graded without the folder": a schedule set, as making due does, is
            // what the others apply, without a grade line they would count as theirs.
            sync_note_rescheduled(static_cast<const item*>(record), change_kind::make_due);
        if (c.place && m->place == c.place_set) {
            if (m->queued)
                sync_note_queue_moved(static_cast<const pending_item*>(record));
            else
                sync_note_moved(static_cast<const item*>(record));
        }
    }
}
