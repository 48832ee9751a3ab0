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
#include "services/paths.h"
#include "session/grading.h"
#include "session/queue_file_edits.h"
#include "session/review_log.h"
#include "session/undo.h"
#include "settings/category_dialog.h"
#include "ui/problem_texts.h"
#include "ui/activities.h"
#include "ui/box_texts.h"
#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/overview_panel.h"

namespace {

// Long enough to read beside the next item, short enough not to be taken for news about it.
constexpr int rested_message_ms = 10000;

bool random_queue()
{
    const settings* s = ui().settings_record.get();
    return s && s->randompick != 0;
}

// A focused button that is about to be hidden would hand the focus on, perhaps into a box
// (where the digits and Return would become text); the window takes it instead.
void park_focus()
{
    main_window* window = ui().window;
    QWidget* focus = QApplication::focusWidget();
    if (focus && qobject_cast<QPushButton*>(focus) && window->isAncestorOf(focus))
        window->client_area->setFocus(Qt::OtherFocusReason);
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
    // Bare grade buttons after a bare OK leave a new user guessing what the pass asks of them.
    window->answer_box->setPlaceholderText(QCoreApplication::translate("screens",
        "Recall the answer, then press Return or OK to see it and grade how well you knew it: 0-2 not recalled, 3-5 recalled (F1: more)"));
    window->refresh_actions();
}

void show_due_count()
{
    ui().window->setWindowTitle(QStringLiteral("Cardwright (%1)").arg(count_due(0, ui().pass.filter())));
}

// The category dialog for the screen of `mode` (the add screen chooses the new items' category);
// false when it was cancelled.
bool run_category_dialog(screen_mode mode)
{
    window_state& w = ui();
    w.pass.select_categories(std::nullopt);
    const bool review = mode != screen_mode::add;
    category_selection_dialog dialog(
        w.settings_record.get(), review ? remembered_set_of(mode) : nullptr, review, &w.new_item_category, w.window);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    w.window->take_keyboard_back();
    if (!chosen)
        return false;
    if (review)
        w.pass.select_categories(dialog.selection());
    return true;
}

uint8_t ask_flag(screen_mode mode)
{
    const review_activity* a = activity_of_mode(mode);
    return a ? ui().*a->ask : 0;
}

// Shows what a step of the pass left on screen: the next item, or the main screen saying why
// the pass ended.
void show_step(pass_step step)
{
    const review_pass& pass = ui().pass;
    switch (step) {
    case pass_step::unchanged:
        return;
    case pass_step::shown:
        if (pass.mode() == screen_mode::queue)
            show_next_item(pass.current_pending());
        else
            show_next_item(pass.current_item());
        // A grade, an undo, a deletion or the browser may have changed what is due or queued.
        show_status_line(ui().window, count_due(0, nullptr), pending_count());
        return;
    case pass_step::no_more_scheduled:
        show_main_screen(QCoreApplication::translate("screens", "No more scheduled reviews."));
        return;
    case pass_step::no_more_queued:
        show_main_screen(QCoreApplication::translate("screens", "No more items in queue."));
        return;
    case pass_step::no_more_items:
        show_main_screen(QCoreApplication::translate("screens", "No more items."));
        return;
    }
}

// The text of a box on the add screen, or none after telling the user it is too long.
std::optional<std::string> typed_text(QPlainTextEdit* box, const QString& what)
{
    std::optional<std::string> text = get_box_text(box);
    if (!text) {
        tell_too_long(nullptr, what, box_text_length(box), QCoreApplication::translate("screens", "Nothing was added."));
        box->setFocus();
        return std::nullopt;
    }
    remove_cr_before_lf(*text);
    return text;
}

void add_item(int grade)
{
    main_window* window = ui().window;
    const std::optional<std::string> question = typed_text(window->question_box, QCoreApplication::translate("screens", "The question"));
    if (!question)
        return;
    const std::optional<std::string> answer = typed_text(window->answer_box, QCoreApplication::translate("screens", "The answer"));
    if (!answer)
        return;
    // A text of blanks counts as typed.
    if (question->empty() && answer->empty()) {
        show_message(nullptr, QCoreApplication::translate("screens", "Question and answer needed"), QCoreApplication::translate("screens", "Please type question and answer."));
        window->question_box->setFocus();
    } else if (answer->empty()) {
        show_message(nullptr, QCoreApplication::translate("screens", "Answer needed"), QCoreApplication::translate("screens", "Please type an answer."));
        window->answer_box->setFocus();
    } else if (question->empty()) {
        show_message(nullptr, QCoreApplication::translate("screens", "Question needed"), QCoreApplication::translate("screens", "Please type a question."));
        window->question_box->setFocus();
    } else {
        add_reviewed(static_cast<uint16_t>(grade), question->c_str(), answer->c_str(), ui().new_item_category);
        window_state& w = ui();
        w.last_add_grade = grade;
        ++w.added_count;
        window->statusBar()->showMessage(QCoreApplication::translate("screens", "Added: %1").arg(w.added_count));
        // A failed new item is due today: the count beside the message must say so at once.
        show_status_line(window, count_due(0, nullptr), pending_count());
        window->question_box->setPlainText(QString());
        window->answer_box->setPlainText(QString());
        window->question_box->setFocus();
    }
}


}  // namespace

