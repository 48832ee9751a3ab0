// The keys that act on the screens even from a box being edited, and the replay of sounds.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusBar>

#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/screens.h"

bool control_key(const QKeyEvent* event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    window_state& w = ui();
    if (!w.window || w.pass.mode() == screen_mode::main)
        return false;
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (w.pass.mode() != screen_mode::add) {
            reveal_answer();
        } else if (w.last_add_grade >= 0) {
            grade_or_add(w.last_add_grade);
        } else {
            w.window->statusBar()->showMessage(
                QCoreApplication::translate("screens", "Added: %1. Ctrl+Return adds with the last grade used; choose one with Ctrl+0 to Ctrl+5 first.")
                    .arg(w.added_count));
        }
        return true;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_5) {
        // Grades follow a reveal; on the add screen the grade buttons are always shown.
        if (!w.window->grade_buttons[0]->isHidden())
            grade_or_add(key - Qt::Key_0);
        return true;
    }
    return false;
}

void replay_sounds()
{
    window_state& w = ui();
    if (!ui().pass.reviewing())
        return;
    const std::vector<std::string> answer_sounds = sound_paths(w.answer_media);
    play_sounds(w.answer_revealed && !answer_sounds.empty() ? answer_sounds : sound_paths(w.question_media));
}
