#include "formats/sync_snapshot.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "formats/le_fields.h"
#include "platform/files.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

constexpr char snapshot_magic[8] = {'C', 'W', 'S', 'N', 'A', 'P', 'S', 'H'};
// 1: without the categories made and deleted; 2: without the renames' versions; 3: without the
// second makings
constexpr uint16_t snapshot_version = 4;
constexpr size_t snapshot_header_size = 36;
constexpr size_t checksum_size = 8;
constexpr char log_magic[8] = {'C', 'W', 'C', 'H', 'A', 'N', 'G', 'E'};
constexpr std::string_view name_prefix = "snapshot-";
constexpr std::string_view name_suffix = ".bin";

void put_path(std::string& out, const std::vector<std::string>& path)
{
    put_le(out, path.size(), 2);
    for (const std::string& name : path) {
        put_le(out, name.size(), 2);
        out += name;
    }
}

void put_version(std::string& out, const change_version& v)
{
    put_le(out, v.stamp, 8);
    put_le(out, v.computer, 8);
}

class field_reader : public le_reader {
public:
    using le_reader::le_reader;
    std::vector<std::string> path()
    {
        std::vector<std::string> p;
        const uint64_t names = number(2);
        for (uint64_t i = 0; i < names && good(); ++i) {
            std::string name = text(2);
            if (good())
                p.push_back(std::move(name));
        }
        return p;
    }
    change_version version()
    {
        change_version v;
        v.stamp = number(8);
        v.computer = number(8);
        return v;
    }
};

// The items and categories are the records of a change log that would make them: the
// format that the readers of the logs already take apart.
std::string embedded_log(const sync_snapshot& s)
{
    std::string log(log_magic, sizeof log_magic);
    put_le(log, change_log_version, 2);
    put_le(log, 0, 2);
    put_le(log, s.computer, 8);
    change_record made;
    made.kind = change_kind::category_make;
    for (const std::vector<std::string>& path : s.categories) {
        made.path = path;
        log += encode_change(made);
    }
    for (const snapshot_entry& e : s.entries)
        log += encode_change(e.made);
    return log;
}

bool decode_collection(std::string_view body, uint64_t entries, uint64_t categories, sync_snapshot* out)
{
    const change_log_read read = read_change_log(body);
    if (read.status != change_log_status::ok || read.end != body.size()
        || read.records.size() != categories + entries || read.computer != out->computer)
        return false;
    for (size_t i = 0; i < read.records.size(); ++i) {
        const change_record& r = read.records[i];
        if (i < categories) {
            if (r.kind != change_kind::category_make)
                return false;
            out->categories.push_back(r.path);
            continue;
        }
        if (r.kind != change_kind::add_item && r.kind != change_kind::queue_add)
            return false;
        out->entries[i - categories].made = r;
    }
    return true;
}

}  // namespace

std::string encode_snapshot(const sync_snapshot& s)
{
    std::string out(snapshot_magic, sizeof snapshot_magic);
    put_le(out, snapshot_version, 2);
    put_le(out, 0, 2);
    put_le(out, s.computer, 8);
    put_le(out, 0, 8);  // the length, set below
    put_le(out, s.latest_stamp, 8);
    put_le(out, s.covered.size(), 4);
    for (const auto& [computer, sequence] : s.covered) {
        put_le(out, computer, 8);
        put_le(out, sequence, 8);
    }
    put_le(out, s.renamed.size(), 4);
    for (const snapshot_rename& r : s.renamed) {
        put_path(out, r.from);
        put_path(out, r.to);
        put_version(out, r.set);
    }
    for (const auto* paths : {&s.made, &s.deleted}) {
        put_le(out, paths->size(), 4);
        for (const auto& [path, v] : *paths) {
            put_path(out, path);
            put_version(out, v);
        }
    }
    put_le(out, s.same_as.size(), 4);
    for (const auto& [copy, key] : s.same_as)
        for (const item_key* k : {&copy, &key}) {
            put_le(out, k->computer, 8);
            put_le(out, k->number, 8);
        }
    put_le(out, s.categories.size(), 4);
    put_le(out, s.entries.size(), 4);
    for (const snapshot_entry& e : s.entries) {
        put_version(out, e.schedule_set);
        put_version(out, e.texts_set);
        put_version(out, e.place_set);
    }
    out += embedded_log(s);
    std::string length;
    put_le(length, out.size() + checksum_size, 8);
    out.replace(20, 8, length);
    put_le(out, XXH64(out.data(), out.size(), 0), 8);
    return out;
}

