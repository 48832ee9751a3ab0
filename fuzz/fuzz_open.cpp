#include "fuzz/fuzz_open.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "calendar/calendar.h"
#include "fuzz/fuzz_history.h"
#include "session/lifecycle.h"
#include "database/database.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/timezone.h"
#include "session/grading.h"
#include "session/lifecycle.h"

// In memory where the machine has it: on a disk file system, creating and removing the same few
// files thousands of times a second costs most of each run in the kernel's inode search.
const std::string& fuzz_dir()
{
    // Never destroyed, so that the removal at exit can still name it.
    static const std::string& dir = *new std::string([] {
        // Named by process, so that the folders of runs that ended without exit handlers (a
        // finding, the end of a timed run) are found and removed by the next run.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("cardwright-fuzz-")
                && ::kill(static_cast<pid_t>(std::atol(name.c_str() + 16)), 0) != 0 && errno == ESRCH)
                std::filesystem::remove_all(entry.path(), ignored);
        }
        const std::string mine = "/dev/shm/cardwright-fuzz-" + std::to_string(::getpid());
        std::string made = ::mkdir(mine.c_str(), 0700) == 0 ? mine + "/" : make_temp_directory("cardwright-fuzz");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(fuzz_dir(), ignored);
        });
        return made;
    }());
    return dir;
}

namespace {

// What a read gave: the texts of the items and of the queue (in sorted order, since a save
// reorders them by category), and the inputs of the training cases from user_cases.bin.
struct read_result {
    std::vector<std::pair<std::string, std::string>> items;
    std::vector<std::pair<std::string, std::string>> pending;
    std::vector<std::array<unsigned char, 16>> cases;
};

read_result what_was_read()
{
    read_result r;
    for (const item* e = db().head; e; e = e->next)
        r.items.emplace_back(e->question, e->answer);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        if (!p->question.empty() || !p->answer.empty())
            r.pending.emplace_back(p->question, p->answer);
    std::sort(r.items.begin(), r.items.end());
    std::sort(r.pending.begin(), r.pending.end());
    const ann_state& a = ann_globals();
    for (uint32_t i = builtin_case_count; i < a.case_count; ++i) {
        std::array<unsigned char, 16> inputs{};
        std::memcpy(inputs.data(), a.case_store[i]->data(), inputs.size());  // bytes: NaN equals itself
        r.cases.push_back(inputs);
    }
    return r;
}

[[noreturn]] void lost(const char* what, size_t before, size_t after)
{
    std::fprintf(stderr, "round trip lost %s: %zu read first, %zu read back\n", what, before, after);
    std::abort();
}

void start_clock()
{
    // A fixed clock and zone keep every run the same.
    platform_reset();
    TIME_ZONE_INFORMATION zone;
    tz_from_posix_rule("CET-1CEST,M3.5.0,M10.5.0/3", &zone);
    platform_globals().zone_override = zone;
    platform_globals().fixed_local_time = SYSTEMTIME{2026, 6, 0, 15, 12, 0, 0, 0};
    calendar_reset();
    platform_globals().sync_to_storage = false;
}

void grade_a_few()
{
    for (int i = 0; i < 3; ++i)
        create_item(static_cast<uint16_t>(i + 2), ("fuzz " + std::to_string(i)).c_str(), "a", 0);
    int graded = 0;
    for (item* e = db().head; e && graded < 4; e = e->next, ++graded)
        grade_item(e, static_cast<uint16_t>(graded % 6));
}

}  // namespace

int fuzz_open_with_file(const char* file_name, const uint8_t* data, size_t size, void (*prepare)(const std::string& dir),
    fuzz_session session)
{
    const std::string& dir = fuzz_dir();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        std::filesystem::remove_all(entry.path(), ignored);

    start_clock();
    if (prepare)
        prepare(dir);

    if (FILE* f = std::fopen((dir + file_name).c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    // Whatever the input made of the directory, the checks below hold for what was opened.
    static_cast<void>(ma_init(dir.c_str()));
    ma_nn_init();
    fuzz_history_figures();
    const std::vector<std::array<unsigned char, 16>> first_cases = what_was_read().cases;
    if (session == fuzz_session::grade_a_few)
        grade_a_few();
    const read_result first = what_was_read();
    const bool saved = db().db_state == database_state::open && ma_deinit(close_mode::complete) == deinit_status::done;
    if (!saved) {
        ma_discard();
        return 0;
    }

    start_clock();
    if (ma_init(dir.c_str()) != init_status::from_bin)
        lost("the database itself", first.items.size(), 0);
    ma_nn_init();
    const read_result again = what_was_read();
    ma_discard();
    if (again.items != first.items)
        lost("items", first.items.size(), again.items.size());
    if (again.pending != first.pending)
        lost("queue items", first.pending.size(), again.pending.size());
    if (again.cases.size() < first_cases.size()
        || !std::equal(first_cases.begin(), first_cases.end(), again.cases.begin()))
        lost("training cases", first_cases.size(), again.cases.size());
    return 0;
}
