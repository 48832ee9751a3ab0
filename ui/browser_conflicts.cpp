#include "ui/browser_conflicts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "session/sync_conflicts.h"

namespace {

const void* record_of(const browse_row& row)
{
    return row.scheduled ? static_cast<const void*>(row.scheduled) : row.pending;
}

}  // namespace

conflicts_dialog::conflicts_dialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Conflicts"));
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("conflicts_table"));
    table_->setColumnCount(4);
    table_->setHorizontalHeaderLabels({tr("Question"), tr("Answer"), tr("Losing question"), tr("Losing answer")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setAccessibleName(tr("Edits that lost a conflict"));
    take_ = new QPushButton(tr("Take Losing Text"), this);
    take_->setObjectName(QStringLiteral("conflicts_take"));
    take_->setAutoDefault(false);
    connect(take_, &QPushButton::clicked, this, &conflicts_dialog::take_selected);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(take_, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    fill();
    resize(640, 320);
}

void conflicts_dialog::fill()
{
    records_ = records_with_lost_edits();
    table_->setRowCount(static_cast<int>(records_.size()));
    for (size_t i = 0; i < records_.size(); ++i) {
        const std::optional<lost_texts> lost = lost_edit_of(record_of(records_[i]));
        const std::string cells[] = {std::string(question_of(records_[i])), std::string(answer_of(records_[i])),
            lost ? lost->question : std::string(), lost ? lost->answer : std::string()};
        for (int c = 0; c < 4; ++c)
            table_->setItem(static_cast<int>(i), c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    if (!records_.empty())
        table_->selectRow(0);
    take_->setEnabled(!records_.empty());
}

void conflicts_dialog::take_selected()
{
    const int row = table_->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= records_.size())
        return;
    changed_ = take_lost_edit(record_of(records_[static_cast<size_t>(row)])) || changed_;
    fill();
}