snapshot_status decode_snapshot(std::string_view bytes, sync_snapshot* out, bool coverage_only)
{
    field_reader in(bytes);
    if (std::memcmp(bytes.data(), snapshot_magic, std::min(bytes.size(), sizeof snapshot_magic)) != 0)
        return snapshot_status::foreign;
    if (bytes.size() < snapshot_header_size)
        return snapshot_status::not_whole;
    in.number(8);
    const uint64_t version = in.number(2);
    if (version < 1 || version > snapshot_version)
        return snapshot_status::foreign;
    in.number(2);
    *out = sync_snapshot{};
    out->computer = in.number(8);
    // A service that delivers the file half-way, or an older copy's tail behind a newer head,
    // leaves a length or a checksum that does not match.
    if (in.number(8) != bytes.size() || bytes.size() < snapshot_header_size + checksum_size)
        return snapshot_status::not_whole;
    const std::string_view body = bytes.substr(0, bytes.size() - checksum_size);
    field_reader sum(bytes.substr(body.size()));
    if (sum.number(8) != XXH64(body.data(), body.size(), 0))
        return snapshot_status::not_whole;
    field_reader fields(body);
    fields.number(static_cast<int>(snapshot_header_size - 8));
    out->latest_stamp = fields.number(8);
    const uint64_t covered = fields.number(4);
    for (uint64_t i = 0; i < covered && fields.good(); ++i) {
        const uint64_t computer = fields.number(8);
        out->covered[computer] = fields.number(8);
    }
    if (coverage_only)
        return fields.good() ? snapshot_status::whole : snapshot_status::foreign;
    const uint64_t renamed = fields.number(4);
    for (uint64_t i = 0; i < renamed && fields.good(); ++i) {
        snapshot_rename& r = out->renamed.emplace_back();
        r.from = fields.path();
        r.to = fields.path();
        if (version >= 3)
            r.set = fields.version();
    }
    for (auto* paths : {&out->made, &out->deleted}) {
        const uint64_t count = version == 1 ? 0 : fields.number(4);
        for (uint64_t i = 0; i < count && fields.good(); ++i) {
            std::vector<std::string> path = fields.path();
            paths->emplace_back(std::move(path), fields.version());
        }
    }
    const uint64_t same_count = version < 4 ? 0 : fields.number(4);
    if (!fields.good() || same_count > (body.size() - fields.at()) / 32)
        return snapshot_status::foreign;
    for (uint64_t i = 0; i < same_count; ++i) {
        item_key keys[2];
        for (item_key& k : keys) {
            k.computer = fields.number(8);
            k.number = fields.number(8);
        }
        out->same_as.emplace_back(keys[0], keys[1]);
    }
    const uint64_t categories = fields.number(4);
    const uint64_t entries = fields.number(4);
    if (!fields.good() || entries > (body.size() - fields.at()) / 48)
        return snapshot_status::foreign;
    out->entries.resize(entries);
    for (snapshot_entry& e : out->entries) {
        e.schedule_set = fields.version();
        e.texts_set = fields.version();
        e.place_set = fields.version();
    }
    // The checksum held: what does not parse was written so, by a program that reads it otherwise.
    if (!fields.good() || !decode_collection(body.substr(fields.at()), entries, categories, out))
        return snapshot_status::foreign;
    return snapshot_status::whole;
}

std::string snapshot_name(uint64_t computer)
{
    const std::string log = change_log_name(computer);  // changes-<16 hex digits>.log
    return std::string(name_prefix) + log.substr(8, 16) + std::string(name_suffix);
}

std::optional<uint64_t> snapshot_owner(std::string_view name)
{
    if (name.size() != name_prefix.size() + 16 + name_suffix.size() || name.substr(0, name_prefix.size()) != name_prefix
        || name.substr(name.size() - name_suffix.size()) != name_suffix)
        return std::nullopt;
    const std::string as_log = "changes-" + std::string(name.substr(name_prefix.size(), 16)) + ".log";
    const sync_file_name log = classify_sync_file(as_log);
    if (log.role != sync_file_role::change_log)
        return std::nullopt;
    return log.computer;
}

bool write_snapshot_file(const std::string& folder, const sync_snapshot& s)
{
    const std::string bytes = encode_snapshot(s);
    atomic_file out(folder + snapshot_name(s.computer));
    if (!out.stream() || std::fwrite(bytes.data(), 1, bytes.size(), out.stream()) != bytes.size() || !out.commit()) {
        errno = out.error() != 0 ? out.error() : EIO;
        return false;
    }
    return true;
}

std::optional<sync_snapshot> read_snapshot_file(const std::string& path, bool coverage_only)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    sync_snapshot s;
    if (in.bad() || decode_snapshot(bytes, &s, coverage_only) != snapshot_status::whole)
        return std::nullopt;
    return s;
}

