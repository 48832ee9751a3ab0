#pragma once
// What arrives in the sync folder from other computers: their change logs (and the copies a
// sync service made of them in a conflict) read as far as they are whole, each computer's
// records taken in its own order without a gap, none taken twice.
#include "formats/change_log.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct sync_arrivals {
    std::vector<change_record> records;  // not yet applied, by stamp, then computer, then sequence
    std::vector<uint64_t> computers;  // the computer of each record, parallel to `records`
    std::vector<std::string> conflict_copies;  // file names of conflict copies read
    std::vector<std::string> damaged;  // file names of logs with a damaged record, read up to it
    size_t waiting = 0;  // records that arrived behind a gap in their computer's sequence
};

class sync_inbox {
public:
    sync_inbox(std::string folder, uint64_t me);

    // Reads what is new in the folder. A record follows the last one applied from its computer,
    // or waits until the records before it arrive.
    sync_arrivals collect();
    // Records that a computer's records up to `sequence` are applied here.
    void applied(uint64_t computer, uint64_t sequence);
    uint64_t applied_of(uint64_t computer) const;
    // Per computer, the last sequence applied here.
    const std::map<uint64_t, uint64_t>& positions() const { return applied_; }

    // The applied sequences as text, to be saved with the database that holds their effects
    // ("<computer in hex> <sequence>" a line), and read back; false on a malformed text.
    std::string positions_text() const;
    bool read_positions(const std::string& text);

private:
    struct file_mark {
        uint64_t end = 0;  // offset past the records already applied from this file
        uint64_t computer = 0;  // whose log the file is
        uint16_t epoch = 0;  // how often the log was trimmed when `end` was taken
    };

    std::string folder_;  // the sync folder
    uint64_t me_;  // this computer's id: its own log is never read here
    std::map<uint64_t, uint64_t> applied_;  // per computer, the last sequence applied here
    std::map<std::string, file_mark> marks_;  // per file name, how far it needs no reading again
    std::map<std::string, std::vector<std::pair<uint64_t, uint64_t>>> ends_;  // per file, (sequence, end offset) of records read but not yet applied
    std::map<std::string, size_t> cursors_;  // per file, how many of its ends_ are applied
};
