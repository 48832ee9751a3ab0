#include "ui/browser.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QTimer>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

#include "database/counts.h"
#include "database/days.h"
#include "session/undo.h"
#include "ui/browser_editor.h"
#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/screens.h"
#include "ui/window_state.h"

namespace {

// A text as a table cell shows it: tags hidden, media elements as markers, on one line.
QString cell_text(std::string_view stored)
{
    std::string text(stored);
    std::string media;
    const std::vector<std::string> sounds = cut_media(media, text);
    std::string shown = strip_format_tags(text);
    if (has_picture(media))
        shown += " <img>";
    if (!sounds.empty())
        shown += " <snd>";
    QString cell = QString::fromUtf8(shown);
    cell.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return cell;
}

bool is_shown_item(const browse_row& row)
{
    const window_state& w = ui();
    if (!ui().pass.reviewing())
        return false;
    return (row.scheduled && row.scheduled == w.pass.current_item()) || (row.pending && row.pending == w.pass.current_pending());
}

}  // namespace

browser_model::browser_model(browse_kind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind)
{
    filter_.today = day_number(0);
    fold_timer_ = new QTimer(this);
    fold_timer_->setInterval(0);
    connect(fold_timer_, &QTimer::timeout, this, [this] {
        // A slice takes a few milliseconds, so that keys typed meanwhile are not kept waiting.
        constexpr size_t slice_rows = 20'000;
        if (fold_more_rows(folded_, rows_, slice_rows))
            fold_timer_->stop();
    });
    reload();
}

void browser_model::refold()
{
    folded_ = {};
    fold_timer_->start();
}

void browser_model::reload()
{
    beginResetModel();
    rows_ = kind_ == browse_kind::scheduled ? scheduled_rows() : pending_rows();
    refold();
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), 0u);
    apply_sort();
    shown_ = filter_rows(rows_, order_, filter_, &folded_);
    endResetModel();
}

int browser_model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int browser_model::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : column_count; }

QVariant browser_model::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const browse_row row = row_at(index.row());
    const int column = index.column();
    if (role == Qt::EditRole && (column == column_question || column == column_answer))
        return QString::fromUtf8(column == column_question ? question_of(row) : answer_of(row));
    if (role == Qt::TextAlignmentRole && column >= column_interval && column <= column_grade)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case column_question: return cell_text(question_of(row));
    case column_answer: return cell_text(answer_of(row));
    case column_category: return QString::fromStdString(category_path(category_of(row)));
    default: break;
    }
    const item* e = row.scheduled;
    if (!e)
        return {};  // a queued item has no schedule yet
    switch (column) {
    case column_next_date: return QString::fromStdString(date_of_day(e->tmtrpt));
    case column_due: return QString::fromStdString(relative_due(static_cast<int32_t>(e->tmtrpt) - filter_.today));
    case column_interval: return e->ivl;
    case column_repetitions: return e->rp;
    case column_grade: return e->rp ? QVariant(e->gr) : QVariant();
    case column_created: return e->id ? QString::fromStdString(date_of_time(e->id)) : QString();
    default: return {};
    }
}

QVariant browser_model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[column_count] = {
        "Question", "Answer", "Category", "Next Review", "Due", "Interval", "Repetitions", "Last Grade", "Created"};
    return section >= 0 && section < column_count ? QString::fromLatin1(titles[section]) : QVariant();
}

Qt::ItemFlags browser_model::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || index.row() >= rowCount() || (index.column() != column_question && index.column() != column_answer))
        return f;
    // A text too long for the editor's box is kept as it is, as the review screen keeps it.
    const browse_row row = row_at(index.row());
    const std::string_view text = index.column() == column_question ? question_of(row) : answer_of(row);
    if (display_length(text) <= max_text_bytes)
        f |= Qt::ItemIsEditable;
    return f;
}