namespace {

// The sequence of the first record of the log at `path`; none while it holds none whole.
std::optional<uint64_t> first_sequence(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(change_log_header_size + change_frame_size, '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    const auto* frame = reinterpret_cast<const unsigned char*>(bytes.data() + change_log_header_size);
    const uint32_t length = frame[0] | frame[1] << 8 | frame[2] << 16 | static_cast<uint32_t>(frame[3]) << 24;
    if (length > change_payload_limit)
        return std::nullopt;
    bytes.resize(bytes.size() + length);
    if (!in.read(bytes.data() + change_log_header_size + change_frame_size, length))
        return std::nullopt;
    const change_log_read read = read_change_log(bytes);
    if (read.records.empty())
        return std::nullopt;
    return read.records.front().sequence;
}

}  // namespace

namespace {

// Calls `seen` with each log or conflict copy of a log in `folder` and its computer, and
// `snapshot` with each snapshot.
template <typename Log, typename Snapshot>
void each_sync_file(const std::string& folder, Log seen, Snapshot snapshot)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (const std::optional<uint64_t> owner = snapshot_owner(name)) {
            snapshot(*owner, entry.path().string());
            continue;
        }
        const sync_file_name log = classify_sync_file(name);
        if (log.role != sync_file_role::other)
            seen(log.computer, entry.path().string());
    }
}

void note_head(std::map<uint64_t, uint64_t>& heads, uint64_t computer, const std::string& path)
{
    // A conflict copy may still hold records that its log has lost to a trim.
    if (const std::optional<uint64_t> head = first_sequence(path)) {
        const auto [it, made] = heads.emplace(computer, *head);
        if (!made)
            it->second = std::min(it->second, *head);
    }
}

// Whether `computer` has written nothing since `before`: no record in its log, no snapshot
// stamped later. One whose files say nothing (a snapshot still arriving) is not.
bool dormant(const sync_folder_view& view, uint64_t computer, uint64_t before)
{
    bool known = false;
    if (const auto s = view.snapshots.find(computer); s != view.snapshots.end()) {
        if (s->second.latest_stamp >= before)
            return false;
        known = true;
    }
    std::string bytes;
    if (read_change_log_file(view.folder + change_log_name(computer), 0, &bytes)) {
        const change_log_read read = read_change_log(bytes);
        if (!read.records.empty()) {
            if (read.records.back().stamp >= before)
                return false;
            known = true;
        }
    }
    return known;
}

}  // namespace

std::map<uint64_t, uint64_t> sync_log_heads(const std::string& folder)
{
    std::map<uint64_t, uint64_t> heads;
    each_sync_file(
        folder, [&](uint64_t computer, const std::string& path) { note_head(heads, computer, path); },
        [](uint64_t, const std::string&) {});
    return heads;
}

sync_folder_view look_at_sync_folder(const std::string& folder)
{
    sync_folder_view view;
    view.folder = folder;
    each_sync_file(
        folder,
        [&](uint64_t computer, const std::string& path) {
            view.computers.push_back(computer);
            note_head(view.log_heads, computer, path);
        },
        [&](uint64_t owner, const std::string& path) {
            view.computers.push_back(owner);
            if (std::optional<sync_snapshot> s = read_snapshot_file(path, true))
                view.snapshots[owner] = std::move(*s);
        });
    std::sort(view.computers.begin(), view.computers.end());
    view.computers.erase(std::unique(view.computers.begin(), view.computers.end()), view.computers.end());
    return view;
}

std::optional<uint64_t> snapshot_to_join(const sync_folder_view& view)
{
    std::optional<uint64_t> best;
    for (const auto& [writer, s] : view.snapshots) {
        bool continues = true;
        for (const auto& [computer, head] : view.log_heads) {
            const auto it = s.covered.find(computer);
            continues = continues && (it == s.covered.end() ? 0 : it->second) + 1 >= head;
        }
        if (!continues)
            continue;
        if (!best || s.latest_stamp > view.snapshots.at(*best).latest_stamp
            || (s.latest_stamp == view.snapshots.at(*best).latest_stamp && writer > *best))
            best = writer;
    }
    return best;
}

uint64_t covered_by_all(const sync_folder_view& view, uint64_t me, uint64_t now_ms)
{
    uint64_t through = UINT64_MAX;
    for (const uint64_t computer : view.computers) {
        if (computer == me)
            continue;
        const auto s = view.snapshots.find(computer);
        if (now_ms > dormant_after_ms && dormant(view, computer, now_ms - dormant_after_ms))
            continue;
        if (s == view.snapshots.end())
            return 0;
        const auto it = s->second.covered.find(me);
        through = std::min(through, it == s->second.covered.end() ? 0 : it->second);
    }
    return through;
}
