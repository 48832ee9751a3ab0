#include "ui/browser.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QTimer>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "session/sync_conflicts.h"
#include "ui/browser_conflicts.h"
#include "database/counts.h"
#include "database/days.h"
#include "session/undo.h"
#include "ui/browser_editor.h"
#include "ui/main_window.h"
#include "ui/markup.h"
#include "ui/screens.h"
#include "ui/window_state.h"

browser_window::browser_window(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Browse Items"));
    setObjectName(QStringLiteral("browser_window"));
    resize(1100, 600);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("browser_search"));
    search_->setPlaceholderText(tr("Search questions and answers"));
    search_->setAccessibleName(tr("Search"));
    // A clear button of its own: QLineEdit's fades in over ten frames after the first key.
    QAction* clear = search_->addAction(search_->style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, search_),
        QLineEdit::TrailingPosition);
    clear->setObjectName(QStringLiteral("browser_clear_search"));
    clear->setText(tr("Clear the search"));  // the button's tooltip and accessible name
    clear->setVisible(false);
    connect(clear, &QAction::triggered, search_, &QLineEdit::clear);
    connect(search_, &QLineEdit::textChanged, clear, [clear](const QString& text) { clear->setVisible(!text.isEmpty()); });
    due_ = new QComboBox(this);
    due_->setObjectName(QStringLiteral("browser_due"));
    due_->setAccessibleName(tr("Show"));
    due_->addItem(tr("All items"), static_cast<int>(due_filter::any));
    due_->addItem(tr("Due"), static_cast<int>(due_filter::due));
    due_->addItem(tr("Overdue"), static_cast<int>(due_filter::overdue));
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
        // One line a row, set before the rows come: afterwards it is a resize of each of them.
        views_[k]->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        views_[k]->verticalHeader()->setDefaultSectionSize(views_[k]->fontMetrics().height() + 6);
        views_[k]->verticalHeader()->hide();
        views_[k]->setModel(models_[k]);
        views_[k]->setAccessibleName(kind == browse_kind::scheduled ? tr("Scheduled items") : tr("Items in the queue"));
        // The indicator cleared first: enabling the sort sorts by the indicator's column.
        views_[k]->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        views_[k]->setSortingEnabled(true);
        views_[k]->setSelectionBehavior(QAbstractItemView::SelectRows);
        views_[k]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        views_[k]->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
        views_[k]->setWordWrap(false);
        // The texts share what the window's width leaves beside the short columns.
        QHeaderView* header = views_[k]->horizontalHeader();
        header->setMinimumSectionSize(40);
        for (const int c : {column_question, column_answer, column_category})
            header->setSectionResizeMode(c, QHeaderView::Stretch);
        // The short columns as wide as their title or a typical value, whichever is wider.
        const QFontMetrics metrics = views_[k]->fontMetrics();
        static const char* const samples[column_count] = {
            "", "", "", "0000-00-00", "in 999 days", "0000", "000", "0", "0000-00-00"};
        for (int c = column_next_date; c < column_count; ++c)
            views_[k]->setColumnWidth(c, std::max(metrics.horizontalAdvance(QLatin1String(samples[c])),
                metrics.horizontalAdvance(models_[k]->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString())) + 20);
        views_[k]->setItemDelegate(new text_cell_delegate(views_[k]));
        connect(models_[k], &browser_model::database_changed, this, &browser_window::note_change);
        connect(models_[k], &browser_model::rows_found, this, &browser_window::show_count);
        tabs_->addTab(views_[k], kind == browse_kind::scheduled ? tr("Scheduled") : tr("Pending"));
    }

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("browser_count"));
    delete_button_ = new QPushButton(tr("Delete"), this);
    delete_button_->setObjectName(QStringLiteral("browser_delete"));
    due_today_button_ = new QPushButton(tr("Due Today"), this);
    due_today_button_->setObjectName(QStringLiteral("browser_due_today"));
    move_button_ = new QPushButton(tr("Move..."), this);
    move_button_->setObjectName(QStringLiteral("browser_move"));
    forget_button_ = new QPushButton(tr("Forget"), this);
    forget_button_->setObjectName(QStringLiteral("browser_forget"));
    conflicts_button_ = new QPushButton(tr("Conflicts..."), this);
    conflicts_button_->setObjectName(QStringLiteral("browser_conflicts"));
    conflicts_button_->setVisible(!records_with_lost_edits().empty());
    auto* close_button = new QPushButton(tr("Close"), this);
    // Return belongs to the search box and the cell editor, never to a button.
    for (QPushButton* b : {delete_button_, move_button_, due_today_button_, forget_button_, conflicts_button_, close_button})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(count_, 1);
    buttons->addWidget(delete_button_);
    buttons->addWidget(move_button_);
    buttons->addWidget(due_today_button_);
    buttons->addWidget(forget_button_);
    buttons->addWidget(conflicts_button_);
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
    search_->installEventFilter(this);
    connect(delete_button_, &QPushButton::clicked, this, &browser_window::delete_selected);
    connect(due_today_button_, &QPushButton::clicked, this, &browser_window::make_selected_due_today);
    connect(close_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(move_button_, &QPushButton::clicked, this, &browser_window::move_selected);
    connect(forget_button_, &QPushButton::clicked, this, &browser_window::forget_selected);
    connect(conflicts_button_, &QPushButton::clicked, this, &browser_window::show_conflicts);
    // Each key searches at once: the first screen shows, the rest follows in slices.
    connect(search_, &QLineEdit::textChanged, this, &browser_window::refilter);
    connect(due_, &QComboBox::currentIndexChanged, this, &browser_window::refilter);
    connect(category_, &QTreeWidget::currentItemChanged, this, &browser_window::refilter);
    connect(tabs_, &QTabWidget::currentChanged, this, &browser_window::refilter);
    // An item view repaints whenever its window turns active or inactive, for the colours of its
    // selection; with a palette whose active and inactive colours agree nothing changes, and the
    // repaints (here and in the window behind, which the browser's opening makes inactive) would
    // be frames after the first. The window behind is this window's parent, so one search finds both.
    for (QAbstractItemView* v : (parent ? parent->window() : this)->findChildren<QAbstractItemView*>())
        v->viewport()->installEventFilter(this);
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
    // The rows laid out now rather than at the next turn of the event loop, where the new
    // length of the scroll bar would cost a second frame.
    current_view()->doItemsLayout();
    show_count();
    // "All categories" is no category to rename or delete.
    rename_category_button_->setEnabled(chosen_category() >= 0);
    delete_category_button_->setEnabled(chosen_category() >= 0);
    due_today_button_->setEnabled(current_model() == models_[0]);
    forget_button_->setEnabled(current_model() == models_[0]);
}

