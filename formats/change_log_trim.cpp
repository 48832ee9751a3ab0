#include "formats/change_log_trim.h"

#include "formats/change_log.h"
#include "platform/files.h"

#include <cstdio>

namespace {

constexpr size_t epoch_at = 10;  // after the magic and the version

}  // namespace

uint16_t change_log_epoch(std::string_view bytes)
{
    if (bytes.size() < change_log_header_size)
        return 0;
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[epoch_at])
        | static_cast<unsigned char>(bytes[epoch_at + 1]) << 8);
}

change_trim_status trim_change_log(const std::string& path, uint64_t computer, uint64_t through)
{
    std::string bytes;
    if (!read_change_log_file(path, 0, &bytes))
        return change_trim_status::cannot_read;
    const change_log_read read = read_change_log(bytes);
    if (read.status != change_log_status::ok || read.computer != computer)
        return change_trim_status::cannot_read;
    size_t dropped = 0;
    while (dropped + 1 < read.records.size() && read.records[dropped].sequence <= through)
        ++dropped;
    if (dropped == 0)
        return change_trim_status::nothing_to_trim;
    std::string trimmed = bytes.substr(0, change_log_header_size);
    const uint16_t epoch = static_cast<uint16_t>(change_log_epoch(bytes) + 1);
    trimmed[epoch_at] = static_cast<char>(epoch & 0xFF);
    trimmed[epoch_at + 1] = static_cast<char>(epoch >> 8);
    // What follows the last whole record would be cut by the writer anyway.
    const uint64_t from = read.ends[dropped - 1];
    trimmed.append(bytes, from, read.end - from);
    atomic_file out(path);
    if (!out.stream() || std::fwrite(trimmed.data(), 1, trimmed.size(), out.stream()) != trimmed.size()
        || !out.commit())
        return change_trim_status::cannot_write;
    return change_trim_status::trimmed;
}
