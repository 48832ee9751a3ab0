#pragma once
// The main screen's overview beside the status text and the main buttons: the category tree
// with what each category holds and what is due, or, while the collection is empty, how to begin.
#include <QWidget>

#include <cstdint>
#include <optional>

#include "session/review_pass.h"

class QAccessibleInterface;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class main_window;

class overview_panel : public QWidget {
    Q_OBJECT
public:
    explicit overview_panel(main_window* window);

    // Counts again and fills the tree, keeping the category chosen (or choosing `choose`) and
    // the ones folded up.
    void refresh(int choose = -1);
    // The welcome page: what the collection holds, where it lives and the three ways to begin.
    static QString welcome_text(const QString& data_directory, uint32_t items, uint32_t queued);
    // The status line under the window: the data directory, what is due and queued.
    static QString status_text(const QString& data_directory, uint32_t due, uint32_t queued, bool read_only);

    QTreeWidget* tree() const { return tree_; }
    // The accessible cell that reads the current row as one sentence, as a screen reader is told
    // of it when the tree takes the focus; none without a current row.
    QAccessibleInterface* current_row_cell() const;
    QStackedWidget* pages() const { return pages_; }
    // The category of the current row, or -1 when no row is current.
    int chosen_category() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* make_welcome_page();
    // Starts the screen of `mode` on the chosen category and those below it.
    void start_in_chosen(screen_mode mode);
    // Tells a screen reader which row is current once the tree has the focus.
    void announce_current_row();
    // The row's menu at `at` in the tree's viewport; from the keyboard, the current row's.
    void show_menu(const QPoint& at, bool from_keyboard);
    // The browser's category edits on the chosen category; the tree follows.
    void new_category();
    void rename_category();
    void delete_category();
    // After an edit: the tree filled again choosing `choose` (none: nothing changed), and the keyboard back.
    void after_edit(std::optional<int> choose);

    main_window* window_;
    QStackedWidget* pages_ = nullptr;  // the tree, or the welcome page while nothing is stored
    QTreeWidget* tree_ = nullptr;  // one row per category: items, due today, queued
    QLabel* welcome_ = nullptr;  // the welcome page's text
};

// The status line under the window, for the counts as they stand.
void show_status_line(main_window* window, uint32_t due, uint32_t queued);
// The welcome page as a dialog of its own, from the Help menu.
void show_welcome_dialog(main_window* window);
