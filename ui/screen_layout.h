#pragma once
// The screens' controls (the two boxes, the main buttons, the grade row and OK) placed as
// compute_layout divides the area, as a Qt layout: it follows every resize of the area and
// tells the window how small it may get while a question and every button stay readable.
#include <QLayout>

class main_window;

class screen_layout : public QLayout {
public:
    explicit screen_layout(main_window* window);

    // The controls are placed by their role in the window, never added as items.
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& area) override;

private:
    main_window* window_;
};
