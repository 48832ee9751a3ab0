#include "ui/overview_panel.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "database/database.h"
#include "database/days.h"
#include "services/paths.h"
#include "session/overview.h"
#include "settings/category_dialog.h"
#include "ui/category_edits.h"
#include "ui/main_window.h"
#include "ui/screens.h"

namespace {

enum column { name_column, items_column, due_column, queued_column, column_count };

// The data directory as the user knows it, without the closing slash.
QString data_directory()
{
    QString path = QString::fromUtf8(data_path(""));
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// The welcome text and the buttons that act on it; the same in the overview and in the dialog.
QWidget* make_welcome(main_window* window, QWidget* parent, QLabel** text_out)
{
    auto* page = new QWidget(parent);
    auto* column = new QVBoxLayout(page);
    auto* text = new QLabel(overview_panel::welcome_text(data_directory(), db().item_count, pending_count()), page);
    text->setObjectName(QStringLiteral("welcome_text"));
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    text->setAccessibleName(overview_panel::tr("How to begin"));
    QObject::connect(text, &QLabel::linkActivated, page, [](const QString&) { open_folder(data_directory()); });
    column->addWidget(text);
    struct way {
        const char* name;
        QString label;
        void (main_window::*command)();
    };
    const way ways[] = {
        {"welcome_open_folder", overview_panel::tr("&Open Data Folder"), nullptr},
        {"welcome_add", overview_panel::tr("A&dd New Items"), &main_window::start_adding},
        {"welcome_import", overview_panel::tr("&Import..."), &main_window::import_items},
    };
    auto* row = new QHBoxLayout;
    for (const way& w : ways) {
        auto* button = new QPushButton(w.label, page);
        button->setObjectName(QLatin1String(w.name));
        button->setAccessibleName(QString(w.label).remove(QLatin1Char('&')));
        button->setAutoDefault(false);
        const auto command = w.command;
        QObject::connect(button, &QPushButton::clicked, window, [window, command, page] {
            if (!command) {
                open_folder(data_directory());
                return;
            }
            // From the Help dialog, the dialog goes first and the screen opens once it is gone.
            if (auto* dialog = qobject_cast<QDialog*>(page->window()); dialog && page->window() != window)
                dialog->accept();
            QMetaObject::invokeMethod(window, [window, command] { (window->*command)(); }, Qt::QueuedConnection);
        });
        row->addWidget(button);
    }
    row->addStretch(1);
    column->addLayout(row);
    column->addStretch(1);
    if (text_out)
        *text_out = text;
    return page;
}

}  // namespace

overview_panel::overview_panel(main_window* window) : QWidget(window), window_(window)
{
    setObjectName(QStringLiteral("overview_panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    // Named, or a screen reader entering it says only "layered pane".
    pages_->setAccessibleName(tr("Overview"));
    layout->addWidget(pages_);

    tree_ = new QTreeWidget(pages_);
    tree_->setObjectName(QStringLiteral("overview_tree"));
    tree_->setAccessibleName(tr("Categories"));
    tree_->setColumnCount(column_count);
    tree_->setHeaderLabels({tr("Category"), tr("Items"), tr("Due today"), tr("Queued")});
    tree_->headerItem()->setToolTip(items_column, tr("Items in the category and in those below it"));
    tree_->headerItem()->setToolTip(due_column, tr("Reviews due today or earlier, with those below it"));
    tree_->headerItem()->setToolTip(queued_column, tr("Items waiting in the queue, with those below it"));
    for (int c = items_column; c < column_count; ++c)
        tree_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(name_column, QHeaderView::Stretch);
    for (int c = items_column; c < column_count; ++c)
        tree_->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setToolTip(tr("Return or double click: review what is due in the category. Menu key or right click: more."));
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { start_in_chosen(screen_mode::scheduled); });
    pages_->addWidget(tree_);
    pages_->addWidget(make_welcome_page());
}

QWidget* overview_panel::make_welcome_page()
{
    QWidget* page = make_welcome(window_, pages_, &welcome_);
    page->setObjectName(QStringLiteral("welcome_page"));
    return page;
}

QString overview_panel::welcome_text(const QString& data_directory, uint32_t items, uint32_t queued)
{
    const QString link = QStringLiteral("<a href=\"%1\">%2</a>")
                             .arg(QUrl::fromLocalFile(data_directory).toString().toHtmlEscaped(),
                                 data_directory.toHtmlEscaped());
    // Help > Getting Started shows this text also once the collection holds items.
    const int scheduled = static_cast<int>(std::min<uint32_t>(items, INT32_MAX));
    const int waiting = static_cast<int>(std::min<uint32_t>(queued, INT32_MAX));
    const QString held = items == 0 && queued == 0 ? tr("Your collection is empty.")
        : items == 0 ? tr("Your collection holds %n items in the queue and none in learning yet.", nullptr, waiting)
        : queued == 0 ? tr("Your collection holds %n items.", nullptr, scheduled)
                      : tr("Your collection holds %n items and %1 more in the queue.", nullptr, scheduled)
                            .arg(QLocale().toString(queued));
    return tr("<h3>Welcome to Cardwright</h3>"
              "<p>%2 It is kept in the data directory %1 (File &gt; Settings can "
              "choose another).</p>"
              "<p>Three ways to begin:</p><ol>"
              "<li><b>Add new items</b> (Insert): type a question and its answer, then grade how well you "
              "know it.</li>"
              "<li><b>File &gt; Import...</b> (Ctrl+I): take items from other trainers' packages "
              "(.apkg, .colpkg) or from word lists (text files with a question and an answer on each "
              "line).</li>"
              "<li><b>The queue file</b>: put items into <tt>queue.txt</tt> in the data directory; "
              "Add items from queue (Ctrl+U) introduces them one by one.</li></ol>"
              "<p>Then come back every day: Return goes through the reviews that are due.</p>")
        .arg(link, held.toHtmlEscaped());
}

QString overview_panel::status_text(const QString& data_directory, uint32_t due, uint32_t queued, bool read_only)
{
    QString text = tr("Data: %1   Due today: %2   Queued: %3")
                       .arg(data_directory, QLocale().toString(due), QLocale().toString(queued));
    if (read_only)
        text += QStringLiteral("   ") + tr("read-only");
    return text;
}

void overview_panel::refresh(int choose)
{
    const collection_overview o = make_overview(day_number(0));
    show_status_line(window_, o.due, o.queued);
    if (overview_empty(o)) {
        welcome_->setText(welcome_text(data_directory(), o.items, o.queued));
        pages_->setCurrentIndex(1);
        return;
    }
    const int chosen = choose >= 0 ? choose : chosen_category();
    std::set<int> folded;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        if ((*it)->childCount() > 0 && !(*it)->isExpanded())
            folded.insert((*it)->data(name_column, Qt::UserRole).toInt());
    tree_->setUpdatesEnabled(false);
    tree_->clear();
    std::vector<QTreeWidgetItem*> path;  // the rows above the one being added
    std::vector<QTreeWidgetItem*> tops;
    QTreeWidgetItem* current = nullptr;
    for (const overview_row& r : o.rows) {
        auto* row = new QTreeWidgetItem;
        const QString name = QString::fromStdString(category_at(r.category)->name);
        row->setText(name_column, name);
        // A screen reader reads the row as one sentence rather than four bare cells.
        row->setData(name_column, Qt::AccessibleTextRole, category_spoken(name, r.items, r.due, r.queued));
        row->setData(name_column, Qt::UserRole, r.category);
        const uint32_t figures[] = {r.items, r.due, r.queued};
        for (int c = items_column; c < column_count; ++c) {
            row->setData(c, Qt::DisplayRole, figures[c - items_column]);
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        path.resize(r.depth);
        if (path.empty())
            tops.push_back(row);
        else
            path.back()->addChild(row);
        path.push_back(row);
        if (r.category == chosen)
            current = row;
    }
    tree_->addTopLevelItems(QList<QTreeWidgetItem*>(tops.begin(), tops.end()));
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        (*it)->setExpanded(!folded.count((*it)->data(name_column, Qt::UserRole).toInt()));
    tree_->setCurrentItem(current ? current : tree_->topLevelItem(0));
    tree_->setUpdatesEnabled(true);
    pages_->setCurrentIndex(0);
}

int overview_panel::chosen_category() const
{
    const QTreeWidgetItem* row = tree_->currentItem();
    return row ? row->data(name_column, Qt::UserRole).toInt() : -1;
}

bool overview_panel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tree_->viewport() && event->type() == QEvent::ContextMenu) {
        // The menu key asks at the mouse pointer, wherever it is: the menu is for the current row.
        const auto* request = static_cast<QContextMenuEvent*>(event);
        show_menu(request->pos(), request->reason() == QContextMenuEvent::Keyboard);
        return true;
    }
    // Qt tells a screen reader of the tree taking the focus, but not of its current row, which
    // the tree keeps from before: Orca said "Categories tree" and no category. The row is told
    // after the tree's own event.
    if (watched == tree_ && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(this, &overview_panel::announce_current_row, Qt::QueuedConnection);
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Taken here: the tree would pass Return on to the window, which starts every category's reviews.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            start_in_chosen(screen_mode::scheduled);
            return true;
        }
        // X under Qt 6.4 makes no menu request of the menu key: the tree opens its menu itself.
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier)
            || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            show_menu(QPoint(), true);
            return true;
        }
        // The browser's keys for the chosen category; Insert stays the window's "Add new items".
        if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_F2 || key->key() == Qt::Key_Delete)) {
            if (key->key() == Qt::Key_F2)
                rename_category();
            else
                delete_category();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QAccessibleInterface* overview_panel::current_row_cell() const
{
    const QModelIndex current = tree_->currentIndex();
    if (!current.isValid())
        return nullptr;
    // The accessible tree counts the rows as they stand on the screen, unfolded ones only.
    int row = 0;
    for (QModelIndex above = tree_->indexAbove(current); above.isValid(); above = tree_->indexAbove(above))
        ++row;
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(tree_);
    QAccessibleTableInterface* table = tree ? tree->tableInterface() : nullptr;
    return table ? table->cellAt(row, name_column) : nullptr;
}

void overview_panel::announce_current_row()
{
    if (!tree_->hasFocus())
        return;
    if (QAccessibleInterface* cell = current_row_cell()) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void overview_panel::start_in_chosen(screen_mode mode)
{
    const int c = chosen_category();
    if (c < 0 || window_->closed())
        return;
    if (!start_review_screen_in(mode, {c, filter_end})) {
        const QString name = QString::fromStdString(category_at(static_cast<uint32_t>(c))->name);
        window_->statusBar()->showMessage(mode == screen_mode::queue ? tr("Nothing is queued for \"%1\".").arg(name)
                : mode == screen_mode::forced                        ? tr("\"%1\" holds no items.").arg(name)
                                                                     : tr("Nothing is due in \"%1\" today.").arg(name),
            8000);
    }
}

void overview_panel::show_menu(const QPoint& at, bool from_keyboard)
{
    QTreeWidgetItem* row = from_keyboard ? nullptr : tree_->itemAt(at);
    if (row)
        tree_->setCurrentItem(row);
    else if (!(row = tree_->currentItem()))
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("overview_menu"));
    struct entry {
        const char* name;
        QString text;
        screen_mode mode;
        int figure;  // the column whose count must not be 0 for the entry to be taken
    };
    const entry entries[] = {
        {"overview_reviews", tr("&Go Through Scheduled Reviews\tReturn"), screen_mode::scheduled, due_column},
        {"overview_queue", tr("Add Items from &Queue"), screen_mode::queue, queued_column},
        {"overview_forced", tr("&Force Reviews"), screen_mode::forced, items_column},
    };
    for (const entry& e : entries) {
        QAction* action = menu.addAction(e.text);
        action->setObjectName(QLatin1String(e.name));
        action->setEnabled(row->data(e.figure, Qt::DisplayRole).toUInt() > 0);
        const screen_mode mode = e.mode;
        connect(action, &QAction::triggered, this, [this, mode] { start_in_chosen(mode); });
    }
    menu.addSeparator();
    QAction* browse = menu.addAction(tr("&Browse Items...\tCtrl+B"));
    browse->setObjectName(QStringLiteral("overview_browse"));
    connect(browse, &QAction::triggered, window_, &main_window::browse);
    menu.addSeparator();
    const struct {
        const char* name;
        QString text;
        void (overview_panel::*edit)();
    } edits[] = {
        {"overview_new_category", tr("&New Category..."), &overview_panel::new_category},
        {"overview_rename_category", tr("&Rename Category...\tF2"), &overview_panel::rename_category},
        {"overview_delete_category", tr("&Delete Category\tDel"), &overview_panel::delete_category},
    };
    for (const auto& e : edits) {
        QAction* action = menu.addAction(e.text);
        action->setObjectName(QLatin1String(e.name));
        connect(action, &QAction::triggered, this, e.edit);
    }
    menu.exec(tree_->viewport()->mapToGlobal(
        !from_keyboard && row == tree_->itemAt(at) ? at : tree_->visualItemRect(row).center()));
}

void overview_panel::new_category()
{
    const std::optional<uint16_t> made = ask_new_category(window_, chosen_category());
    after_edit(made ? std::optional<int>(*made) : std::nullopt);
}

void overview_panel::rename_category()
{
    const int chosen = chosen_category();
    after_edit(ask_rename_category(window_, chosen) ? std::optional<int>(chosen) : std::nullopt);
}

void overview_panel::delete_category()
{
    const int chosen = chosen_category();
    if (chosen < 0 || chosen >= category_count())
        return;
    const uint16_t parent = category_at(static_cast<uint16_t>(chosen))->parent;
    std::optional<int> choose;
    if (const auto new_index = ask_delete_category(window_, chosen)) {
        // The cursor goes to the deleted category's parent, under its new index.
        const int32_t moved = parent < new_index->size() ? (*new_index)[parent] : -1;
        choose = moved >= 0 ? moved : 0;
    }
    after_edit(choose);
}

void overview_panel::after_edit(std::optional<int> choose)
{
    if (choose)
        refresh(*choose);
    // The questions and messages are gone; the tree has the keyboard again, also where no window
    // manager hands it back.
    window_->take_keyboard_back();
    tree_->setFocus(Qt::OtherFocusReason);
}

void show_status_line(main_window* window, uint32_t due, uint32_t queued)
{
    if (window->status_line)
        window->status_line->setText(overview_panel::status_text(data_directory(), due, queued, db().read_only));
}

void show_welcome_dialog(main_window* window)
{
    QDialog dialog(window);
    dialog.setObjectName(QStringLiteral("welcome_dialog"));
    dialog.setWindowTitle(overview_panel::tr("Getting Started"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(make_welcome(window, &dialog, nullptr));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(560, 460);
    dialog.exec();
}
