// The scheduled list and its index of due days against a vector into which every insertion walks
// from the head (or the hint), under random sequences of every list operation.
#include <algorithm>
#include <random>

#include "support/database_helpers.h"

namespace {

struct plain_list {
    std::vector<item*> order;
    item* hint = nullptr;

    size_t position(const item* e) const { return std::find(order.begin(), order.end(), e) - order.begin(); }
    void insert(item* e)
    {
        const uint16_t day = e->tmtrpt;
        size_t place = 0;  // where e goes
        if (order.size() == 1) {
            place = order[0]->tmtrpt >= day ? 0 : 1;
        } else if (order.size() > 1 && day >= order[0]->tmtrpt) {
            size_t at = hint && day >= hint->tmtrpt ? position(hint) : 0;
            while (at + 1 < order.size() && order[at + 1]->tmtrpt <= day)
                ++at;
            hint = order[at];
            place = at + 1;
        }
        order.resize(order.size() + 1);
        std::move_backward(order.begin() + static_cast<long>(place), order.end() - 1, order.end());
        order[place] = e;
    }
    void remove(const item* e)
    {
        hint = nullptr;
        order.erase(order.begin() + static_cast<long>(position(e)));
    }
    std::vector<uint32_t> counts(uint16_t first, uint16_t last) const
    {
        std::vector<uint32_t> count(first <= last ? last - first + 1u : 1u, 0);
        for (const item* e : order) {
            if (e->tmtrpt > last)
                break;
            if (e->tmtrpt >= first)
                ++count[e->tmtrpt - first];
        }
        return count;
    }
};

class ScheduledIndexTest : public open_database_test {
protected:
    item* make(uint16_t day)
    {
        item* e = new_item();
        e->tmtrpt = day;
        e->id = next_id++;
        return e;
    }
    uint16_t random_day() { return static_cast<uint16_t>(base + random() % span); }
    // As a new or graded item goes in: the hint is forgotten first.
    static void insert_anew(plain_list& model, item* e)
    {
        insert_scheduled(nullptr);
        model.hint = nullptr;
        insert_scheduled(e);
        model.insert(e);
    }

    void expect_same(const plain_list& model, int step)
    {
        std::vector<item*> forward;
        const item* before = nullptr;
        for (item* e = db().head; e; e = e->next) {
            ASSERT_EQ(e->prev, before) << "step " << step;
            forward.push_back(e);
            before = e;
        }
        ASSERT_EQ(forward, model.order) << "step " << step;
        const uint16_t first = random_day();
        const uint16_t last = static_cast<uint16_t>(first + random() % 40);
        std::vector<uint32_t> count(first <= last ? last - first + 1u : 1u, 0);
        count_due_per_day(first, last, count.data());
        ASSERT_EQ(count, model.counts(first, last)) << "step " << step << " days " << first << ".." << last;
    }

    std::mt19937 random{7};
    uint32_t next_id = 1;
    uint16_t base = 0;
    uint32_t span = 30;
};

}  // namespace

TEST_F(ScheduledIndexTest, EveryListOperationKeepsThePlainOrderAndCounts)
{
    plain_list model;
    for (int step = 0; step < 60'000; ++step) {
        // Now and then another stretch of days, one wrapping past day 65,535.
        if (step % 5000 == 0) {
            base = static_cast<uint16_t>(step % 10000 == 0 ? 65'520 : random());
            span = 1 + random() % 60;
        }
        const unsigned op = random() % 100;
        if (op < 30) {  // a new item
            insert_anew(model, make(random_day()));
        } else if (op < 40) {  // an item of a file read in order, at the hint
            item* e = make(random_day());
            insert_scheduled(e);
            model.insert(e);
        } else if (op < 55 && !model.order.empty()) {  // a deletion
            item* e = model.order[random() % model.order.size()];
            const size_t at = model.position(e);
            item* const successor = at + 1 < model.order.size() ? model.order[at + 1] : nullptr;
            model.remove(e);
            ASSERT_EQ(remove_item(e), successor);
        } else if (op < 85 && !model.order.empty()) {  // a grade: out, a new day, back in
            item* e = model.order[random() % model.order.size()];
            ASSERT_TRUE(unlink_scheduled(e));
            model.remove(e);
            e->tmtrpt = random_day();
            insert_anew(model, e);
        } else if (op < 88) {  // a record that is not in the list changes nothing
            item* stray = make(random_day());
            EXPECT_FALSE(unlink_scheduled(stray));
            EXPECT_EQ(remove_item(stray), nullptr);
            model.hint = nullptr;
            free_item(stray);
        } else if (op < 92) {  // items of an XML file, linked as one batch
            scheduled_batch batch;
            std::vector<item*> added;
            for (unsigned n = random() % 8; n > 0; --n) {
                added.push_back(make(random_day()));
                batch.add(added.back());
            }
            const bool was_empty = model.order.empty();
            batch.link();
            for (item* e : added)
                model.insert(e);
            if (was_empty)
                model.hint = nullptr;
        } else if (op < 94) {  // a database read from elements.bin: the file's order as it stands
            erase_memory_after_ll();
            model = {};
            std::vector<uint16_t> days(random() % 60);
            std::generate(days.begin(), days.end(), [&] { return random_day(); });
            if (random() % 3 != 0)
                std::sort(days.begin(), days.end());
            item* tail = nullptr;
            for (uint16_t day : days) {
                item* e = make(day);
                link_scheduled_after(tail, e);
                model.order.push_back(e);
                tail = e;
            }
        } else if (op < 95) {  // closing and opening another database: everything goes
            erase_memory_after_ll();
            model = {};
        }
        expect_same(model, step);
        if (HasFatalFailure())
            return;
    }
    erase_memory_after_ll();
}
