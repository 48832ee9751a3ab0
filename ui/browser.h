#pragma once
// The item browser: every scheduled and queued item in a table, searched as one types, edited in
// place, deleted or made due today. It is modal, so the review screen behind it sees its changes
// only when it closes, and then all at once.
#include <QAbstractTableModel>
#include <QDialog>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "session/browse.h"

// What the window keeps by category index follows a deletion (new_index as delete_category gives it).
void renumber_window_state(const std::vector<int32_t>& new_index);

class QComboBox;
class QKeyEvent;
class QLabel;
class QLayout;
class QLineEdit;
class QPaintEvent;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;
class QTreeWidget;
class QWidget;

enum class browse_kind { scheduled, pending };

// The table's columns, in order.
enum browse_column : int {
    column_question,
    column_answer,
    column_category,
    column_next_date,
    column_due,
    column_interval,
    column_repetitions,
    column_grade,
    column_created,
    column_count,
};

// The rows are pointers into the database's lists; only the rows shown are turned into texts,
// when the view asks for them. Until a sort or a search needs them all, the rows shown are found
// by walking the list as far as the view looks. Everything a search and a sort by text need (the
// rows, their folded texts, the ranks of the questions and the answers) is made meanwhile on a
// thread of its own, at a lower priority; a change of the rows or their texts stops it first.
class browser_model : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit browser_model(browse_kind kind, QObject* parent = nullptr);
    ~browser_model() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Shows the first screen of the rows that pass at once and finds the rest a slice at a time;
    // with every text folded already, finds them all at once.
    void set_filter(const browse_filter& filter);
    // The rows from the database's lists again, in the current sort order and filter.
    void reload();
    // Whether the search has looked at every row, so that rowCount() is all that pass.
    bool filter_done() const;
    // Whether the folded texts and the ranks of both text columns are here.
    bool prepared() const;
    // Whether the preparing thread is still at work; what it made reaches the model from the event loop.
    bool preparing() const { return working_; }
    // Waits for the thread that prepares them to stop, before the database changes other than
    // through this model; prepare() (or reload()) starts it again.
    void stop_preparing();
    // Starts the thread that makes what is not here yet of the rows, the folded texts and the ranks.
    void prepare();
    // Lets prepare() start the thread, held back until then so that it does not compete with
    // the window's first frame; the window calls it once that is drawn.
    void begin_preparing();
    // Rows looked at before the first screen is shown, and in each slice after it; tests make
    // them small to watch the slices at the size of a test's collection, and then nothing is
    // folded ahead of the search.
    void set_filter_slices(size_t first, size_t each);
    browse_row row_at(int row) const { return row_of_index(all_shown_ ? ordered(static_cast<size_t>(row)) : shown_[static_cast<size_t>(row)]); }
    size_t total() const { return rows_ ? rows_->size() : listed_; }
    // The view rows showing these items, as far as the search has found them.
    std::vector<int> rows_of(const std::vector<browse_row>& items) const;
    // Deletes the rows (view rows); they must be the model's. Returns whether the item on the
    // review screen was among them.
    bool remove(const std::vector<int>& rows);
    // Puts the rows' items into another category; returns how many changed.
    int move_to_category(const std::vector<int>& rows, uint16_t ctgr);
    // Makes the rows' scheduled items due today; returns how many moved.
    int make_due_today(const std::vector<int>& rows);
    // Puts the rows' scheduled items back to a new item's schedule.
    int forget(const std::vector<int>& rows);

signals:
    // An item's text was changed or an item was moved or deleted.
    void database_changed(const browse_row& row);
    // The rows shown grew or were made again; filter_done() says whether the search is over.
    void rows_found();

