#include "platform/file_commit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace {

constexpr char journal_header[] = "Cardwright commit 1\n";
constexpr char journal_end[] = "end\n";
constexpr size_t journal_limit = 64 * 1024;

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Journal entries name files of the directory itself: no separators, nothing that climbs out.
bool plain_name(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

struct journal_entry {
    std::string temp;
    std::string final;
};

// False when the text is not a whole journal.
bool parse_journal(std::string_view text, std::vector<journal_entry>* entries)
{
    if (!text.starts_with(journal_header) || !text.ends_with(journal_end))
        return false;
    text.remove_prefix(sizeof journal_header - 1);
    text.remove_suffix(sizeof journal_end - 1);
    while (!text.empty()) {
        const size_t line_end = text.find('\n');
        if (line_end == std::string_view::npos)
            return false;
        const std::string_view line = text.substr(0, line_end);
        text.remove_prefix(line_end + 1);
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return false;
        const std::string_view temp = line.substr(0, tab);
        const std::string_view final = line.substr(tab + 1);
        if (!plain_name(temp) || !plain_name(final) || !is_temporary_name(std::string(temp)))
            return false;
        entries->push_back({std::string(temp), std::string(final)});
    }
    return true;
}

bool read_small_file(const std::string& path, std::string* out, bool* missing)
{
    *missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *missing = errno == ENOENT;
        return false;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || out->size() > journal_limit)
            break;
        out->append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

file_commit::file_commit(std::string dir) : dir_(std::move(dir)) {}

FILE* file_commit::add(const std::string& name)
{
    auto file = std::make_unique<atomic_file>(dir_ + name);
    FILE* stream = file->stream();
    if (!stream && failed_error_ == 0) {
        failed_path_ = file->path();
        failed_error_ = file->error() != 0 ? file->error() : EIO;
    }
    files_.push_back(std::move(file));
    return stream;
}

commit_status file_commit::fail(const std::string& path, int error)
{
    if (failed_error_ == 0) {
        failed_path_ = path;
        failed_error_ = error != 0 ? error : EIO;
    }
    for (auto& file : files_)
        file->discard();
    return commit_status::not_written;
}

commit_status file_commit::commit()
{
    if (failed_error_ != 0)
        return fail(failed_path_, failed_error_);
    std::string journal(journal_header);
    for (auto& file : files_) {
        if (!file->finish())
            return fail(file->path(), file->error());
        // What would make a rename fail is looked for now, while giving up changes nothing.
        struct stat target {};
        if (::lstat(file->path().c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            return fail(file->path(), EISDIR);
        journal += base_name(file->temp_path()) + '\t' + base_name(file->path()) + '\n';
    }
    journal += journal_end;
    // The new files' names must be durable before a journal that names them.
    if (!files_.empty() && !sync_parent_directory(files_.front()->path()))
        return fail(files_.front()->path(), errno);

    const std::string journal_path = dir_ + commit_journal_name;
    {
        atomic_file marker(journal_path);
        if (!marker.stream())
            return fail(journal_path, marker.error());
        std::fwrite(journal.data(), 1, journal.size(), marker.stream());
        if (!marker.finish())
            return fail(journal_path, marker.error());
        if (!marker.install())
            return fail(journal_path, marker.error());
        if (marker.error() != 0) {
            // Whether the journal survives a power cut is unknown, so the commit cannot be
            // relied on to finish after one: better to stop with the old files in place. A
            // journal that stays is finished by the next recover_commit, all files together.
            static_cast<void>(unlink_file(journal_path.c_str()));
            return fail(journal_path, marker.error());
        }
    }

    // From here the commit holds; a failure now is finished by the next recover_commit. The
    // renames are made durable by one sync of the folder after the last: until then the
    // journal finishes any that a power cut undid.
    bool durable = true;
    for (auto& file : files_) {
        if (!file->install(false)) {
            failed_path_ = file->path();
            failed_error_ = file->error() != 0 ? file->error() : EIO;
            return recover_commit(dir_) == recovery_status::completed ? commit_status::not_durable
                                                                      : commit_status::unfinished;
        }
        if (file->error() != 0)
            durable = false;
    }
    if (!sync_parent_directory(journal_path))
        durable = false;
    // A journal left behind names temporary files that no longer exist: harmless.
    static_cast<void>(unlink_file(journal_path.c_str()));
    return durable ? commit_status::done : commit_status::not_durable;
}

recovery_status recover_commit(const std::string& dir)
{
    const std::string journal_path = dir + commit_journal_name;
    std::string text;
    bool missing = false;
    if (!read_small_file(journal_path, &text, &missing))
        return missing ? recovery_status::nothing_to_do : recovery_status::failed;
    std::vector<journal_entry> entries;
    if (!parse_journal(text, &entries)) {
        // Never installed whole, so the commit never held: the old files stand.
        return unlink_file(journal_path.c_str()) ? recovery_status::failed : recovery_status::discarded;
    }
    for (const journal_entry& e : entries) {
        const std::string temp = dir + e.temp;
        if (::access(temp.c_str(), F_OK) != 0)
            continue;  // renamed before the interruption
        if (rename_file(temp.c_str(), (dir + e.final).c_str()))
            return recovery_status::failed;
    }
    if (!sync_parent_directory(journal_path))
        return recovery_status::failed;
    if (unlink_file(journal_path.c_str()))
        return recovery_status::failed;
    return recovery_status::completed;
}
