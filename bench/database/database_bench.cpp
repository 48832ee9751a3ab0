// Opening and closing a database of a million items (about 60 MB), against one sequential
// fread or fwrite of the same bytes; choosing and counting due items in such a database.
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

namespace {

constexpr uint32_t million = 1'000'000;

// Fills the open database with `count` items, the first `due` of them due today (day 0 of a
// database started now). Texts average 28 bytes, so an item takes 60 bytes in the file.
void fill(uint32_t count, uint32_t due)
{
    database& d = db();
    const uint16_t other = add_category("other", -1);
    item* tail = nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        item* e = new_item();
        e->tmtrpt = i < due ? 0 : static_cast<uint16_t>(1 + (i - due) * 2000ull / count);
        e->stmtrpt = e->tmtrpt;
        e->ctgr = i % 100 == 0 ? other : 0;
        e->ivl = static_cast<uint16_t>(i % 50);
        e->id = 1'700'000'000u + i;
        e->question = "question number " + std::to_string(i % 10000);  // 17-20 bytes
        e->answer = "answer " + std::to_string(i % 10);                // 8 bytes
        (tail ? tail->next : d.head) = e;
        tail = e;
    }
    d.item_count = count;
}

// A data directory holding elements.bin of a million items, made once and removed at exit.
struct bench_directory {
    bench_directory()
    {
        path = make_temp_directory("cardwright-bench");
        ma_init(path.c_str());
        fill(million, 10'000);
        ma_deinit(0);
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

// Closes without saving or timing: frees what ma_deinit(0) would.
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
        if (ma_init(data_dir().c_str()) != MA_INIT_FROM_BIN)
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
        if (ma_init(data_dir().c_str()) != MA_INIT_FROM_BIN)
            state.SkipWithError("not read");
        state.ResumeTiming();
        if (ma_deinit(0) != 0)
            state.SkipWithError("not saved");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_close)->Unit(benchmark::kMillisecond);

// The parts of closing: writing the file (with its fsyncs) and freeing the items.
void BM_write_bin(benchmark::State& state)
{
    ma_init(data_dir().c_str());
    const std::string path = bin_path();
    for (auto _ : state)
        if (write_bin(path.c_str()) != 0)
            state.SkipWithError("not written");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size()));
    ma_deinit(0);
}
BENCHMARK(BM_write_bin)->Unit(benchmark::kMillisecond);

void BM_free_items(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        ma_init(data_dir().c_str());
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
        ma_init(data_dir().c_str());
        erase_memory_after_ll();
        fill(million, static_cast<uint32_t>(state.range(0)));
        crt_srand(1);
    }
    void TearDown(const benchmark::State&) override { ma_deinit(0); }
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

}  // namespace
BENCHMARK_MAIN();
