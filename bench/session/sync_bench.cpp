// Applying another computer's change log at start: 100,000 records shaped like a user's months
// of work (5,000 items added, then grades of them, a few edits and moves), into an empty
// database, against the physical references of one fread of the same log and one fwrite, fsync
// and rename of the bytes the apply leaves in the data directory; and the bytes a grade takes in
// the log.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "ann/ann_files.h"
#include "bench/support/physical_reference.h"
#include "bench/support/user_database.h"
#include "formats/change_log.h"
#include "platform/files.h"
#include "session/sync.h"

namespace {

constexpr uint64_t other = 0x00c0ffee00000001ULL;
constexpr uint64_t me = 0x00c0ffee00000002ULL;
constexpr uint32_t record_count = 100'000;
constexpr uint32_t added_items = 5'000;

std::string words(std::mt19937& random, int n)
{
    static const char* const w[] = {"der", "Haus", "gehen", "Bär", "über", "Straße", "la", "fête", "école", "the",
        "question", "answer", "Zeit", "Frühstück", "año", "niño"};
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (s.empty() ? "" : " ") + std::string(w[random() % std::size(w)]);
    return s;
}

struct sync_log {
    sync_log()
    {
        folder = make_temp_directory("cardwright-sync-bench");
        std::mt19937 random(7);
        std::string bytes("CWCHANGE\x01\x00\x00\x00", 12);
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<char>((other >> (8 * i)) & 0xFF));
        const uint16_t first_day = 20'400;
        for (uint32_t n = 1; n <= record_count; ++n) {
            change_record r;
            r.sequence = n;
            r.stamp = 1'760'000'000'000ULL + n * 60'000ULL;
            const uint16_t day = static_cast<uint16_t>(first_day + n * 120 / record_count);
            r.schedule = {1'760'000'000u + n, static_cast<uint16_t>(day + 1 + random() % 30), day,
                static_cast<uint16_t>(1 + random() % 30), static_cast<uint16_t>(random() % 20),
                static_cast<uint16_t>(random() % 25), static_cast<uint8_t>(random() % 10), static_cast<uint8_t>(random() % 6)};
            if (n <= added_items) {
                r.kind = change_kind::add_item;
                r.item = {other, n};
                r.path = {"root", "topic " + std::to_string(n % 20)};
                r.question = words(random, 4);
                r.answer = words(random, 6);
            } else {
                r.item = {other, 1 + random() % added_items};
                switch (random() % 50) {
                case 0:
                    r.kind = change_kind::edit_item;
                    r.question = words(random, 4);
                    r.answer = words(random, 6);
                    break;
                case 1:
                    r.kind = change_kind::move_item;
                    r.path = {"root", "topic " + std::to_string(random() % 25)};
                    break;
                default:
                    r.kind = change_kind::grade;
                    r.day = day;
                    r.elapsed = static_cast<uint16_t>(random() % 30);
                    r.grade = static_cast<uint8_t>(random() % 6);
                    r.screen = 1;
                }
            }
            bytes += encode_change(r);
        }
        path = folder + change_log_name(other);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
            std::abort();
        size = bytes.size();
    }
    ~sync_log() { std::filesystem::remove_all(folder); }
    std::string folder;
    std::string path;
    size_t size = 0;
};

const sync_log& the_log()
{
    static const sync_log log;
    return log;
}

// The bytes of the files in `dir`: what an apply into an empty data directory wrote there.
size_t bytes_in(const std::string& dir)
{
    size_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file())
            total += static_cast<size_t>(entry.file_size());
    return total;
}

size_t& written_by_apply()
{
    static size_t bytes = 0;
    return bytes;
}

void BM_sync_apply_at_start(benchmark::State& state)
{
    const sync_log& log = the_log();
    size_t applied = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = make_temp_directory("cardwright-sync-bench-data");
        bench_data::open_database(dir);
        ma_nn_init();
        state.ResumeTiming();
        sync_summary s;
        sync_open(log.folder, me, &s);
        state.PauseTiming();
        applied = s.applied;
        sync_close();
        ma_discard();
        written_by_apply() = bytes_in(dir);
        std::filesystem::remove_all(dir);
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(applied);
    state.counters["log_MiB"] = static_cast<double>(log.size) / (1 << 20);
    state.counters["written_MiB"] = static_cast<double>(written_by_apply()) / (1 << 20);
}
BENCHMARK(BM_sync_apply_at_start)->Unit(benchmark::kMillisecond)->Iterations(3);

// The least any apply can write: the same bytes once, made durable and renamed into place.
void BM_sync_write_reference(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-sync-bench-write");
    const std::string bytes(written_by_apply() > 0 ? written_by_apply() : the_log().size, 'x');
    for (auto _ : state) {
        if (!bench_data::write_sync_rename(dir, bytes.data(), bytes.size()))
            state.SkipWithError("write failed");
        bench_data::sync_folder(dir);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_sync_write_reference)->Unit(benchmark::kMillisecond)->Iterations(5);

// The least any start can do with the same log: read it once.
void BM_sync_log_fread_reference(benchmark::State& state)
{
    const sync_log& log = the_log();
    std::string buffer(log.size, '\0');
    for (auto _ : state) {
        FILE* f = std::fopen(log.path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
        std::fclose(f);
    }
}
BENCHMARK(BM_sync_log_fread_reference)->Unit(benchmark::kMillisecond);

void BM_sync_bytes_per_grade(benchmark::State& state)
{
    change_record grade;
    grade.kind = change_kind::grade;
    for (auto _ : state)
        benchmark::DoNotOptimize(encode_change(grade));
    state.counters["bytes_per_grade"] = static_cast<double>(encode_change(grade).size());
}
BENCHMARK(BM_sync_bytes_per_grade);

}  // namespace