bool browser_model::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()
        || (index.column() != column_question && index.column() != column_answer))
        return false;
    const browse_row row = row_at(index.row());
    const bool question = index.column() == column_question;
    std::string text = value.toString().toStdString();
    if (text.size() > max_text_bytes) {
        show_message(nullptr, QStringLiteral("Browse Items"),
            too_long_text(question ? QStringLiteral("question") : QStringLiteral("answer"), text.size()));
        return false;
    }
    if ((question ? question_of(row) : answer_of(row)) == text)
        return true;
    if (row.scheduled)
        (question ? row.scheduled->question : row.scheduled->answer) = text;
    else
        (question ? row.pending->question : row.pending->answer) = std::move(text);
    refold();
    emit dataChanged(index, index);
    emit database_changed(row);
    return true;
}

void browser_model::apply_sort()
{
    static constexpr browse_sort keys[column_count] = {browse_sort::question, browse_sort::answer,
        browse_sort::category, browse_sort::next_date, browse_sort::next_date, browse_sort::interval,
        browse_sort::repetitions, browse_sort::grade, browse_sort::created};
    if (sort_column_ >= 0 && sort_column_ < column_count)
        sort_rows(rows_, order_, keys[sort_column_], sort_order_ == Qt::DescendingOrder);
}

void browser_model::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged();
    sort_column_ = column;
    sort_order_ = order;
    std::iota(order_.begin(), order_.end(), 0u);
    apply_sort();
    shown_ = filter_rows(rows_, order_, filter_, &folded_);
    emit layoutChanged();
}

void browser_model::set_filter(const browse_filter& filter)
{
    beginResetModel();
    filter_ = filter;
    shown_ = filter_rows(rows_, order_, filter_, &folded_);
    endResetModel();
}

bool browser_model::remove(const std::vector<int>& rows)
{
    std::vector<browse_row> doomed;
    for (int r : rows)
        if (r >= 0 && r < rowCount())
            doomed.push_back(row_at(r));
    if (doomed.empty())
        return false;
    // Undo steps point at item records, some of which are about to be freed.
    forget_undo();
    bool shown_removed = false;
    for (const browse_row& row : doomed) {
        if (is_shown_item(row)) {
            shown_removed = true;
            ui().pass.drop_shown();
        }
        emit database_changed(row);
        if (row.scheduled)
            remove_item(row.scheduled);
        else
            remove_pending(row.pending);
    }
    reload();
    return shown_removed;
}

int browser_model::move_to_category(const std::vector<int>& rows, uint16_t ctgr)
{
    if (ctgr >= category_count())
        return 0;
    std::vector<browse_row> moving;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && category_of(row_at(r)) != ctgr)
            moving.push_back(row_at(r));
    for (const browse_row& row : moving) {
        (row.scheduled ? row.scheduled->ctgr : row.pending->ctgr) = ctgr;
        emit database_changed(row);
    }
    // A category filter may now leave some of them out, and a sort by category move them.
    if (!moving.empty())
        reload();
    return static_cast<int>(moving.size());
}

int browser_model::make_due_today(const std::vector<int>& rows)
{
    std::vector<item*> items;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && row_at(r).scheduled && row_at(r).scheduled->tmtrpt > filter_.today)
            items.push_back(row_at(r).scheduled);
    if (items.empty())
        return 0;
    // An undo step would put its item back in the place it had in the list.
    forget_undo();
    int moved = 0;
    for (item* e : items) {
        emit database_changed({e, nullptr});
        moved += reschedule_today(e, filter_.today) ? 1 : 0;
    }
    reload();
    return moved;
}

int browser_model::forget(const std::vector<int>& rows)
{
    std::vector<item*> items;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && row_at(r).scheduled)
            items.push_back(row_at(r).scheduled);
    if (items.empty())
        return 0;
    // An undo step would put its item back in the place it had in the list.
    forget_undo();
    for (item* e : items) {
        emit database_changed({e, nullptr});
        forget_item(e, filter_.today);
    }
    reload();
    return static_cast<int>(items.size());
}

