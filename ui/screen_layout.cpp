#include "ui/screen_layout.h"

#include <QPushButton>

#include <algorithm>

#include "ui/main_window.h"

namespace {

// A button's text with room for the style's frame around it.
QSize readable(const QPushButton* button)
{
    const QFontMetrics metrics = button->fontMetrics();
    return {metrics.horizontalAdvance(button->text()) + 16, metrics.height() + 8};
}

}  // namespace

screen_layout::screen_layout(main_window* window) : window_(window)
{
    setContentsMargins(0, 0, 0, 0);
}

void screen_layout::addItem(QLayoutItem* item) { delete item; }

QLayoutItem* screen_layout::itemAt(int) const { return nullptr; }

QLayoutItem* screen_layout::takeAt(int) { return nullptr; }

int screen_layout::count() const { return 0; }

QSize screen_layout::minimumSize() const
{
    // Each main button gets a quarter of the lower half and 30 pixels, the question the upper
    // half less 15 (compute_layout): the narrowest and lowest area that shows every text whole.
    int width = 0;
    int button_height = 0;
    for (const QPushButton* b : {window_->review_button, window_->add_button, window_->queue_button, window_->force_button}) {
        width = std::max(width, readable(b).width());
        button_height = std::max(button_height, readable(b).height());
    }
    for (const QPushButton* b : window_->grade_buttons)
        width = std::max(width, 6 * readable(b).width());
    const int question_line = window_->question_box->fontMetrics().lineSpacing() + 2 * window_->question_box->frameWidth() + 8;
    const int half = std::max(4 * button_height - 30, question_line);
    return {width, 2 * (half + 15) + 1};
}

QSize screen_layout::sizeHint() const { return minimumSize().expandedTo(QSize(420, 560)); }

void screen_layout::setGeometry(const QRect& area)
{
    QLayout::setGeometry(area);
    if (!window_->question_box)
        return;
    const main_layout l = compute_layout(area.width(), area.height(), 0);
    auto place = [&area](QWidget* control, const QRect& r) {
        control->setGeometry(area.x() + r.x(), area.y() + r.y(), std::max(0, r.width()), std::max(0, r.height()));
    };
    place(window_->question_box, l.question);
    place(window_->answer_box, l.answer);
    QPushButton* const main_buttons[] = {window_->review_button, window_->add_button, window_->queue_button, window_->force_button};
    for (int i = 0; i < 4; ++i)
        place(main_buttons[i], l.main_buttons[i]);
    place(window_->ok_button, l.ok);
    for (int i = 0; i < 6; ++i)
        place(window_->grade_buttons[i], l.grades[i]);
}
