#pragma once
// File services of the platform: deleting, sleeping, committing writes to storage, and the
// atomic replacement of the files that hold the user's data.
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <cstdint>
#include <system_error>

void sleep_ms(unsigned milliseconds);

// Deletes a file named in UTF-16 (the form in which the system names files to delete).
bool delete_file(const char16_t* path);

// The system calls through which the user's files are saved (and the mapping of one to read it).
// Each passes the fault hook of platform_state first, so that tests can fail any of them (a full
// disk) or end the process at any of them (a crash) without touching the code that saves.
enum class file_op { write, fsync, rename, unlink, sync_directory, copy, lock, create, map };

// The first `size` bytes of the open file `fd`, mapped read-only and read in at once, so that a
// disk's read error fails here instead of ending the process at a later touch; null with errno
// set on failure (also when the fault hook refuses file_op::map for `path`).
const unsigned char* map_file(int fd, size_t size, const char* path);
void unmap_file(const unsigned char* data, size_t size);

// The size of the file at `path`, 0 when there is none or it cannot be measured.
std::uintmax_t file_size_or_zero(const std::string& path);
// Writes all `size` bytes, retrying short writes; false with errno set on failure. `path`
// names the file for the fault hook.
bool write_all(int fd, const void* data, size_t size, const char* path = nullptr);
// Empty, or the errno of the failure, of the calls they stand for.
[[nodiscard]] std::error_code fsync_file(int fd, const char* path = nullptr);
[[nodiscard]] std::error_code rename_file(const char* from, const char* to);
[[nodiscard]] std::error_code unlink_file(const char* path);
// open(2) of a file to write, which may create it; -1 with errno on failure.
int open_for_writing(const char* path, int flags, mode_t mode);
// An exclusive advisory lock on `fd` without waiting (EWOULDBLOCK while another process holds it).
[[nodiscard]] std::error_code lock_exclusive(int fd, const char* path = nullptr);
// fsync of the directory that holds `path`, so that a rename in it is durable.
bool sync_parent_directory(const std::string& path);
// Makes every file written in `folder`'s file system durable, and the folder's entries: one
// call for a batch of files instead of an fsync of each.
bool sync_folder_and_files(const std::string& folder);

// The step of append_record that failed.
enum class append_step { none, open, write, sync, sync_folder };

// What append_record did, for the caller to tell in its own words.
struct append_outcome {
    append_step failed = append_step::none;  // none: the record is in the file and synced
    int error = 0;  // errno of the failed step
    bool piece_found = false;  // the file ended in part of a record, which was cut off first
    bool repair_failed = false;  // that piece, or what a failed write left, could not be cut off
    bool close_failed = false;  // the file could not be closed
};

// Appends one record of `size` bytes to a file of such records, creating it. A piece of a
// record that an interrupted append left at the end would shift every later record, so it
// is cut off first; a write that fails is cut back. The record is synced, and so is the
// folder of a file that the append created.
append_outcome append_record(const std::string& path, const void* record, size_t size);
// As append_record, for several records of `record_size` bytes at once, synced once.
append_outcome append_records(const std::string& path, const void* records, size_t size, size_t record_size);

// Writes a file that replaces `path` only once it is complete: the data go to a temporary
// file in the same directory, which is fsynced and renamed over `path`, and the directory is
// fsynced. Until commit() succeeds the old file stays as it was. The new file keeps the
// permissions of the one it replaces.
class atomic_file {
public:
    explicit atomic_file(std::string path);
    ~atomic_file();  // discards the temporary file if it was not installed
    atomic_file(const atomic_file&) = delete;
    atomic_file& operator=(const atomic_file&) = delete;

    // The stream to write to, or null when the temporary file could not be created.
    FILE* stream() const { return file_; }
    // The temporary file's descriptor, for writing without the stream (never both).
    int descriptor() const { return fd_; }
    // finish() then install(); false (and the old file intact) on any failure.
    bool commit();
    // Flushes, fsyncs and closes the temporary file: its contents are complete and durable.
    bool finish();
    // Renames the finished temporary file over `path` and fsyncs the directory, unless the
    // caller syncs it once after several renames.
    bool install(bool sync_folder = true);
    // Drops the temporary file; the old file stays.
    void discard();

    const std::string& path() const { return path_; }
    const std::string& temp_path() const { return temp_path_; }
    // The errno of the first step that failed, 0 while none has.
    int error() const { return error_; }

private:
    bool fail(int error);
    std::string path_;
    std::string temp_path_;
    FILE* file_ = nullptr;
    int fd_ = -1;  // the temporary file's descriptor, for fsync; the stream owns it
    bool finished_ = false;
    int error_ = 0;
};

// Reads the whole file at `path` into `out`: false with errno set (ENOENT: there is none) when
// it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string* out);

// Creates a new, empty directory under the system's temporary folder, named from `prefix`;
// returns its path ending with '/'. For tests, benchmarks and fuzzing: aborts on failure.
std::string make_temp_directory(const std::string& prefix);

// Whether `name` is one that an atomic_file gives its temporary file.
bool is_temporary_name(const std::string& name);
// Removes the temporary files that an atomic_file interrupted by a crash left in `dir`.
// Only call it while no other process can be writing there, and after recover_commit.
void remove_stale_temporaries(const std::string& dir);

// Copies `from` to `to` through an atomic_file: the copy appears whole and durable, or not at
// all. The copy is a file of its own (a reflink where the file system has them, else a copy
// in the kernel), never a second name of the same file. Empty, or the errno of the failure.
[[nodiscard]] std::error_code copy_file_durable(const std::string& from, const std::string& to);
