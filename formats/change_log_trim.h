#pragma once
// Trimming the head of a computer's own change log. Readers remember how far they read a log
// by offsets, which a trim shifts: the header's two reserved bytes count the trims (the log's
// epoch), so that a reader seeing another epoch reads the log again from its start, and takes
// its records by their sequence numbers, which a trim leaves as they were.
#include <cstdint>
#include <string>
#include <string_view>

// The epoch of the log whose bytes (from its start) are `bytes`; 0 before its first trim.
uint16_t change_log_epoch(std::string_view bytes);

enum class change_trim_status {
    trimmed,  // the log holds only the records after the point now (and at least its last one)
    nothing_to_trim,  // no whole record at or before the point but the last
    cannot_read,  // the log cannot be read, is another computer's or is damaged: left alone
    cannot_write,  // the new log could not be written: the old one stays
};

// Drops the records of `computer`'s log at `path` up to sequence `through`, keeping the last
// record (the writer continues its sequence and stamps from it), and replaces the log whole
// with the next epoch.
change_trim_status trim_change_log(const std::string& path, uint64_t computer, uint64_t through);
