// Closing a database shaped like a user's (texts of real lengths, read back as the reader
// allocates them, a queue, categories) with the journaled commit of elements.bin, queue.txt and
// weights.bin and the backup after it, against one fwrite + fsync + rename of the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "ann/ann_files.h"
#include "bench/support/physical_reference.h"
#include "bench/support/user_database.h"
#include "formats/queue.h"
#include "database/backups.h"
#include "database/binfile.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "session/saving.h"
#include "platform/files.h"

namespace {

struct user_directory {
    explicit user_directory(uint32_t count)
    {
        bench_data::user_options options;
        options.items = count;
        path = bench_data::make_user_directory(options);
    }
    ~user_directory() { std::filesystem::remove_all(path); }
    std::string path;
};

const std::string& directory_of(uint32_t count) { return bench_data::made_once<user_directory>(count); }

size_t bin_size(uint32_t count) { return std::filesystem::file_size(directory_of(count) + "elements.bin"); }

// The physical reference: the bytes of elements.bin written once, made durable and renamed.
void BM_fwrite_fsync_rename(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    const size_t size = bin_size(count);
    auto buffer = std::make_unique<char[]>(size);
    for (auto _ : state) {
        if (!bench_data::write_sync_rename(dir, buffer.get(), size))
            state.SkipWithError("write failed");
        bench_data::sync_folder(dir);
    }
    std::filesystem::remove(dir + "plain.bin");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// Each session changes one item, so that every close makes a new backup too.
void open_and_change(const std::string& dir, uint32_t session)
{
    bench_data::open_database(dir);
    ma_nn_init();
    db().head->question = "changed in session " + std::to_string(session);
}

// The whole close: the commit of the three files, the backup, freeing everything.
void BM_close(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    uint32_t session = 0;
    for (auto _ : state) {
        state.PauseTiming();
        open_and_change(dir, ++session);
        state.ResumeTiming();
        if (ma_deinit(close_mode::complete) != deinit_status::done)
            state.SkipWithError("not saved");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size(count)));
}

// The backup alone: comparing with the newest copy, then an independent copy of the file.
void BM_backup(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    uint32_t session = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        open_and_change(dir, ++session);
        static_cast<void>(save_database(true));  // leaves a backup equal to the file
        db().head->question = "changed again " + std::to_string(session);
        {
            // The new file, without timing: only the backup of it is measured.
            const std::string bin = dir + "elements.bin";
            if (write_bin(bin.c_str()) != bin_write_status::done)
                state.SkipWithError("elements.bin not written");
        }
        state.ResumeTiming();
        if (keep_backup(dir + "elements.bin").error)
            state.SkipWithError("no backup");
        state.PauseTiming();
        ma_discard();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size(count)));
}

// The commit alone: the three files written beside the old ones, the journal, the renames.
void BM_commit(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    const std::string target = dir + "copy/";
    std::filesystem::create_directories(target);
    open_and_change(dir, 0);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(target + "elements.bin");
        state.ResumeTiming();
        if (save_database_copy(target) != save_status::done)
            state.SkipWithError("not saved");
    }
    ma_discard();
    std::filesystem::remove_all(target);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size(count)));
}

// The extras of a close beside the write itself: rewriting the queue file (500 items)...
void BM_save_queue(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    open_and_change(dir, 0);
    for (auto _ : state)
        if (save_queue() != queue_save_status::done)
            state.SkipWithError("not saved");
    ma_discard();
}

// ... and the backup of a database that did not change: only the comparison with the newest copy.
void BM_backup_unchanged(benchmark::State& state)
{
    const auto count = static_cast<uint32_t>(state.range(0));
    const std::string dir = directory_of(count);
    open_and_change(dir, 2000);
    static_cast<void>(save_database(true));  // leaves a backup equal to the file
    for (auto _ : state) {
        state.PauseTiming();
        file_digest written;
        static_cast<void>(save_database(true, false, &written));  // the same bytes again, without the backup
        state.ResumeTiming();
        if (keep_backup(dir + "elements.bin", &written).error)
            state.SkipWithError("no backup");
    }
    ma_discard();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bin_size(count)));
}

BENCHMARK(BM_fwrite_fsync_rename)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_commit)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_close)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_backup)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_save_queue)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_backup_unchanged)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
BENCHMARK_MAIN();
