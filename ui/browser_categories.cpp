// The browser's category panel: the category tree that filters the tables, and the making,
// renaming and deleting of the category chosen in it.
#include <QAction>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "database/category_edits.h"
#include "database/counts.h"
#include "session/item_edits.h"
#include "session/undo.h"
#include "settings/category_dialog.h"
#include "ui/browser.h"
#include "ui/window_state.h"

namespace {

QString name_of(uint16_t c) { return QString::fromStdString(category_at(c)->name); }

// Why a change of a category was refused, for the user.
QString refusal_text(category_edit result, const QString& typed, int32_t parent)
{
    switch (result) {
    case category_edit::empty_name: return QStringLiteral("A category needs a name.");
    case category_edit::name_too_long:
        return QStringLiteral("A category name may be at most %1 bytes; \"%2\" has %3.")
            .arg(MAX_CTGR_LEN - 1)
            .arg(typed)
            .arg(typed.toUtf8().size());
    case category_edit::line_end_in_name: return QStringLiteral("A category name is a single line.");
    case category_edit::name_taken:
        return parent < 0 ? QStringLiteral("There is already a top-level category named \"%1\".").arg(typed)
                          : QStringLiteral("\"%1\" already has a category named \"%2\".")
                                .arg(QString::fromStdString(category_path(static_cast<uint16_t>(parent))), typed);
    case category_edit::table_full:
        return QStringLiteral("No category can be added: the database holds %1 categories, as many as it can.")
            .arg(QLocale().toString(static_cast<int>(category_count())));
    case category_edit::no_such_category: return QStringLiteral("That category no longer exists.");
    default: return QString();
    }
}

// Asks for a category name; none when the user cancelled. Wide enough for the title and a
// long path in the question.
std::optional<QString> ask_name(QWidget* owner, const QString& title, const QString& question, const QString& offered)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(question);
    dialog.setTextValue(offered);
    // The dialog takes the size of its layout; its line edit sets the width.
    if (auto* line = dialog.findChild<QLineEdit*>())
        line->setMinimumWidth(360);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().trimmed();
}

// The parent as the category operations take it: -1 for a top-level category.
int32_t parent_of(uint16_t c)
{
    const uint16_t parent = category_at(c)->parent;
    return parent == c ? -1 : parent;
}

}  // namespace

void renumber_window_state(const std::vector<int32_t>& new_index)
{
    window_state& w = ui();
    auto moved = [&](uint32_t c, uint32_t fallback) {
        if (c >= new_index.size())
            return c;  // past the table already: it chooses nothing, and still does not
        return new_index[c] >= 0 ? static_cast<uint32_t>(new_index[c]) : fallback;
    };
    w.new_item_category = static_cast<uint16_t>(moved(w.new_item_category, 0));
    if (const auto& selection = w.pass.selection()) {
        std::vector<int32_t> kept;
        for (const int32_t c : *selection)
            if (c == filter_end || (c >= 0 && static_cast<size_t>(c) < new_index.size() && new_index[static_cast<size_t>(c)] >= 0))
                kept.push_back(c == filter_end ? c : new_index[static_cast<size_t>(c)]);
        w.pass.select_categories(std::move(kept));
    }
    if (settings* record = w.settings_record.get()) {
        record->acs3 = moved(record->acs3, 0);
        for (category_set* set : {&record->acs1, &record->acs2, &record->acs4})
            renumber_category_set(set, new_index);
    }
}


QWidget* browser_window::make_category_panel()
{
    auto* panel = new QWidget(this);
    category_ = new QTreeWidget(panel);
    category_->setObjectName(QStringLiteral("browser_category"));
    category_->setHeaderHidden(true);
    category_->setColumnCount(1);
    category_->setSelectionMode(QAbstractItemView::SingleSelection);
    category_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fill_category_tree(-1);
    auto* label = new QLabel(QStringLiteral("&Categories:"), panel);
    label->setBuddy(category_);
    auto* new_button = new QPushButton(QStringLiteral("New Category..."), panel);
    new_button->setObjectName(QStringLiteral("browser_new_category"));
    rename_category_button_ = new QPushButton(QStringLiteral("Rename Category..."), panel);
    rename_category_button_->setObjectName(QStringLiteral("browser_rename_category"));
    delete_category_button_ = new QPushButton(QStringLiteral("Delete Category"), panel);
    delete_category_button_->setObjectName(QStringLiteral("browser_delete_category"));
    for (QPushButton* b : {new_button, rename_category_button_, delete_category_button_})
        b->setAutoDefault(false);
    connect(new_button, &QPushButton::clicked, this, &browser_window::new_category);
    connect(rename_category_button_, &QPushButton::clicked, this, &browser_window::rename_chosen_category);
    connect(delete_category_button_, &QPushButton::clicked, this, &browser_window::delete_chosen_category);

    // The same three from the tree's context menu and, while it has the focus, from the keys
    // that the menu names (category_key handles them).
    struct entry {
        const char* text;
        void (browser_window::*act)();
    };
    const entry entries[] = {{"New Category...\tIns", &browser_window::new_category},
        {"Rename Category...\tF2", &browser_window::rename_chosen_category},
        {"Delete Category\tDel", &browser_window::delete_chosen_category}};
    for (const entry& e : entries) {
        auto* action = new QAction(QString::fromLatin1(e.text), category_);
        connect(action, &QAction::triggered, this, e.act);
        category_->addAction(action);
    }
    category_->setContextMenuPolicy(Qt::ActionsContextMenu);
    category_->installEventFilter(this);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(label);
    column->addWidget(category_, 1);
    column->addWidget(new_button);
    column->addWidget(rename_category_button_);
    column->addWidget(delete_category_button_);
    return panel;
}

