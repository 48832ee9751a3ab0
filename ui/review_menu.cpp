// The Review menu of the main window: every action of the screens with its key.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "ui/main_window.h"
#include "ui/screens.h"

// Keys that also type into a box (Return, Space,
// the digits, Insert, Delete, Escape) are shown after a tab and handled by the keyboard rules;
// the others are shortcuts that act wherever the focus is.
void main_window::create_review_menu(QMenuBar* bar)
{
    QMenu* menu = bar->addMenu(tr("&Review"));
    menu->setObjectName(QStringLiteral("review_menu"));
    auto entry = [this, menu](const QString& text, const char* name, QKeySequence shortcut,
                     bool (*available)(const main_window*), auto act) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, available, act] {
            // A shortcut may come while the action is not possible.
            if (available(this))
                act(this);
        });
        state_actions_.push_back({action, available});
        return action;
    };
    auto on_main = [](const main_window*) { return ui().pass.mode() == screen_mode::main; };
    auto reviewing = [](const main_window*) { return ui().pass.reviewing(); };
    // Started from the menu or a key, an activity never asks for categories first.
    entry(tr("&Go through scheduled reviews\tReturn"), "reviews_action", {},
        [](const main_window* w) { return ui().pass.mode() == screen_mode::main && w->review_button->isEnabled(); },
        [](main_window* w) {
            ui().ask_categories_scheduled = 0;
            w->start_reviews();
        });
    entry(tr("&Add new items\tIns"), "add_action", {}, on_main,
        [](main_window* w) { w->start_adding(); });
    entry(tr("Add items from &queue"), "queue_action", QKeySequence(Qt::CTRL | Qt::Key_U),
        [](const main_window* w) { return ui().pass.mode() == screen_mode::main && w->queue_button->isEnabled(); },
        [](main_window* w) {
            ui().ask_categories_queue = 0;
            w->start_queue();
        });
    entry(tr("&Force reviews"), "force_action", QKeySequence(Qt::CTRL | Qt::Key_F),
        [](const main_window* w) { return ui().pass.mode() == screen_mode::main && w->force_button->isEnabled(); },
        [](main_window* w) {
            ui().ask_categories_forced = 0;
            w->start_forced();
        });
    menu->addSeparator();
    entry(tr("Show A&nswer\tReturn, Space"), "answer_action", {},
        [](const main_window* w) { return ui().pass.reviewing() && !w->ok_button->isHidden(); },
        [](main_window*) { reveal_answer(); });
    entry(tr("Gra&de\t0 to 5"), "grade_action", {},
        [](const main_window* w) { return ui().pass.reviewing() && !w->grade_buttons[0]->isHidden(); },
        [](main_window*) {});
    entry(tr("Re&play Sounds"), "replay_action", QKeySequence(Qt::CTRL | Qt::Key_R), reviewing,
        [](main_window*) { replay_sounds(); });
    entry(tr("S&kip"), "skip_menu_action", QKeySequence(Qt::CTRL | Qt::Key_N),
        [](const main_window* w) { return w->skip_action->isEnabled(); },
        [](main_window* w) { w->skip(); });
    entry(tr("De&lete Item...\tDel"), "delete_action", {}, reviewing,
        [](main_window* w) { w->handle_key(Qt::Key_Delete); });
    entry(tr("&Stop\tEsc"), "stop_menu_action", {},
        [](const main_window* w) { return w->stop_action->isEnabled(); },
        [](main_window* w) { w->stop(); });
    connect(menu, &QMenu::aboutToShow, this, &main_window::refresh_actions);
}

void main_window::refresh_actions()
{
    for (const state_action& a : state_actions_)
        a.action->setEnabled(a.available(this));
}
