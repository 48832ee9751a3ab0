#pragma once
// The question and answer boxes: text boxes that can also show an item's picture below the
// text, scaled down to fit.
#include <QImage>
#include <QPlainTextEdit>

class QLabel;

class item_box : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit item_box(QWidget* parent = nullptr);
    // A null image takes the picture away; `note`, when given, says in its place why none is shown.
    void set_picture(const QImage& image, const QString& note = {});
    bool shows_picture() const { return !image_.isNull(); }
    // Where the picture is drawn (a double click on it reaches the box).
    QLabel* picture_label() const { return label_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place_picture();
    void follow_text_direction();

    QImage image_;
    QString note_;  // shown where a picture named in the text cannot be
    QLabel* label_;
};
