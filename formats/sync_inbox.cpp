#include "formats/sync_inbox.h"

#include "formats/change_log_trim.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <sstream>

sync_inbox::sync_inbox(std::string folder, uint64_t me) : folder_(std::move(folder)), me_(me) {}

sync_arrivals sync_inbox::collect()
{
    sync_arrivals out;
    std::map<uint64_t, std::map<uint64_t, change_record>> found;  // per computer, by sequence
    ends_.clear();
    cursors_.clear();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        const sync_file_name kind = classify_sync_file(name);
        if (kind.role == sync_file_role::other || kind.computer == me_ || !entry.is_regular_file(ec))
            continue;
        file_mark& mark = marks_[name];
        if (mark.computer != kind.computer || entry.file_size(ec) < mark.end)
            mark = {0, kind.computer, 0};  // replaced by an older copy: read it all again
        std::string bytes;
        if (!read_change_log_file(entry.path().string(), mark.end, &bytes))
            continue;  // being replaced by the service right now; taken at the next look
        if (bytes.size() >= change_log_header_size && change_log_epoch(bytes) != mark.epoch) {
            // Its writer trimmed the log's head: offsets taken before mean nothing in it now.
            mark = {0, kind.computer, change_log_epoch(bytes)};
            if (!read_change_log_file(entry.path().string(), 0, &bytes))
                continue;
        }
        // Offsets in `bytes` past the header stand for offsets from the mark on in the file.
        const uint64_t base = std::max<uint64_t>(mark.end, change_log_header_size) - change_log_header_size;
        change_log_read read = read_change_log(bytes);
        if (read.status == change_log_status::no_header)
            continue;
        if (read.status == change_log_status::bad_header || read.computer != kind.computer) {
            out.damaged.push_back(name);
            continue;
        }
        if (kind.role == sync_file_role::conflict_copy)
            out.conflict_copies.push_back(name);
        if (read.status == change_log_status::damaged)
            out.damaged.push_back(name);
        std::vector<std::pair<uint64_t, uint64_t>>& ends = ends_[name];
        std::map<uint64_t, change_record>& by_sequence = found[kind.computer];
        for (size_t i = 0; i < read.records.size(); ++i) {
            change_record& r = read.records[i];
            ends.emplace_back(r.sequence, base + read.ends[i]);
            by_sequence.try_emplace(r.sequence, std::move(r));  // one writer: same sequence, same record
        }
    }
    for (auto& [computer, records] : found) {
        // Taking only what follows the last applied record without a gap is what keeps a
        // record from being applied twice or out of its computer's order.
        uint64_t next = applied_of(computer) + 1;
        for (auto it = records.find(next); it != records.end() && it->first == next; ++it, ++next) {
            out.records.push_back(std::move(it->second));
            out.computers.push_back(computer);
        }
        out.waiting += static_cast<size_t>(std::distance(records.upper_bound(next - 1), records.end()));
    }
    std::vector<size_t> order(out.records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const change_record& x = out.records[a];
        const change_record& y = out.records[b];
        if (x.stamp != y.stamp)
            return x.stamp < y.stamp;
        if (out.computers[a] != out.computers[b])
            return out.computers[a] < out.computers[b];
        return x.sequence < y.sequence;
    });
    sync_arrivals sorted;
    sorted.conflict_copies = std::move(out.conflict_copies);
    sorted.damaged = std::move(out.damaged);
    sorted.waiting = out.waiting;
    for (size_t i : order) {
        sorted.records.push_back(std::move(out.records[i]));
        sorted.computers.push_back(out.computers[i]);
    }
    return sorted;
}

void sync_inbox::applied(uint64_t computer, uint64_t sequence)
{
    uint64_t& last = applied_[computer];
    last = std::max(last, sequence);
    // A file's records are in their sequence order: each file is walked once per collect, not
    // once per record applied.
    for (auto& [name, ends] : ends_) {
        file_mark& mark = marks_[name];
        if (mark.computer != computer)
            continue;
        size_t& at = cursors_[name];
        for (; at < ends.size() && ends[at].first <= last; ++at)
            mark.end = std::max(mark.end, ends[at].second);
    }
}

uint64_t sync_inbox::applied_of(uint64_t computer) const
{
    const auto it = applied_.find(computer);
    return it == applied_.end() ? 0 : it->second;
}

std::string sync_inbox::positions_text() const
{
    std::string text;
    char line[64];
    for (const auto& [computer, sequence] : applied_) {
        std::snprintf(line, sizeof line, "%016" PRIx64 " %" PRIu64 "\n", computer, sequence);
        text += line;
    }
    return text;
}

bool sync_inbox::read_positions(const std::string& text)
{
    std::map<uint64_t, uint64_t> positions;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        uint64_t computer = 0;
        uint64_t sequence = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%16" SCNx64 " %" SCNu64 "%n", &computer, &sequence, &used) != 2
            || static_cast<size_t>(used) != line.size())
            return false;
        positions[computer] = sequence;
    }
    applied_ = std::move(positions);
    marks_.clear();
    return true;
}
