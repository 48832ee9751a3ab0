#include "exchange/import_leftovers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unordered_set>

#include "database/database.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "services/log.h"
#include "services/paths.h"
#include "session/lifecycle.h"

namespace fs = std::filesystem;

namespace {

constexpr char media_folder_name[] = "media/";

// The process id in "<prefix><pid>-...", or 0.
pid_t owner_of(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix))
        return 0;
    name.remove_prefix(prefix.size());
    pid_t pid = 0;
    size_t digits = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 9)
        pid = pid * 10 + (name[digits++] - '0');
    return digits > 0 && digits < name.size() && name[digits] == '-' ? pid : 0;
}

// A process that no longer runs: its leftovers are nobody's.
bool gone(pid_t pid) { return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH; }

// Removes the entries of `folder` whose names begin with `prefix` and a gone process's id,
// when they belong to this user.
size_t remove_orphans(const std::string& folder, std::string_view prefix)
{
    size_t removed = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        struct stat st {};
        if (!gone(owner_of(name, prefix)) || ::lstat(entry.path().c_str(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        std::error_code ignored;
        if (fs::remove_all(entry.path(), ignored) > 0)
            ++removed;
    }
    return removed;
}

// Every path that a picture or sound element of an item or a queued item names.
std::unordered_set<std::string> named_media()
{
    std::unordered_set<std::string> named;
    const auto scan = [&](std::string_view text) {
        for (const char* tag : {"img", "snd"}) {
            const std::string open = std::string("<") + tag + ">";
            const std::string close = std::string("</") + tag + ">";
            for (size_t at = text.find(open); at != std::string_view::npos; at = text.find(open, at + 1)) {
                const size_t end = text.find(close, at + open.size());
                if (end == std::string_view::npos)
                    break;
                std::string path(text.substr(at + open.size(), end - at - open.size()));
                for (char& c : path)
                    c = c == '\\' ? '/' : c;
                named.insert(std::move(path));
            }
        }
    };
    for (const item* e = db().head; e; e = e->next) {
        scan(e->question.view());
        scan(e->answer.view());
    }
    for (const pending_item* p = db().pending_head; p; p = p->next) {
        scan(p->question);
        scan(p->answer);
    }
    return named;
}

bool has_file_starting(const std::string& folder, std::string_view prefix)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(prefix))
            return true;
    return false;
}

// Removes the files the journal names that no item names, then the journal.
size_t remove_unnamed_journaled(const std::string& media)
{
    const std::string journal = media + media_journal_name;
    std::ifstream in(journal);
    if (!in)
        return 0;
    const std::unordered_set<std::string> named = named_media();
    size_t removed = 0;
    std::string name;
    while (std::getline(in, name)) {
        if (name.empty() || name.find('/') != std::string::npos || named.count(media_folder_name + name))
            continue;
        if (!unlink_file((media + name).c_str()))
            ++removed;
    }
    // A journal that stays is read again at the next start; its names are gone by then.
    static_cast<void>(unlink_file(journal.c_str()));
    sync_parent_directory(journal);
    return removed;
}

}  // namespace

scratch_dir::scratch_dir(const std::string& parent)
{
    std::string pattern = parent + scratch_prefix + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()))
        path_ = pattern + "/";
}

scratch_dir::~scratch_dir()
{
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

std::string temporary_folder()
{
    const char* base = std::getenv("TMPDIR");
    std::string folder = base && *base ? base : "/tmp";
    if (folder.back() != '/')
        folder.push_back('/');
    return folder;
}

uint64_t free_bytes(const std::string& folder)
{
    if (platform_globals().free_bytes_override)
        return *platform_globals().free_bytes_override;
    struct statvfs s {};
    if (::statvfs(folder.c_str(), &s) != 0)
        return UINT64_MAX;
    return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

std::string media_temporary_name(size_t n)
{
    return std::string(media_temporary_prefix) + std::to_string(::getpid()) + "-" + std::to_string(n);
}

bool journal_media_names(const std::string& media_folder, const std::vector<std::string>& names)
{
    const std::string path = media_folder + media_journal_name;
    const int fd = open_for_writing(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::string lines;
    for (const std::string& name : names)
        lines.append(name).push_back('\n');
    const bool written = write_all(fd, lines.data(), lines.size(), path.c_str()) && !fsync_file(fd, path.c_str());
    const int error = errno;
    ::close(fd);
    errno = error;
    return written && sync_parent_directory(path);
}

leftovers_removed remove_import_leftovers(init_status init_result)
{
    leftovers_removed removed;
    removed.scratch_folders = remove_orphans(temporary_folder(), scratch_prefix);
    if (!holds_any(init_result,
            init_status::dir_not_accessible | init_status::held_by_other | init_status::read_only)) {
        const std::string data = data_path("");
        removed.scratch_folders += remove_orphans(data, scratch_prefix);
        const std::string media = data_path(media_folder_name);
        removed.media_files = remove_orphans(media, media_temporary_prefix);
        // Copies by earlier versions went through atomic files, whose temporaries a kill left.
        remove_stale_temporaries(media);
        const bool read_whole = init_result == init_status::from_bin ||
                                (init_result == init_status::new_database && !has_file_starting(data, "elements."));
        if (read_whole && !has_file_starting(data, "elements.rescue-"))
            removed.media_files += remove_unnamed_journaled(media);
    }
    if (removed.scratch_folders + removed.media_files > 0)
        write_log("INFO: removed what earlier imports left: %zu scratch folders, %zu media files\n",
            removed.scratch_folders, removed.media_files);
    return removed;
}
