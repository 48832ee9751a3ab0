#include "session/sync_conflicts.h"

#include "session/item_edits.h"
#include "session/sync_state.h"

std::optional<lost_texts> lost_edit_of(const void* record)
{
    const item_marks* m = marks_of(record);
    if (!m)
        return std::nullopt;
    const auto it = sync_g().lost.find(m->key);
    if (it == sync_g().lost.end())
        return std::nullopt;
    return it->second;
}

std::vector<browse_row> records_with_lost_edits()
{
    std::vector<browse_row> rows;
    for (const auto& [key, texts] : sync_g().lost) {
        const void* record = record_with(key);
        if (!record)
            continue;
        browse_row row;
        if (marks_of(record)->queued)
            row.pending = static_cast<pending_item*>(const_cast<void*>(record));
        else
            row.scheduled = static_cast<item*>(const_cast<void*>(record));
        rows.push_back(row);
    }
    return rows;
}

bool take_lost_edit(const void* record)
{
    const item_marks* m = marks_of(record);
    if (!m)
        return false;
    const auto it = sync_g().lost.find(m->key);
    if (it == sync_g().lost.end())
        return false;
    lost_texts texts = std::move(it->second);
    sync_g().lost.erase(it);
    if (m->queued)
        change_texts(static_cast<pending_item*>(const_cast<void*>(record)), std::move(texts.question), std::move(texts.answer));
    else
        change_texts(static_cast<item*>(const_cast<void*>(record)), std::move(texts.question), std::move(texts.answer));
    return true;
}
