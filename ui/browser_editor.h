#pragma once
// The browser's editor of a question or answer cell: the whole stored text, markup and line
// breaks included, in a box of several lines. Return breaks the line, as in the review
// screen's boxes; Ctrl+Return stores the text, Escape drops the edit.
#include <QStyledItemDelegate>

class text_cell_delegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
