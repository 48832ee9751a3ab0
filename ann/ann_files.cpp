#include "ann/ann_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "calendar/calendar.h"
#include "services/log.h"
#include "services/paths.h"
#include "services/memory.h"
#include "platform/crt_rand.h"
#include "platform/files.h"

namespace {

constexpr uint32_t first_user_case = builtin_case_count;
constexpr off_t most_reserved_cases = off_t{1} << 22;
// Indexes in the built-in table (sorted by elapsed days) of the first cases beyond 2, 7, 20 days.
constexpr uint32_t beyond_2_days = 262;
constexpr uint32_t beyond_7_days = 514;
constexpr uint32_t beyond_20_days = 774;

uint32_t bits(float f) { return std::bit_cast<uint32_t>(f); }

// Files hold little-endian floats whatever the machine's order.
float float_from_le(const unsigned char* p)
{
    return std::bit_cast<float>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8
        | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void float_to_le(float f, unsigned char* p)
{
    const uint32_t v = bits(f);
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

uint16_t days_of(float encoded)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(encoded * encoded * 2048.0f + 0.5f));
}

bool plausible(const ann_case& c)
{
    for (float v : c)
        if (!std::isfinite(v) || v < 0.0f || v > 1.0f)
            return false;
    return true;
}

enum class phase { user, builtin };

}  // namespace

void ma_nn_init(case_loading loading)
{
    ann_state& s = ann_globals();
    if (s.ann_initialised) {
        write_log("WARNING: calling ma_nn_init() on initialized NN.\n");
    } else {
        crt_srand(time_now());
        generate_ann();
        s.ann_initialised = true;
        s.test_error = 0.0f;
    }
    load_cases(loading);
    load_weights();
}

void ma_nn_deinit()
{
    if (!ann_globals().ann_initialised)
        return;
    save_weights();
    ann_shutdown();
}

void ann_shutdown()
{
    ann_state& s = ann_globals();
    if (!s.ann_initialised)
        return;
    free_ann();
    s.ann_initialised = false;
}

void load_weights()
{
    const char* const path = data_path("weights.bin");
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return;
    unsigned char bytes[weights_file_size];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    fclose_logged(file, path);
    // Only whole floats count: a weight partly covered by a short file keeps its value.
    const size_t covered = got / sizeof(float);
    std::array<float, ann_weight_count> loaded = ann_globals().ann_weights;
    for (size_t i = 0; i < covered; ++i) {
        loaded[i] = float_from_le(bytes + i * sizeof(float));
        // One damaged weight would turn every answer into nonsense; the file is not used.
        if (!std::isfinite(loaded[i])) {
            write_log("WARNING: %s holds a weight that is not a number; the weights in use are kept.\n",
                path);
            return;
        }
    }
    ann_globals().ann_weights = loaded;
}