namespace {

// The review screen's controls around the chosen item (current_item or current_pending):
// entered from the main screen, or shown again in place.
void show_review_screen(main_window* window)
{
    const review_pass& pass = ui().pass;
    if (pass.mode() == screen_mode::scheduled)
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
    show_step(pass_step::shown);
}

}  // namespace

void tell_queue_file_edits(const queue_file_edits& edits)
{
    const int added = static_cast<int>(edits.added);
    const int removed = static_cast<int>(edits.removed);
    QStringList said;
    if (added > 0)
        said << QCoreApplication::translate("main_window", "%n items added to the queue", nullptr, added);
    if (removed > 0)
        said << QCoreApplication::translate("main_window", "%n items taken out of it", nullptr, removed);
    // Short: the status line's right part, the data directory, would cut off a longer text.
    if (!said.isEmpty() && ui().window)
        ui().window->statusBar()->showMessage(QStringLiteral("queue.txt: ") + said.join(QStringLiteral(", ")));
}

void start_review_screen(screen_mode mode)
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window)
        return;
    if (ask_flag(mode)) {
        if (!run_category_dialog(mode))
            return;
        layout_main_window(window);
    } else {
        w.pass.select_categories(std::nullopt);
    }
    // Items just added to queue.txt are offered at once, not after the next start; an item on
    // screen (a start from another review) must not be taken out under it.
    const queue_file_edits edits =
        take_queue_file_edits(w.pass.mode() == screen_mode::main ? queue_edit_moment::window : queue_edit_moment::save);
    if (w.pass.start(mode, random_queue()))
        show_review_screen(window);
    tell_queue_file_edits(edits);
}

bool start_review_screen_in(screen_mode mode, std::vector<int32_t> selection)
{
    window_state& w = ui();
    if (!w.window || w.pass.mode() != screen_mode::main || !activity_of_mode(mode))
        return false;
    w.pass.select_categories(std::move(selection));
    if (!w.pass.start(mode, random_queue()))
        return false;
    show_review_screen(w.window);
    return true;
}

void start_add_screen()
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window)
        return;
    if (!run_category_dialog(screen_mode::add))
        return;
    w.pass.start_adding();
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
    window->question_box->setPlaceholderText(QCoreApplication::translate("screens", "Question: type it here, then Tab to the answer"));
    window->answer_box->setPlaceholderText(
        QCoreApplication::translate("screens", "Answer: type it here, then press a grade 0 to 5 (Ctrl+0 to Ctrl+5 from a box) to add the item"));
    w.added_count = 0;
    window->statusBar()->showMessage(QCoreApplication::translate("screens", "Added: 0"));
    window->statusBar()->show();
    window->question_box->setFocus();
}

void reveal_answer()
{
    window_state& w = ui();
    if (!ui().pass.reviewing() || !w.window || w.answer_revealed)
        return;
    main_window* window = w.window;
    park_focus();
    window->ok_button->hide();
    set_stop_enabled(true);
    for (QPushButton* b : window->grade_buttons)
        b->show();
    std::optional<std::string_view> answer;
    if (w.pass.mode() == screen_mode::queue ? w.pass.current_pending() != nullptr : w.pass.current_item() != nullptr)
        answer = w.pass.mode() == screen_mode::queue ? std::string_view(w.pass.current_pending()->answer)
                                             : std::string_view(w.pass.current_item()->answer);
    w.answer_revealed = true;
    window->answer_box->setPlaceholderText(QString());  // an empty answer is shown as empty
    if (answer)
        show_stored_answer(*answer);
    window->refresh_actions();
}

