#include "ui/screens.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QPushButton>

#include <optional>
#include <string>
#include <string_view>

#include "session/choose.h"
#include "session/grading.h"
#include "session/undo.h"
#include "settings/category_dialog.h"
#include "ui/activities.h"
#include "ui/box_texts.h"
#include "ui/main_window.h"
#include "ui/markup.h"

namespace {

int randompick()
{
    const settings* s = ui().settings_record.get();
    return s ? static_cast<int>(s->randompick) : 0;
}

// A focused button that is about to be hidden would hand the focus on, perhaps into a box
// (where the digits and Return would become text); the window takes it instead.
void park_focus()
{
    main_window* window = ui().window;
    QWidget* focus = QApplication::focusWidget();
    if (focus && qobject_cast<QPushButton*>(focus) && window->isAncestorOf(focus))
        window->centralWidget()->setFocus(Qt::OtherFocusReason);
}

template <typename record>
void show_question(record* e)
{
    leave_boxes();
    show_stored_question(e->question);
}

template <typename record>
void show_next_item(record* e)
{
    main_window* window = ui().window;
    show_question(e);
    park_focus();
    for (QPushButton* b : window->grade_buttons)
        b->hide();
    set_stop_enabled(true);
    window->ok_button->show();
    clear_answer();
    window->refresh_actions();
}

void show_due_count()
{
    ui().window->setWindowTitle(QStringLiteral("Cardwright (%1)").arg(count_due(0, current_filter())));
}

// The category dialog for the current screen mode; false when it was cancelled.
bool run_category_dialog()
{
    window_state& w = ui();
    w.category_selection.reset();
    const bool review = w.category_dialog_review_mode == 1;
    category_selection_dialog dialog(
        w.settings_record.get(), review ? remembered_set_of(w.screen_mode) : nullptr, review, &w.new_item_category, w.window);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (review)
        w.category_selection = dialog.selection();
    return true;
}

uint8_t ask_flag(int32_t mode)
{
    const review_activity* a = activity_of_mode(mode);
    return a ? ui().*a->ask : 0;
}

void next_scheduled_or_end(int choose_mode, const QString& end_message)
{
    window_state& w = ui();
    w.current_item = choose_next_item(current_filter(), choose_mode);
    if (w.current_item)
        show_next_item(w.current_item);
    else
        show_main_screen(end_message);
}

void next_pending_or_end()
{
    window_state& w = ui();
    w.current_pending = choose_pending_item(current_filter(), randompick());
    if (w.current_pending)
        show_next_item(w.current_pending);
    else
        show_main_screen(QStringLiteral("No more items in queue."));
}

// The text of a box on the add screen, or none after telling the user it is too long.
std::optional<std::string> typed_text(QPlainTextEdit* box, const QString& what)
{
    std::optional<std::string> text = get_box_text(box);
    if (!text) {
        tell_too_long(nullptr, what, box_text_length(box), QStringLiteral("Nothing was added."));
        box->setFocus();
        return std::nullopt;
    }
    remove_cr_before_lf(*text);
    return text;
}

void add_item(int grade)
{
    main_window* window = ui().window;
    const std::optional<std::string> question = typed_text(window->question_box, QStringLiteral("The question"));
    if (!question)
        return;
    const std::optional<std::string> answer = typed_text(window->answer_box, QStringLiteral("The answer"));
    if (!answer)
        return;
    // A text of blanks counts as typed.
    if (question->empty() && answer->empty()) {
        show_message(nullptr, QStringLiteral("Question and answer needed"), QStringLiteral("Please type question and answer."));
        window->question_box->setFocus();
    } else if (answer->empty()) {
        show_message(nullptr, QStringLiteral("Answer needed"), QStringLiteral("Please type an answer."));
        window->answer_box->setFocus();
    } else if (question->empty()) {
        show_message(nullptr, QStringLiteral("Question needed"), QStringLiteral("Please type a question."));
        window->question_box->setFocus();
    } else {
        add_reviewed(static_cast<uint16_t>(grade), question->c_str(), answer->c_str(), ui().new_item_category);
        window_state& w = ui();
        w.last_add_grade = grade;
        ++w.added_count;
        window->statusBar()->showMessage(QStringLiteral("Added: %1").arg(w.added_count));
        window->question_box->setPlainText(QString());
        window->answer_box->setPlainText(QString());
        window->question_box->setFocus();
    }
}


}  // namespace

