#pragma once
// What the two text boxes do beyond editing: the edit focus rules of the review screens, the
// tap-and-hold menu (a right click, or a press held still) and the double tap on a picture.
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <memory>

class QKeyEvent;
class QMenu;
class QPlainTextEdit;

// The commands of the tap-and-hold menu, by the numbers of the messages they stand for.
enum : int {
    box_cut = 0x300,
    box_copy = 0x301,
    box_paste = 0x302,
    box_undo = 0xC7,
    delete_item_message = 0xFFFA,
};

// The menu as it would open now: Cut, Copy, Paste, Undo and, in the review modes, "Delete
// This Item"; each action's data is its command, and a chosen one runs once the menu has gone.
std::unique_ptr<QMenu> make_box_menu(QPlainTextEdit* box);

class box_watcher : public QObject {
public:
    box_watcher(QPlainTextEdit* box, bool is_question);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void open_menu(QPoint viewport_pos);
    bool key_pressed(const QKeyEvent* event);
    bool editing() const;
    void start_edit();

    QPlainTextEdit* box_;
    bool is_question_;
    QTimer hold_;
    QPoint press_pos_;
    // A click starts an edit only once it is clear that it is no double click (which opens
    // the picture and nothing else).
    QTimer edit_after_click_;
};

void install_box_behaviour(QPlainTextEdit* question_box, QPlainTextEdit* answer_box);