bool write_weights(FILE* file)
{
    unsigned char bytes[weights_file_size];
    for (int i = 0; i < ann_weight_count; ++i)
        float_to_le(ann_globals().ann_weights[i], bytes + i * sizeof(float));
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

bool save_weights()
{
    const char* path = data_path("weights.bin");
    // Replaced whole or not at all, so that a crash while saving never leaves half the weights.
    atomic_file file(path);
    if (!file.stream() || !write_weights(file.stream()) || !file.commit()) {
        write_log("ERROR: cannot save ANN weights! (a problem with %s file?)\n", path);
        return false;
    }
    return true;
}

namespace {

// What reading user_cases.bin met.
struct cases_read {
    uint32_t skipped = 0;  // damaged records left out
    bool out_of_memory = false;  // the store could not grow; the rest was not read
};

// Reads the stream's records into the case store, merging duplicates. Writes no log: it may run
// beside the program's own thread.
cases_read read_case_records(FILE* stream)
{
    cases_read result;
    unsigned char bytes[case_record_size];
    for (;;) {
        if (!reserve_case_slot())
            return {result.skipped, true};
        ann_case record{};
        bool stored = false;
        while (!stored) {
            if (std::fread(bytes, 1, sizeof bytes, stream) != sizeof bytes)
                return result;
            for (size_t i = 0; i < record.size(); ++i)
                record[i] = float_from_le(bytes + i * sizeof(float));
            // A damaged record must not reach the network.
            if (!plausible(record)) {
                ++result.skipped;
                continue;
            }
            stored = !merge_duplicate_case(record);
        }
        if (!append_case(record))
            return {result.skipped, true};
    }
}

}  // namespace

void load_cases(case_loading loading)
{
    reset_case_store();
    const std::string path = data_path("user_cases.bin");
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return;
    const auto fill = [file, path]() -> std::function<void()> {
        cases_read read;
        try {
            // The index sized once from the file; a file beyond any real one grows it as before.
            struct stat info {};
            if (::fstat(::fileno(file), &info) == 0 && info.st_size > 0)
                ann_globals().duplicates.reserve(builtin_case_count
                    + static_cast<uint32_t>(std::min<off_t>(info.st_size / case_record_size, most_reserved_cases)));
            read = read_case_records(file);
        } catch (const std::bad_alloc&) {
            // The index's memory: on another thread an exception would end the program unsaved.
            read.out_of_memory = true;
        }
        // Only loading compares cases; the index would only hold memory for the rest of the run.
        ann_globals().duplicates.clear();
        return [file, path, read] {
            if (read.out_of_memory)
                fatal_out_of_memory("FATAL ERROR: add_data_from_file(): out of memory\n");
            if (read.skipped > 0)
                write_log("WARNING: %u damaged records of user_cases.bin were skipped.\n", read.skipped);
            fclose_logged(file, path.c_str());
        };
    };
    if (loading == case_loading::beside)
        fill_case_store_beside(fill);
    else
        fill()();
}

// The search walks down from the new case, in a user phase and then a built-in phase, and stops
// at the first case that decides it: one with the same key (merged if its inputs are the same,
// else passed over or a restart below it), or at a multiple of 4 one with fewer elapsed days
// (the cut-off). Rather than walking, each step asks the index for the nearest such case.
bool merge_duplicate_case(const ann_case& candidate)
{
    wait_for_case_store();
    ann_state& s = ann_globals();
    const uint32_t n = s.case_count;
    if (s.case_store.size() < n)
        return false;
    case_index& index = s.duplicates;
    index.catch_up(s.case_store, n);
    const uint32_t key = case_key(candidate);
    const uint16_t elapsed = days_of(candidate[1]);
    // Above the built-in table, a case of the user phase with the key but other inputs is passed
    // over like any other, so there only the same inputs can end the search.
    const uint32_t same = index.last_with_inputs(s.case_store, candidate);
    uint32_t p = n;
    phase current = phase::user;
    for (;;) {
        if (current == phase::builtin) {
            if (elapsed <= 20 && p > beyond_20_days)
                p = beyond_20_days;
            if (elapsed <= 7 && p > beyond_7_days)
                p = beyond_7_days;
            if (elapsed <= 2 && p > beyond_2_days)
                p = beyond_2_days;
        }
        if (p <= 1)
            return false;  // case 0 never matches
        uint32_t found = index.last_with_key_below(key, current == phase::user ? std::min(p, first_user_case + 1) : p);
        if (current == phase::user && same != case_index::none && same < p && (found == case_index::none || same > found))
            found = same;
        if (found == 0)
            found = case_index::none;
        // A case with the key is tested before the cut-off at its index, so it is no cut-off.
        const uint32_t cut = index.last_input1_below(p, candidate[1], key);
        if (cut != case_index::none && (found == case_index::none || cut > found)) {
            if (current == phase::builtin)
                return false;
            current = phase::builtin;
            p = cut;
            continue;
        }
        if (found == case_index::none)
            return false;
        ann_case& c = *s.case_store[found];
        if (std::memcmp(c.data(), candidate.data(), 4 * sizeof(float)) == 0) {
            const uint32_t mean = (static_cast<uint32_t>(days_of(candidate[4])) + days_of(c[4])) / 2;
            c[4] = encode_days(static_cast<uint16_t>(std::min<uint32_t>(mean, 2048)));
            return true;
        }
        if (found <= 1)
            return false;
        current = found > first_user_case ? phase::user : phase::builtin;
        p = found;
    }
}

namespace {

std::optional<std::string>& held_cases()
{
    static std::optional<std::string> held;
    return held;
}

}  // namespace

void hold_case_appends() { held_cases().emplace(); }

std::string release_held_cases()
{
    std::string bytes = held_cases().value_or(std::string());
    held_cases().reset();
    return bytes;
}

void add_cases(uint16_t livl, uint16_t rllivl, uint16_t rp, uint16_t gr, uint16_t target)
{
    ann_case* record = append_case(make_case(livl, rllivl, rp, gr, target));
    if (!record)
        fatal_out_of_memory("FATAL ERROR: add_cases(): out of memory\n");
    ann_step(*record, ANN_TRAIN);
    // A copy: the log names files through the same rotating buffers.
    const std::string path = data_path("user_cases.bin");
    unsigned char bytes[case_record_size];
    for (size_t i = 0; i < record->size(); ++i)
        float_to_le((*record)[i], bytes + i * sizeof(float));
    if (held_cases()) {
        held_cases()->append(reinterpret_cast<const char*>(bytes), sizeof bytes);
        return;
    }
    // Synced at once, so that a power cut after the grade cannot take its case.
    const append_outcome o = append_record(path, bytes, sizeof bytes);
    const char* const p = path.c_str();
    if (o.failed == append_step::open) {
        write_log("ERROR: cannot open %s file in add_cases()\n", p);
        return;
    }
    if (o.piece_found)
        write_log("WARNING: %s ended in a piece of a record; the piece was removed.\n", p);
    if (o.failed == append_step::write)
        write_log("ERROR: cannot append to %s (%s); the case is kept for this run only\n", p, std::strerror(o.error));
    if (o.repair_failed)
        write_log("ERROR: cannot repair %s\n", p);
    if (o.failed == append_step::sync)
        write_log("ERROR: cannot sync %s (%s); the last training case may not survive a power cut\n", p,
            std::strerror(o.error));
    if (o.failed == append_step::sync_folder)
        write_log("ERROR: cannot sync the folder of %s (%s); the file may not survive a power cut\n", p,
            std::strerror(o.error));
    if (o.close_failed)
        write_log("Cannot close \"%s\"\n", p);
}

ann_checkpoint take_ann_checkpoint()
{
    wait_for_case_store();
    const ann_state& s = ann_globals();
    ann_checkpoint c;
    c.weights = s.ann_weights;
    c.learning_rate = s.learning_rate;
    c.last_error = s.last_error;
    c.test_error = s.test_error;
    c.case_count = s.case_count;
    struct stat info {};
    if (::stat(data_path("user_cases.bin"), &info) == 0)
        c.cases_file_size = info.st_size;
    return c;
}

bool restore_ann_checkpoint(const ann_checkpoint& c)
{
    ann_state& s = ann_globals();
    s.ann_weights = c.weights;
    s.learning_rate = c.learning_rate;
    s.last_error = c.last_error;
    s.test_error = c.test_error;
    drop_cases_from(c.case_count);
    const char* const path = data_path("user_cases.bin");
    struct stat info {};
    if (::stat(path, &info) != 0 || info.st_size == c.cases_file_size)
        return true;
    if (c.cases_file_size < 0) {
        if (!unlink_file(path))
            return true;
        write_log("ERROR: cannot remove %s: %s\n", path, std::strerror(errno));
        return false;
    }
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    bool cut = fd >= 0 && ::ftruncate(fd, c.cases_file_size) == 0 && !fsync_file(fd, path);
    if (!cut)
        write_log("ERROR: cannot take the undone case out of %s: %s\n", path, std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return cut;
}
