// The browser's category panel: the category tree that filters the tables, and the making,
// renaming and deleting of the category chosen in it.
#include <QAction>
#include <QCoreApplication>
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
#include "ui/category_edits.h"
#include "ui/window_state.h"

namespace {

QString name_of(uint16_t c) { return QString::fromStdString(category_at(c)->name); }

// Why a change of a category was refused, for the user.
QString refusal_text(category_edit result, const QString& typed, int32_t parent)
{
    switch (result) {
    case category_edit::empty_name: return QCoreApplication::translate("browser_window", "A category needs a name.");
    case category_edit::name_too_long:
        return QCoreApplication::translate("browser_window", "A category name may be at most %1 bytes; \"%2\" has %3.")
            .arg(MAX_CTGR_LEN - 1)
            .arg(typed)
            .arg(typed.toUtf8().size());
    case category_edit::line_end_in_name: return QCoreApplication::translate("browser_window", "A category name is a single line.");
    case category_edit::name_taken:
        return parent < 0 ? QCoreApplication::translate("browser_window", "There is already a top-level category named \"%1\".").arg(typed)
                          : QCoreApplication::translate("browser_window", "\"%1\" already has a category named \"%2\".")
                                .arg(QString::fromStdString(category_path(static_cast<uint16_t>(parent))), typed);
    case category_edit::table_full:
        return QCoreApplication::translate("browser_window", "No category can be added: the database holds %1 categories, as many as it can.")
            .arg(QLocale().toString(static_cast<int>(category_count())));
    case category_edit::no_such_category: return QCoreApplication::translate("browser_window", "That category no longer exists.");
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
    auto* label = new QLabel(tr("&Categories:"), panel);
    label->setBuddy(category_);
    category_->setAccessibleName(tr("Categories"));
    auto* new_button = new QPushButton(tr("New Category..."), panel);
    new_button->setObjectName(QStringLiteral("browser_new_category"));
    rename_category_button_ = new QPushButton(tr("Rename Category..."), panel);
    rename_category_button_->setObjectName(QStringLiteral("browser_rename_category"));
    delete_category_button_ = new QPushButton(tr("Delete Category"), panel);
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
    const entry entries[] = {{QT_TR_NOOP("New Category...\tIns"), &browser_window::new_category},
        {QT_TR_NOOP("Rename Category...\tF2"), &browser_window::rename_chosen_category},
        {QT_TR_NOOP("Delete Category\tDel"), &browser_window::delete_chosen_category}};
    for (const entry& e : entries) {
        auto* action = new QAction(tr(e.text), category_);
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
    auto* all = new QTreeWidgetItem(QStringList{tr("All categories")});
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

std::optional<uint16_t> ask_new_category(QWidget* owner, int chosen)
{
    const int32_t parent = chosen >= 0 && chosen < category_count() ? chosen : -1;
    const std::optional<QString> name = ask_name(owner, browser_window::tr("New Category"),
        parent < 0 ? browser_window::tr("Name of the new top-level category:")
                   : browser_window::tr("Name of the new category under \"%1\":")
                         .arg(QString::fromStdString(category_path(static_cast<uint16_t>(parent)))),
        QString());
    if (!name)
        return std::nullopt;
    const QString& typed = *name;
    const category_made made = create_user_category(typed.toStdString(), parent);
    if (made.result != category_edit::done) {
        show_message(owner, browser_window::tr("New Category"), refusal_text(made.result, typed, parent));
        return std::nullopt;
    }
    return made.index;
}

void browser_window::new_category()
{
    // The new category is chosen, ready to be renamed or to receive moved rows.
    if (const std::optional<uint16_t> made = ask_new_category(this, chosen_category()))
        categories_changed(*made);
}

bool ask_rename_category(QWidget* owner, int chosen)
{
    if (chosen < 0 || chosen >= category_count())
        return false;
    const auto c = static_cast<uint16_t>(chosen);
    const std::optional<QString> name = ask_name(owner, browser_window::tr("Rename Category"),
        browser_window::tr("New name of \"%1\":").arg(QString::fromStdString(category_path(c))), name_of(c));
    if (!name)
        return false;
    const QString& typed = *name;
    const category_edit result = rename_user_category(c, typed.toStdString());
    if (result != category_edit::done) {
        show_message(owner, browser_window::tr("Rename Category"), refusal_text(result, typed, parent_of(c)));
        return false;
    }
    return true;
}

void browser_window::rename_chosen_category()
{
    const int chosen = chosen_category();
    if (ask_rename_category(this, chosen))
        categories_changed(chosen);
}

std::optional<std::vector<int32_t>> ask_delete_category(QWidget* owner, int chosen)
{
    if (chosen < 0 || chosen >= category_count())
        return std::nullopt;
    const auto c = static_cast<uint16_t>(chosen);
    const QString path = QString::fromStdString(category_path(c));
    const QString title = browser_window::tr("Delete Category");
    if (c == 0) {
        show_message(owner, title,
            browser_window::tr("\"%1\" cannot be deleted: it is the first category, which takes the items that have no other.")
                .arg(path));
        return std::nullopt;
    }
    if (const uint32_t n = items_within_category(c); n > 0) {
        show_message(owner, title,
            n == 1 ? browser_window::tr("\"%1\" cannot be deleted while it holds items: 1 item is in it or in its subcategories. "
                        "Move or delete them first.").arg(path)
                   : browser_window::tr("\"%1\" cannot be deleted while it holds items: %n items are in it or in its subcategories. "
                        "Move or delete them first.", nullptr, static_cast<int>(n)).arg(path));
        return std::nullopt;
    }
    const size_t below = categories_below(c).size();
    const QString question = below == 0 ? browser_window::tr("Delete the category \"%1\"?").arg(path)
        : below == 1 ? browser_window::tr("Delete the category \"%1\" and the 1 empty category below it?").arg(path)
        : browser_window::tr("Delete the category \"%1\" and the %n empty categories below it?", nullptr, static_cast<int>(below)).arg(path);
    if (show_message(owner, title, question, message_buttons::yes_no) != message_answer::yes)
        return std::nullopt;
    // Undo steps keep the categories of the items they would restore.
    forget_undo();
    const category_removal removal = delete_user_category(c);
    if (removal.result != category_edit::done) {
        show_message(owner, title, refusal_text(removal.result, path, -1));
        return std::nullopt;
    }
    renumber_window_state(removal.new_index);
    return removal.new_index;
}

void browser_window::delete_chosen_category()
{
    if (ask_delete_category(this, chosen_category()))
        categories_changed(-1);
}
