#include "ui/sync_watch.h"

#include <sys/vfs.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

#include "session/sync.h"
#include "ui/problem_texts.h"
#include "ui/browser.h"
#include "ui/main_window.h"
#include "settings/settings_store.h"
#include "ui/window_state.h"

sync_watch::sync_watch(QMainWindow* window) : QObject(window), window_(window), button_(new QToolButton(window))
{
    // A permanent widget: a message shown later, or the return to the main screen, does not hide it.
    button_->setObjectName(QStringLiteral("sync_summary"));
    button_->setAutoRaise(true);
    button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button_->setAccessibleName(tr("Changes from other computers"));
    button_->hide();
    window->statusBar()->insertPermanentWidget(0, button_);
    connect(button_, &QToolButton::clicked, this,
        [this] { show_message(window_, tr("Changes from Other Computers"), summary_text(told_)); });
    settle_.setSingleShot(true);
    settle_.setInterval(500);
    retry_.setInterval(2000);
    connect(&settle_, &QTimer::timeout, this, &sync_watch::apply_now);
    connect(&retry_, &QTimer::timeout, this, &sync_watch::apply_now);
    auto changed = [this] { settle_.start(); };
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, changed);
    // A change the log did not take is told as soon as the event that made it is over.
    sync_on_problem([this] { QTimer::singleShot(0, this, &sync_watch::tell_problems); });
}

sync_watch::~sync_watch() { sync_on_problem({}); }

namespace {

// File systems whose changes made on another machine reach no local watcher.
bool remote_file_system(const QString& folder)
{
    struct statfs info {};
    if (::statfs(QFile::encodeName(folder).constData(), &info) != 0)
        return true;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:  // NFS
    case 0x517B:  // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs, rclone, Dropbox's and Nextcloud's virtual files)
    case 0x01021997:  // 9P (virtual machines' shared folders)
        return true;
    default:
        return false;
    }
}

}  // namespace

void sync_watch::move_to(const QString& folder, uint64_t computer)
{
    if (sync_active())
        sync_leave();
    settle_.stop();
    retry_.stop();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    told_ = sync_summary{};
    button_->hide();
    open(folder, computer);
    show_changes();
}

void sync_watch::show_changes()
{
    // The other screens show their own counts when they end; the add screen is not left for this.
    if (ui().pass.mode() != screen_mode::main)
        return;
    set_status_text(std::nullopt);
    show_main_buttons();
}

void sync_watch::open(const QString& folder, uint64_t computer)
{
    folder_ = folder;
    computer_ = computer;
    if (folder.isEmpty())
        return;
    sync_summary s;
    switch (sync_open(QDir(folder).absolutePath().toStdString(), computer, &s, state_use_)) {
    case sync_open_status::no_database: return;
    case sync_open_status::another_writer:
        state_use_ = sync_state_use::rebuilt;
        parted_from_ = computer;
        open(folder, new_computer_id());
        return;
    case sync_open_status::no_folder:
        show_message(window_, tr("Sync Folder"),
            tr("The sync folder cannot be read:\n%1\n\nChanges made here are not shared until it can be; "
               "choose another in the Settings.")
                .arg(folder));
        // Looked for until it is back, when the changes kept meanwhile go there.
        poll_if(sync_folder_away());
        return;
    case sync_open_status::state_damaged:
        if (state_use_ == sync_state_use::rebuilt) {
            // Kept only now: had the program ended before the new state was saved, the next start
            // would have found the old id's state under the new one.
            if (settings* record = ui().settings_record.get())
                keep_computer_id(record, computer);
            const std::string log = QDir(folder).absolutePath().toStdString() + '/' + change_log_name(parted_from_);
            show_message(window_, tr("Sync Folder"),
                problem_texts::sync({change_append_status::another_writer, log, 0}));
        } else {
            show_message(window_, tr("Sync Folder"),
                tr("The record of which items are shared could not be read; it was made again from the sync folder. "
                   "Items whose texts here differ from the folder's keep them as a conflict (Browse Items, "
                   "\"Conflicts...\")."));
        }
        break;
    case sync_open_status::opened: break;
    }
    state_use_ = sync_state_use::saved;
    for (const std::vector<int32_t>& renumbering : s.renumberings)
        renumber_window_state(renumbering);
    poll_if(!watch_logs() || s.waiting > 0 || sync_keeps_changes());
    show(s);
    tell_problems();
}

