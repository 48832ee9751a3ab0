#pragma once
// The state of the one main window, kept in one record, and the services it calls that tests
// replace (message boxes, the millisecond clock, closing the database).
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/database.h"
#include "settings/settings_store.h"

class QWidget;
class main_window;

enum : int32_t {
    mode_main = 0,
    mode_scheduled = 1,
    mode_queue = 2,
    mode_add = 3,
    mode_forced = 4,
};

enum class message_buttons { ok, yes_no, retry_cancel };
enum class message_answer { ok, yes, no, retry, cancel };

using message_box_function = message_answer (*)(
    QWidget* owner, const QString& title, const QString& text, message_buttons buttons);

struct window_state {
    int32_t screen_mode = mode_main;
    item* current_item = nullptr;
    pending_item* current_pending = nullptr;
    // Category indexes ended by filter_end; none selects every category.
    std::optional<std::vector<int32_t>> category_selection;
    uint16_t new_item_category = 0;
    uint8_t category_dialog_review_mode = 0;
    uint8_t ask_categories_scheduled = 0;
    uint8_t ask_categories_queue = 0;
    uint8_t ask_categories_forced = 0;
    uint32_t last_click_time = 0;
    std::unique_ptr<settings> settings_record;  // absent when it could not be made
    main_window* window = nullptr;

    message_box_function message_box = nullptr;  // null: a real QMessageBox
    uint32_t (*tick_count)() = nullptr;  // null: the monotonic clock
    int (*close_database)(int flag) = nullptr;  // null: ma_deinit
};

window_state& ui();
// Back to the initial state (tests; the window is not touched).
void reset_window_state();

message_answer show_message(QWidget* owner, const QString& title, const QString& text,
    message_buttons buttons = message_buttons::ok);
uint32_t tick_count_ms();

// The category filter of the current activity, or null for every category.
category_filter current_filter();
