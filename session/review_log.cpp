#include "session/review_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/files.h"
#include "services/log.h"
#include "services/paths.h"

namespace {

void put16(unsigned char* p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint16_t get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
        static_cast<uint32_t>(p[3]) << 24;
}

bool known_screen(uint8_t s) { return s >= 1 && s <= 4; }

}  // namespace

void encode_review(const review_record& r, unsigned char* out)
{
    put32(out, r.time);
    put32(out + 4, r.item_id);
    put16(out + 8, r.day);
    put16(out + 10, r.elapsed);
    put16(out + 12, r.interval_before);
    put16(out + 14, r.interval_after);
    uint32_t error_bits = 0;
    std::memcpy(&error_bits, &r.test_error, sizeof error_bits);
    put32(out + 16, error_bits);
    out[20] = r.grade;
    out[21] = r.rp_after;
    out[22] = static_cast<uint8_t>(r.screen);
    out[23] = static_cast<uint8_t>(r.event);
}

bool decode_review(const unsigned char* in, review_record* out)
{
    if (in[20] > 5 || !known_screen(in[22]) || in[23] > static_cast<uint8_t>(review_event::undo))
        return false;
    out->time = get32(in);
    out->item_id = get32(in + 4);
    out->day = get16(in + 8);
    out->elapsed = get16(in + 10);
    out->interval_before = get16(in + 12);
    out->interval_after = get16(in + 14);
    const uint32_t error_bits = get32(in + 16);
    std::memcpy(&out->test_error, &error_bits, sizeof error_bits);
    out->grade = in[20];
    out->rp_after = in[21];
    out->screen = static_cast<review_screen>(in[22]);
    out->event = static_cast<review_event>(in[23]);
    return true;
}

namespace {

// Records the log could not take yet, so that a full disk loses none of them.
struct held_reviews {
    std::vector<review_record> records;  // oldest first; they go in before any later record
    int error = 0;  // errno of the first of them that could not be appended
    bool unreported = false;  // the user has not been told since they began to wait
};

held_reviews& held()
{
    static held_reviews state;
    return state;
}

// Records appended at once; `kept` is false when they are not in the file and must wait.
review_append_status append_some(const review_record* r, size_t count, bool& kept)
{
    // A copy: the log names files through the same rotating buffers.
    const std::string path = data_path(review_log_name);
    const char* const p = path.c_str();
    std::vector<unsigned char> bytes(count * review_record_size);
    for (size_t i = 0; i < count; ++i)
        encode_review(r[i], bytes.data() + i * review_record_size);
    const append_outcome o = append_records(path, bytes.data(), bytes.size(), review_record_size);
    kept = o.failed != append_step::open && o.failed != append_step::write;
    if (o.piece_found)
        write_log("WARNING: %s ended in a piece of a record; the piece was removed.\n", p);
    if (o.repair_failed)
        write_log("ERROR: cannot repair %s\n", p);
    if (!kept) {
        write_log("ERROR: cannot %s %s: %s; the review waits in memory\n",
            o.failed == append_step::open ? "open" : "append to", p, std::strerror(o.error));
        if (held().error == 0)
            held().error = o.error != 0 ? o.error : EIO;
        return o.failed == append_step::open ? review_append_status::cannot_open : review_append_status::cannot_write;
    }
    if (o.failed != append_step::none) {
        write_log("ERROR: cannot sync %s: %s\n", p, std::strerror(o.error));
        return review_append_status::cannot_sync;
    }
    if (o.close_failed) {
        write_log("ERROR: cannot close %s\n", p);
        return review_append_status::cannot_write;
    }
    return review_append_status::appended;
}

}  // namespace

review_append_status append_review(const review_record& r)
{
    held_reviews& h = held();
    const bool none_waited = h.records.empty();
    if (none_waited)
        h.error = 0;
    h.records.push_back(r);
    const review_append_status status = append_held_reviews();
    // Told once as records begin to wait, not at every grade while the disk stays full.
    if (none_waited && !h.records.empty())
        h.unreported = true;
    return status;
}

review_append_status append_reviews(const std::vector<review_record>& records)
{
    held_reviews& h = held();
    if (!h.records.empty()) {
        for (const review_record& r : records)
            static_cast<void>(append_review(r));
        return h.records.empty() ? review_append_status::appended : review_append_status::cannot_write;
    }
    if (records.empty())
        return review_append_status::appended;
    bool kept = true;
    const review_append_status status = append_some(records.data(), records.size(), kept);
    if (!kept) {
        h.records = records;
        h.unreported = true;
    }
    return status;
}

