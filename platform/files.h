#pragma once
// File services of the platform: deleting, sleeping, committing writes to storage, and the
// atomic replacement of the files that hold the user's data.
#include <cstdio>
#include <string>

void sleep_ms(unsigned milliseconds);

// Deletes a file named in UTF-16 (the form in which the system names files to delete).
bool delete_file(const char16_t* path);

// Flushes, fsyncs and closes: the stand-in for a stream opened with the commit flag.
// Returns 0 like fclose, EOF when any step failed.
int fclose_committed(FILE* file);

// Writes a file that replaces `path` only once it is complete: the data go to a temporary
// file in the same directory, which is fsynced and renamed over `path`, and the directory is
// fsynced. Until commit() succeeds the old file stays as it was.
class atomic_file {
public:
    explicit atomic_file(std::string path);
    ~atomic_file();  // discards the temporary file if commit() was not reached
    atomic_file(const atomic_file&) = delete;
    atomic_file& operator=(const atomic_file&) = delete;

    // The stream to write to, or null when the temporary file could not be created.
    FILE* stream() const { return file_; }
    // Completes the replacement; false (and the old file intact) on any failure.
    bool commit();
    // Drops the temporary file; the old file stays.
    void discard();

private:
    std::string path_;
    std::string temp_path_;
    FILE* file_ = nullptr;
};

// Creates a new, empty directory under the system's temporary folder, named from `prefix`;
// returns its path ending with '/'. For tests, benchmarks and fuzzing: aborts on failure.
std::string make_temp_directory(const std::string& prefix);

// Removes the temporary files that an atomic_file interrupted by a crash left in `dir`.
// Only call it while no other process can be writing there.
void remove_stale_temporaries(const std::string& dir);

// Copies `from` to `to` through an atomic_file: the copy appears whole and durable, or not at all.
bool copy_file_whole(const std::string& from, const std::string& to);

// fsync of the directory that holds `path`, so that a rename in it is durable.
bool sync_parent_directory(const std::string& path);
