#pragma once
// What the window tells and asks when the user's data is at stake: a close that could not
// save, a database file that could not be read at start, restoring a backup.
#include <QString>

class QWidget;

// Closes the database through `close_database`, asking again for as long as saving fails:
// try again, save in another folder, or close without saving.
void close_database_asking(QWidget* owner, int (*close_database)(int flag));

// After opening: when elements.bin was refused, says where it was kept and offers the newest
// backup. True when a backup was restored.
bool report_refused_database(QWidget* owner);

// The newest-first list of backups with their dates, item counts and sizes; the one chosen is
// restored. True when the database in memory was replaced.
bool run_restore_backup_dialog(QWidget* owner);

// "6 Dec 2026 18:30:00" from a backup's name elements-20261206-183000.bin.
QString backup_date_text(const QString& name);