void browser_window::show_count()
{
    const browser_model* m = current_model();
    count_->setText(tr("%1 of %Ln items", nullptr, m->total()).arg(QLocale().toString(m->rowCount())));
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
    const QString text = rows.size() == 1 ? tr("Delete the selected item?")
                                          : tr("Delete the %n selected items?", nullptr, static_cast<int>(rows.size()));
    if (show_message(this, tr("Delete Items"), text, message_buttons::yes_no) != message_answer::yes)
        return;
    if (current_model()->remove(rows))
        outcome_.shown_item_removed = true;
    refilter();
    // The cursor where the first deleted row was, on the row that took its place.
    if (const int left = current_model()->rowCount(); left > 0) {
        const QModelIndex at = current_model()->index(std::min(rows.front(), left - 1), column_question);
        current_view()->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void browser_window::make_selected_due_today()
{
    if (current_model() != models_[0])
        return;
    const std::vector<browse_row> chosen = selected_items();
    current_model()->make_due_today(selected_rows());
    refilter();
    select_items(chosen);
}

std::vector<browse_row> browser_window::selected_items() const
{
    std::vector<browse_row> items;
    for (const int r : selected_rows())
        items.push_back(current_model()->row_at(r));
    return items;
}

void browser_window::select_items(const std::vector<browse_row>& items)
{
    QTableView* view = current_view();
    const browser_model* m = current_model();
    QItemSelection selection;
    int first = -1;
    for (const int r : m->rows_of(items)) {
        selection.select(m->index(r, 0), m->index(r, column_count - 1));
        first = first < 0 ? r : std::min(first, r);
    }
    if (first < 0)
        return;
    view->selectionModel()->setCurrentIndex(m->index(first, column_question), QItemSelectionModel::NoUpdate);
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    view->scrollTo(m->index(first, column_question));
}

void browser_window::forget_selected()
{
    const std::vector<int> rows = selected_rows();
    if (rows.empty() || current_model() != models_[0])
        return;
    const QString text = tr("Forget the schedule of %n selected items? They start again as new items.", nullptr,
        static_cast<int>(rows.size()));
    if (show_message(this, tr("Forget Items"), text, message_buttons::yes_no) != message_answer::yes)
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
    const QString name = QInputDialog::getItem(this, tr("Move Items"),
        tr("Move the %n selected items to:", nullptr, static_cast<int>(rows.size())), names, 0, false, &chosen);
    const auto at = names.indexOf(name);
    if (!chosen || at < 0)
        return;
    const std::vector<browse_row> moving = selected_items();
    current_model()->move_to_category(rows, paths[static_cast<size_t>(at)].second);
    refilter();
    select_items(moving);
}

void browser_window::show_conflicts()
{
    // Taking a losing text changes texts that the models' preparing threads read.
    for (browser_model* m : models_)
        m->stop_preparing();
    conflicts_dialog dialog(this);
    dialog.exec();
    for (browser_model* m : models_) {
        if (dialog.changed())
            m->reload();
        else
            m->prepare();
    }
    if (dialog.changed()) {
        outcome_.changed = true;
        outcome_.shown_item_changed = true;  // the item on screen may be one of them
    }
    conflicts_button_->setVisible(!records_with_lost_edits().empty());
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
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->palette().isEqual(QPalette::Active, QPalette::Inactive))
        return true;
    if (watched == category_ && event->type() == QEvent::KeyPress && category_key(static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == search_ && event->type() == QEvent::KeyPress && search_key(static_cast<QKeyEvent*>(event)))
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

// Down from the search box goes on into the rows found, as from a search field to its list.
bool browser_window::search_key(const QKeyEvent* key)
{
    if ((key->key() != Qt::Key_Down && key->key() != Qt::Key_PageDown) || key->modifiers() != Qt::NoModifier)
        return false;
    QTableView* v = current_view();
    if (v->model()->rowCount() == 0)
        return false;
    v->setFocus(Qt::TabFocusReason);
    if (!v->selectionModel()->hasSelection())
        v->selectRow(v->currentIndex().isValid() ? v->currentIndex().row() : 0);
    return true;
}

void browser_window::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void browser_window::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (drawn_)
        return;
    drawn_ = true;
    // Once this frame is out: the preparing threads would take processor time from it.
    QTimer::singleShot(0, this, [this] {
        for (browser_model* m : models_)
            m->begin_preparing();
    });
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
