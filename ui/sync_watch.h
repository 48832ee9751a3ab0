#pragma once
// The sync folder while the program runs: opened after the database, watched for logs that
// grow, and what arrives applied while no item is on screen (a review's item could be deleted
// or moved under it); the status bar says what arrived and what conflicted.
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

struct sync_summary;
class QMainWindow;

class sync_watch : public QObject {
    Q_OBJECT
public:
    explicit sync_watch(QMainWindow* window);
    // Opens the folder of the settings, if one is set, and applies what waits there.
    void open(const QString& folder, uint64_t computer);
    // Applies what arrived, when no item is on screen; otherwise it waits for the screen.
    void apply_now();
    // The text the status bar shows for an apply; empty when nothing arrived.
    static QString summary_text(const sync_summary& s);

private:
    // Watches the folder and each log in it not watched yet.
    void watch_logs();
    void show(const sync_summary& s);
    void tell_problems();

    QMainWindow* window_;
    QFileSystemWatcher watcher_;
    QTimer settle_;  // a service writes a file in pieces: apply once it has been quiet a moment
    QTimer retry_;  // while an item is on screen, and to notice failed appends
};
