#include "settings/category_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "database/database.h"
#include "database/counts.h"
#include "platform/utf.h"
#include "resources/ids.h"
#include "settings/settings_store.h"

namespace {

constexpr size_t max_label_bytes = 143;

// Whether following parents from c reaches a top-level category; a damaged table may loop.
bool reaches_top(uint32_t c)
{
    return walk_up_categories(c, [](uint32_t) { return true; }) == walk_end::top_level;
}

}  // namespace

std::vector<uint8_t> selection_from_settings(const category_set* set)
{
    std::vector<uint8_t> table(category_count(), 0);
    if (!set || !*set)
        return table;
    const std::vector<uint8_t>& bits = **set;
    for (size_t i = 0; i < table.size() && i / 8 < bits.size(); ++i)
        table[i] = (bits[i / 8] >> (i % 8)) & 1;
    return table;
}

void selection_to_settings(category_set* set, const std::vector<uint8_t>& table)
{
    if (!set)
        return;
    std::vector<uint8_t> bits((table.size() + 7) / 8, 0);
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i] == 1)
            bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
    *set = std::move(bits);
}

void renumber_category_set(category_set* set, const std::vector<int32_t>& new_index)
{
    if (!set || !*set)
        return;
    const std::vector<uint8_t>& bits = **set;
    size_t kept = 0;
    for (const int32_t n : new_index)
        kept += n >= 0 ? 1 : 0;
    std::vector<uint8_t> table(kept, 0);
    for (size_t i = 0; i < new_index.size() && i / 8 < bits.size(); ++i)
        if (new_index[i] >= 0 && ((bits[i / 8] >> (i % 8)) & 1))
            table[static_cast<size_t>(new_index[i])] = 1;
    selection_to_settings(set, table);
}

std::string category_name_from_typed(const QString& typed)
{
    const std::string name = typed.simplified().toStdString();
    // add_category cuts at 127 bytes, which could split a character.
    return name.substr(0, utf8_prefix(name, MAX_CTGR_LEN - 1));
}

std::string category_label(const char* name, uint32_t items, uint32_t due, uint32_t queued)
{
    // The letters abbreviate the words of the user's language (items, reviews, queued).
    const std::string counts = QCoreApplication::translate("category_selection_dialog", " (i:%1,r:%2,q:%3)")
                                   .arg(items)
                                   .arg(due)
                                   .arg(queued)
                                   .toStdString();
    std::string label = name ? name : "";
    // The counts are what the dialog is for; the name gives way.
    label.resize(utf8_prefix(label, max_label_bytes - counts.size()));
    return label + counts;
}

QString category_spoken(const QString& name, uint32_t items, uint32_t due, uint32_t queued)
{
    const QLocale locale;
    // Items counted with %Ln: English says "1 item", and other languages count their own way.
    const int counted = static_cast<int>(items);
    return QCoreApplication::translate("category_selection_dialog", "%1: %2 due, %3 queued, %Ln items", nullptr, counted)
        .arg(name, locale.toString(due), locale.toString(queued));
}