browser_window::browser_window(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Browse Items"));
    setObjectName(QStringLiteral("browser_window"));
    resize(900, 560);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("browser_search"));
    search_->setPlaceholderText(QStringLiteral("Search questions and answers"));
    search_->setClearButtonEnabled(true);
    due_ = new QComboBox(this);
    due_->setObjectName(QStringLiteral("browser_due"));
    due_->addItem(QStringLiteral("All items"), static_cast<int>(due_filter::any));
    due_->addItem(QStringLiteral("Due"), static_cast<int>(due_filter::due));
    due_->addItem(QStringLiteral("Overdue"), static_cast<int>(due_filter::overdue));
    auto* filters = new QHBoxLayout;
    filters->addWidget(search_, 3);
    filters->addWidget(due_, 1);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("browser_tabs"));
    for (const browse_kind kind : {browse_kind::scheduled, browse_kind::pending}) {
        const int k = static_cast<int>(kind);
        models_[k] = new browser_model(kind, this);
        views_[k] = new QTableView(this);
        views_[k]->setObjectName(kind == browse_kind::scheduled ? QStringLiteral("browser_scheduled")
                                                                : QStringLiteral("browser_pending"));
        views_[k]->setModel(models_[k]);
        views_[k]->setSortingEnabled(true);
        views_[k]->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        views_[k]->setSelectionBehavior(QAbstractItemView::SelectRows);
        views_[k]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        views_[k]->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
        views_[k]->setWordWrap(false);
        views_[k]->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        views_[k]->verticalHeader()->hide();
        views_[k]->setColumnWidth(column_question, 220);
        views_[k]->setColumnWidth(column_answer, 220);
        views_[k]->setItemDelegate(new text_cell_delegate(views_[k]));
        connect(models_[k], &browser_model::database_changed, this, &browser_window::note_change);
        tabs_->addTab(views_[k], kind == browse_kind::scheduled ? QStringLiteral("Scheduled") : QStringLiteral("Pending"));
    }

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("browser_count"));
    delete_button_ = new QPushButton(QStringLiteral("Delete"), this);
    delete_button_->setObjectName(QStringLiteral("browser_delete"));
    due_today_button_ = new QPushButton(QStringLiteral("Due Today"), this);
    due_today_button_->setObjectName(QStringLiteral("browser_due_today"));
    move_button_ = new QPushButton(QStringLiteral("Move..."), this);
    move_button_->setObjectName(QStringLiteral("browser_move"));
    forget_button_ = new QPushButton(QStringLiteral("Forget"), this);
    forget_button_->setObjectName(QStringLiteral("browser_forget"));
    auto* close_button = new QPushButton(QStringLiteral("Close"), this);
    // Return belongs to the search box and the cell editor, never to a button.
    for (QPushButton* b : {delete_button_, move_button_, due_today_button_, forget_button_, close_button})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(count_, 1);
    buttons->addWidget(delete_button_);
    buttons->addWidget(move_button_);
    buttons->addWidget(due_today_button_);
    buttons->addWidget(forget_button_);
    buttons->addWidget(close_button);

    // The category tree beside the tables, which get most of the width.
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->addWidget(make_category_panel());
    split->addWidget(tabs_);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 700});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    // Delete in a table deletes its selected rows; a cell editor keeps its own keys.
    for (QTableView* v : views_)
        v->installEventFilter(this);
    connect(delete_button_, &QPushButton::clicked, this, &browser_window::delete_selected);
    connect(due_today_button_, &QPushButton::clicked, this, &browser_window::make_selected_due_today);
    connect(close_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(move_button_, &QPushButton::clicked, this, &browser_window::move_selected);
    connect(forget_button_, &QPushButton::clicked, this, &browser_window::forget_selected);
    search_timer_ = new QTimer(this);
    search_timer_->setSingleShot(true);
    search_timer_->setInterval(150);
    connect(search_timer_, &QTimer::timeout, this, &browser_window::refilter);
    connect(search_, &QLineEdit::textChanged, this, [this] {
        // Up to this many rows a search takes a few milliseconds and answers every key.
        constexpr size_t instant_rows = 200'000;
        if (models_[0]->total() + models_[1]->total() <= instant_rows)
            refilter();
        else
            search_timer_->start();
    });
    connect(due_, &QComboBox::currentIndexChanged, this, &browser_window::refilter);
    connect(category_, &QTreeWidget::currentItemChanged, this, &browser_window::refilter);
    connect(tabs_, &QTabWidget::currentChanged, this, &browser_window::refilter);
    refilter();
    search_->setFocus();
}