void sync_watch::apply_now()
{
    if (!sync_active())
        return;
    // A pass holds the item on screen, and a dialog (the browser, an edit) the items it shows; a
    // change from elsewhere could free them. It waits until they let go.
    if (ui().pass.reviewing() || QApplication::activeModalWidget()) {
        poll_if(true);
        return;
    }
    if (own_identity_wanted_) {
        take_own_identity();
        return;
    }
    if (sync_folder_away()) {
        if (QDir(folder_).exists())
            move_to(folder_, computer_);
        return;
    }
    const bool watched = watch_logs();
    const sync_summary s = sync_apply();
    for (const std::vector<int32_t>& renumbering : s.renumberings)
        renumber_window_state(renumbering);
    // Records behind a gap wait for the missing ones, which may come in a file already watched
    // that a service replaces without a change the watcher sees; so they are looked for.
    poll_if(!watched || s.waiting > 0 || sync_keeps_changes());
    show(s);
    if (s.changed() || s.adopted > 0)
        show_changes();
    tell_problems();
}

bool sync_watch::watch_logs()
{
    // Logs that appear later (another computer joining) are watched as they are found.
    const QString folder = QString::fromStdString(sync_folder());
    bool all = !remote_file_system(folder);
    if (!watcher_.directories().contains(folder))
        all = watcher_.addPath(folder) && all;
    const QStringList watched = watcher_.files();
    for (const QString& name : QDir(folder).entryList({QStringLiteral("changes-*.log")}))
        // A watch the system refused (its limit reached) is asked for again at each look.
        if (!watched.contains(folder + name))
            all = watcher_.addPath(folder + name) && all;
    return all;
}

void sync_watch::poll_if(bool needed)
{
    if (!needed)
        retry_.stop();
    else if (!retry_.isActive())
        retry_.start();
}

QString sync_watch::summary_text(const sync_summary& s)
{
    if (s.arrived == 0 && s.adopted == 0 && s.conflict_copies.empty() && s.damaged.empty())
        return {};
    QString text = tr("Changes from other computers: %n arrived", nullptr, static_cast<int>(s.arrived));
    if (s.applied > 0)
        text += tr(", %n applied", nullptr, static_cast<int>(s.applied));
    if (s.conflicted > 0)
        text += tr(", %n in conflict (kept in sync-conflicts.txt in the data directory)", nullptr,
            static_cast<int>(s.conflicted));
    if (s.waiting > 0)
        text += tr(", %n waiting for earlier ones", nullptr, static_cast<int>(s.waiting));
    if (s.adopted > 0)
        text += tr(", %n items of this computer shared", nullptr, static_cast<int>(s.adopted));
    if (!s.conflict_copies.empty())
        text += tr("; conflict copies of logs made by the sync service: %n", nullptr,
            static_cast<int>(s.conflict_copies.size()));
    if (!s.damaged.empty())
        text += tr("; damaged logs, read up to the damage: %n", nullptr, static_cast<int>(s.damaged.size()));
    return text + QLatin1Char('.');
}

QString sync_watch::short_text(const sync_summary& s)
{
    QString text;
    if (s.arrived > 0 || s.adopted == 0)
        text = tr("%n changes from other computers", nullptr, static_cast<int>(s.arrived));
    else
        text = tr("%n items of this computer shared", nullptr, static_cast<int>(s.adopted));
    if (s.conflicted > 0)
        text += tr(", %n conflicts", nullptr, static_cast<int>(s.conflicted));
    if (s.waiting > 0)
        text += tr(", %n waiting", nullptr, static_cast<int>(s.waiting));
    if (const size_t logs = s.conflict_copies.size() + s.damaged.size(); logs > 0)
        text += tr(", %n logs to look at", nullptr, static_cast<int>(logs));
    return text;
}

void sync_watch::show(const sync_summary& s)
{
    told_.arrived += s.arrived;
    told_.applied += s.applied;
    told_.conflicted += s.conflicted;
    told_.adopted += s.adopted;
    // These are what the last look found, not events to add up.
    told_.waiting = s.waiting;
    told_.conflict_copies = s.conflict_copies;
    told_.damaged = s.damaged;
    const QString text = summary_text(told_);
    if (text.isEmpty())
        return;
    button_->setText(short_text(told_));
    // As rich text, so that the tooltip wraps instead of running off a narrow screen.
    button_->setToolTip(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
    button_->setAccessibleDescription(text);
    const bool look = told_.conflicted > 0 || !told_.conflict_copies.empty() || !told_.damaged.empty();
    button_->setIcon(look ? button_->style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    button_->show();
}

void sync_watch::take_own_identity()
{
    own_identity_wanted_ = false;
    state_use_ = sync_state_use::rebuilt;
    parted_from_ = computer_;
    move_to(folder_, new_computer_id());
}

void sync_watch::tell_problems()
{
    if (const sync_problem problem = sync_take_problem(); problem.status == change_append_status::another_writer) {
        own_identity_wanted_ = true;
        apply_now();
    } else if (problem) {
        // The changes kept are sent at the next look that finds the log taking them.
        poll_if(true);
        show_message(window_, tr("Sync Folder"), problem_texts::sync(problem));
    }
}
