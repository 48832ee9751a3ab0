#pragma once
// The state of the one main window, kept in one record, and the services it calls that tests
// replace (message boxes, the millisecond clock, closing the database).
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/database.h"
#include "session/lifecycle.h"
#include "session/review_pass.h"
#include "settings/settings_store.h"
#include "ui/media.h"

class QWidget;
class main_window;

enum class message_buttons {
    ok,
    ok_after_failure,  // OK under the warning sign: something the user asked for was not done
    yes_no,
    retry_cancel,
    retry_elsewhere_discard,
};
enum class message_answer { ok, yes, no, retry, cancel, elsewhere, discard };

using message_box_function = message_answer (*)(
    QWidget* owner, const QString& title, const QString& text, message_buttons buttons);

struct window_state {
    review_pass pass;  // the screen up, the item it shows and the categories chosen
    uint16_t new_item_category = 0;
    uint8_t ask_categories_scheduled = 0;
    uint8_t ask_categories_queue = 0;
    uint8_t ask_categories_forced = 0;
    uint32_t last_click_time = 0;
    std::unique_ptr<settings> settings_record;  // absent when it could not be made
    main_window* window = nullptr;

    // The item on screen as edited, without its media elements (formatting tags kept); as
    // shown (tags removed, " <img>" after a picture); and its media elements.
    std::string question_text;
    std::string question_display;
    std::string question_media;
    std::string answer_text;
    std::string answer_display;
    std::string answer_media;
    bool answer_revealed = false;
    // A box shows the text with its tags while the user edits it.
    bool question_editing = false;
    bool answer_editing = false;
    // The item's text is too long for the screen: it is neither shown nor rewritten.
    bool question_held = false;
    bool answer_held = false;
    // The add screen: the grade of the last item added (-1 before the first, for Ctrl+Return)
    // and how many were added since it opened.
    int last_add_grade = -1;
    uint32_t added_count = 0;

    // While a close that could not save asks what to do: where the database was rescued to
    // (empty while nowhere), and whether a further close request ended the asking.
    bool asking_about_save = false;
    std::string rescue_path;
    bool close_forced = false;

    std::unique_ptr<sound_player> sound;  // null: made on first use
    std::unique_ptr<picture_viewer> viewer;

    message_box_function message_box = nullptr;  // null: a real QMessageBox
    uint32_t (*tick_count)() = nullptr;  // null: the monotonic clock
    deinit_result (*close_database)(close_mode mode) = nullptr;  // null: ma_deinit
    // Asks for a folder; an empty text when the user cancelled. Null: a real folder dialog.
    QString (*choose_folder)(QWidget* owner, const QString& title) = nullptr;
    // Shows a folder to the user. Null: the desktop's file manager.
    void (*open_folder)(const QString& path) = nullptr;
};

window_state& ui();
// Back to the initial state (tests; the window is not touched).
void reset_window_state();

message_answer show_message(QWidget* owner, const QString& title, const QString& text,
    message_buttons buttons = message_buttons::ok);
// A message that something asked for was not done: show_message with the warning sign.
inline message_answer show_failure(QWidget* owner, const QString& title, const QString& text)
{
    return show_message(owner, title, text, message_buttons::ok_after_failure);
}
QString choose_folder(QWidget* owner, const QString& title);
void open_folder(const QString& path);
uint32_t tick_count_ms();
sound_player& sounds();
picture_viewer& pictures();
