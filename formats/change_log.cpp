#include "formats/change_log.h"

#include "formats/le_fields.h"
#include "platform/files.h"
#include "services/log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr char magic[8] = {'C', 'W', 'C', 'H', 'A', 'N', 'G', 'E'};

uint64_t get(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

void put_text(std::string& out, const std::string& s)
{
    put_le(out, s.size(), 4);
    out += s;
}

// Which fields a kind carries: one table for the writer and the reader.
struct kind_fields {
    bool item, path, texts, grade, text, count, schedule, screen;
};

bool fields_of(change_kind k, kind_fields* f)
{
    switch (k) {
    case change_kind::grade: *f = {true, false, false, true, false, false, true, false}; return true;
    case change_kind::undo: *f = {true, false, false, false, false, false, true, true}; return true;
    case change_kind::forget_item:
    case change_kind::make_due: *f = {true, false, false, false, false, false, true, false}; return true;
    case change_kind::delete_item:
    case change_kind::queue_delete: *f = {true, false, false, false, false, false, false, false}; return true;
    case change_kind::add_item: *f = {true, true, true, false, false, false, true, false}; return true;
    case change_kind::queue_add: *f = {true, true, true, false, false, false, false, false}; return true;
    case change_kind::edit_item: *f = {true, false, true, false, false, false, false, false}; return true;
    case change_kind::move_item: *f = {true, true, false, false, false, false, false, false}; return true;
    case change_kind::import_done: *f = {false, false, false, false, true, true, false, false}; return true;
    case change_kind::category_make:
    case change_kind::category_delete: *f = {false, true, false, false, false, false, false, false}; return true;
    case change_kind::category_rename: *f = {false, true, false, false, true, false, false, false}; return true;
    }
    return false;
}

bool decode_payload(const unsigned char* p, size_t n, change_record* r)
{
    // Any read past the end marks the payload bad.
    le_reader in(std::string_view(reinterpret_cast<const char*>(p), n));
    r->sequence = in.number(8);
    r->stamp = in.number(8);
    r->kind = static_cast<change_kind>(in.number(1));
    kind_fields f{};
    if (!in.good() || !fields_of(r->kind, &f))
        return false;
    if (f.item) {
        r->item.computer = in.number(8);
        r->item.number = in.number(8);
    }
    if (f.path) {
        const uint64_t parts = in.number(2);
        for (uint64_t i = 0; i < parts && in.good(); ++i)
            r->path.push_back(in.text(2));
    }
    if (f.texts) {
        r->question = in.text(4);
        r->answer = in.text(4);
    }
    if (f.grade) {
        r->day = static_cast<uint16_t>(in.number(2));
        r->elapsed = static_cast<uint16_t>(in.number(2));
        r->grade = static_cast<uint8_t>(in.number(1));
        r->screen = static_cast<uint8_t>(in.number(1));
        if (r->grade > 5)
            return false;
    }
    if (f.screen)
        r->screen = static_cast<uint8_t>(in.number(1));
    if (f.text)
        r->text = in.text(4);
    if (f.count)
        r->count = static_cast<uint32_t>(in.number(4));
    if (f.schedule) {
        item_schedule& s = r->schedule;
        s.id = static_cast<uint32_t>(in.number(4));
        s.due = static_cast<uint16_t>(in.number(2));
        s.interval_end = static_cast<uint16_t>(in.number(2));
        s.interval = static_cast<uint16_t>(in.number(2));
        s.last_interval = static_cast<uint16_t>(in.number(2));
        s.real_last_interval = static_cast<uint16_t>(in.number(2));
        s.repetitions = static_cast<uint8_t>(in.number(1));
        s.grade = static_cast<uint8_t>(in.number(1));
        if (s.grade > 5)
            return false;
    }
    return in.good() && in.at_end();
}

}  // namespace

std::string change_log_header(uint64_t computer)
{
    std::string h(magic, sizeof magic);
    put_le(h, change_log_version, 2);
    put_le(h, 0, 2);
    put_le(h, computer, 8);
    return h;
}

