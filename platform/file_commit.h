#pragma once
// Replacing several files of one directory as one: after a crash or a power cut at any instant,
// the next recover_commit leaves every one of them old, or every one new.
//
// Each new file is written and fsynced beside its old one first. Then a journal naming the
// pairs is installed atomically: from that instant the commit holds, and renaming the new files
// into place is a job that recover_commit can finish. Before it, nothing has changed.
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

constexpr char commit_journal_name[] = "commit.journal";

enum class commit_status {
    done,             // every file holds its new contents
    not_written,      // a new file could not be written; every file holds its old contents
    not_durable,      // in place, but a directory fsync failed: a power cut may undo it
    unfinished,       // it holds, but a rename failed; the next recover_commit finishes it
};

class file_commit {
public:
    // `dir` ends with '/'.
    explicit file_commit(std::string dir);
    file_commit(const file_commit&) = delete;
    file_commit& operator=(const file_commit&) = delete;

    // The stream for the new contents of dir + name; null when it cannot be made.
    FILE* add(const std::string& name);
    // Checks the streams, makes the new files durable and puts them all in place together.
    commit_status commit();

    // After a failure: the file that failed and the errno.
    const std::string& failed_path() const { return failed_path_; }
    int failed_error() const { return failed_error_; }

private:
    commit_status fail(const std::string& path, int error);
    std::string dir_;
    std::vector<std::unique_ptr<atomic_file>> files_;
    std::string failed_path_;
    int failed_error_ = 0;
};

enum class recovery_status {
    nothing_to_do,  // no interrupted commit
    completed,      // an interrupted commit was finished: the files hold the new contents
    discarded,      // a journal that was never complete was removed: the files hold the old ones
    failed,         // the commit could not be finished; the journal stays for the next try
};

// Finishes a commit that a crash interrupted in `dir` (ends with '/'). Call it with the
// directory locked, before remove_stale_temporaries, which would take the new files away.
recovery_status recover_commit(const std::string& dir);
