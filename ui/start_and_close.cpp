// The main window's start and close: the data directory read on a thread while the window is
// shown, what became of it told, and the closing sequence that saves the database and settings.
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QSplitter>

#include <optional>
#include <system_error>
#include <thread>

#include "exchange/import_leftovers.h"
#include "session/lifecycle.h"
#include "session/start_directory.h"
#include "settings/dialogs.h"
#include "ui/data_safety.h"
#include "ui/main_window.h"
#include "ui/screens.h"
#include "ui/sync_watch.h"

namespace {

deinit_result close_database(close_mode mode)
{
    return ui().close_database ? ui().close_database(mode) : ma_deinit(mode);
}

}  // namespace

start_directory main_window::read_data_directory(const QString& set_path)
{
    // A path too long for the conversion comes back empty and counts as not accessible.
    const std::string set_utf8 = to_utf8(set_path);
    const std::string default_utf8 = to_utf8(default_data_dir());
    const auto open = [&] { return open_start_directory(set_utf8, default_utf8, close_database, network_start::with_database); };
    // A lifetime collection takes longer to read than the window takes to appear: the window is
    // drawn and kept drawn meanwhile, taking no input, and nothing here touches the database
    // until the reading thread has ended.
    question_box->setPlainText(tr("Opening %1 ...").arg(QDir::toNativeSeparators(set_path)));
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    opening_ = true;
    std::optional<start_directory> read;
    QEventLoop waiting;
    std::thread reader;
    try {
        reader = std::thread([&] {
            start_directory result = open();
            QMetaObject::invokeMethod(&waiting, [&, result = std::move(result)] {
                read = result;
                waiting.quit();
            }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        read = open();  // no thread to be had: read here, the window waiting as it did before
    }
    if (reader.joinable()) {
        waiting.exec();
        reader.join();
    }
    opening_ = false;
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    question_box->clear();
    return *read;
}

int main_window::check_data_directory()
{
    settings* s = ui().settings_record.get();
    const QString set_path = s ? s->pathtodatadir : default_data_dir();
    const start_directory start = read_data_directory(set_path);
    const QString path = QString::fromStdString(start.path);
    if (start.fell_back) {
        if (s)
            s->pathtodatadir = default_data_dir();
        show_message(this, tr("Cannot Access Directory"),
            tr("Cannot access nor create directory that is set in settings:\n%1\n\nUsing default "
                           "directory:\n%2")
                .arg(set_path, path));
    }
    if (!start.opened) {
        show_failure(nullptr, tr("Directory Not Accessible"),
            start.gave_up ? tr("Directory is not accessible, I give up.")
                          : tr("Directory is not accessible."));
        return 1;
    }
    if (start.read_only()) {
        // The setting stays: the directory may be writable again next time (a remounted disk).
        show_message(this, tr("Read-Only Data Directory"),
            tr("The data directory cannot be written:\n%1\n\nThe database is opened read-only: you can "
                           "review, but nothing is saved there. At the close you can save it in another folder. To "
                           "work on it as usual, make the directory writable, or choose another one in File > "
                           "Settings.")
                .arg(path));
    }
    if (start.no_locks()) {
        show_failure(this, tr("Data Directory Not Locked"),
            tr("File locks are not available in the data directory:\n%1\n\nThe database is opened, but "
                           "a second copy of Cardwright started on it cannot be kept out, and the two would overwrite "
                           "each other's work. Run only one copy at a time.")
                .arg(path));
    }
    if (start.held_by_other()) {
        // Another copy holds the database; it is left alone so that the other copy's work is kept.
        show_message(this, tr("Database In Use"),
            tr("Another copy of Cardwright is using the database in:\n%1\n\nClose it and start "
                           "Cardwright again.")
                .arg(path));
        return 1;
    }
    remove_import_leftovers(start.init_result);
    return 0;
}

int main_window::open_data()
{
    if (const int code = check_data_directory())
        return code;
    // Asked while the reading went on: the close runs once the database can be saved.
    if (close_asked_while_opening_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    if (settings* s = ui().settings_record.get(); s && !s->syncfolder.isEmpty()) {
        sync = new sync_watch(this);
        sync->open(s->syncfolder, sync_computer_id(s));
    }
    set_status_text(std::nullopt);
    show_main_buttons();
    if (report_refused_database(this))
        show_main_screen(tr("The backup was restored."));
    return 0;
}

void main_window::closing_sequence()
{
    if (closed_)
        return;
    closed_ = true;
    write_back_shown_item();
    // Closing the database frees every item; the window must not hold on to one.
    ui().pass.stop();
    // The quit is posted only once the database is closed: posted before, it would end the
    // event loop of every message box that asks what to do about a failed save.
    const close_outcome outcome = close_database_asking(this, close_database);
    // The save wrote which items are which elsewhere; nothing is recorded after it.
    sync_close();
    if (settings* s = ui().settings_record.get()) {
        s->window_geometry = saveGeometry();
        s->main_splitter = splitter->saveState();
        save_settings(s);
        ui().settings_record.reset();
    }
    // Ended with the session only in a rescue copy, the program must not report success.
    const int code = outcome == close_outcome::rescued ? 1 : 0;
    QMetaObject::invokeMethod(qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

void main_window::closeEvent(QCloseEvent* event)
{
    if (opening_) {
        close_asked_while_opening_ = true;
        event->ignore();
        return;
    }
    closing_sequence();
    event->accept();
}
