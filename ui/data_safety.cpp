#include "ui/data_safety.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

#include "database/backups.h"
#include "database/binfile.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "session/saving.h"
#include "services/log.h"
#include "ui/problem_texts.h"
#include "ui/window_state.h"
#include "services/services_state.h"

namespace {

QString from_utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Saves a copy into a folder the user picks; true once it is there. Asks again while the
// folder chosen cannot take it.
bool save_elsewhere(QWidget* owner)
{
    for (;;) {
        const QString folder = choose_folder(owner, QCoreApplication::translate("data_safety", "Save the Database in Another Folder"));
        if (folder.isEmpty())
            return false;
        std::string dir = folder.toUtf8().toStdString();
        if (!dir.ends_with('/'))
            dir.push_back('/');
        const save_result saved = save_database_copy(dir);
        if (saved == save_status::done) {
            show_message(owner, QCoreApplication::translate("data_safety", "Database Saved"),
                QCoreApplication::translate("data_safety", "The database was saved in:\n%1\n\nTo go on with it there, choose that folder in "
                               "File > Settings.")
                    .arg(from_utf8(dir)));
            return true;
        }
        show_message(owner, QCoreApplication::translate("data_safety", "Cannot Save Database"),
            QCoreApplication::translate("data_safety", "The database could not be saved there.\n\n%1").arg(problem_texts::save(saved.problem)));
    }
}

QString size_text(uint64_t bytes)
{
    return QLocale::system().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

// The items a backup holds, or "not readable"; with its unit in a sentence.
QString backup_items_text(const backup_file& b, bool with_unit = false)
{
    bin_summary summary;
    if (!inspect_bin(b.path.c_str(), &summary))
        return QCoreApplication::translate("data_safety", "not readable");
    // lupdate misses a translate() whose count is a cast, so the count is named first.
    const int items = static_cast<int>(summary.item_count);
    return with_unit ? QCoreApplication::translate("data_safety", "%n items", nullptr, items)
                     : QLocale().toString(summary.item_count);
}

}  // namespace

QString backup_date_text(const QString& name)
{
    const QDateTime at = QDateTime::fromString(name.mid(9, 15), QStringLiteral("yyyyMMdd-HHmmss"));
    if (!at.isValid())
        return name;
    // To the second: two closes within a minute make two backups that must not look alike.
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1String("ss")))
        time.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return locale.toString(at, locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time);
}

namespace {

// The data directory first; when its disk is full or gone, the home folder.
std::string write_rescue_copy()
{
    return save_rescue_copy({services().data_dir, QDir::homePath().toUtf8().toStdString()});
}

// The session's state is saved: the rescue copy it wrote goes.
void forget_rescue_copy(window_state& w)
{
    remove_rescue_copy(w.rescue_path);
    w.rescue_path.clear();
}

// Marks the asking for end_close_with_rescue, for as long as it lasts.
struct asking_scope {
    asking_scope() { ui().asking_about_save = true; }
    ~asking_scope() { ui().asking_about_save = false; }
};

}  // namespace