void browser_window::fill_category_tree(int chosen)
{
    // The counts follow deletes and moves; the choice stays on the same category.
    const QSignalBlocker quiet(category_);
    category_->clear();
    auto* all = new QTreeWidgetItem(QStringList{QStringLiteral("All categories")});
    all->setData(0, Qt::UserRole, -1);
    category_->addTopLevelItem(all);
    const std::vector<QTreeWidgetItem*> items = add_category_items(category_);
    category_->expandAll();
    const bool known = chosen >= 0 && static_cast<size_t>(chosen) < items.size();
    category_->setCurrentItem(known ? items[static_cast<size_t>(chosen)] : all);
    category_->resizeColumnToContents(0);
}

bool browser_window::category_key(const QKeyEvent* key)
{
    if (key->modifiers() != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Insert: new_category(); return true;
    case Qt::Key_F2: rename_chosen_category(); return true;
    case Qt::Key_Delete: delete_chosen_category(); return true;
    default: return false;
    }
}

int browser_window::chosen_category() const
{
    const QTreeWidgetItem* current = category_->currentItem();
    return current ? current->data(0, Qt::UserRole).toInt() : -1;
}

void browser_window::categories_changed(int chosen)
{
    outcome_.changed = true;
    category_counts_stale_ = false;
    fill_category_tree(chosen);
    // A rename can change how rows sort by category, a deletion what the filter's index means.
    for (browser_model* m : models_)
        m->reload();
    refilter();
}

void browser_window::new_category()
{
    const int chosen = chosen_category();
    const int32_t parent = chosen >= 0 && chosen < category_count() ? chosen : -1;
    const std::optional<QString> name = ask_name(this, QStringLiteral("New Category"),
        parent < 0 ? QStringLiteral("Name of the new top-level category:")
                   : QStringLiteral("Name of the new category under \"%1\":")
                         .arg(QString::fromStdString(category_path(static_cast<uint16_t>(parent)))),
        QString());
    if (!name)
        return;
    const QString& typed = *name;
    const category_made made = create_user_category(typed.toStdString(), parent);
    if (made.result != category_edit::done) {
        show_message(this, QStringLiteral("New Category"), refusal_text(made.result, typed, parent));
        return;
    }
    // The new category is chosen, ready to be renamed or to receive moved rows.
    categories_changed(made.index);
}

void browser_window::rename_chosen_category()
{
    const int chosen = chosen_category();
    if (chosen < 0 || chosen >= category_count())
        return;
    const auto c = static_cast<uint16_t>(chosen);
    const std::optional<QString> name = ask_name(this, QStringLiteral("Rename Category"),
        QStringLiteral("New name of \"%1\":").arg(QString::fromStdString(category_path(c))), name_of(c));
    if (!name)
        return;
    const QString& typed = *name;
    const category_edit result = rename_user_category(c, typed.toStdString());
    if (result != category_edit::done) {
        show_message(this, QStringLiteral("Rename Category"), refusal_text(result, typed, parent_of(c)));
        return;
    }
    categories_changed(c);
}

void browser_window::delete_chosen_category()
{
    const int chosen = chosen_category();
    if (chosen < 0 || chosen >= category_count())
        return;
    const auto c = static_cast<uint16_t>(chosen);
    const QString path = QString::fromStdString(category_path(c));
    const QString title = QStringLiteral("Delete Category");
    if (c == 0) {
        show_message(this, title,
            QStringLiteral("\"%1\" cannot be deleted: it is the first category, which takes the items that have no other.")
                .arg(path));
        return;
    }
    if (const uint32_t n = items_within_category(c); n > 0) {
        show_message(this, title,
            QStringLiteral("\"%1\" cannot be deleted while it holds items: %2 %3 in it or in its subcategories. "
                           "Move or delete them first.")
                .arg(path)
                .arg(n)
                .arg(n == 1 ? QStringLiteral("item is") : QStringLiteral("items are")));
        return;
    }
    const size_t below = categories_below(c).size();
    const QString question = below == 0 ? QStringLiteral("Delete the category \"%1\"?").arg(path)
        : QStringLiteral("Delete the category \"%1\" and the %2 empty %3 below it?")
              .arg(path)
              .arg(below)
              .arg(below == 1 ? QStringLiteral("category") : QStringLiteral("categories"));
    if (show_message(this, title, question, message_buttons::yes_no) != message_answer::yes)
        return;
    // Undo steps keep the categories of the items they would restore.
    forget_undo();
    const category_removal removal = delete_user_category(c);
    if (removal.result != category_edit::done) {
        show_message(this, title, refusal_text(removal.result, path, -1));
        return;
    }
    renumber_window_state(removal.new_index);
    categories_changed(-1);
}
