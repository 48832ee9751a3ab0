// Starting the network with user cases in user_cases.bin (loading, with the search for
// duplicates that every record goes through), and appending one case per grade; each beside
// the physical reference of the same file work (one fread of the file, one synced write).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "bench/support/user_database.h"
#include "learner_cases.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "session/lifecycle.h"

namespace {

constexpr uint64_t learner_seed = 1;
constexpr size_t bytes_per_mb = 1'000'000;

// The learner's cases, generated once per count for the whole run.
const std::vector<ann_case>& cases_of(size_t count)
{
    static std::map<size_t, std::vector<ann_case>> made;
    auto it = made.find(count);
    if (it == made.end()) {
        generate_ann();
        it = made.emplace(count, learner_cases(count, learner_seed)).first;
        free_ann();
    }
    return it->second;
}

// Runs ma_nn_init in a data directory whose user_cases.bin holds `cases`.
void run_nn_init(benchmark::State& state, const std::vector<ann_case>& cases)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    write_case_file(dir + "user_cases.bin", cases);
    bench_data::open_database(dir);
    for (auto _ : state) {
        ma_nn_init();
        benchmark::DoNotOptimize(ann_globals().case_count);
        state.PauseTiming();
        state.counters["cases"] = ann_globals().case_count;
        ma_nn_deinit();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * cases.size() * sizeof(ann_case)));
    bench_data::close_database();
    std::filesystem::remove_all(dir);
}

void BM_ma_nn_init(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    std::vector<ann_case> cases;
    for (uint32_t i = 0; i < count; ++i) {
        // A regular pattern: many distinct histories, some repeated.
        cases.push_back(make_case(static_cast<uint16_t>(1 + i % 700), static_cast<uint16_t>(1 + i % 900),
            static_cast<uint16_t>(i % 40), static_cast<uint16_t>(i % 6), static_cast<uint16_t>(1 + i % 1500)));
    }
    run_nn_init(state, cases);
}
BENCHMARK(BM_ma_nn_init)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The same with a learner's history: elapsed days mostly 1-30, many 1-3.
void BM_ma_nn_init_learner(benchmark::State& state)
{
    run_nn_init(state, cases_of(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ma_nn_init_learner)->Arg(25'000)->Arg(50'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Opening a case file of range(0) MB.
void BM_open_user_cases(benchmark::State& state)
{
    run_nn_init(state, cases_of(static_cast<size_t>(state.range(0)) * bytes_per_mb / sizeof(ann_case)));
}
BENCHMARK(BM_open_user_cases)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reference: one fread of the same file into fresh memory.
void BM_fread_reference(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    const std::string path = dir + "user_cases.bin";
    write_case_file(path, cases_of(static_cast<size_t>(state.range(0)) * bytes_per_mb / sizeof(ann_case)));
    const auto size = static_cast<size_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        // Fresh pages each time, as a load that allocates its memory gets them (a freed heap
        // block would be handed back already mapped).
        void* buffer = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        FILE* f = std::fopen(path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buffer, 1, size, f));
        std::fclose(f);
        ::munmap(buffer, size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_fread_reference)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// One accepted grade's case, appended to user_cases.bin (synced to storage).
void BM_add_cases(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    platform_globals().sync_to_storage = true;
    bench_data::open_database(dir);
    ma_nn_init();
    const std::vector<ann_case>& cases = cases_of(100'000);
    size_t k = 0;
    for (auto _ : state) {
        const ann_case& c = cases[k++ % cases.size()];
        add_cases(decode_days(c[0]), decode_days(c[1]), static_cast<uint16_t>(c[2] * 128.0f),
            static_cast<uint16_t>(c[3] * 5.0f + 0.5f), decode_days(c[4]));
    }
    bench_data::close_database();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_add_cases)->Unit(benchmark::kMicrosecond);

// Reference: one 20-byte append written and synced to storage.
void BM_append_fsync_reference(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    const std::string path = dir + "user_cases.bin";
    const ann_case c = make_case(10, 12, 3, 4, 30);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "ab");
        std::fwrite(c.data(), sizeof c, 1, f);
        std::fflush(f);
        ::fsync(::fileno(f));
        std::fclose(f);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_append_fsync_reference)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
