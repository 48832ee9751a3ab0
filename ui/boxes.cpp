#include "ui/boxes.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyleHints>
#include <QTextDocument>

#include "ui/item_box.h"
#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/screens.h"
#include "ui/window_state.h"

namespace {

// One action of the menu: `command` as its data, and its own slot, run once the menu has gone,
// as the box would receive a posted message.
template <typename Slot>
void add_command(QMenu* menu, QPlainTextEdit* box, const QString& text, int command, bool enabled, Slot slot)
{
    QAction* action = menu->addAction(text);
    action->setData(command);
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, box, [box, slot] { QMetaObject::invokeMethod(box, slot, Qt::QueuedConnection); });
}

void ask_to_delete(QPlainTextEdit* box)
{
    if (!ui().pass.reviewing())
        return;
    if (show_message(box, QCoreApplication::translate("boxes", "Deleting Item"), QCoreApplication::translate("boxes", "Do you want to delete currently visible item?"),
            message_buttons::yes_no)
        == message_answer::yes)
        delete_shown_item();
}

}  // namespace

std::unique_ptr<QMenu> make_box_menu(QPlainTextEdit* box)
{
    auto menu = std::make_unique<QMenu>(box);
    menu->setObjectName(QStringLiteral("box_menu"));
    const bool selection = box->textCursor().hasSelection();
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    add_command(menu.get(), box, QCoreApplication::translate("boxes", "Cut"), box_cut, selection, [box] { box->cut(); });
    add_command(menu.get(), box, QCoreApplication::translate("boxes", "Copy"), box_copy, selection, [box] { box->copy(); });
    add_command(menu.get(), box, QCoreApplication::translate("boxes", "Paste"), box_paste, clipboard && clipboard->hasText(),
        [box] { box->paste(); });
    menu->addSeparator();
    add_command(menu.get(), box, QCoreApplication::translate("boxes", "Undo"), box_undo, box->document()->isUndoAvailable(),
        [box] { box->undo(); });
    if (ui().pass.reviewing()) {
        menu->addSeparator();
        add_command(menu.get(), box, QCoreApplication::translate("boxes", "Delete This Item"), delete_item_message, true,
            [box] { ask_to_delete(box); });
    }
    return menu;
}

box_watcher::box_watcher(QPlainTextEdit* box, bool is_question) : QObject(box), box_(box), is_question_(is_question)
{
    // Named children, so that a test can wait for them rather than for their intervals.
    hold_.setParent(this);
    hold_.setObjectName(QStringLiteral("hold"));
    edit_after_click_.setParent(this);
    edit_after_click_.setObjectName(QStringLiteral("edit_after_click"));
    hold_.setSingleShot(true);
    hold_.setInterval(QGuiApplication::styleHints()->mousePressAndHoldInterval());
    connect(&hold_, &QTimer::timeout, this, [this] { open_menu(press_pos_); });
    edit_after_click_.setSingleShot(true);
    edit_after_click_.setInterval(QApplication::doubleClickInterval());
    connect(&edit_after_click_, &QTimer::timeout, this, [this] {
        if (box_->hasFocus())
            start_edit();
    });
    // Tab moves between the boxes instead of typing a tab.
    box->setTabChangesFocus(true);
    box->installEventFilter(this);
    box->viewport()->installEventFilter(this);
}

void box_watcher::open_menu(QPoint viewport_pos)
{
    hold_.stop();
    std::unique_ptr<QMenu> menu = make_box_menu(box_);
    // The menu's bottom left corner is at the tap.
    const QPoint at = box_->viewport()->mapToGlobal(viewport_pos) - QPoint(0, menu->sizeHint().height());
    menu->exec(at);
}

bool box_watcher::editing() const { return is_question_ ? ui().question_editing : ui().answer_editing; }

void box_watcher::start_edit()
{
    edit_after_click_.stop();
    box_focus_gained(is_question_);
}

// What a key does in a box. The window's keys act while the box is not being edited, so that
// nothing typed can go into a text that is not then kept; Ctrl+Return and Ctrl+digit act even
// while it is. True when the key was used here.
bool box_watcher::key_pressed(const QKeyEvent* event)
{
    main_window* window = ui().window;
    if (!window)
        return false;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = mods == Qt::NoModifier || mods == Qt::ShiftModifier;
    if (control_key(event))
        return true;
    if (ui().pass.mode() == screen_mode::add) {
        // The two boxes are the form; Tab and Shift+Tab go from one to the other.
        if ((key == Qt::Key_Tab && mods == Qt::NoModifier) || key == Qt::Key_Backtab) {
            QPlainTextEdit* other = is_question_ ? window->answer_box : window->question_box;
            other->setFocus(key == Qt::Key_Tab ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
        if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
            show_main_screen();
            return true;
        }
        return false;
    }
    if (!ui().pass.reviewing())
        return false;
    if (editing()) {
        if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
            // The edit ends as a click elsewhere would end it.
            window->client_area->setFocus(Qt::OtherFocusReason);
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || !plain)
        return false;
    if (edit_after_click_.isActive() && key != Qt::Key_Escape) {
        // Typed straight after a click: the edit that the click began takes the key.
        start_edit();
        return false;
    }
    edit_after_click_.stop();
    window->handle_key(key);
    return true;
}

bool box_watcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box_) {
        // A menu or another window taking the keys for a moment does not end the editing.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            edit_after_click_.stop();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                if (event->type() == QEvent::FocusOut)
                    box_focus_lost(is_question_);
                else if (reason == Qt::MouseFocusReason)
                    edit_after_click_.start();
                else
                    start_edit();
            }
        } else if (event->type() == QEvent::KeyPress) {
            return key_pressed(static_cast<QKeyEvent*>(event));
        } else if (event->type() == QEvent::ContextMenu) {
            // The menu key: the box's own menu is replaced by this one.
            open_menu(box_->viewport()->mapFrom(box_, static_cast<QContextMenuEvent*>(event)->pos()));
            return true;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            // On the picture below the text.
            edit_after_click_.stop();
            open_picture(is_question_ ? ui().question_media : ui().answer_media);
            return true;
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::ContextMenu:
        open_menu(static_cast<QContextMenuEvent*>(event)->pos());
        return true;
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            press_pos_ = mouse->position().toPoint();
            hold_.start();
            // A click into a box that kept the focus (from a menu or a message box) edits it too.
            if (box_->hasFocus() && ui().pass.reviewing() && !editing() && !edit_after_click_.isActive())
                edit_after_click_.start();
        }
        break;
    }
    case QEvent::MouseMove:
        if (hold_.isActive()
            && (static_cast<QMouseEvent*>(event)->position().toPoint() - press_pos_).manhattanLength()
                > QApplication::startDragDistance())
            hold_.stop();
        break;
    case QEvent::MouseButtonRelease:
        hold_.stop();
        break;
    case QEvent::MouseButtonDblClick:
        hold_.stop();
        edit_after_click_.stop();
        open_picture(is_question_ ? ui().question_media : ui().answer_media);
        // In a box being edited it selects a word as usual; otherwise it only opens the picture.
        return !editing() && ui().pass.mode() != screen_mode::add;
    default:
        break;
    }
    return false;
}

void install_box_behaviour(QPlainTextEdit* question_box, QPlainTextEdit* answer_box)
{
    new box_watcher(question_box, true);
    new box_watcher(answer_box, false);
}
