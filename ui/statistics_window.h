#pragma once
// The statistics window: charts of the schedule ahead and of the review log.
#include <QDialog>

class QTabWidget;

class statistics_window : public QDialog {
    Q_OBJECT
public:
    explicit statistics_window(QWidget* parent = nullptr);
    QTabWidget* tabs() const { return tabs_; }

private:
    QTabWidget* tabs_ = nullptr;
};