namespace {

bool is_hex16(std::string_view s)
{
    if (s.size() != 16)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

constexpr std::string_view log_prefix = "changes-";
constexpr std::string_view log_suffix = ".log";

}  // namespace

std::string encode_change(const change_record& r)
{
    kind_fields f{};
    fields_of(r.kind, &f);
    std::string payload;
    put_le(payload, r.sequence, 8);
    put_le(payload, r.stamp, 8);
    put_le(payload, static_cast<uint8_t>(r.kind), 1);
    if (f.item) {
        put_le(payload, r.item.computer, 8);
        put_le(payload, r.item.number, 8);
    }
    if (f.path) {
        put_le(payload, r.path.size(), 2);
        for (const std::string& part : r.path) {
            put_le(payload, part.size(), 2);
            payload += part;
        }
    }
    if (f.texts) {
        put_text(payload, r.question);
        put_text(payload, r.answer);
    }
    if (f.grade) {
        put_le(payload, r.day, 2);
        put_le(payload, r.elapsed, 2);
        put_le(payload, r.grade, 1);
        put_le(payload, r.screen, 1);
    }
    if (f.screen)
        put_le(payload, r.screen, 1);
    if (f.text)
        put_text(payload, r.text);
    if (f.count)
        put_le(payload, r.count, 4);
    if (f.schedule) {
        const item_schedule& s = r.schedule;
        put_le(payload, s.id, 4);
        put_le(payload, s.due, 2);
        put_le(payload, s.interval_end, 2);
        put_le(payload, s.interval, 2);
        put_le(payload, s.last_interval, 2);
        put_le(payload, s.real_last_interval, 2);
        put_le(payload, s.repetitions, 1);
        put_le(payload, s.grade, 1);
    }
    std::string framed;
    framed.reserve(change_frame_size + payload.size());
    put_le(framed, payload.size(), 4);
    put_le(framed, XXH32(payload.data(), payload.size(), 0), 4);
    return framed + payload;
}

change_log_read read_change_log(std::string_view bytes, uint64_t offset)
{
    change_log_read out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < change_log_header_size) {
        out.status = change_log_status::no_header;
        return out;
    }
    if (std::memcmp(p, magic, sizeof magic) != 0 || get(p + 8, 2) != change_log_version) {
        out.status = change_log_status::bad_header;
        return out;
    }
    out.computer = get(p + 8 + 4, 8);
    uint64_t at = offset < change_log_header_size ? change_log_header_size : offset;
    if (at > bytes.size()) {
        // The file became shorter than what was read before: not the log that was read.
        out.status = change_log_status::damaged;
        out.end = at;
        return out;
    }
    // The records are counted first, so that the vectors are allocated once, not moved
    // record by record as they grow.
    size_t whole = 0;
    for (uint64_t next = at; bytes.size() - next >= change_frame_size;) {
        const uint64_t length = get(p + next, 4);
        if (length > change_payload_limit || bytes.size() - next - change_frame_size < length)
            break;
        next += change_frame_size + length;
        ++whole;
    }
    out.records.reserve(whole);
    out.ends.reserve(whole);
    while (bytes.size() - at >= change_frame_size) {
        const uint64_t length = get(p + at, 4);
        if (length > change_payload_limit) {
            out.status = change_log_status::damaged;
            break;
        }
        if (bytes.size() - at - change_frame_size < length)
            break;  // still arriving
        const unsigned char* payload = p + at + change_frame_size;
        change_record& r = out.records.emplace_back();
        if (XXH32(payload, length, 0) != get(p + at + 4, 4) || !decode_payload(payload, length, &r)) {
            out.records.pop_back();
            out.status = change_log_status::damaged;
            break;
        }
        at += change_frame_size + length;
        out.ends.push_back(at);
    }
    out.end = at;
    return out;
}

std::string change_log_name(uint64_t computer)
{
    static const char digits[] = "0123456789abcdef";
    std::string name(log_prefix);
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(digits[(computer >> shift) & 0xF]);
    return name + std::string(log_suffix);
}

sync_file_name classify_sync_file(std::string_view name)
{
    sync_file_name out;
    const size_t exact = log_prefix.size() + 16 + log_suffix.size();
    if (name.size() < exact || name.substr(0, log_prefix.size()) != log_prefix
        || name.substr(name.size() - log_suffix.size()) != log_suffix)
        return out;
    const std::string_view id = name.substr(log_prefix.size(), 16);
    if (!is_hex16(id))
        return out;
    for (char c : id)
        out.computer = (out.computer << 4) | static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    // Services name a conflict copy after the file with their mark before the extension:
    // ".sync-conflict-...", " (conflicted copy ...)", " (... conflicted copy ...)".
    out.role = name.size() == exact ? sync_file_role::change_log : sync_file_role::conflict_copy;
    return out;
}

uint64_t new_computer_id()
{
    uint64_t id = 0;
    while (id == 0) {
        if (getrandom(&id, sizeof id, 0) != static_cast<ssize_t>(sizeof id))
            id = 0;
    }
    return id;
}

namespace {

uint64_t frame_print(std::string_view frame) { return XXH3_64bits(frame.data(), frame.size()) | 1; }

}  // namespace