close_outcome close_database_asking(QWidget* owner, deinit_result (*close_database)(close_mode mode))
{
    window_state& w = ui();
    w.close_forced = false;
    for (;;) {
        const deinit_result result = close_database(close_mode::complete);
        if (result != deinit_status::not_saved) {
            forget_rescue_copy(w);
            if (result == deinit_status::backup_failed)
                show_failure(owner, QCoreApplication::translate("data_safety", "Backup Not Written"),
                    QCoreApplication::translate("data_safety", "The database was saved, but its backup could not be written.\n\n%1")
                        .arg(problem_texts::save(result.problem)));
            return close_outcome::closed;
        }
        // Written before asking: a session manager that gives up waiting kills without a word.
        if (w.rescue_path.empty())
            w.rescue_path = write_rescue_copy();
        const asking_scope asking;
        const QString where = from_utf8(services().data_dir);
        const QString problem = problem_texts::save(result.problem);
        // Without this the whole session's work would vanish without a word.
        const message_answer answer = show_message(owner, QCoreApplication::translate("data_safety", "Cannot Save Database"),
            w.rescue_path.empty()
                ? QCoreApplication::translate("data_safety", "The database could not be saved in:\n%1\n\n%2\n\nThe changes of this session will be "
                                 "lost unless it is saved. Try again, or save it in another folder?")
                      .arg(where, problem)
                : QCoreApplication::translate("data_safety", "The database could not be saved in:\n%1\n\n%2\n\nA rescue copy of the database "
                                 "was written to:\n%3\n\nTry again, or save it in another folder?")
                      .arg(where, problem, from_utf8(w.rescue_path)),
            message_buttons::retry_elsewhere_discard);
        if (w.close_forced)
            break;
        if (answer == message_answer::retry)
            continue;
        if (answer == message_answer::elsewhere && !save_elsewhere(owner)) {
            if (w.close_forced)
                break;
            continue;
        }
        // Saved elsewhere, or given up: the files here stay as they were before this session.
        if (answer == message_answer::elsewhere)
            forget_rescue_copy(w);
        ma_discard();
        return close_outcome::closed;
    }
    write_log("WARNING: the close was requested again while the database could not be saved; it ends with the "
              "database in \"%s\"\n",
        w.rescue_path.c_str());
    ma_discard();
    return close_outcome::rescued;
}

bool end_close_with_rescue()
{
    window_state& w = ui();
    if (!w.asking_about_save)
        return false;
    if (w.rescue_path.empty())
        w.rescue_path = write_rescue_copy();
    if (w.rescue_path.empty()) {
        // Nothing holds the session yet: ending now would lose it, so the question stays.
        write_log("WARNING: a close request is refused: the database is not saved anywhere yet\n");
        return true;
    }
    w.close_forced = true;
    // Every dialog of the asking is withdrawn, innermost first; the close then ends.
    for (int guard = 0; guard < 16; ++guard) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            break;
        dialog->done(QDialog::Rejected);
    }
    return true;
}

bool report_refused_database(QWidget* owner)
{
    const database& d = db();
    if (d.refused_copy.empty() && !d.bin_refused)
        return false;
    const QString bin = from_utf8(services().data_dir + "elements.bin");
    QString text = QCoreApplication::translate("data_safety", "The database file could not be read:\n%1\n\n").arg(bin);
    text += d.refused_copy.empty() ? QCoreApplication::translate("data_safety", "No copy of it could be kept, so it will not be overwritten.\n\n")
                                   : QCoreApplication::translate("data_safety", "It was kept as:\n%1\n\n").arg(from_utf8(d.refused_copy));
    const std::vector<backup_file> backups = list_backups(services().data_dir);
    if (backups.empty()) {
        text += QCoreApplication::translate("data_safety", "There is no backup to restore; the program goes on with what could be read.");
        show_failure(owner, QCoreApplication::translate("data_safety", "Database Not Readable"), text);
        return false;
    }
    const backup_file& newest = backups.front();
    text += QCoreApplication::translate("data_safety", "The newest backup is from %1 (%2, %3).\n\nRestore it now? Without it the program goes "
                           "on with what could be read; File > Restore Backup... can restore one later.")
                .arg(backup_date_text(from_utf8(newest.name)),
                    backup_items_text(newest, true),
                    size_text(newest.size));
    if (show_message(owner, QCoreApplication::translate("data_safety", "Database Not Readable"), text, message_buttons::yes_no)
        != message_answer::yes)
        return false;
    if (const restore_result restored = restore_backup(newest.path); restored != restore_status::done) {
        show_failure(owner, QCoreApplication::translate("data_safety", "Backup Not Restored"),
            QCoreApplication::translate("data_safety", "The backup could not be restored.\n\n%1").arg(problem_texts::save(restored.problem)));
        return false;
    }
    return true;
}

