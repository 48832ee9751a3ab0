#pragma once
// The "Keys and Grades" page of the Help menu (F1), and what each grade means.
#include <QDialog>
#include <QString>

// What grade 0 to 5 tells the scheduler, in a line; also the grade buttons' tooltips.
QString grade_meaning(int grade);

class help_page : public QDialog {
    Q_OBJECT
public:
    explicit help_page(QWidget* parent = nullptr);
};
