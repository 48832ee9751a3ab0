#include "session/sync_effects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ann/ann_files.h"
#include "formats/le_fields.h"
#include "platform/files.h"
#include "services/log.h"
#include "session/review_log.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr char effects_magic[8] = {'C', 'W', 'S', 'Y', 'N', 'C', 'F', 'X'};
constexpr uint16_t effects_version = 1;
constexpr char cases_name[] = "user_cases.bin";

// Makes the file at `path` hold `bytes` from `at` on (its end when it is shorter), cutting off
// a piece of a record an interrupted append left.
bool place_bytes(const std::string& path, uint64_t at, const std::string& bytes, size_t record_size)
{
    if (bytes.empty())
        return true;
    const int fd = open_for_writing(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    const auto size = static_cast<uint64_t>(ok ? info.st_size : 0);
    if (ok && size < at + bytes.size()) {
        const uint64_t from = std::min(at, size - size % record_size);
        ok = ::ftruncate(fd, static_cast<off_t>(from)) == 0 && ::lseek(fd, static_cast<off_t>(from), SEEK_SET) >= 0
            && write_all(fd, bytes.data(), bytes.size(), path.c_str()) && !fsync_file(fd, path.c_str());
    }
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        write_log("ERROR: the records another computer's changes add to \"%s\" could not be written: %s\n",
            path.c_str(), std::strerror(error));
    return ok;
}

uint64_t whole_size(const std::string& path, size_t record_size)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    const auto size = static_cast<uint64_t>(info.st_size);
    return size - size % record_size;
}

// Cuts what a batch cut short left of itself at `at`.
void cut_back(const std::string& path, uint64_t at)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || static_cast<uint64_t>(info.st_size) <= at)
        return;
    const int fd = open_for_writing(path.c_str(), O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(at)) != 0 || fsync_file(fd, path.c_str()))
        write_log("ERROR: cannot cut an unfinished batch of grades from elsewhere off \"%s\": %s\n", path.c_str(),
            std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
}

// A case as user_cases.bin holds it.
std::string case_bytes(const ann_case& c)
{
    std::string bytes;
    for (const float f : c)
        put_le(bytes, std::bit_cast<uint32_t>(f), 4);
    return bytes;
}

// The offset of the last whole record of `bytes` equal to `record`, or npos.
size_t last_record(const std::string& bytes, const std::string& record)
{
    for (size_t at = bytes.size() - bytes.size() % record.size(); at >= record.size();) {
        at -= record.size();
        if (bytes.compare(at, record.size(), record) == 0)
            return at;
    }
    return std::string::npos;
}

// Takes the user case equal to `c` (the last such) out of the store, the later ones moving up a
// place as they would have been read from the file; false when the store holds none.
bool drop_case_from_store(const ann_case& c)
{
    const uint32_t count = ann_globals().case_count;
    for (uint32_t at = count; at > builtin_case_count; --at) {
        if (*case_at(at - 1) != c)
            continue;
        for (uint32_t k = at - 1; k + 1 < count; ++k)
            *case_at(k) = *case_at(k + 1);
        drop_cases_from(count - 1);
        return true;
    }
    return false;
}

// Where a batch goes in one file, and how long it is.
struct batch_place {
    std::string path;  // the file
    size_t record_size = 0;  // of the file's records
    uint64_t at = 0;  // the batch's offset
    uint64_t length = 0;  // its bytes
};

}  // namespace

effects_status sync_effects::open(const std::string& dir)
{
    *this = sync_effects{};
    dir_ = dir;
    std::string bytes;
    if (!read_whole_file(dir_ + sync_effects_name, &bytes))
        return errno == ENOENT ? effects_status::done : effects_status::unreadable;
    if (bytes.size() < sizeof effects_magic + 4
        || std::memcmp(bytes.data(), effects_magic, sizeof effects_magic) != 0
        || le_reader(std::string_view(bytes).substr(bytes.size() - 4)).number(4)
            != XXH32(bytes.data(), bytes.size() - 4, 0))
        return effects_status::unreadable;
    le_reader in(std::string_view(bytes).substr(sizeof effects_magic, bytes.size() - sizeof effects_magic - 4));
    if (in.number(2) != effects_version)
        return effects_status::unreadable;
    in.number(2);
    std::map<uint64_t, uint64_t> after;
    std::map<uint64_t, uint64_t> before;
    for (uint64_t count = in.number(4); count > 0 && in.good(); --count) {
        const uint64_t computer = in.number(8);
        after[computer] = in.number(8);
        before[computer] = in.number(8);
    }
    batch_place places[] = {{dir_ + review_log_name, review_record_size}, {dir_ + cases_name, case_record_size}};
    for (batch_place& p : places) {
        p.at = in.number(8);
        p.length = in.number(8);
    }
    if (!in.good() || !in.at_end())
        return effects_status::unreadable;
    bool whole = true;
    for (const batch_place& p : places)
        whole = whole && (p.length == 0 || whole_size(p.path, p.record_size) >= p.at + p.length);
    if (!whole) {
        // A crash cut the batch short: its records apply again, with their effects.
        for (const batch_place& p : places)
            cut_back(p.path, p.at);
        after = std::move(before);
    }
    through_ = std::move(after);
    return effects_status::done;
}

bool sync_effects::had_effects(uint64_t computer, uint64_t sequence) const
{
    const auto it = through_.find(computer);
    return it != through_.end() && sequence <= it->second;
}

