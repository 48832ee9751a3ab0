// Opening and closing a database of a million items shaped like a user's (about 129 MB),
// against one sequential fread or fwrite of the same bytes, in this process and in a fresh one
// (with its peak memory); choosing and counting due items in such a database; categories.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/files.h"
#include "database/binfile.h"
#include "session/choose.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "platform/crt_rand.h"
#include "bench/support/user_database.h"
#include "formats/queue.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace {

constexpr uint32_t million = 1'000'000;

// Fills the open database with `count` items, the first `due` of them due today (day 0 of a
// database started now). Texts average 28 bytes, so an item takes 60 bytes in the file.
void fill(uint32_t count, uint32_t due)
{
    database& d = db();
    const uint16_t other = add_category("other", -1);
    for (uint32_t i = 0; i < count; ++i) {
        item* e = new_item();
        e->tmtrpt = i < due ? 0 : static_cast<uint16_t>(1 + (i - due) * 2000ull / count);
        e->stmtrpt = e->tmtrpt;
        e->ctgr = i % 100 == 0 ? other : 0;
        e->ivl = static_cast<uint16_t>(i % 50);
        e->id = 1'700'000'000u + i;
        e->question = "question number " + std::to_string(i % 10000);  // 17-20 bytes
        e->answer = "answer " + std::to_string(i % 10);                // 8 bytes
        insert_scheduled(e);  // in day order, so each goes in at the hint
    }
    d.item_count = count;
}

// A data directory holding elements.bin of a million items, made once and removed at exit.
struct bench_directory {
    bench_directory()
    {
        bench_data::user_options options;
        options.items = million;
        path = bench_data::make_user_directory(options);
    }
    ~bench_directory() { std::filesystem::remove_all(path); }
    std::string path;
};

const std::string& data_dir()
{
    static const bench_directory dir;
    return dir.path;
}

std::string bin_path() { return data_dir() + "elements.bin"; }
size_t bin_size() { return std::filesystem::file_size(bin_path()); }

// Closes without saving or timing: frees what ma_deinit(close_mode::complete) would.
void drop_database() { ma_discard(); }

void BM_fread_whole_file(benchmark::State& state)
{
    const size_t size = bin_size();
    for (auto _ : state) {
        auto buffer = std::make_unique_for_overwrite<char[]>(size);
        FILE* f = std::fopen(bin_path().c_str(), "rb");
        if (!f || std::fread(buffer.get(), 1, size, f) != size)
            state.SkipWithError("read failed");
        if (f)
            std::fclose(f);
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_fread_whole_file)->Unit(benchmark::kMillisecond);

void BM_open(benchmark::State& state)
{
    const size_t size = bin_size();
    for (auto _ : state) {
        if (ma_init(data_dir().c_str()) != init_status::from_bin)
            state.SkipWithError("not read");
        state.PauseTiming();
        drop_database();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_open)->Unit(benchmark::kMillisecond);

// fwrite of the same bytes to a new file in the data directory; with `sync`, also the fsync,
// rename and directory fsync that a durable replacement needs.
void fwrite_whole_file(benchmark::State& state, bool sync)
{
    const size_t size = bin_size();
    auto buffer = std::make_unique<char[]>(size);
    const std::string temp = data_dir() + "plain.tmp";
    const std::string target = data_dir() + "plain.bin";
    for (auto _ : state) {
        FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f || std::fwrite(buffer.get(), 1, size, f) != size)
            state.SkipWithError("write failed");
        if (f) {
            std::fflush(f);
            if (sync)
                ::fsync(fileno(f));
            std::fclose(f);
        }
        if (sync) {
            std::rename(temp.c_str(), target.c_str());
            const int d = ::open(data_dir().c_str(), O_RDONLY | O_DIRECTORY);
            ::fsync(d);
            ::close(d);
        }
    }
    std::filesystem::remove(temp);
    std::filesystem::remove(target);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
void BM_fwrite_whole_file(benchmark::State& state) { fwrite_whole_file(state, false); }
void BM_fwrite_fsync_rename(benchmark::State& state) { fwrite_whole_file(state, true); }
BENCHMARK(BM_fwrite_whole_file)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fwrite_fsync_rename)->Unit(benchmark::kMillisecond);

void BM_close(benchmark::State& state)
{
    const size_t size = bin_size();
    for (auto _ : state) {
        state.PauseTiming();
        if (ma_init(data_dir().c_str()) != init_status::from_bin)
            state.SkipWithError("not read");
        state.ResumeTiming();
        if (ma_deinit(close_mode::complete) != deinit_status::done)
            state.SkipWithError("not saved");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_close)->Unit(benchmark::kMillisecond);

// The parts of closing: writing the file (with its fsyncs) and freeing the items.
void BM_write_bin(benchmark::State& state)
{
    bench_data::open_database(data_dir());
    const std::string path = bin_path();
    for (auto _ : state)
        if (write_bin(path.c_str()) != bin_write_status::done)
            state.SkipWithError("not written");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size()));
    bench_data::close_database();
}
BENCHMARK(BM_write_bin)->Unit(benchmark::kMillisecond);

void BM_free_items(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        bench_data::open_database(data_dir());
        state.ResumeTiming();
        erase_memory_after_ll();
        state.PauseTiming();
        drop_database();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_free_items)->Unit(benchmark::kMillisecond);

