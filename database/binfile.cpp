#include "database/binfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "calendar/calendar.h"
#include "database/category_checks.h"
#include "database/database.h"
#include "database/file_pieces.h"
#include "database/item_store.h"
#include "services/log.h"
#include "platform/files.h"

namespace {

constexpr uint16_t bin_version = 12;
constexpr uint16_t max_name_read = MAX_CTGR_LEN + 1;  // longest name length a reader accepts
constexpr size_t max_text_length = UINT16_MAX;
constexpr size_t item_head_size = 6;  // tmtrpt, stmtrpt and ctgr: what a reader takes before the rest

// ---------------------------------------------------------------------------------------
// Reading: the file comes in pieces of a megabyte (file_pieces), and each record is parsed
// from memory once all its bytes are there.

// A bounds-checked cursor over the file's bytes: every read either succeeds completely or
// fails without moving, and nothing is ever read past the end.
class byte_reader {
public:
    byte_reader(const unsigned char* data, size_t size) : at_(data), end_(data + size) {}

    size_t left() const { return static_cast<size_t>(end_ - at_); }
    bool u16(uint16_t* v)
    {
        if (left() < 2)
            return false;
        *v = static_cast<uint16_t>(at_[0] | at_[1] << 8);
        at_ += 2;
        return true;
    }
    bool u32(uint32_t* v)
    {
        if (left() < 4)
            return false;
        *v = static_cast<uint32_t>(at_[0]) | static_cast<uint32_t>(at_[1]) << 8 |
            static_cast<uint32_t>(at_[2]) << 16 | static_cast<uint32_t>(at_[3]) << 24;
        at_ += 4;
        return true;
    }
    bool bytes(size_t n, std::string_view* v)
    {
        if (left() < n)
            return false;
        *v = std::string_view(reinterpret_cast<const char*>(at_), n);
        at_ += n;
        return true;
    }
    // A length-prefixed text.
    bool text(std::string_view* v)
    {
        const unsigned char* const start = at_;
        uint16_t n = 0;
        if (!u16(&n) || !bytes(n, v)) {
            at_ = start;
            return false;
        }
        return true;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

// The name as add_category would store it: double quotes become apostrophes, and it ends at
// a zero byte, a line feed or after 127 bytes.
std::string category_name_from_file(std::string_view raw)
{
    std::string name;
    for (char c : raw) {
        if (c == '\0' || c == '\n' || name.size() == MAX_CTGR_LEN - 1)
            break;
        name.push_back(c == '"' ? '\'' : c);
    }
    return name;
}

std::optional<std::string> optional_text(std::string_view v)
{
    if (v.empty())
        return std::nullopt;
    return std::string(v);
}

// A category record as the file holds it, before any cleaning.
struct category_record {
    uint16_t parent = 0;  // as written; checked against the table later
    uint16_t length = 0;  // of the name
    std::string_view name;  // the name's bytes
    uint32_t colours[4] = {};  // qbgclr, abgclr, qfntclr, afntclr
    std::string_view texts[4];  // qimg, aimg, qfont, afont
};

enum class record_read { ok, cut, name_too_long };

record_read read_category_record(byte_reader& in, category_record* r)
{
    if (!in.u16(&r->parent) || !in.u16(&r->length))
        return record_read::cut;
    if (r->length > max_name_read)
        return record_read::name_too_long;
    if (!in.bytes(r->length, &r->name))
        return record_read::cut;
    for (uint32_t& colour : r->colours)
        if (!in.u32(&colour))
            return record_read::cut;
    for (std::string_view& text : r->texts)
        if (!in.text(&text))
            return record_read::cut;
    return record_read::ok;
}

// An item's fields after its first three (tmtrpt, stmtrpt, ctgr), as the file holds them.
bool read_item_rest(byte_reader& in, item* e, std::string_view* question, std::string_view* answer)
{
    return in.u32(&e->id) && in.text(question) && in.text(answer) && in.u16(&e->livl) && in.u16(&e->rllivl)
        && in.u16(&e->ivl) && in.u16(&e->rp) && in.u16(&e->gr) && in.u32(&e->sstick) && in.u32(&e->hstick);
}

// Parses one record from the bytes the pieces hold, reading more while the record is cut off
// there. `parse` reads from a byte_reader and returns false when the bytes run out; it may be
// called again from the start with more bytes.
template <typename Parse>
bool parse_record(file_pieces& in, Parse&& parse)
{
    for (;;) {
        byte_reader r(in.data(), in.available());
        if (parse(r)) {
            in.consume(in.available() - r.left());
            return true;
        }
        if (!in.more())
            return false;
    }
}

bool read_category(file_pieces& in, uint16_t index, std::unique_ptr<category>* out)
{
    category_record r;
    record_read result = record_read::cut;
    parse_record(in, [&](byte_reader& bytes) {
        result = read_category_record(bytes, &r);
        return result != record_read::cut;
    });
    if (result == record_read::name_too_long) {
        // A fatal exit here would stop the program at every start; the file is refused as
        // damaged instead, so that the XML file is tried and the user keeps working.
        write_log("ERROR: load_bin(): len(=%hu) > (MAX_CTGR_LEN + 1)\n", r.length);
        return false;
    }
    if (result != record_read::ok)
        return false;
    auto c = std::make_unique<category>();
    c->name = category_name_from_file(r.name);
    if (c->name.empty()) {
        write_log("WARNING: load_bin(): category %hu has no name, calling it \"?\"\n", index);
        c->name.push_back('?');
    }
    c->parent = r.parent;
    c->qbgclr = r.colours[0];
    c->abgclr = r.colours[1];
    c->qfntclr = r.colours[2];
    c->afntclr = r.colours[3];
    c->qimg = optional_text(r.texts[0]);
    c->aimg = optional_text(r.texts[1]);
    c->qfont = optional_text(r.texts[2]);
    c->afont = optional_text(r.texts[3]);
    *out = std::move(c);
    return true;
}

void report_damaged(const char* path)
{
    write_log("ERROR: a problem while reading binary file format was detected.\nPossible reasons:\n\t1. Bug in "
              "Cardwright core related to load/save binary file format routines (unlikely).\n\t2. I/O error "
              "(e.g., failure of disk).\n\t3. Data wasn't fully saved on last Cardwright exit (e.g., sudden lack "
              "of power supply while writting database).\nTherefore I can't read %s; I will try to load the "
              "database version in XML format.\n",
        path);
}

// ---------------------------------------------------------------------------------------
// Writing: fields go into a large buffer that is written in few big pieces.

class byte_writer {
public:
    explicit byte_writer(FILE* file) : file_(file), buffer_(shared_buffer()) { XXH3_64bits_reset(&hash_); }
    // Of every byte handed to the file so far.
    file_digest digest() const { return {written_, XXH3_64bits_digest(&hash_)}; }

    bool failed() const { return failed_; }
    void u16(uint16_t v)
    {
        reserve(2);
        unsigned char* p = buffer_.get() + used_;
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        used_ += 2;
    }
    void u32(uint32_t v)
    {
        reserve(4);
        unsigned char* p = buffer_.get() + used_;
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
        p[3] = static_cast<unsigned char>(v >> 24);
        used_ += 4;
    }
    void bytes(const char* data, size_t n)
    {
        if (n == 0)
            return;  // an absent text has no data pointer
        if (n > capacity / 2) {
            flush();
            if (!failed_ && std::fwrite(data, 1, n, file_) != n)
                failed_ = true;
            count(data, n);
            return;
        }
        reserve(n);
        std::memcpy(buffer_.get() + used_, data, n);
        used_ += n;
    }
    void text(std::string_view v)
    {
        u16(static_cast<uint16_t>(v.size()));
        bytes(v.data(), v.size());
    }
    void flush()
    {
        if (!failed_ && used_ > 0 && std::fwrite(buffer_.get(), 1, used_, file_) != used_)
            failed_ = true;
        count(buffer_.get(), used_);
        used_ = 0;
    }

private:
    static constexpr size_t capacity = 1 << 20;
    void reserve(size_t n)
    {
        if (capacity - used_ < n)
            flush();
    }
    // Hashed while the bytes are still in the cache: a second reading of the file for the
    // backup's comparison would cost a good part of the write.
    void count(const void* data, size_t n)
    {
        XXH3_64bits_update(&hash_, data, n);
        written_ += n;
    }
    // One buffer for every write of the run: a megabyte allocated and freed per save costs more
    // than a small database's whole write. Saves never nest, so one writer uses it at a time.
    static std::unique_ptr<unsigned char[]>& shared_buffer()
    {
        static std::unique_ptr<unsigned char[]> buffer = std::make_unique_for_overwrite<unsigned char[]>(capacity);
        return buffer;
    }
    FILE* file_;
    std::unique_ptr<unsigned char[]>& buffer_;
    size_t used_ = 0;
    bool failed_ = false;
    XXH3_state_t hash_;
    uint64_t written_ = 0;
};

// The longest prefix of at most 65,535 bytes that ends on a whole UTF-8 character.
std::string_view fitting_text(std::string_view v)
{
    if (v.size() <= max_text_length)
        return v;
    size_t n = max_text_length;
    // Back over at most three continuation bytes to the lead byte of the character cut in two.
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80; ++back)
        --n;
    if ((static_cast<unsigned char>(v[n]) & 0xC0) == 0x80)
        n = max_text_length;  // not UTF-8 at this point; cut at the byte limit
    return v.substr(0, n);
}

std::string_view fitting_item_text(std::string_view v, const item& e, const char* which)
{
    const std::string_view fit = fitting_text(v);
    if (fit.size() != v.size())
        write_log("WARNING: write_bin(): %s of item %u has %zu bytes, more than 65535; saving its first %zu bytes\n",
            which, e.id, v.size(), fit.size());
    return fit;
}

std::string_view category_text(const std::optional<std::string>& v, size_t index, const char* which)
{
    if (!v)
        return {};
    const std::string_view fit = fitting_text(*v);
    if (fit.size() != v->size())
        write_log("WARNING: write_bin(): %s of category %zu has %zu bytes, more than 65535; saving its first %zu "
                  "bytes\n",
            which, index, v->size(), fit.size());
    return fit;
}

}  // namespace

bin_load_status load_bin(const char* path)
{
    database& d = db();
    d.bin_refused = false;
    if (d.head) {
        write_log("WARNING: load_bin(): List is not empty! I will call erase_memory_after_ll() myself.\n");
        erase_memory_after_ll();
    }
    d.item_count = 0;

    file_pieces in;
    const open_outcome outcome = in.open(path);
    if (outcome == open_outcome::missing) {
        d.time_of_start = time_now();
        return bin_load_status::not_read;
    }
    // From here on the file exists; if it is not read, the next save keeps it.
    auto refuse = [&](bool damaged) {
        if (damaged)
            report_damaged(path);
        erase_memory_after_ll();
        d.item_count = 0;
        d.time_of_start = time_now();
        d.bin_refused = true;
        return bin_load_status::not_read;
    };
    if (outcome == open_outcome::unreadable)
        return refuse(true);

    uint16_t version = 0;
    if (!in.want(2) || !byte_reader(in.data(), 2).u16(&version) || version != bin_version) {
        if (in.failed())
            return refuse(true);
        write_log("WARNING: Old format of binary file detected (or binary file corrupted) \"%s\", I will try to "
                  "read elements.xml instead if possible.\n",
            path);
        return refuse(false);
    }
    in.consume(2);
    uint32_t start = 0;
    uint16_t count = 0;
    if (!parse_record(in, [&](byte_reader& r) { return r.u32(&start) && r.u16(&count); }))
        return refuse(true);
    d.time_of_start = start;
    free_categories();
    create_category_table();

    for (uint16_t i = 0; i < count; ++i) {
        std::unique_ptr<category> c;
        if (!read_category(in, i, &c))
            return refuse(true);
        d.categories.push_back(std::move(c));
    }
    while (d.category_capacity < d.categories.size())
        d.category_capacity *= 2;
    const std::vector<uint16_t> new_index = repair_category_tree();
    category_table_changed();
    report_duplicate_names();

    item* tail = nullptr;
    uint32_t items = 0;
    while (in.want(1)) {
        if (!in.want(item_head_size)) {
            if (in.failed())
                return refuse(true);
            // The next item's first fields could not be read, so the items are done; what
            // is left cannot hold anything of an item.
            write_log("WARNING: load_bin(): \"%s\" ends %zu bytes into an item after its last complete item; "
                      "those bytes are ignored\n",
                path, in.available());
            break;
        }
        auto e = std::unique_ptr<item, void (*)(item*)>(new_item(), free_item);
        byte_reader head(in.data(), item_head_size);
        head.u16(&e->tmtrpt);
        head.u16(&e->stmtrpt);
        head.u16(&e->ctgr);
        in.consume(item_head_size);
        if (d.categories.empty()) {
            write_log("WARNING: load_bin(): items but no category in \"%s\", adding the root category\n", path);
            create_root_category();
        }
        const auto categories = static_cast<uint16_t>(d.categories.size());
        if (e->ctgr >= categories) {
            write_log("WARNING: e->ctgr out of scale (Categories=%d, e->ctgr=%d), correcting to %d\n", categories,
                e->ctgr, categories - 1);
            e->ctgr = categories - 1;
        } else if (!new_index.empty()) {
            e->ctgr = new_index[e->ctgr];
        }
        std::string_view question;
        std::string_view answer;
        if (!parse_record(in, [&](byte_reader& r) { return read_item_rest(r, e.get(), &question, &answer); }))
            return refuse(true);
        // Left in the file's mapping, which the items keep; or into the load's text blocks
        // before the next piece replaces the bytes.
        if (in.mapped()) {
            in.hand_over_mapping(keep_text_mapping);
            e->question.refer_to(question.data(), question.size());
            e->answer.refer_to(answer.data(), answer.size());
        } else {
            e->question.refer_to(store_item_text(question), question.size());
            e->answer.refer_to(store_item_text(answer), answer.size());
        }
        if (e->rp >= 128)
            e->rp = 127;
        if (e->ivl >= 2048) {
            write_log("WARNING: e->ivl out of scale (%hu), correcting\n", e->ivl);
            e->ivl = 2047;
        }
        item* linked = e.release();
        link_scheduled_after(tail, linked);
        tail = linked;
        d.item_count = ++items;
    }
    if (in.failed())
        return refuse(true);
    d.insert_hint = nullptr;
    return bin_load_status::done;
}

bool write_bin_stream(FILE* file, file_digest* digest)
{
    database& d = db();
    byte_writer w(file);
    w.u16(bin_version);
    w.u32(d.time_of_start);
    w.u16(category_count());
    for (size_t i = 0; i < d.categories.size(); ++i) {
        category& c = *d.categories[i];
        if (c.name.size() >= MAX_CTGR_LEN) {
            c.name.resize(MAX_CTGR_LEN - 1);
            category_table_changed();
        }
        w.u16(c.parent);
        w.text(c.name);
        w.u32(c.qbgclr);
        w.u32(c.abgclr);
        w.u32(c.qfntclr);
        w.u32(c.afntclr);
        w.text(category_text(c.qimg, i, "qimg"));
        w.text(category_text(c.aimg, i, "aimg"));
        w.text(category_text(c.qfont, i, "qfont"));
        w.text(category_text(c.afont, i, "afont"));
    }
    for (const item* e = d.head; e && !w.failed(); e = e->next) {
        w.u16(e->tmtrpt);
        w.u16(e->stmtrpt);
        w.u16(e->ctgr);
        w.u32(e->id);
        w.text(fitting_item_text(e->question, *e, "question"));
        w.text(fitting_item_text(e->answer, *e, "answer"));
        w.u16(e->livl);
        w.u16(e->rllivl);
        w.u16(e->ivl);
        w.u16(e->rp);
        w.u16(e->gr);
        w.u32(e->sstick);
        w.u32(e->hstick);
    }
    w.flush();
    if (digest)
        *digest = w.digest();
    return !w.failed();
}

bin_write_status write_bin(const char* path)
{
    atomic_file out(path);
    if (!out.stream())
        return bin_write_status::not_opened;
    if (!write_bin_stream(out.stream()) || std::fflush(out.stream()) != 0 || out.error() != 0)
        return bin_write_status::write_failed;
    return out.commit() ? bin_write_status::done : bin_write_status::close_failed;
}

bool inspect_bin(const char* path, bin_summary* out)
{
    file_pieces in;
    if (in.open(path) != open_outcome::opened)
        return false;
    uint16_t version = 0;
    uint16_t count = 0;
    if (!parse_record(in, [&](byte_reader& r) { return r.u16(&version) && r.u32(&out->time_of_start) && r.u16(&count); })
        || version != bin_version)
        return false;
    category_record record;
    for (uint16_t i = 0; i < count; ++i) {
        record_read result = record_read::cut;
        parse_record(in, [&](byte_reader& r) {
            result = read_category_record(r, &record);
            return result != record_read::cut;
        });
        if (result != record_read::ok)
            return false;
    }
    out->category_count = count;
    out->item_count = 0;
    item scratch;
    std::string_view question;
    std::string_view answer;
    uint16_t word = 0;
    while (in.want(item_head_size)) {
        auto whole_item = [&](byte_reader& r) {
            return r.u16(&word) && r.u16(&word) && r.u16(&word) && read_item_rest(r, &scratch, &question, &answer);
        };
        if (!parse_record(in, whole_item))
            return false;
        ++out->item_count;
    }
    return !in.failed();
}