effects_status sync_effects::commit(const std::map<uint64_t, uint64_t>& through, sync_effects_batch batch)
{
    for (const std::string& c : taken_back_)
        if (const size_t at = last_record(batch.cases, c); at != std::string::npos)
            batch.cases.erase(at, c.size());
        else
            static_cast<void>(drop_case_from_file(c));
    taken_back_.clear();
    const std::map<uint64_t, uint64_t> before = through_;
    for (const auto& [computer, sequence] : through)
        through_[computer] = std::max(through_[computer], sequence);
    const batch_place places[] = {
        {dir_ + review_log_name, review_record_size, whole_size(dir_ + review_log_name, review_record_size), batch.reviews.size()},
        {dir_ + cases_name, case_record_size, whole_size(dir_ + cases_name, case_record_size), batch.cases.size()}};
    write_file(before, places[0].at, batch.reviews.size(), places[1].at, batch.cases.size());
    const bool reviews = place_bytes(places[0].path, places[0].at, batch.reviews, review_record_size);
    const bool cases = place_bytes(places[1].path, places[1].at, batch.cases, case_record_size);
    if (reviews && cases)
        return effects_status::done;
    // The file must not name a batch that is not there: a start would cut off what is appended
    // after it. The grades wait in memory for the log, as the review log's own do.
    write_file(before, places[0].at, 0, places[1].at, 0);
    if (!reviews) {
        std::vector<review_record> records(batch.reviews.size() / review_record_size);
        for (size_t i = 0; i < records.size(); ++i)
            decode_review(reinterpret_cast<const unsigned char*>(batch.reviews.data()) + i * review_record_size, &records[i]);
        static_cast<void>(append_reviews(records));
    }
    return effects_status::not_appended;
}

void sync_effects::write_file(const std::map<uint64_t, uint64_t>& before, uint64_t reviews_at, uint64_t reviews_length,
    uint64_t cases_at, uint64_t cases_length) const
{
    std::string bytes(effects_magic, sizeof effects_magic);
    put_le(bytes, effects_version, 2);
    put_le(bytes, 0, 2);
    put_le(bytes, through_.size(), 4);
    for (const auto& [computer, sequence] : through_) {
        put_le(bytes, computer, 8);
        put_le(bytes, sequence, 8);
        const auto it = before.find(computer);
        put_le(bytes, it == before.end() ? 0 : it->second, 8);
    }
    for (const uint64_t v : {reviews_at, reviews_length, cases_at, cases_length})
        put_le(bytes, v, 8);
    put_le(bytes, XXH32(bytes.data(), bytes.size(), 0), 4);
    atomic_file file(dir_ + sync_effects_name);
    if (file.descriptor() < 0 || !write_all(file.descriptor(), bytes.data(), bytes.size(), file.temp_path().c_str())
        || !file.commit())
        // The batch still goes where it belongs; only a crash before the close could add it twice now.
        write_log("ERROR: cannot write \"%s\": %s\n", (dir_ + sync_effects_name).c_str(),
            std::strerror(file.error() != 0 ? file.error() : errno));
}

bool sync_effects::drop_case_from_file(const std::string& record) const
{
    const std::string path = dir_ + cases_name;
    std::string bytes;
    if (!read_whole_file(path, &bytes))
        return errno == ENOENT;
    const size_t at = last_record(bytes, record);
    if (at == std::string::npos)
        return true;  // a case the loading merged into an earlier one: the store was all it was in
    bytes.erase(at, record.size());
    atomic_file file(path);
    if (file.descriptor() >= 0 && write_all(file.descriptor(), bytes.data(), bytes.size(), file.temp_path().c_str())
        && file.commit())
        return true;
    write_log("ERROR: cannot take a grade undone elsewhere out of \"%s\": %s\n", path.c_str(),
        std::strerror(file.error() != 0 ? file.error() : errno));
    return false;
}

sync_effects::network_state sync_effects::network_state::now()
{
    const ann_state& a = ann_globals();
    return {a.ann_weights, a.learning_rate, a.last_error, a.test_error, retention_control_state()};
}

void sync_effects::network_state::restore() const
{
    ann_state& a = ann_globals();
    a.ann_weights = weights;
    a.learning_rate = learning_rate;
    a.last_error = last_error;
    a.test_error = test_error;
    retention_control_state() = control;
}

void sync_effects::applying(const change_record& r, bool effects)
{
    // Taken for every grade applied with its effects: cheap beside the network's run it precedes.
    if (r.kind == change_kind::grade && effects) {
        wait_for_case_store();
        before_ = network_state::now();
        cases_before_ = ann_globals().case_count;
    }
}

void sync_effects::applied(uint64_t computer, const change_record& r, bool effects)
{
    // More than any run undoes; the oldest go first, as the undo steps here do.
    constexpr size_t most_grades = 1000;
    if (r.kind == change_kind::grade) {
        // Also one without its effects here: an undo of it must not take an earlier grade's case.
        remote_grade& g = grades_.emplace_back(remote_grade{computer, r.item, nullptr});
        if (effects && ann_globals().case_count == cases_before_ + 1)
            g.given.reset(new given_case{*case_at(cases_before_), before_, network_state::now()});
        if (grades_.size() > most_grades)
            grades_.pop_front();
        return;
    }
    if (r.kind != change_kind::undo)
        return;
    const auto it = std::find_if(grades_.rbegin(), grades_.rend(),
        [&](const remote_grade& g) { return g.computer == computer && g.item == r.item; });
    if (it == grades_.rend())
        return;  // applied in an earlier run
    const std::unique_ptr<given_case> given = std::move(it->given);
    grades_.erase(std::next(it).base());
    if (!given || !effects)
        return;
    if (network_state::now() == given->after)
        given->before.restore();
    if (drop_case_from_store(given->added))
        taken_back_.push_back(case_bytes(given->added));
}