// A database of a million items in memory, 10,000 of them (or all) due today.
class due_items : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override
    {
        bench_data::open_database(data_dir());
        erase_memory_after_ll();
        fill(million, static_cast<uint32_t>(state.range(0)));
        crt_srand(1);
    }
    void TearDown(const benchmark::State&) override { bench_data::close_database(); }
};

BENCHMARK_DEFINE_F(due_items, choose_next_item)(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(choose_next_item(nullptr, 0));
}
BENCHMARK_REGISTER_F(due_items, choose_next_item)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// Only one due item in a hundred passes the filter, so the first pass walks all 10,000.
BENCHMARK_DEFINE_F(due_items, choose_next_item_filtered)(benchmark::State& state)
{
    const int32_t filter[] = {1, filter_end};
    for (auto _ : state)
        benchmark::DoNotOptimize(choose_next_item(filter, 0));
}
BENCHMARK_REGISTER_F(due_items, choose_next_item_filtered)->Arg(10'000)->Unit(benchmark::kMicrosecond);

BENCHMARK_DEFINE_F(due_items, count_due)(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(count_due(0, nullptr));
}
BENCHMARK_REGISTER_F(due_items, count_due)->Arg(10'000)->Arg(million)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------
// In a fresh process: the time of one fread of elements.bin into fresh memory, or of ma_init,
// and the process's peak resident memory. The benchmark program runs itself with one of these
// arguments and reads back "<seconds> <peak kB>".

constexpr char child_fread[] = "--child-fread";
constexpr char child_open[] = "--child-open";

int run_child(const char* mode, const char* dir)
{
    const auto start = std::chrono::steady_clock::now();
    if (std::string(mode) == child_fread) {
        const std::string path = std::string(dir) + "elements.bin";
        const size_t size = std::filesystem::file_size(path);
        auto buffer = std::make_unique_for_overwrite<char[]>(size);
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f || std::fread(buffer.get(), 1, size, f) != size)
            return 1;
        std::fclose(f);
        benchmark::DoNotOptimize(buffer.get());
    } else if (ma_init(dir) != init_status::from_bin) {
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // VmHWM, not getrusage: ru_maxrss survives the exec and would report the parent's peak.
    long peak_kb = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %ld kB", &peak_kb) == 1)
                break;
        std::fclose(status);
    }
    std::printf("%.6f %ld\n", seconds, peak_kb);
    std::fflush(stdout);
    std::_Exit(0);  // the time of freeing is not part of it
}

struct child_result {
    double seconds = 0;
    long peak_kb = 0;
};

bool spawn_child(const char* mode, child_result* out)
{
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string m = mode;
    std::string dir = data_dir();
    char* argv[] = {self.data(), m.data(), dir.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    char text[128] = {};
    ssize_t n = spawned == 0 ? ::read(pipe_fds[0], text, sizeof text - 1) : -1;
    ::close(pipe_fds[0]);
    int status = 0;
    if (spawned == 0)
        ::waitpid(pid, &status, 0);
    return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0
        && std::sscanf(text, "%lf %ld", &out->seconds, &out->peak_kb) == 2;
}

// Reports the time of the mode's child as the iteration time, with its peak memory as a
// multiple of the file's size.
void fresh_process(benchmark::State& state, const char* mode)
{
    const double file_kb = static_cast<double>(bin_size()) / 1024.0;
    child_result r;
    for (auto _ : state) {
        if (!spawn_child(mode, &r)) {
            state.SkipWithError("child failed");
            break;
        }
        state.SetIterationTime(r.seconds);
    }
    state.counters["peak_MB"] = static_cast<double>(r.peak_kb) / 1024.0;
    state.counters["peak_per_file"] = static_cast<double>(r.peak_kb) / file_kb;
}
void BM_fread_fresh_process(benchmark::State& state) { fresh_process(state, child_fread); }
void BM_open_fresh_process(benchmark::State& state) { fresh_process(state, child_open); }
BENCHMARK(BM_fread_fresh_process)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_open_fresh_process)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// ---------------------------------------------------------------------------------------
// Categories: adding 65,535 of them one by one, and opening with a queue file of 200,000
// category elements of one item each (all but 65,535 of them past what the table can hold).

void BM_add_category(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-category-bench");
    for (auto _ : state) {
        state.PauseTiming();
        bench_data::open_database(dir);
        state.ResumeTiming();
        for (uint32_t i = 1; i < UINT16_MAX; ++i)
            add_category(("c" + std::to_string(i)).c_str(), i % 2 ? -1 : static_cast<int32_t>(i / 2));
        state.PauseTiming();
        ma_discard();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_add_category)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_open_queue_categories(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-category-bench");
    {
        std::string text;
        for (int i = 0; i < 200'000; ++i)
            text += "<category name=\"topic " + std::to_string(i) + "\">\n<q>question " + std::to_string(i)
                + "</q>\n<a>answer</a>\n</category>\n";
        FILE* f = std::fopen((dir + "queue.txt").c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    for (auto _ : state) {
        bench_data::open_database(dir);
        state.PauseTiming();
        if (pending_count() != 200'000)
            state.SkipWithError("items lost");
        ma_discard();
        std::filesystem::remove(dir + "error.log");
        state.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_open_queue_categories)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && (std::string(argv[1]) == child_fread || std::string(argv[1]) == child_open))
        return run_child(argv[1], argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