namespace {

// The review screen's controls around the chosen item (current_item or current_pending):
// entered from the main screen, or shown again in place.
void show_review_screen(main_window* window, int32_t mode)
{
    window_state& w = ui();
    if (mode == mode_scheduled)
        show_due_count();
    park_focus();
    hide_main_buttons();
    set_stop_enabled(true);
    set_skip_enabled(true);
    for (QPlainTextEdit* box : {window->question_box, window->answer_box}) {
        box->setFocusPolicy(Qt::StrongFocus);
        box->setPlaceholderText(QString());
    }
    window->answer_box->show();
    if (mode == mode_queue)
        show_next_item(w.current_pending);
    else
        show_next_item(w.current_item);
}

}  // namespace

void start_review_screen(int32_t mode)
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window)
        return;
    w.screen_mode = mode;
    if (ask_flag(mode)) {
        w.category_dialog_review_mode = 1;
        if (!run_category_dialog()) {
            w.screen_mode = mode_main;
            return;
        }
        layout_main_window(window);
    } else {
        w.category_selection.reset();
    }
    w.current_item = nullptr;
    w.current_pending = nullptr;
    if (mode == mode_queue)
        w.current_pending = choose_pending_item(current_filter(), randompick());
    else
        w.current_item = choose_next_item(current_filter(), mode == mode_forced ? 1 : 0);
    if (!w.current_item && !w.current_pending) {
        w.screen_mode = mode_main;
        return;
    }
    show_review_screen(window, mode);
}

void start_add_screen()
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window)
        return;
    w.screen_mode = mode_add;
    w.category_dialog_review_mode = 0;
    if (!run_category_dialog()) {
        w.screen_mode = mode_main;
        return;
    }
    layout_main_window(window);
    park_focus();
    hide_main_buttons();
    set_stop_enabled(true);
    for (QPushButton* b : window->grade_buttons)
        b->show();
    if (QInputMethod* input = QGuiApplication::inputMethod())
        input->show();
    window->answer_box->show();
    for (QPlainTextEdit* box : {window->question_box, window->answer_box}) {
        box->setReadOnly(false);
        box->setFocusPolicy(Qt::StrongFocus);
        box->setPlainText(QString());
    }
    clear_box_pictures();
    window->question_box->setPlaceholderText(QStringLiteral("Question: type it here, then Tab to the answer"));
    window->answer_box->setPlaceholderText(
        QStringLiteral("Answer: type it here, then press a grade 0 to 5 (Ctrl+0 to Ctrl+5 from a box) to add the item"));
    w.added_count = 0;
    window->statusBar()->showMessage(QStringLiteral("Added: 0"));
    window->statusBar()->show();
    window->question_box->setFocus();
}

void reveal_answer()
{
    window_state& w = ui();
    if (!in_review_mode() || !w.window || w.answer_revealed)
        return;
    main_window* window = w.window;
    park_focus();
    window->ok_button->hide();
    set_stop_enabled(true);
    for (QPushButton* b : window->grade_buttons)
        b->show();
    std::optional<std::string_view> answer;
    if (w.screen_mode == mode_queue ? w.current_pending != nullptr : w.current_item != nullptr)
        answer = w.screen_mode == mode_queue ? std::string_view(w.current_pending->answer)
                                             : std::string_view(w.current_item->answer);
    w.answer_revealed = true;
    if (answer)
        show_stored_answer(*answer);
    window->refresh_actions();
}

void grade_or_add(int grade)
{
    window_state& w = ui();
    if (!w.window || grade < 0 || grade > 5)
        return;
    if (w.screen_mode == mode_add) {
        add_item(grade);
        return;
    }
    // Grades follow a reveal; an edit too long to store keeps the item on screen.
    if (!in_review_mode() || !w.answer_revealed)
        return;
    if (!take_edits())
        return;
    leave_boxes();
    const auto g = static_cast<uint16_t>(grade);
    if (w.screen_mode == mode_queue) {
        if (!w.current_pending)
            return;
        write_back_item(w.current_pending);
        introduce_reviewed(g, w.current_pending);
        w.current_pending = nullptr;
        next_pending_or_end();
        return;
    }
    if (!w.current_item)
        return;
    write_back_item(w.current_item);
    grade_reviewed(w.current_item, g, w.screen_mode == mode_forced ? review_screen::forced : review_screen::scheduled);
    if (w.screen_mode == mode_scheduled) {
        next_scheduled_or_end(0, QStringLiteral("No more scheduled reviews."));
        if (ui().screen_mode == mode_scheduled)
            show_due_count();
    } else {
        // Every item qualifies here, so the choice falls back on the one just graded when no
        // other is left; showing it again would never end the pass.
        item* graded = w.current_item;
        w.current_item = choose_next_item(current_filter(), 1);
        if (w.current_item && w.current_item != graded) {
            show_next_item(w.current_item);
        } else {
            w.current_item = nullptr;
            show_main_screen(QStringLiteral("No more items."));
        }
    }
}