uint64_t record_print(std::string_view bytes, uint64_t sequence)
{
    const change_log_read read = read_change_log(bytes);
    for (size_t i = read.records.size(); i-- > 0;)
        if (read.records[i].sequence == sequence) {
            const uint64_t begin = i == 0 ? change_log_header_size : read.ends[i - 1];
            return frame_print(bytes.substr(begin, read.ends[i] - begin));
        }
    return 0;
}

bool read_change_log_file(const std::string& path, uint64_t from, std::string* out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    const auto size = static_cast<uint64_t>(ok ? info.st_size : 0);
    const uint64_t skip = from > change_log_header_size && size > change_log_header_size
        ? std::min(from, size) - change_log_header_size
        : 0;
    // One read of what is there; a log that grows meanwhile is taken further at the next look.
    out->resize(size - skip);
    size_t have = 0;
    while (ok && have < out->size()) {
        const uint64_t at = have < change_log_header_size ? have : have + skip;
        const size_t want = have < change_log_header_size ? change_log_header_size - have : out->size() - have;
        const ssize_t n = ::pread(fd, out->data() + have, std::min(want, out->size() - have), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n >= 0;
        if (n <= 0)
            break;  // cut short meanwhile
        have += static_cast<size_t>(n);
    }
    out->resize(have);
    ::close(fd);
    if (!ok)
        errno = EIO;
    return ok;
}

change_log_writer::change_log_writer(std::string path, uint64_t computer)
    : path_(std::move(path)), computer_(computer)
{
}

namespace {

// Where in the log as its writer last had it (read as `had`) the records begin that the file
// read as `now` lost, or 0 when it lost none. A trim drops the head and keeps the records after the
// file's first: only a record after that first one, or any when the file holds none, is lost.
uint64_t first_lost(const change_log_read& had, const change_log_read& now)
{
    std::vector<uint64_t> held;
    held.reserve(now.records.size());
    for (const change_record& r : now.records)
        held.push_back(r.sequence);
    const uint64_t first = held.empty() ? 0 : held.front();
    for (size_t i = 0; i < had.records.size(); ++i) {
        const uint64_t sequence = had.records[i].sequence;
        if (sequence > first && !std::binary_search(held.begin(), held.end(), sequence))
            return i == 0 ? change_log_header_size : had.ends[i - 1];
    }
    return 0;
}

}  // namespace

change_append_result change_log_writer::open_log()
{
    change_append_result res;
    std::string bytes;
    bool created = false;
    if (!read_change_log_file(path_, 0, &bytes)) {
        if (errno != ENOENT)
            return {change_append_status::cannot_open, errno, 0};
        created = true;
    }
    const change_log_read read = read_change_log(bytes);
    if (read.status == change_log_status::bad_header
        || (read.status != change_log_status::no_header && read.computer != computer_))
        return {change_append_status::not_a_log, 0, 0};
    const change_log_read had = read_change_log(known_);
    // Before anything is written again: that would put this computer's records over the other's.
    if (written_elsewhere(had, read)) {
        write_log("ERROR: the change log \"%s\" holds records this computer did not write: another computer "
                  "writes it under the same id\n", path_.c_str());
        return {change_append_status::another_writer, 0, 0};
    }
    if (const uint64_t lost = first_lost(had, read); lost != 0)
        return write_again(bytes, read, lost);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return {change_append_status::cannot_open, errno, 0};
    // What follows the last whole record is an interrupted append of ours, or damage that no
    // reader would pass: either way no computer can read past it, so it goes.
    uint64_t keep = read.status == change_log_status::no_header ? 0 : read.end;
    bool ok = ::ftruncate(fd, static_cast<off_t>(keep)) == 0;
    if (ok && keep == 0) {
        const std::string h = change_log_header(computer_);
        ok = ::pwrite(fd, h.data(), h.size(), 0) == static_cast<ssize_t>(h.size()) && ::fsync(fd) == 0;
        bytes = h;
        keep = h.size();
    }
    const int error = errno;
    note_file(fd);
    ::close(fd);
    if (!ok)
        return {change_append_status::cannot_write, error, 0};
    if (created && !sync_parent_directory(path_))
        return {change_append_status::cannot_sync, errno, 0};
    if (!read.records.empty()) {
        last_sequence_ = std::max(last_sequence_, read.records.back().sequence);
        last_stamp_ = read.records.back().stamp;
    }
    known_ = bytes.substr(0, keep);
    last_at_ = read.records.size() > 1 ? read.ends[read.records.size() - 2] : change_log_header_size;
    opened_ = true;
    return res;
}

change_append_result change_log_writer::write_again(const std::string& bytes, const change_log_read& read, uint64_t lost)
{
    // The file's records before the first lost one, then the known ones from it on, under the
    // file's header: its epoch tells the readers whether their offsets still hold.
    const uint64_t first_sequence = read_change_log(known_, lost).records.front().sequence;
    std::string whole = read.status == change_log_status::no_header ? change_log_header(computer_)
                                                                    : bytes.substr(0, change_log_header_size);
    size_t before = 0;
    while (before < read.records.size() && read.records[before].sequence < first_sequence)
        ++before;
    if (before > 0)
        whole.append(bytes, change_log_header_size, read.ends[before - 1] - change_log_header_size);
    whole.append(known_, lost);
    atomic_file out(path_);
    if (!out.stream() || std::fwrite(whole.data(), 1, whole.size(), out.stream()) != whole.size() || !out.commit())
        return {change_append_status::cannot_write, errno, 0};
    write_log("WARNING: the change log \"%s\" came back without records written to it; they are written again\n",
        path_.c_str());
    // The last record stays the last: `whole` ends with the known ones from the first lost on.
    last_at_ = whole.size() - (known_.size() - last_at_);
    known_ = std::move(whole);
    opened_ = true;
    if (const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        note_file(fd);
        ::close(fd);
    }
    return {};
}

change_log_writer::stat_print change_log_writer::print_of(const struct stat& info)
{
    return {static_cast<uint64_t>(info.st_ino), info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
}

void change_log_writer::note_file(int fd)
{
    struct stat info {};
    left_ = ::fstat(fd, &info) == 0 ? print_of(info) : stat_print{};
}

uint64_t change_log_writer::print_of(uint64_t sequence) const
{
    // Usually the last record, the one of this computer's that its database holds last: read
    // alone, not the whole log at every save.
    if (last_at_ >= change_log_header_size && last_at_ < known_.size()) {
        const change_log_read last = read_change_log(known_, last_at_);
        if (last.records.size() == 1 && last.records[0].sequence == sequence)
            return frame_print(std::string_view(known_).substr(last_at_));
    }
    return record_print(known_, sequence);
}

bool change_log_writer::as_known() const
{
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 && static_cast<uint64_t>(info.st_size) == known_.size()
        && print_of(info) == left_;
}

bool change_log_writer::written_elsewhere(const change_log_read& had, const change_log_read& now) const
{
    if (known_.empty())
        return false;  // the first look: what the file holds is this computer's so far
    for (const change_record& r : now.records) {
        if (r.sequence > last_sequence_)
            return true;
        const auto at = std::lower_bound(had.records.begin(), had.records.end(), r.sequence,
            [](const change_record& k, uint64_t sequence) { return k.sequence < sequence; });
        if (at != had.records.end() && at->sequence == r.sequence && !(*at == r))
            return true;
    }
    return false;
}

change_append_result change_log_writer::make_whole()
{
    if (!opened_ || as_known())
        return {};
    return open_log();
}

void change_log_writer::continue_after(uint64_t sequence) { last_sequence_ = std::max(last_sequence_, sequence); }

uint64_t change_log_writer::next_sequence()
{
    if (!opened_ && open_log().status != change_append_status::appended)
        return 0;
    return last_sequence_ + 1;
}

change_append_result change_log_writer::append(change_record& r, uint64_t now_ms)
{
    if (!opened_ || !as_known()) {
        const change_append_result opened = open_log();
        if (opened.status != change_append_status::appended)
            return opened;
    }
    r.sequence = last_sequence_ + 1;
    // A clock set back must not put this computer's own records out of order.
    r.stamp = now_ms > last_stamp_ ? now_ms : last_stamp_;
    const std::string bytes = encode_change(r);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return {change_append_status::cannot_open, errno, 0};
    change_append_result res{change_append_status::appended, 0, r.sequence};
    if (!write_all(fd, bytes.data(), bytes.size(), path_.c_str())) {
        res = {change_append_status::cannot_write, errno, 0};
        // Cut the piece a failed write left; if even that fails, the next append reads the
        // log back and cuts it there.
        if (::ftruncate(fd, static_cast<off_t>(known_.size())) != 0)
            opened_ = false;
    } else if (::fsync(fd) != 0) {
        res = {change_append_status::cannot_sync, errno, r.sequence};
    }
    note_file(fd);
    ::close(fd);
    if (res.status == change_append_status::cannot_write)
        return res;
    last_sequence_ = r.sequence;
    last_stamp_ = r.stamp;
    last_at_ = known_.size();
    known_ += bytes;
    return res;
}
