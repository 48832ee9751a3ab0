#include "formats/sync_inbox.h"

#include "formats/change_log_trim.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <sstream>

sync_inbox::sync_inbox(std::string folder, uint64_t me) : folder_(std::move(folder)), me_(me) {}

sync_arrivals sync_inbox::collect()
{
    sync_arrivals out;
    // The records stay where their file's reading put them; they are sorted and taken by pointer.
    std::deque<change_log_read> reads;
    std::map<uint64_t, std::vector<change_record*>> found;  // per computer, in the files' order
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
        change_log_read& read = reads.emplace_back(read_change_log(bytes));
        // No whole record where the last reading ended: another version of the log was put in its
        // place (a copy of that system writing under its id, its file kept by the service). Read
        // whole, its records are taken by their sequences; true damage stays damage.
        if (read.status == change_log_status::damaged && read.records.empty() && mark.end > change_log_header_size) {
            mark.end = 0;
            if (!read_change_log_file(entry.path().string(), 0, &bytes))
                continue;
            read = read_change_log(bytes);
        }
        // Offsets in `bytes` past the header stand for offsets from the mark on in the file.
        const uint64_t base = std::max<uint64_t>(mark.end, change_log_header_size) - change_log_header_size;
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
        std::vector<change_record*>& records = found[kind.computer];
        ends.reserve(read.records.size());
        records.reserve(records.size() + read.records.size());
        for (size_t i = 0; i < read.records.size(); ++i) {
            ends.emplace_back(read.records[i].sequence, base + read.ends[i]);
            records.push_back(&read.records[i]);
        }
    }
    std::vector<std::pair<change_record*, uint64_t>> taken;  // with its computer
    for (auto& [computer, records] : found) {
        // One writer: the same sequence in two files is the same record, and the first file's counts.
        const auto by_sequence = [](const change_record* a, const change_record* b) { return a->sequence < b->sequence; };
        if (!std::is_sorted(records.begin(), records.end(), by_sequence))
            std::stable_sort(records.begin(), records.end(), by_sequence);
        // Taking only what follows the last applied record without a gap is what keeps a
        // record from being applied twice or out of its computer's order.
        uint64_t next = applied_of(computer) + 1;
        auto it = records.begin();
        for (; it != records.end(); ++it) {
            if ((*it)->sequence < next)
                continue;  // applied already, or a second copy of one just taken
            if ((*it)->sequence != next)
                break;
            taken.emplace_back(*it, computer);
            ++next;
        }
        for (uint64_t last = next - 1; it != records.end(); ++it)
            if ((*it)->sequence > last) {
                last = (*it)->sequence;
                ++out.waiting;
            }
    }
    const auto in_order = [](const std::pair<change_record*, uint64_t>& a, const std::pair<change_record*, uint64_t>& b) {
        if (a.first->stamp != b.first->stamp)
            return a.first->stamp < b.first->stamp;
        if (a.second != b.second)
            return a.second < b.second;
        return a.first->sequence < b.first->sequence;
    };
    // One computer's records are in stamp order already: the sort is for several.
    if (!std::is_sorted(taken.begin(), taken.end(), in_order))
        std::stable_sort(taken.begin(), taken.end(), in_order);
    out.records.reserve(taken.size());
    out.computers.reserve(taken.size());
    for (const auto& [record, computer] : taken) {
        out.records.push_back(std::move(*record));
        out.computers.push_back(computer);
    }
    return out;
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