// A grade that reviews.log could not take waits in memory; the user hears of it once.
void tell_unlogged_reviews()
{
    const int reason = take_review_log_warning();
    // A read-only directory was announced at start as saving nothing.
    if (reason == 0 || db().read_only)
        return;
    show_failure(nullptr, QCoreApplication::translate("screens", "Review Not Logged"),
        QCoreApplication::translate("screens", "The grade could not be written to the review history:\n%1\n\n%2\n\nThe grades are kept and "
                       "written to it as soon as the disk takes them, at the latest when the program closes.")
            .arg(QString::fromUtf8(data_path(review_log_name)), problem_texts::system(reason)));
}

void grade_or_add(int grade)
{
    window_state& w = ui();
    if (!w.window || grade < 0 || grade > 5)
        return;
    if (w.pass.mode() == screen_mode::add) {
        add_item(grade);
        tell_unlogged_reviews();
        return;
    }
    // Grades follow a reveal; an edit too long to store keeps the item on screen.
    if (!ui().pass.reviewing() || !w.answer_revealed)
        return;
    if (!take_edits())
        return;
    leave_boxes();
    write_back_shown_item();
    QStatusBar* status = w.window->statusBar();
    const QString said_before = status->currentMessage();
    const pass_step step = w.pass.grade(static_cast<uint16_t>(grade));
    show_step(step);
    if (step == pass_step::shown && w.pass.mode() == screen_mode::scheduled)
        show_due_count();
    // Said, or the item would seem lost; a problem of the next item's own, just said, comes first.
    const QString said = status->currentMessage();
    if (w.pass.rested() && (said.isEmpty() || said == said_before))
        status->showMessage(
            QCoreApplication::translate("screens", "Not recalled %1 times today: this item comes back another day.").arg(failures_before_rest),
            rested_message_ms);
    tell_unlogged_reviews();
}

void skip_item()
{
    window_state& w = ui();
    if (!w.pass.reviewing() || !w.window)
        return;
    write_back_shown_item();
    show_step(w.pass.skip());
}

void delete_shown_item()
{
    window_state& w = ui();
    if (!ui().pass.reviewing() || !w.window)
        return;
    // Nothing of the deleted item is written anywhere; the screen lets go of it before it is freed.
    drop_edits();
    leave_boxes();
    // An undo step may point at the record about to be freed.
    forget_undo();
    show_step(w.pass.remove_shown());
}

void show_again_after_browsing(bool shown_item_removed)
{
    window_state& w = ui();
    if (!ui().pass.reviewing() || !w.window)
        return;
    // What the screen held was written back before browsing; the record is what counts now.
    drop_edits();
    leave_boxes();
    show_step(w.pass.after_browsing(shown_item_removed));
}

void undo_grade()
{
    window_state& w = ui();
    main_window* window = w.window;
    if (!window || w.pass.mode() == screen_mode::add || !next_undo().available)
        return;
    if (ui().pass.reviewing()) {
        // The item on screen keeps what was typed into it; the undone one takes its place.
        if (!take_edits())
            return;
        leave_boxes();
        write_back_shown_item();
    }
    const undo_result undone = w.pass.undo();
    if (!undone.undone)
        return;
    window->setWindowTitle(QStringLiteral("Cardwright"));
    show_review_screen(window);
    tell_unlogged_reviews();
    if (!undone.network_restored)
        show_message(nullptr, QCoreApplication::translate("screens", "Undo"),
            QCoreApplication::translate("screens", "The grade was undone, but the training case it added could not be taken out of "
                           "user_cases.bin (see error.log)."));
}

void write_back_shown_item()
{
    const review_pass& pass = ui().pass;
    if (pass.mode() == screen_mode::scheduled || pass.mode() == screen_mode::forced)
        write_back_item(pass.current_item());
    else if (pass.mode() == screen_mode::queue)
        write_back_item(pass.current_pending());
}
