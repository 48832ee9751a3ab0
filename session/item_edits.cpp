#include "session/item_edits.h"

#include "platform/composed_text.h"
#include "session/sync.h"

void change_texts(item* e, std::string question, std::string answer)
{
    e->question = composed_as_typed(std::move(question));
    e->answer = composed_as_typed(std::move(answer));
    sync_note_edited(e);
}

void change_texts(pending_item* p, std::string question, std::string answer)
{
    p->question = composed_as_typed(std::move(question));
    p->answer = composed_as_typed(std::move(answer));
    sync_note_queue_edited(p);
}

void move_to(item* e, uint16_t ctgr)
{
    e->ctgr = ctgr;
    sync_note_moved(e);
}

void move_to(pending_item* p, uint16_t ctgr)
{
    p->ctgr = ctgr;
    sync_note_queue_moved(p);
}

void delete_scheduled_item(item* e)
{
    sync_note_deleted(e);
    remove_item(e);
}

void delete_queued_item(pending_item* p)
{
    sync_note_queue_deleted(p);
    remove_pending(p);
}

category_made create_user_category(std::string_view name, int32_t parent)
{
    const category_made made = create_category(composed_as_typed(std::string(name)), parent);
    if (made.result == category_edit::done)
        sync_note_category(change_kind::category_make, category_names_from_top(made.index));
    return made;
}

category_edit rename_user_category(uint16_t index, std::string_view name)
{
    std::vector<std::string> before = index < category_count() ? category_names_from_top(index) : std::vector<std::string>{};
    const category_edit result = rename_category(index, composed_as_typed(std::string(name)));
    if (result == category_edit::done && category_names_from_top(index) != before)
        sync_note_category(change_kind::category_rename, std::move(before), db().categories[index]->name);
    return result;
}

category_removal delete_user_category(uint16_t index)
{
    std::vector<std::string> path = index < category_count() ? category_names_from_top(index) : std::vector<std::string>{};
    category_removal removal = delete_category(index);
    if (removal.result == category_edit::done)
        sync_note_category(change_kind::category_delete, std::move(path));
    return removal;
}
