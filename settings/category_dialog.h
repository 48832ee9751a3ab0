#pragma once
// The "Category Selection" dialog: the category forest with the counts of each category, with
// check boxes to choose what an activity goes through, or as a single choice of the category
// that new items go into.
#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
#include "settings/settings_store.h"

// One byte per category, 1 where the remembered set has the category's bit; categories past
// the stored set, and no set at all, give 0.
std::vector<uint8_t> selection_from_settings(const category_set* set);
// Replaces the remembered set by the table's bits; nothing without a set.
void selection_to_settings(category_set* set, const std::vector<uint8_t>& table);

// The remembered set after categories were deleted: each kept category's bit moves to its new
// index (new_index[old], -1 for a deleted one, as delete_category gives it).
void renumber_category_set(category_set* set, const std::vector<int32_t>& new_index);

// A typed category name as the category table keeps it: at most 127 bytes of UTF-8, cut
// between characters; empty when nothing but blanks was typed.
std::string category_name_from_typed(const QString& typed);

// "name (i:items,r:due,q:queued)" in at most 143 bytes of UTF-8; a long name is shortened.
std::string category_label(const char* name, uint32_t items, uint32_t due, uint32_t queued);
// The same counts in words, as a screen reader reads a category's row: "Deutsch: 12 due, 40 queued, 52 items".
QString category_spoken(const QString& name, uint32_t items, uint32_t due, uint32_t queued);

// Adds the category forest to `tree` as this dialog shows it: each category labelled with its
// counts, holding its index in Qt::UserRole, under its parent. Returns the items by index.
std::vector<QTreeWidgetItem*> add_category_items(QTreeWidget* tree);

class category_selection_dialog : public QDialog {
    Q_OBJECT
public:
    // In review mode several categories may be ticked, starting from and confirmed into
    // `remembered` (the activity's set, or null); otherwise the category selected last goes to
    // *new_item_category and to acs3 at once, whichever way the dialog ends.
    category_selection_dialog(settings* record, category_set* remembered, bool review_mode,
        uint16_t* new_item_category, QWidget* parent = nullptr);

    // After a confirmed review-mode dialog (OK waits for a category to be ticked): the ticked categories, highest index first, then -1.
    const std::optional<std::vector<int32_t>>& selection() const { return selection_; }
    QTreeWidget* tree() const { return tree_; }
    QTreeWidgetItem* item_of(uint32_t category) const;

    void accept() override;

    // Add mode: asks for a name and makes a category of it under the selected one (at the top
    // level when none is selected), then selects it.
    void new_category();

private:
    void fill_tree();
    bool any_ticked() const;
    void update_ok();

    settings* record_;
    category_set* remembered_;  // the reviewing activity's set of categories, or null
    bool review_mode_;
    uint16_t* new_item_category_;
    QTreeWidget* tree_ = nullptr;
    QPushButton* ok_ = nullptr;  // in review mode enabled while a category is ticked
    std::vector<QTreeWidgetItem*> items_;
    std::optional<std::vector<int32_t>> selection_;
};
