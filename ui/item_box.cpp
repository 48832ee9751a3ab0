#include "ui/item_box.h"

#include <QLabel>
#include <QPixmap>
#include <QTextBlock>
#include <QTextOption>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int picture_padding = 4;

}  // namespace

item_box::item_box(QWidget* parent) : QPlainTextEdit(parent), label_(new QLabel(this))
{
    label_->setObjectName(QStringLiteral("picture"));
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setFocusPolicy(Qt::NoFocus);
    // Part of the box: drawn on the box's own background, light or dark.
    label_->setBackgroundRole(QPalette::Base);
    label_->setAutoFillBackground(true);
    label_->hide();
    // The part of the box that the picture leaves below it looks like the rest of the box.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // The picture follows the end of the text; the text's own direction sets its side.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        follow_text_direction();
        place_picture();
    });
}

void item_box::follow_text_direction()
{
    // Arabic or Hebrew stands at the right, whatever the window's own direction.
    const bool right_to_left = toPlainText().isRightToLeft();
    const Qt::LayoutDirection direction = right_to_left ? Qt::RightToLeft : Qt::LeftToRight;
    QTextOption option = document()->defaultTextOption();
    if (option.textDirection() == direction)
        return;
    option.setTextDirection(direction);
    option.setAlignment((right_to_left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute);
    document()->setDefaultTextOption(option);
}

void item_box::set_picture(const QImage& image, const QString& note)
{
    image_ = image;
    note_ = image.isNull() ? note : QString();
    place_picture();
}

void item_box::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    place_picture();
}

void item_box::place_picture()
{
    if (image_.isNull() && note_.isEmpty()) {
        label_->clear();
        label_->hide();
        setViewportMargins(0, 0, 0, 0);
        return;
    }
    const QRect area = contentsRect();
    int band = 0;
    if (image_.isNull()) {
        // The note stands where the picture would.
        label_->setWordWrap(true);
        label_->setForegroundRole(QPalette::PlaceholderText);
        label_->setContentsMargins(picture_padding, picture_padding, picture_padding, picture_padding);
        label_->setText(note_);
        band = std::min(label_->heightForWidth(area.width()), area.height() / 2);
    } else {
        // The text keeps at least the upper half of the box; the picture is never enlarged.
        const QSize room(std::max(1, area.width() - 2 * picture_padding), std::max(1, area.height() / 2 - 2 * picture_padding));
        QSize size = image_.size();
        if (size.width() > room.width() || size.height() > room.height())
            size = size.scaled(room, Qt::KeepAspectRatio);
        size = size.expandedTo(QSize(1, 1));
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap = QPixmap::fromImage(image_.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        label_->setWordWrap(false);
        label_->setForegroundRole(QPalette::Text);
        label_->setContentsMargins(0, picture_padding, 0, picture_padding);
        label_->setPixmap(pixmap);
        band = size.height() + 2 * picture_padding;
    }
    // Right under the text, as far down as the picture still fits; a longer text scrolls above it.
    const QRectF last = blockBoundingGeometry(document()->lastBlock()).translated(contentOffset());
    const int text_height = static_cast<int>(std::ceil(last.bottom() + document()->documentMargin()));
    const int text_room = std::clamp(text_height, std::min(fontMetrics().lineSpacing(), area.height() - band), area.height() - band);
    setViewportMargins(0, 0, 0, area.height() - text_room);
    label_->setGeometry(area.left(), area.top() + text_room, area.width(), band);
    label_->show();
    label_->raise();
}
