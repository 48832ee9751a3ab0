// Drives one computer of a sync folder for `make sync-check`: a session of random grades and
// edits on its data directory, or the collection as text for comparing two computers.
//
//   sync_drive session DATA_DIR SYNC_FOLDER COMPUTER_ID SEED
//   sync_drive image DATA_DIR SYNC_FOLDER COMPUTER_ID
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "session/lifecycle.h"
#include "session/sync.h"
#include "session/sync_state.h"
#include "tests/support/sync_changes.h"

namespace {

bool open_computer(std::string data, const std::string& folder, uint64_t id, sync_summary* s)
{
    if (data.back() != '/')
        data += '/';
    if (holds_any(ma_init(data.c_str()), init_status::dir_not_accessible | init_status::held_by_other)) {
        std::fprintf(stderr, "cannot open the data directory %s\n", data.c_str());
        return false;
    }
    ma_nn_init();
    if (sync_open(folder, id, s) != sync_open_status::opened) {
        std::fprintf(stderr, "cannot sync through %s\n", folder.c_str());
        return false;
    }
    return true;
}

bool close_computer()
{
    const bool saved = ma_deinit(close_mode::complete) == deinit_status::done;
    sync_close();
    const sync_problem problem = sync_take_problem();
    if (problem)
        std::fprintf(stderr, "the change log \"%s\" took no record: %s\n", problem.path.c_str(), std::strerror(problem.os_error));
    return saved && !problem;
}

std::string path_text(uint16_t c)
{
    std::string s;
    for (const std::string& name : category_names_from_top(c))
        s += "/" + name;
    return s;
}

// Questions stay unique across sessions and computers: the counter starts at the seed's
// thousand, and the changes name the computer.
void random_session(uint64_t id, unsigned seed)
{
    std::mt19937 rng(seed);
    int made = static_cast<int>(seed) * 1000;
    for (int round = 0; round < 4; ++round)
        static_cast<void>(random_changes(rng, id, made));
}

// Every line sorted, so that two computers' images compare with diff.
void print_image()
{
    std::vector<std::string> lines;
    char schedule[160];
    for (const item* e = db().head; e; e = e->next) {
        const item_schedule s = schedule_of(*e);
        std::snprintf(schedule, sizeof schedule, "%u %u %u %u %u %u %u %u", s.id, s.due, s.interval_end, s.interval,
            s.last_interval, s.real_last_interval, s.repetitions, s.grade);
        lines.push_back("item\t" + e->question.str() + "\t" + e->answer.str() + "\t" + path_text(e->ctgr) + "\t" + schedule);
    }
    for (const pending_item* p = db().pending_head; p; p = p->next)
        lines.push_back("queued\t" + std::string(p->question) + "\t" + std::string(p->answer) + "\t" + path_text(p->ctgr));
    for (uint16_t c = 0; c < category_count(); ++c)
        lines.push_back("category\t" + path_text(c));
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (!((command == "session" && argc == 6) || (command == "image" && argc == 5))) {
        std::fprintf(stderr,
            "usage: sync_drive session DATA_DIR SYNC_FOLDER COMPUTER_ID SEED\n"
            "       sync_drive image DATA_DIR SYNC_FOLDER COMPUTER_ID\n");
        return 2;
    }
    const uint64_t id = std::strtoull(argv[4], nullptr, 16);
    sync_summary s;
    if (!open_computer(argv[2], argv[3], id, &s))
        return 1;
    std::fprintf(stderr, "%016" PRIx64 ": %zu arrived, %zu applied, %zu conflicts, %zu waiting%s\n", id, s.arrived,
        s.applied, s.conflicted, s.waiting, s.joined_from != 0 ? ", started from a snapshot" : "");
    if (command == "session")
        random_session(id, static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)));
    else
        print_image();
    return close_computer() ? 0 : 1;
}
