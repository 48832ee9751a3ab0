#include "ui/browser_editor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>

#include "ui/browser.h"
#include "ui/markup.h"
#include "ui/window_state.h"

namespace {

bool is_text_column(const QModelIndex& index)
{
    return index.column() == column_question || index.column() == column_answer;
}

// Lines the editor shows at least, so that a text of several lines can be read while edited.
constexpr int editor_lines = 6;

// The editor says how an edit ends under its text: in a table Return would end it, and here it
// breaks the line.
class cell_editor : public QPlainTextEdit {
public:
    explicit cell_editor(QWidget* parent) : QPlainTextEdit(parent), hint_(new QLabel(this))
    {
        const QString hint = QCoreApplication::translate("text_cell_delegate", "Ctrl+Return stores, Escape drops the edit");
        hint_->setObjectName(QStringLiteral("browser_editor_hint"));
        hint_->setText(hint);
        hint_->setForegroundRole(QPalette::PlaceholderText);
        setAccessibleDescription(hint);
        setViewportMargins(0, 0, 0, hint_->sizeHint().height());
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPlainTextEdit::resizeEvent(event);
        const QRect inside = contentsRect();
        const QSize size = hint_->sizeHint();
        hint_->setGeometry(inside.right() - size.width() - 4, inside.bottom() - size.height() + 1, size.width(), size.height());
    }

private:
    QLabel* hint_;
};

}  // namespace

QWidget* text_cell_delegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!is_text_column(index))
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* editor = new cell_editor(parent);
    editor->setObjectName(QStringLiteral("browser_text_editor"));
    // Tab leaves the cell, as in the rest of the table; a tab character is not a text's.
    editor->setTabChangesFocus(true);
    editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return editor;
}

void text_cell_delegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = qobject_cast<QPlainTextEdit*>(editor);
    if (!box) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    // The text as stored, markup and media elements included; the model lets only texts that
    // fit the box be edited.
    set_box_text(box, index.data(Qt::EditRole).toString().toStdString());
    box->moveCursor(QTextCursor::End);
}

void text_cell_delegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* box = qobject_cast<QPlainTextEdit*>(editor);
    if (!box) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (!box->document()->isModified())
        return;
    // As the review screen takes a box's text: line feeds alone, refused when it is too long.
    std::optional<std::string> typed = get_box_text(box);
    if (!typed) {
        show_message(editor->window(), QCoreApplication::translate("browser_model", "Browse Items"),
            too_long_text(index.column() == column_question ? QCoreApplication::translate("browser_model", "The question")
                                                            : QCoreApplication::translate("browser_model", "The answer"),
                box_text_length(box)));
        return;
    }
    remove_cr_before_lf(*typed);
    model->setData(index, QString::fromStdString(*typed), Qt::EditRole);
}

void text_cell_delegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    auto* box = qobject_cast<QPlainTextEdit*>(editor);
    if (!box) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    // Taller than the row, over the rows below it, and moved up where the view ends.
    QRect r = option.rect;
    const int frame = 2 * box->frameWidth() + 8;
    r.setHeight(std::max(r.height(), box->fontMetrics().lineSpacing() * editor_lines + frame));
    r.setWidth(std::max(r.width(), 320));
    if (const QWidget* area = editor->parentWidget()) {
        if (r.bottom() > area->height())
            r.moveBottom(std::max(area->height(), r.height()) - 1);
        if (r.top() < 0)
            r.moveTop(0);
    }
    editor->setGeometry(r);
}

bool text_cell_delegate::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QPlainTextEdit*>(watched);
    if (box && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            emit commitData(box);
            emit closeEditor(box, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}
