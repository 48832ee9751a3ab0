#pragma once
// The browser's "Conflicts...": the items whose texts won a conflict, each beside the texts of
// the edit that lost (made elsewhere, earlier, arriving later), with a way to take those instead.
#include <QDialog>

#include <vector>

#include "session/browse.h"

class QPushButton;
class QTableWidget;

class conflicts_dialog : public QDialog {
    Q_OBJECT
public:
    explicit conflicts_dialog(QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }
    // Takes the losing texts of the selected row; the row goes.
    void take_selected();
    // Whether a losing edit was taken: the browser's rows show old texts then.
    bool changed() const { return changed_; }

private:
    void fill();

    QTableWidget* table_ = nullptr;  // a row per item: its texts and the losing ones
    QPushButton* take_ = nullptr;  // "Take Losing Text"
    std::vector<browse_row> records_;  // the item or queue item of each row
    bool changed_ = false;  // a losing edit was taken
};
