#pragma once
// The main screen's overview beside the status text and the main buttons: the category tree
// with what each category holds and what is due, or, while the collection is empty, how to begin.
#include <QWidget>

#include <cstdint>

#include "session/review_pass.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class main_window;

class overview_panel : public QWidget {
    Q_OBJECT
public:
    explicit overview_panel(main_window* window);

    // Counts again and fills the tree, keeping the category chosen and the ones folded up.
    void refresh();
    // The welcome page: where the data lives and the three ways to begin.
    static QString welcome_text(const QString& data_directory);
    // The status line under the window: the data directory, what is due and queued.
    static QString status_text(const QString& data_directory, uint32_t due, uint32_t queued, bool read_only);

    QTreeWidget* tree() const { return tree_; }
    QStackedWidget* pages() const { return pages_; }
    // The category of the current row, or -1 when no row is current.
    int chosen_category() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* make_welcome_page();
    // Starts the screen of `mode` on the chosen category and those below it.
    void start_in_chosen(screen_mode mode);
    void show_menu(const QPoint& at);

    main_window* window_;
    QStackedWidget* pages_ = nullptr;  // the tree, or the welcome page while nothing is stored
    QTreeWidget* tree_ = nullptr;  // one row per category: items, due today, queued
    QLabel* welcome_ = nullptr;  // the welcome page's text
};

// The status line under the window, for the counts as they stand.
void show_status_line(main_window* window, uint32_t due, uint32_t queued);
// The welcome page as a dialog of its own, from the Help menu.
void show_welcome_dialog(main_window* window);