QTableView* browser_window::view(browse_kind kind) const { return views_[static_cast<int>(kind)]; }
browser_model* browser_window::model(browse_kind kind) const { return models_[static_cast<int>(kind)]; }
QTableView* browser_window::current_view() const { return views_[tabs_->currentIndex() == 1 ? 1 : 0]; }
browser_model* browser_window::current_model() const { return models_[tabs_->currentIndex() == 1 ? 1 : 0]; }

void browser_window::refilter()
{
    if (category_counts_stale_) {
        category_counts_stale_ = false;
        fill_category_tree(chosen_category());
    }
    browse_filter filter;
    filter.folded_query = fold_text(search_->text().toStdString());
    filter.due = static_cast<due_filter>(due_->currentData().toInt());
    if (const int c = chosen_category(); c >= 0)
        filter.category = static_cast<uint16_t>(c);
    filter.today = day_number(0);
    for (browser_model* m : models_)
        m->set_filter(filter);
    browser_model* m = current_model();
    count_->setText(QStringLiteral("%1 of %2 items").arg(m->rowCount()).arg(m->total()));
    // "All categories" is no category to rename or delete.
    rename_category_button_->setEnabled(chosen_category() >= 0);
    delete_category_button_->setEnabled(chosen_category() >= 0);
    due_today_button_->setEnabled(current_model() == models_[0]);
    forget_button_->setEnabled(current_model() == models_[0]);
}

std::vector<int> browser_window::selected_rows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : current_view()->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void browser_window::delete_selected()
{
    const std::vector<int> rows = selected_rows();
    if (rows.empty())
        return;
    const QString text = rows.size() == 1 ? QStringLiteral("Delete the selected item?")
                                          : QStringLiteral("Delete the %1 selected items?").arg(rows.size());
    if (show_message(this, QStringLiteral("Delete Items"), text, message_buttons::yes_no) != message_answer::yes)
        return;
    if (current_model()->remove(rows))
        outcome_.shown_item_removed = true;
    refilter();
}

void browser_window::make_selected_due_today()
{
    if (current_model() != models_[0])
        return;
    current_model()->make_due_today(selected_rows());
    refilter();
}

void browser_window::forget_selected()
{
    const std::vector<int> rows = selected_rows();
    if (rows.empty() || current_model() != models_[0])
        return;
    const QString text = QStringLiteral("Forget the schedule of %1 selected items? They start again as new items.")
                             .arg(rows.size());
    if (show_message(this, QStringLiteral("Forget Items"), text, message_buttons::yes_no) != message_answer::yes)
        return;
    current_model()->forget(rows);
    refilter();
}

void browser_window::move_selected()
{
    const std::vector<int> rows = selected_rows();
    if (rows.empty())
        return;
    const std::vector<std::pair<std::string, uint16_t>> paths = sorted_category_paths();
    QStringList names;
    for (const auto& entry : paths)
        names << QString::fromStdString(entry.first);
    bool chosen = false;
    const QString name = QInputDialog::getItem(this, QStringLiteral("Move Items"),
        QStringLiteral("Move the %1 selected items to:").arg(rows.size()), names, 0, false, &chosen);
    const auto at = names.indexOf(name);
    if (!chosen || at < 0)
        return;
    current_model()->move_to_category(rows, paths[static_cast<size_t>(at)].second);
    refilter();
}

void browser_window::note_change(const browse_row& row)
{
    outcome_.changed = true;
    category_counts_stale_ = true;
    if (is_shown_item(row))
        outcome_.shown_item_changed = true;
}

bool browser_window::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == category_ && event->type() == QEvent::KeyPress && category_key(static_cast<QKeyEvent*>(event)))
        return true;
    auto* v = qobject_cast<QTableView*>(watched);
    if (v && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            delete_selected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void browser_window::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void run_browser(QWidget* owner)
{
    // The browser reads the records; what the screen holds goes into them first.
    write_back_shown_item();
    browse_outcome outcome;
    {
        browser_window dialog(owner);
        dialog.exec();
        outcome = dialog.outcome();
    }
    if (outcome.shown_item_removed || outcome.shown_item_changed)
        show_again_after_browsing(outcome.shown_item_removed);
    else if (outcome.changed && ui().pass.mode() == screen_mode::main)
        show_main_screen();
    if (main_window* window = ui().window)
        window->refresh_actions();
}
