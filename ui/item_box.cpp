#include "ui/item_box.h"

#include <QLabel>
#include <QPixmap>
#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int picture_padding = 4;

}  // namespace

item_box::item_box(QWidget* parent) : QPlainTextEdit(parent), label_(new QLabel(this))
{
    label_->setObjectName(QStringLiteral("picture"));
    label_->setAlignment(Qt::AlignCenter);
    label_->setFocusPolicy(Qt::NoFocus);
    // Part of the box: drawn on the box's own background, light or dark.
    label_->setBackgroundRole(QPalette::Base);
    label_->setAutoFillBackground(true);
    label_->hide();
}

void item_box::set_picture(const QImage& image)
{
    image_ = image;
    place_picture();
}

void item_box::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    place_picture();
}

void item_box::place_picture()
{
    if (image_.isNull()) {
        label_->clear();
        label_->hide();
        setViewportMargins(0, 0, 0, 0);
        return;
    }
    // The text keeps at least the upper half of the box; the picture is never enlarged.
    const QRect area = contentsRect();
    const QSize room(std::max(1, area.width() - 2 * picture_padding), std::max(1, area.height() / 2 - 2 * picture_padding));
    QSize size = image_.size();
    if (size.width() > room.width() || size.height() > room.height())
        size = size.scaled(room, Qt::KeepAspectRatio);
    size = size.expandedTo(QSize(1, 1));
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(
        image_.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    const int band = size.height() + 2 * picture_padding;
    setViewportMargins(0, 0, 0, band);
    label_->setPixmap(pixmap);
    label_->setGeometry(area.left(), area.bottom() + 1 - band, area.width(), band);
    label_->show();
    label_->raise();
}