review_append_status append_held_reviews()
{
    held_reviews& h = held();
    size_t written = 0;
    review_append_status status = review_append_status::appended;
    for (bool kept = true; written < h.records.size(); ++written) {
        status = append_some(&h.records[written], 1, kept);
        if (!kept)
            break;
    }
    h.records.erase(h.records.begin(), h.records.begin() + static_cast<std::ptrdiff_t>(written));
    if (h.records.empty()) {
        if (written > 1)
            write_log("INFO: %zu reviews that had waited in memory were appended to %s\n", written, review_log_name);
        h.unreported = false;
    }
    return status;
}

size_t held_review_count() { return held().records.size(); }

void move_held_review_days(uint16_t days)
{
    for (review_record& r : held().records)
        r.day = static_cast<uint16_t>(r.day + days);
}

int take_review_log_warning()
{
    held_reviews& h = held();
    if (!h.unreported)
        return 0;
    h.unreported = false;
    return h.error;
}

void close_review_log()
{
    held_reviews& h = held();
    if (!h.records.empty())
        static_cast<void>(append_held_reviews());  // what still waits is counted below
    if (!h.records.empty())
        write_log("ERROR: %zu reviews could not be appended to %s before the close and are lost\n",
            h.records.size(), review_log_name);
    h = held_reviews{};
}

namespace {

// Reads `file` in pieces of whole records, handing each to `take(bytes, size)`, which may change
// them in place, and at the end the bytes of an unfinished last record to `rest(bytes, size)`.
template <typename Take, typename Rest>
void read_in_pieces(FILE* file, Take&& take, Rest&& rest)
{
    unsigned char bytes[review_record_size * 512];
    size_t carried = 0;
    for (;;) {
        const size_t got = std::fread(bytes + carried, 1, sizeof bytes - carried, file);
        const size_t have = carried + got;
        const size_t whole = have - have % review_record_size;
        take(bytes, whole);
        carried = have - whole;
        std::memmove(bytes, bytes + whole, carried);
        if (got == 0)
            return rest(bytes, carried);
    }
}

// Closes a log read to its end; false, logged, when the reading failed.
bool close_read(FILE* file, const std::string& path)
{
    const bool read = !std::ferror(file);
    if (!read)
        write_log("ERROR: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    fclose_logged(file, path.c_str());
    return read;
}

}  // namespace

bool copy_review_log_days_later(const std::string& path, FILE* out, uint16_t days)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool written = true;
    const auto write = [&](const unsigned char* bytes, size_t size) {
        written = written && std::fwrite(bytes, 1, size, out) == size;
    };
    read_in_pieces(file,
        [&](unsigned char* bytes, size_t size) {
            for (size_t at = 0; at < size; at += review_record_size) {
                review_record r;
                if (decode_review(bytes + at, &r)) {
                    r.day = static_cast<uint16_t>(r.day + days);
                    encode_review(r, bytes + at);
                }
            }
            write(bytes, size);
        },
        write);  // an unfinished record stays as it was, for the next append to cut
    return close_read(file, path) && written;
}

review_history read_review_log(const std::string& path)
{
    review_history h;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return h;
    h.found = true;
    struct stat info {};
    if (::fstat(::fileno(file), &info) == 0 && info.st_size > 0)
        h.records.reserve(static_cast<size_t>(info.st_size) / review_record_size);
    read_in_pieces(file,
        [&](const unsigned char* bytes, size_t size) {
            for (size_t at = 0; at < size; at += review_record_size) {
                review_record r;
                if (decode_review(bytes + at, &r))
                    h.records.push_back(r);
                else
                    ++h.damaged;
            }
        },
        [&](const unsigned char*, size_t size) { h.partial_bytes = static_cast<uint32_t>(size); });
    static_cast<void>(close_read(file, path));
    if (h.damaged > 0)
        write_log("WARNING: %u damaged records of %s were skipped.\n", h.damaged, path.c_str());
    return h;
}

std::vector<review_record> standing_reviews(const std::vector<review_record>& records)
{
    // Undos are rare; a log without any stands whole.
    if (std::none_of(records.begin(), records.end(), [](const review_record& r) { return r.event == review_event::undo; }))
        return records;
    std::vector<bool> undone(records.size(), false);
    // For each item, the positions of its grades not yet undone, latest last.
    std::unordered_map<uint32_t, std::vector<size_t>> open;
    for (size_t i = 0; i < records.size(); ++i) {
        auto& grades = open[records[i].item_id];
        if (records[i].event == review_event::grade) {
            grades.push_back(i);
        } else {
            undone[i] = true;
            if (!grades.empty()) {
                undone[grades.back()] = true;
                grades.pop_back();
            }
        }
    }
    std::vector<review_record> result;
    result.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        if (!undone[i])
            result.push_back(records[i]);
    return result;
}

bool is_due_review(const review_record& r)
{
    return r.event == review_event::grade && r.screen != review_screen::added && r.screen != review_screen::queue &&
        r.interval_before > 0 && r.elapsed >= r.interval_before;
}
