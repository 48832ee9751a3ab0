#include "ui/box_texts.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <optional>
#include <string>

#include "session/item_edits.h"
#include "ui/main_window.h"
#include "ui/markup.h"

namespace {

// One of the two boxes with the on-screen buffers that belong to it.
struct box_side {
    QPlainTextEdit* box;
    std::string& text;
    std::string& display;
    std::string& media;
    bool& editing;
    bool& held;
    const char* noun;  // "question" or "answer"
};

box_side question_side()
{
    window_state& w = ui();
    return {w.window->question_box, w.question_text, w.question_display, w.question_media, w.question_editing,
        w.question_held, "question"};
}

box_side answer_side()
{
    window_state& w = ui();
    return {w.window->answer_box, w.answer_text, w.answer_display, w.answer_media, w.answer_editing, w.answer_held,
        "answer"};
}

std::string display_of(const std::string& text, const std::string& media)
{
    std::string display = strip_format_tags(text);
    if (has_picture(media))
        display += " <img>";
    return display;
}

// The longer of the two forms a text takes in its box: as edited and as shown.
size_t screen_length(const std::string& text, const std::string& media)
{
    return std::max(display_length(text), display_length(display_of(text, media)));
}

}  // namespace

void tell_too_long(QWidget* owner, const QString& what, size_t length, const QString& consequence)
{
    show_failure(owner, QCoreApplication::translate("box_texts", "Text Too Long"), too_long_text(what, length) + QLatin1Char(' ') + consequence);
}

namespace {

// The text as shown: its formatting drawn, its tags hidden, " <img>" after a picture.
void show_display(box_side s) { set_box_display(s.box, s.text, has_picture(s.media)); }

void show_stored(box_side s, std::string_view stored)
{
    std::string text(stored);
    std::string media;
    const std::vector<std::string> sound_paths = cut_media(media, text);
    s.editing = false;
    const size_t length = std::max(screen_length(text, media), media.size());
    if (length > max_text_bytes) {
        s.held = true;
        s.text.clear();
        s.display.clear();
        s.media.clear();
        s.box->setPlainText(QString());
        s.box->setReadOnly(true);
        set_box_picture(s.box, std::string());
        tell_too_long(ui().window,
            std::string_view(s.noun) == "question" ? QCoreApplication::translate("box_texts", "The question of this item")
                                                   : QCoreApplication::translate("box_texts", "The answer of this item"),
            length, QCoreApplication::translate("box_texts", "It is kept as it is, but cannot be shown."));
        return;
    }
    s.held = false;
    // Typing goes into a box only while it is being edited; otherwise the keys are the window's.
    s.box->setReadOnly(true);
    s.text = std::move(text);
    s.media = std::move(media);
    s.display = display_of(s.text, s.media);
    play_sounds(sound_paths);
    show_display(s);
    set_box_picture(s.box, s.media);
}

// Takes what the user typed into the text and shows it without its tags. False, with the
// typed text left in the box, when it is too long.
bool take_edit(box_side s)
{
    if (!s.editing)
        return true;
    if (s.box->document()->isModified()) {
        const std::optional<std::string> typed = get_box_text(s.box);
        const size_t length = typed ? screen_length(*typed, s.media) : box_text_length(s.box);
        if (!typed || length > max_text_bytes) {
            tell_too_long(ui().window,
                std::string_view(s.noun) == "question" ? QCoreApplication::translate("box_texts", "The question")
                                                       : QCoreApplication::translate("box_texts", "The answer"),
                length, QCoreApplication::translate("box_texts", "Shorten it, or the change will not be stored."));
            return false;
        }
        s.text = *typed;
    }
    s.editing = false;
    s.box->setReadOnly(true);
    s.display = display_of(s.text, s.media);
    show_display(s);
    return true;
}

void focus_gained(box_side s)
{
    if (!ui().pass.reviewing() || s.editing || s.held || !s.box->isVisible())
        return;
    // An answer box not yet revealed has nothing to edit.
    if (&s.text == &ui().answer_text && !ui().answer_revealed)
        return;
    s.editing = true;
    s.box->setReadOnly(false);
    set_box_text(s.box, s.text);
}

void focus_lost(box_side s)
{
    if (ui().pass.reviewing())
        take_edit(s);
}

}  // namespace

bool take_edits()
{
    const bool question = take_edit(question_side());
    const bool answer = take_edit(answer_side());
    return question && answer;
}

void drop_edits()
{
    ui().question_editing = false;
    ui().answer_editing = false;
}

void leave_boxes()
{
    main_window* window = ui().window;
    QWidget* focus = QApplication::focusWidget();
    if (focus && (window->question_box->isAncestorOf(focus) || focus == window->question_box
                     || window->answer_box->isAncestorOf(focus) || focus == window->answer_box))
        window->client_area->setFocus(Qt::OtherFocusReason);
}

namespace {

template <typename record>
void write_back(record* e)
{
    window_state& w = ui();
    if (!e || !w.window)
        return;
    // The user was told that an edit too long to store would be dropped.
    if (!take_edits())
        drop_edits();
    std::string question(std::string_view(e->question));
    std::string answer(std::string_view(e->answer));
    if (!w.question_held) {
        question = w.question_text + w.question_media;
        remove_cr_before_lf(question);
    }
    // An answer never revealed is left alone.
    if (w.answer_revealed && !w.answer_held) {
        answer = w.answer_text + w.answer_media;
        remove_cr_before_lf(answer);
    }
    if (question != std::string_view(e->question) || answer != std::string_view(e->answer))
        change_texts(e, std::move(question), std::move(answer));
}

}  // namespace

void show_stored_question(std::string_view stored) { show_stored(question_side(), stored); }
void show_stored_answer(std::string_view stored) { show_stored(answer_side(), stored); }

void clear_answer()
{
    window_state& w = ui();
    // Nothing typed before the reveal could be kept.
    w.window->answer_box->setPlainText(QString());
    w.window->answer_box->setReadOnly(true);
    w.answer_text.clear();
    w.answer_display.clear();
    // The previous answer's picture is not this item's.
    w.answer_media.clear();
    set_box_picture(w.window->answer_box, w.answer_media);
    w.answer_revealed = false;
    w.answer_editing = false;
    w.answer_held = false;
}

void write_back_item(item* e) { write_back(e); }
void write_back_item(pending_item* p) { write_back(p); }

void box_focus_gained(bool question)
{
    if (ui().window)
        focus_gained(question ? question_side() : answer_side());
}

void box_focus_lost(bool question)
{
    if (ui().window)
        focus_lost(question ? question_side() : answer_side());
}

void clear_box_pictures()
{
    if (main_window* window = ui().window) {
        set_box_picture(window->question_box, std::string());
        set_box_picture(window->answer_box, std::string());
    }
}
