#pragma once
// The user's changes to items and categories besides grades (the browser's, and the review
// screen's edits of the texts shown): each is made here and recorded for the sync folder.
#include <cstdint>
#include <string>

#include "database/category_edits.h"
#include "database/database.h"

void change_texts(item* e, std::string question, std::string answer);
void change_texts(pending_item* p, std::string question, std::string answer);
void move_to(item* e, uint16_t ctgr);
void move_to(pending_item* p, uint16_t ctgr);
// The caller drops the undo steps first, since they may point at the record.
void delete_scheduled_item(item* e);
void delete_queued_item(pending_item* p);

category_made create_user_category(std::string_view name, int32_t parent);
category_edit rename_user_category(uint16_t index, std::string_view name);
category_removal delete_user_category(uint16_t index);
