#pragma once
// File > "Import..." and "Export...": the dialogs around the library's imports and exports.
class QWidget;

// Lets the user pick a text file or a package, shows its first rows and the column mapping,
// imports it with a progress bar and reports what was done. The number of items added, or -1
// when nothing was imported.
int run_import_dialog(QWidget* owner);
// Lets the user pick a file and a form, writes it and says how it went. True when written.
bool run_export_dialog(QWidget* owner);
