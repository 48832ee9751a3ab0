// Start-up and the statistics' figures on a lifetime collection (tools/lifetime_data.h), at the
// full size (Arg 1) and a hundredth of it (Arg 100), against the physical references in the same
// run: one fread of the files read, and one fwrite + fsync + rename of the files a close writes.
// CARDWRIGHT_LIFETIME_DIR names a directory that keeps the full collection between runs (made
// there when it holds none); without it the collection is made in a temporary one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "bench/support/lifetime_directory.h"
#include "bench/support/physical_reference.h"
#include "bench/support/user_database.h"
#include "database/database.h"
#include "database/days.h"
#include "platform/files.h"
#include "session/lifecycle.h"
#include "session/retention_control.h"
#include "session/review_log.h"
#include "session/review_stats.h"

namespace {

const std::string& directory_of(uint32_t divisor) { return bench_data::lifetime_path(divisor); }

const char* const start_files[] = {"elements.bin", "queue.txt", "weights.bin", "user_cases.bin"};
const char* const saved_files[] = {"elements.bin", "queue.txt", "weights.bin"};

using bench_data::fread_all;
using bench_data::size_of;

// What the peak of resident memory is measured for, each in a process of its own.
enum class peak_work { open, statistics, statistics_all_records, retention_fold, retention_fold_all_records };

// The peak resident memory (VmHWM) of this process so far.
double own_peak_mib()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    double kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kib = std::strtod(line + 6, nullptr);
    std::fclose(status);
    return kib / 1024.0;
}

// This program started anew (so that nothing of the running benchmarks is counted) to open the
// collection and do `work`; its peak resident memory.
double peak_mib_of(const std::string& dir, peak_work work)
{
    const std::string command = "/proc/" + std::to_string(::getpid()) + "/exe --peak " +
        std::to_string(static_cast<int>(work)) + " '" + dir + "'";
    FILE* child = ::popen(command.c_str(), "r");
    if (!child)
        return 0;
    double peak = 0;
    if (std::fscanf(child, "%lf", &peak) != 1)
        peak = 0;
    ::pclose(child);
    return peak;
}

void BM_fread_start_files(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state)
        bytes = fread_all(dir, start_files);
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

// From nothing to a database and network ready to review, as the program starts: the cases
// load beside the database, and the status text waits for them (the CPU column is this thread's).
void BM_start(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        if (ma_init(dir.c_str(), network_start::with_database) != init_status::from_bin)
            state.SkipWithError("not opened");
        wait_for_case_store();
        state.PauseTiming();
        state.counters["items"] = db().item_count;
        ma_discard();
        state.ResumeTiming();
    }
}

// Writing what a close writes, durably, once.
void BM_fwrite_fsync_rename_saved_files(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    std::vector<std::vector<char>> contents;
    for (const char* name : saved_files)
        contents.emplace_back(size_of(dir, name));
    for (auto _ : state) {
        for (const std::vector<char>& bytes : contents)
            if (!bench_data::write_sync_rename(dir, bytes.data(), bytes.size()))
                state.SkipWithError("write failed");
        bench_data::sync_folder(dir);
    }
    std::filesystem::remove(dir + "plain.bin");
}

// A close after a session that changed an item: the joint commit of the three files and the
// backup of elements.bin (a reflink clone where the file system shares blocks, else a copy).
void BM_close(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    static uint32_t session = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (ma_init(dir.c_str()) != init_status::from_bin)
            state.SkipWithError("not opened");
        ma_nn_init();
        db().head->answer = "changed in session " + std::to_string(++session);
        state.ResumeTiming();
        if (ma_deinit(close_mode::complete).status != deinit_status::done)
            state.SkipWithError("not saved");
    }
}

void BM_fread_review_log(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    const char* const names[] = {review_log_name};
    size_t bytes = 0;
    for (auto _ : state)
        bytes = fread_all(dir, names);
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

// Every figure of the statistics window, from the log and the open database.
template <bool one_pass>
void statistics_figures(const std::string& dir)
{
    const uint16_t today = day_number(0);
    const std::string log = dir + review_log_name;
    if constexpr (one_pass) {
        benchmark::DoNotOptimize(read_history_figures(log, today));
        benchmark::DoNotOptimize(item_histograms());
    } else {
        benchmark::DoNotOptimize(figures_of(standing_reviews(read_review_log(log).records), today));
        benchmark::DoNotOptimize(item_histograms());
    }
    benchmark::DoNotOptimize(due_per_day(today, 365));
}

// The peak is the resident memory of a process that opened the collection and made the figures,
// against all the collection's files; the open database alone is given beside it.
template <bool one_pass>
void statistics_run(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    bench_data::open_database(dir);
    for (auto _ : state)
        statistics_figures<one_pass>(dir);
    ma_discard();
    size_t files = size_of(dir, review_log_name);
    for (const char* name : start_files)
        files += size_of(dir, name);
    const double peak = peak_mib_of(dir, one_pass ? peak_work::statistics : peak_work::statistics_all_records);
    state.counters["peak_MiB"] = peak;
    state.counters["open_MiB"] = peak_mib_of(dir, peak_work::open);
    state.counters["files_MiB"] = static_cast<double>(files) / (1 << 20);
    state.counters["peak_per_file"] = peak / (static_cast<double>(files) / (1 << 20));
}

void BM_statistics(benchmark::State& state) { statistics_run<true>(state); }
// The former way, over a vector of every record, for comparison.
void BM_statistics_all_records(benchmark::State& state) { statistics_run<false>(state); }

// The retention figures of a first start (or one after a crash): the log folded without the
// figures kept beside it, in two streaming passes and, for comparison, over every record.
template <bool streamed>
void retention_fold(const std::string& dir)
{
    const std::string log = dir + review_log_name;
    if constexpr (streamed)
        benchmark::DoNotOptimize(read_retention_control(log));
    else
        benchmark::DoNotOptimize(retention_control_of(standing_reviews(read_review_log(log).records)));
}

template <bool streamed>
void retention_fold_run(benchmark::State& state)
{
    const std::string& dir = directory_of(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state)
        retention_fold<streamed>(dir);
    state.counters["peak_MiB"] = peak_mib_of(dir, streamed ? peak_work::retention_fold : peak_work::retention_fold_all_records);
    state.counters["log_MiB"] = static_cast<double>(size_of(dir, review_log_name)) / (1 << 20);
}

void BM_retention_fold(benchmark::State& state) { retention_fold_run<true>(state); }
void BM_retention_fold_all_records(benchmark::State& state) { retention_fold_run<false>(state); }

BENCHMARK(BM_fread_start_files)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_start)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_fwrite_fsync_rename_saved_files)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_close)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_fread_review_log)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_statistics)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_statistics_all_records)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_retention_fold)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_retention_fold_all_records)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

// `--peak WORK DIRECTORY` prints the peak resident memory of that work alone.
int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) {
        const std::string dir = argv[3];
        const auto work = static_cast<peak_work>(std::atoi(argv[2]));
        if (work == peak_work::retention_fold || work == peak_work::retention_fold_all_records) {
            // The fold alone, as a start meets it before the database is read.
            if (work == peak_work::retention_fold)
                retention_fold<true>(dir);
            else
                retention_fold<false>(dir);
            std::printf("%.1f\n", own_peak_mib());
            return 0;
        }
        bench_data::open_database(dir);
        if (work == peak_work::statistics)
            statistics_figures<true>(dir);
        else if (work == peak_work::statistics_all_records)
            statistics_figures<false>(dir);
        std::printf("%.1f\n", own_peak_mib());
        ma_discard();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
