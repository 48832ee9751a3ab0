#pragma once
// The sync folder while the program runs: opened after the database, watched for logs that
// grow, and what arrives applied while no item is on screen (a review's item could be deleted
// or moved under it); the status bar says in a few words what arrived and what conflicted
// since the start, and the whole account is one click (or the tooltip) away.
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include "session/sync.h"

class QMainWindow;
class QToolButton;

class sync_watch : public QObject {
    Q_OBJECT
public:
    explicit sync_watch(QMainWindow* window);
    ~sync_watch() override;
    // Opens the folder of the settings, if one is set, and applies what waits there.
    void open(const QString& folder, uint64_t computer);
    // The setting changed: the folder in use (if any) is left, its state saved with the
    // database, and the new one (if any) opened.
    void move_to(const QString& folder, uint64_t computer);
    // Whether the folder is looked at every few seconds (something waits, or a change of a
    // file may go unseen) rather than only when a file changes.
    bool polling() const { return retry_.isActive(); }
    // Applies what arrived, when no item is on screen; otherwise it waits for the screen.
    void apply_now();
    // The whole account of what the applies brought; empty when nothing arrived.
    static QString summary_text(const sync_summary& s);
    // The few words of it the status bar shows, whatever the window's width.
    static QString short_text(const sync_summary& s);
    // The status bar's button that shows the short text and opens the whole account.
    QToolButton* summary_button() const { return button_; }

private:
    // Watches the folder and each log in it not watched yet; false when the system refused a
    // watch, or the folder's file system does not report changes made by other machines.
    bool watch_logs();
    // Polls while `needed`, else waits for the watcher.
    void poll_if(bool needed);
    // The main screen's counts and tree again, after changes from elsewhere.
    void show_changes();
    // Adds what an apply brought to what the status bar tells.
    void show(const sync_summary& s);
    void tell_problems();
    // Another computer was found writing under this computer's id: the folder is opened again
    // under a new one, with the state made again from it, once no item is on screen.
    void take_own_identity();

    QMainWindow* window_;
    QToolButton* button_;  // in the status bar, owned by the window; hidden while nothing arrived
    sync_summary told_;  // what the applies since the folder was opened brought
    QFileSystemWatcher watcher_;
    QTimer settle_;  // a service writes a file in pieces: apply once it has been quiet a moment
    QTimer retry_;  // while records wait (an item on screen, earlier records missing) or watching fails
    // (or the folder is away)
    QString folder_;  // the folder of the settings, for an open once it is back
    uint64_t computer_ = 0;
    // rebuilt from the finding of another computer under this one's id until an open under the
    // new id succeeds (the folder may be away meanwhile).
    sync_state_use state_use_ = sync_state_use::saved;
    bool own_identity_wanted_ = false;  // found while an item was on screen: taken when it goes
    uint64_t parted_from_ = 0;  // the id given up, whose log the other computer writes
};
