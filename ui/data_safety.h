#pragma once
// What the window tells and asks when the user's data is at stake: a close that could not
// save, a database file that could not be read at start, restoring a backup.
#include <QString>

#include "session/lifecycle.h"

class QWidget;

enum class close_outcome {
    closed,  // saved, or given up by the user
    rescued,  // not saved; a further close request ended it with the database in a rescue copy
};

// Closes the database through `close_database`, asking again for as long as saving fails:
// try again, save in another folder, or close without saving. Before it asks, the database
// is written to a rescue copy, so that nothing that ends the program now can lose it.
close_outcome close_database_asking(QWidget* owner, deinit_result (*close_database)(close_mode mode));

// A close request (a signal, the session ending) while that question is open: once the
// database is in a rescue copy the question is withdrawn and the close ends. True when the
// request was taken here (also when no copy could be written, and the question stays).
bool end_close_with_rescue();

// After opening: when elements.bin was refused, says where it was kept and offers the newest
// backup. True when a backup was restored.
bool report_refused_database(QWidget* owner);

// The newest-first list of backups with their dates, item counts and sizes; the one chosen is
// restored. True when the database in memory was replaced.
bool run_restore_backup_dialog(QWidget* owner);

// "6 Dec 2026 18:30:00" from a backup's name elements-20261206-183000.bin.
QString backup_date_text(const QString& name);