category_selection_dialog::category_selection_dialog(settings* record, category_set* remembered, bool review_mode,
    uint16_t* new_item_category, QWidget* parent)
    : QDialog(parent),
      record_(record),
      remembered_(remembered),
      review_mode_(review_mode),
      new_item_category_(new_item_category)
{
    setWindowTitle(tr("Category Selection"));
    setProperty("dialog_id", dialog_category_selection);
    auto* layout = new QVBoxLayout(this);
    // Without it the abbreviated counts, and what OK does, are left to guessing.
    auto* hint = new QLabel(review_mode_ ? tr("Tick the categories to go through (Space ticks the chosen one). The "
                                              "counts are i: items, r: reviews due today, q: queued items.")
                                         : tr("Choose the category that the new items go into. The counts are "
                                              "i: items, r: reviews due today, q: queued items."),
        this);
    hint->setObjectName(QStringLiteral("category_hint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("category_tree"));
    tree_->setAccessibleName(tr("Categories"));
    tree_->setProperty("control_id", 26);
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setRootIsDecorated(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    if (!review_mode_) {
        QPushButton* create = buttons->addButton(tr("New Category..."), QDialogButtonBox::ActionRole);
        create->setObjectName(QStringLiteral("new_category"));
        create->setAutoDefault(false);
        connect(create, &QPushButton::clicked, this, &category_selection_dialog::new_category);
    }
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(360, 440);

    if (!review_mode_) {
        connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
            if (!current)
                return;
            const auto c = static_cast<uint16_t>(current->data(0, Qt::UserRole).toUInt());
            if (new_item_category_)
                *new_item_category_ = c;
            if (record_)
                record_->acs3 = c;
        });
    }
    fill_tree();
    if (review_mode_) {
        // Nothing ticked would go through nothing and end at once without a word.
        update_ok();
        connect(tree_, &QTreeWidget::itemChanged, this, &category_selection_dialog::update_ok);
    }
    tree_->setFocus();
}

bool category_selection_dialog::any_ticked() const
{
    return std::any_of(items_.begin(), items_.end(), [](const QTreeWidgetItem* i) { return i->checkState(0) == Qt::Checked; });
}

void category_selection_dialog::update_ok() { ok_->setEnabled(any_ticked()); }

std::vector<QTreeWidgetItem*> add_category_items(QTreeWidget* tree)
{
    const uint16_t count = category_count();
    const std::unique_ptr<category_count_row[]> counts = category_counts();
    std::vector<QTreeWidgetItem*> items(count, nullptr);
    for (uint16_t i = 0; i < count; ++i) {
        const std::string label = counts
            ? category_label(counts[i].name, counts[i].items, counts[i].due + counts[i].due_below, counts[i].queued)
            : category_label(category_at(i)->name.c_str(), 0, 0, 0);
        auto* tree_item = new QTreeWidgetItem(QStringList{QString::fromUtf8(label.c_str())});
        tree_item->setData(0, Qt::UserRole, static_cast<uint32_t>(i));
        // In words for a screen reader and a pointer resting on it: "(i:12,r:3,q:40)" says nothing
        // to a listener or a new user.
        if (counts) {
            const QString spoken = category_spoken(QString::fromUtf8(counts[i].name), counts[i].items,
                counts[i].due + counts[i].due_below, counts[i].queued);
            tree_item->setData(0, Qt::AccessibleTextRole, spoken);
            tree_item->setData(0, Qt::ToolTipRole, spoken);
        }
        items[i] = tree_item;
    }
    // Children follow their parents' existing children, in index order. A parent that is
    // missing or part of a loop would hide the category; it goes to the top level instead.
    for (uint16_t i = 0; i < count; ++i) {
        const uint32_t parent = category_at(i)->parent;
        if (parent == i || parent >= count || !reaches_top(i))
            tree->addTopLevelItem(items[i]);
        else
            items[parent]->addChild(items[i]);
    }
    return items;
}

void category_selection_dialog::fill_tree()
{
    const uint16_t count = category_count();
    const std::vector<uint8_t> ticked = review_mode_ ? selection_from_settings(remembered_)
                                                     : std::vector<uint8_t>(count, 0);
    items_ = add_category_items(tree_);
    for (uint16_t i = 0; i < count; ++i) {
        QTreeWidgetItem* tree_item = items_[i];
        if (review_mode_) {
            tree_item->setFlags(tree_item->flags() | Qt::ItemIsUserCheckable);
            tree_item->setCheckState(0, ticked[i] == 1 ? Qt::Checked : Qt::Unchecked);
        } else {
            tree_item->setFlags(tree_item->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
    tree_->expandAll();
    if (!review_mode_ && record_ && record_->acs3 < count) {
        QTreeWidgetItem* noted = items_[record_->acs3];
        tree_->setCurrentItem(noted);
        tree_->scrollToItem(noted);
    }
}

void category_selection_dialog::new_category()
{
    if (review_mode_)
        return;
    QTreeWidgetItem* current = tree_->currentItem();
    const int32_t parent = current ? static_cast<int32_t>(current->data(0, Qt::UserRole).toUInt()) : -1;
    const QString under = current && parent < category_count()
        ? QString::fromUtf8(category_at(static_cast<uint32_t>(parent))->name.c_str())
        : QString();
    bool ok = false;
    const QString typed = QInputDialog::getText(this, tr("New Category"),
        under.isEmpty() ? tr("Name of the new category:")
                        : tr("Name of the new category under \"%1\":").arg(under),
        QLineEdit::Normal, QString(), &ok);
    const std::string name = category_name_from_typed(typed);
    if (!ok || name.empty())
        return;
    // An existing name under the same parent is that category; a full table gives the root.
    const uint16_t made = add_category(name.c_str(), parent);
    tree_->clear();
    if (record_)
        record_->acs3 = made;
    fill_tree();
    if (QTreeWidgetItem* item = item_of(made))
        tree_->setCurrentItem(item);
}

QTreeWidgetItem* category_selection_dialog::item_of(uint32_t category) const
{
    return category < items_.size() ? items_[category] : nullptr;
}

void category_selection_dialog::accept()
{
    if (review_mode_) {
        std::vector<int32_t> list;
        std::vector<uint8_t> table(items_.size(), 0);
        for (size_t i = items_.size(); i-- > 0;) {
            if (items_[i]->checkState(0) == Qt::Checked) {
                list.push_back(static_cast<int32_t>(i));
                table[i] = 1;
            }
        }
        list.push_back(filter_end);
        selection_ = std::move(list);
        selection_to_settings(remembered_, table);
    }
    QDialog::accept();
}
