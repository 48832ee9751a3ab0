#include <algorithm>
#include <vector>

#include "database/database.h"
#include "database/due_days.h"

database& db()
{
    static database state;
    return state;
}

namespace {

// Frees a linked list of records, first to last.
template <typename record>
void free_chain(record* first, void (*free_one)(record*))
{
    while (first) {
        record* next = first->next;
        free_one(first);
        first = next;
    }
}

}  // namespace


void link_scheduled_after(item* at, item* e)
{
    database& d = db();
    e->prev = at;
    e->next = at ? at->next : d.head;
    if (e->next)
        e->next->prev = e;
    (at ? at->next : d.head) = e;
    due_days_linked(e);
}

void insert_scheduled(item* e)
{
    database& d = db();
    if (!e) {
        d.insert_hint = nullptr;
        return;
    }
    const uint16_t day = e->tmtrpt;
    if (!d.head) {
        link_scheduled_after(nullptr, e);
        return;
    }
    if (!d.head->next) {
        link_scheduled_after(d.head->tmtrpt >= day ? nullptr : d.head, e);
        return;
    }
    if (day < d.head->tmtrpt) {
        link_scheduled_after(nullptr, e);
        return;
    }
    item* at = nullptr;
    if (d.due_days.valid) {
        // In day order, the walk below ends at the last item due on or before the day.
        at = due_days_last_at_or_before(day);
    } else {
        at = d.insert_hint && day >= d.insert_hint->tmtrpt ? d.insert_hint : d.head;
        while (at->next && at->next->tmtrpt <= day)
            at = at->next;
    }
    link_scheduled_after(at, e);
    d.insert_hint = at;
}

namespace {

bool in_scheduled_list(const item* e) { return e && (e == db().head || (e->prev && e->prev->next == e)); }

}  // namespace

bool unlink_scheduled(item* e)
{
    database& d = db();
    if (!in_scheduled_list(e))
        return false;
    item* const before = e->prev;
    item* const after = e->next;
    (before ? before->next : d.head) = after;
    if (after)
        after->prev = before;
    e->prev = nullptr;
    if (d.insert_hint == e)
        d.insert_hint = nullptr;  // an insertion must not start from outside the list
    due_days_unlinked(e, before, after);
    return true;
}

item* remove_item(item* e)
{
    database& d = db();
    d.insert_hint = nullptr;
    if (!unlink_scheduled(e))
        return nullptr;
    item* successor = e->next;
    free_item(e);
    --d.item_count;
    return successor;
}

item* next_scheduled(const item* e) { return e ? e->next : db().head; }

item* scheduled_predecessor(const item* e) { return in_scheduled_list(e) ? e->prev : nullptr; }

void erase_memory_after_ll()
{
    database& d = db();
    free_chain(d.head, free_item);
    d.head = nullptr;
    d.insert_hint = nullptr;
    due_days_cleared();
}

scheduled_batch::~scheduled_batch()
{
    for (item* e : items_)
        free_item(e);
}

void scheduled_batch::add(item* e) { items_.push_back(e); }

void scheduled_batch::link()
{
    database& d = db();
    std::vector<item*> items = std::move(items_);
    items_.clear();
    if (d.head) {
        for (item* e : items)
            insert_scheduled(e);
        return;
    }
    if (items.empty())
        return;
    // One by one, equal days keep their order, except that the second item goes before the
    // first when the list holds only that one: a stable sort and that single exchange.
    item* const first = items[0];
    const bool second_before_first = items.size() > 1 && items[1]->tmtrpt == first->tmtrpt;
    std::stable_sort(items.begin(), items.end(), [](const item* a, const item* b) { return a->tmtrpt < b->tmtrpt; });
    if (second_before_first) {
        const auto at = std::find(items.begin(), items.end(), first);
        std::iter_swap(at, at + 1);
    }
    item* tail = nullptr;
    for (item* e : items) {
        link_scheduled_after(tail, e);
        tail = e;
    }
    d.insert_hint = nullptr;
}

void append_pending(pending_item* p) { link_pending_after(db().pending_tail, p); }

pending_item* remove_pending(pending_item* p)
{
    database& d = db();
    if (!p)
        return nullptr;
    pending_item* before = nullptr;
    if (d.pending_head == p) {
        d.pending_head = p->next;
    } else {
        before = d.pending_head;
        while (before && before->next != p)
            before = before->next;
        if (!before)
            return nullptr;
        before->next = p->next;
    }
    if (d.pending_tail == p)
        d.pending_tail = before;
    pending_item* successor = p->next;
    free_pending_item(p);
    --d.pending_count;
    return successor;
}

void drop_pending_after(pending_item* after, const std::function<bool(const pending_item*)>& keep)
{
    database& d = db();
    pending_item* last = after;
    pending_item* p = after ? after->next : d.pending_head;
    while (p) {
        pending_item* const next = p->next;
        if (keep(p)) {
            (last ? last->next : d.pending_head) = p;
            last = p;
        } else {
            free_pending_item(p);
            --d.pending_count;
        }
        p = next;
    }
    (last ? last->next : d.pending_head) = nullptr;
    d.pending_tail = last;
}

void link_pending_after(pending_item* before, pending_item* p)
{
    database& d = db();
    pending_item*& slot = before ? before->next : d.pending_head;
    p->next = slot;
    slot = p;
    if (!p->next)
        d.pending_tail = p;
    ++d.pending_count;
}

void free_pending_list()
{
    database& d = db();
    free_chain(d.pending_head, free_pending_item);
    d.pending_head = nullptr;
    d.pending_tail = nullptr;
    d.pending_count = 0;
    d.kept_queue.clear();
    release_pending_store();
}

uint32_t pending_count() { return db().pending_count; }