private:
    using row_list = std::vector<browse_row>;
    // Every row in list order, walked now unless the preparing thread has brought them.
    const row_list& rows();
    // The row at a place in list order; the list is walked as far as it while the rows are not all here.
    browse_row row_of_index(size_t index) const;
    size_t ordered(size_t place) const { return order_.empty() ? place : order_[place]; }
    // The sort order as indexes, made when a search or a sort needs it.
    const std::vector<uint32_t>& order();
    void apply_sort();
    // The search started again over the order as it stands: its first screen now, a model reset.
    void restart_filter();
    // The next slice of the search, its rows added at the end.
    void filter_slice();
    // The rank of every row for a column's key, made on first need and kept until the texts change.
    const std::vector<uint32_t>& ranks(browse_sort key);
    browse_kind kind_;
    std::shared_ptr<const row_list> rows_;  // the list's records in list order; none until needed or prepared
    mutable row_list head_;  // while rows_ is none: the first rows of the list, as far as the view looked
    size_t listed_ = 0;  // the length of the list by the database's count, while rows_ is none
    std::vector<uint32_t> order_;  // indexes into the rows in the sort order; empty: list order
    bool all_shown_ = true;  // no filter: every row shows, in order_; shown_ is not used
    std::vector<uint32_t> shown_;  // order_ without the rows the filter leaves out
    browse_filter filter_;
    int sort_column_ = -1;  // -1: list order
    folded_rows folded_;  // the rows' texts folded for the search: all, or as far as a stop of the preparing thread left them
    std::shared_ptr<folded_rows> folding_;  // what the preparing thread folds into, taken back when it ends or stops
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    filter_progress progress_;  // the search under way; shown_ is its rows found so far
    QTimer* filter_timer_ = nullptr;  // looks at the next slice of rows while nothing else is to be done
    size_t first_slice_ = 50'000;  // rows looked at before the first screen shows, at most
    size_t each_slice_ = 100'000;  // rows looked at in each later slice
    static constexpr size_t sort_keys = static_cast<size_t>(browse_sort::created) + 1;
    std::vector<uint32_t> ranks_[sort_keys];  // by browse_sort: each row's rank, empty until needed
    bool prepare_ = true;  // whether the thread prepares the search and the sorts by text
    bool held_ = true;  // the thread waits for begin_preparing()
    std::thread preparer_;  // the preparing thread, joined before the rows or texts change
    std::atomic<bool> stop_ {false};  // tells the preparing thread to end soon
    std::atomic<bool> working_ {false};  // the preparing thread has not ended yet
    uint64_t generation_ = 0;  // counts changes of the rows or texts: what was prepared before one is dropped
};

// What browsing changed, for the review screen behind the window.
struct browse_outcome {
    bool changed = false;  // some item was edited, moved or deleted
    bool shown_item_changed = false;  // the item on the review screen was edited or moved
    bool shown_item_removed = false;  // the item on the review screen was deleted
};

class browser_window : public QDialog {
    Q_OBJECT
public:
    explicit browser_window(QWidget* parent = nullptr);
    const browse_outcome& outcome() const { return outcome_; }

    QTabWidget* tabs() const { return tabs_; }
    QTableView* view(browse_kind kind) const;
    browser_model* model(browse_kind kind) const;
    QLineEdit* search_box() const { return search_; }
    QComboBox* due_box() const { return due_; }
    QTreeWidget* category_tree() const { return category_; }
    QLabel* count_label() const { return count_; }
    QPushButton* conflicts_button() const { return conflicts_button_; }

    void delete_selected();
    void make_selected_due_today();
    void move_selected();
    void forget_selected();
    // "Conflicts...": the edits that lost a conflict, and taking one instead.
    void show_conflicts();

    // The category tree's chosen category: a new one under it (at the top level under "All
    // categories"), another name for it, or its deletion while it holds no item.
    void new_category();
    void rename_chosen_category();
    void delete_chosen_category();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refilter();
    // "N of M items" for the current table, as far as its search has gone.
    void show_count();
    // Fills the tree from the table, with `chosen` (-1: "All categories") chosen.
    void fill_category_tree(int chosen);
    int chosen_category() const;
    // Ins, F2 and Del on the category tree; false for other keys.
    bool category_key(const QKeyEvent* key);
    bool search_key(const QKeyEvent* key);
    // The category panel: the tree and what acts on its chosen category.
    QWidget* make_category_panel();
    // After the table changed: the tree filled again, the rows' paths and sort brought up to date.
    void categories_changed(int chosen);
    void note_change(const browse_row& row);
    QTableView* current_view() const;
    browser_model* current_model() const;
    std::vector<int> selected_rows() const;
    // The items of the selected rows, and the rows of items selected again after the rows changed.
    std::vector<browse_row> selected_items() const;
    void select_items(const std::vector<browse_row>& items);

    QTabWidget* tabs_ = nullptr;  // the scheduled items and the queue
    QTableView* views_[2] = {};  // one table per tab, by browse_kind
    browser_model* models_[2] = {};  // the rows of each table
    QLineEdit* search_ = nullptr;  // the text searched for
    QComboBox* due_ = nullptr;  // the due filter
    QTreeWidget* category_ = nullptr;  // the category tree that narrows the rows
    QLabel* count_ = nullptr;  // "N of M items"
    QPushButton* delete_button_ = nullptr;  // deletes the selected rows
    QPushButton* due_today_button_ = nullptr;  // "Due Today"
    QPushButton* move_button_ = nullptr;  // "Move..."
    QPushButton* forget_button_ = nullptr;  // "Forget"
    QPushButton* conflicts_button_ = nullptr;  // "Conflicts...", while an edit that lost is kept
    QPushButton* rename_category_button_ = nullptr;  // "Rename Category..."
    QPushButton* delete_category_button_ = nullptr;  // "Delete Category"
    browse_outcome outcome_;
    bool category_counts_stale_ = false;  // an item changed since the category tree was filled
    bool drawn_ = false;  // the window's first frame is drawn, and the models prepare
};

// Whether the row's item is the one on the review screen.
bool is_shown_item(const browse_row& row);

// The File menu's "Browse Items...": the browser over the main window, then the review screen
// brought in line with what was changed.
void run_browser(QWidget* owner);
