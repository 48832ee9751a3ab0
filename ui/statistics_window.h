#pragma once
// The statistics window: charts of the schedule ahead and of the review log.
#include <QDialog>

class QTabWidget;

// The step between an axis's ticks, from 0 to `top`: about five ticks at 1, 2 or 5 times a power
// of ten.
double round_tick_step(double top);

class statistics_window : public QDialog {
    Q_OBJECT
public:
    explicit statistics_window(QWidget* parent = nullptr);
    QTabWidget* tabs() const { return tabs_; }

private:
    QTabWidget* tabs_ = nullptr;
};