void skip_item()
{
    window_state& w = ui();
    if (!in_review_mode() || !w.window)
        return;
    if (w.screen_mode == mode_queue) {
        pending_item* skipped = w.current_pending;
        write_back_item(skipped);
        for (int attempt = 0; attempt < 7; ++attempt) {
            pending_item* p = choose_pending_item(current_filter(), randompick());
            if (p && p != skipped) {
                w.current_pending = p;
                show_next_item(p);
                return;
            }
        }
        show_main_screen(QStringLiteral("No more items in queue."));
        return;
    }
    item* skipped = w.current_item;
    write_back_item(skipped);
    for (int attempt = 0; attempt < 7; ++attempt) {
        item* e = choose_next_item(current_filter(), w.screen_mode == mode_forced ? 1 : 0);
        if (e && e != skipped) {
            w.current_item = e;
            show_next_item(e);
            return;
        }
    }
    show_main_screen(QStringLiteral("No more scheduled reviews."));
}

void delete_shown_item()
{
    window_state& w = ui();
    if (!in_review_mode() || !w.window)
        return;
    // Nothing of the deleted item is written anywhere; the screen lets go of it before it is freed.
    drop_edits();
    leave_boxes();
    // An undo step may point at the record about to be freed.
    forget_undo();
    if (w.screen_mode == mode_queue) {
        pending_item* doomed = w.current_pending;
        w.current_pending = nullptr;
        remove_pending(doomed);
        next_pending_or_end();
        return;
    }
    item* doomed = w.current_item;
    w.current_item = nullptr;
    remove_item(doomed);
    next_scheduled_or_end(w.screen_mode == mode_forced ? 1 : 0, QStringLiteral("No more scheduled reviews."));
}

void show_again_after_browsing(bool shown_item_removed)
{
    window_state& w = ui();
    if (!in_review_mode() || !w.window)
        return;
    // What the screen held was written back before browsing; the record is what counts now.
    drop_edits();
    leave_boxes();
    if (shown_item_removed) {
        if (w.screen_mode == mode_queue) {
            w.current_pending = nullptr;
            next_pending_or_end();
        } else {
            w.current_item = nullptr;
            next_scheduled_or_end(w.screen_mode == mode_forced ? 1 : 0, QStringLiteral("No more scheduled reviews."));
        }
    } else if (w.screen_mode == mode_queue) {
        show_next_item(w.current_pending);
    } else {
        show_next_item(w.current_item);
    }
}

void undo_grade()
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window || w.screen_mode == mode_add || !next_undo().available)
        return;
    if (in_review_mode()) {
        // The item on screen keeps what was typed into it; the undone one takes its place.
        if (!take_edits())
            return;
        leave_boxes();
        write_back_shown_item();
    } else {
        w.category_selection.reset();
    }
    const undo_result undone = undo_last_grade();
    if (!undone.undone)
        return;
    const int32_t mode = undone.screen == review_screen::queue ? mode_queue
        : undone.screen == review_screen::forced                ? mode_forced
                                                                : mode_scheduled;
    w.screen_mode = mode;
    w.current_item = undone.restored_item;
    w.current_pending = undone.restored_pending;
    window->setWindowTitle(QStringLiteral("Cardwright"));
    show_review_screen(window, mode);
    if (!undone.network_restored)
        show_message(nullptr, QStringLiteral("Undo"),
            QStringLiteral("The grade was undone, but the training case it added could not be taken out of "
                           "user_cases.bin (see error.log)."));
}

void write_back_shown_item()
{
    window_state& w = ui();
    if (w.screen_mode == mode_scheduled || w.screen_mode == mode_forced)
        write_back_item(w.current_item);
    else if (w.screen_mode == mode_queue)
        write_back_item(w.current_pending);
}