bool run_restore_backup_dialog(QWidget* owner)
{
    const std::vector<backup_file> backups = list_backups(services().data_dir);
    if (backups.empty()) {
        show_message(owner, QCoreApplication::translate("data_safety", "Restore Backup"), QCoreApplication::translate("data_safety", "There are no backups yet. A copy of the database is kept each time Cardwright closes after a change; the ten newest stay."));
        return false;
    }
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("restore_backup_dialog"));
    dialog.setWindowTitle(QCoreApplication::translate("data_safety", "Restore Backup"));
    auto* table = new QTableWidget(static_cast<int>(backups.size()), 3, &dialog);
    table->setObjectName(QStringLiteral("backup_table"));
    table->setAccessibleName(QCoreApplication::translate("data_safety", "Backups"));
    table->setHorizontalHeaderLabels({QCoreApplication::translate("data_safety", "Date"), QCoreApplication::translate("data_safety", "Items"), QCoreApplication::translate("data_safety", "Size")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);  // Tab goes on to the buttons, never to another backup
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    settings* record = ui().settings_record.get();
    const QString before_restore = record ? record->backup_before_restore : QString();
    for (int row = 0; row < static_cast<int>(backups.size()); ++row) {
        const backup_file& b = backups[static_cast<size_t>(row)];
        QString date = backup_date_text(from_utf8(b.name));
        // The way back from the last restore, should that restore have been a mistake.
        if (!before_restore.isEmpty() && from_utf8(b.name) == before_restore)
            date += QStringLiteral("  ") + QCoreApplication::translate("data_safety", "(your database before the last restore)");
        table->setItem(row, 0, new QTableWidgetItem(date));
        table->setItem(row, 1, new QTableWidgetItem(backup_items_text(b)));
        table->setItem(row, 2, new QTableWidgetItem(size_text(b.size)));
    }
    table->resizeColumnsToContents();
    table->selectRow(0);
    auto* note = new QLabel(QCoreApplication::translate("data_safety", "Your database as it is now will be kept as a backup before the restore."), &dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    QPushButton* restore = buttons->addButton(QCoreApplication::translate("data_safety", "Restore"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("restore_button"));
    restore->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(table, &QTableWidget::cellDoubleClicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(note);
    layout->addWidget(buttons);
    dialog.resize(480, 360);
    table->setFocus();
    const int code = dialog.exec();
    if (code != QDialog::Accepted || table->currentRow() < 0)
        return false;
    const backup_file& chosen = backups[static_cast<size_t>(table->currentRow())];
    // Return in the list is easily pressed by mistake: the replacement is confirmed, No the default.
    if (show_message(owner, QCoreApplication::translate("data_safety", "Restore Backup"),
            QCoreApplication::translate("data_safety", "Replace your database with the backup of %1 (%2)?\n\nYour database as it is now is kept "
                        "as a backup first, so that this restore can be undone.")
                .arg(backup_date_text(from_utf8(chosen.name)), backup_items_text(chosen, true)),
            message_buttons::yes_no)
        != message_answer::yes)
        return false;
    std::set<std::string> known;
    for (const backup_file& b : backups)
        known.insert(b.name);
    const restore_result restored = restore_backup(chosen.path);
    switch (restored.status) {
    case restore_status::done:
        // The one new backup is the database as it was before the restore.
        if (record)
            for (const backup_file& b : list_backups(services().data_dir))
                if (!known.count(b.name))
                    record->backup_before_restore = from_utf8(b.name);
        return true;
    case restore_status::not_readable:
        show_failure(owner, QCoreApplication::translate("data_safety", "Backup Not Restored"),
            QCoreApplication::translate("data_safety", "This backup cannot be read:\n%1").arg(from_utf8(chosen.path)));
        return false;
    default:
        show_failure(owner, QCoreApplication::translate("data_safety", "Backup Not Restored"),
            QCoreApplication::translate("data_safety", "The backup could not be restored; the database stays as it was.\n\n%1")
                .arg(problem_texts::save(restored.problem)));
        return false;
    }
}
