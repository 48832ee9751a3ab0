#pragma once
// Making, renaming and deleting a category as the user asks for it, with the questions and the
// reasons for a refusal; shared by the browser's category panel and the overview's menu.
#include <cstdint>
#include <optional>
#include <vector>

class QWidget;

// Asks for a name and makes a category under `chosen` (-1: at the top level); the new index,
// or none when the user cancelled or the name was refused (and told why).
std::optional<uint16_t> ask_new_category(QWidget* owner, int chosen);
// Asks for another name of `chosen`; true when it was renamed.
bool ask_rename_category(QWidget* owner, int chosen);
// Deletes `chosen` and its empty subcategories after a confirmation, renumbering what the window
// keeps by category; when deleted, each old index's new one (-1: deleted). A category that holds
// items is refused with the reason.
std::optional<std::vector<int32_t>> ask_delete_category(QWidget* owner, int chosen);
