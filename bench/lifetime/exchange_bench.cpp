// Import and export on the lifetime collection (Arg 1) and a hundredth of it (Arg 100), against
// the physical references in the same run: sqlite3 reading the package's notes, and the same
// bytes as an export's written once with fwrite + fsync + rename.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/support/lifetime_directory.h"
#include "bench/support/physical_reference.h"
#include "bench/support/thread_times.h"
#include "database/database.h"
#include "exchange/export.h"
#include "exchange/package_import.h"
#include "platform/files.h"
#include "session/lifecycle.h"
#include "tools/lifetime_data.h"

namespace {

// The import's package (tools/lifetime_data.h) in a directory of its own.
struct note_package : lifetime_package {
    explicit note_package(uint32_t divisor) : dir(make_temp_directory("cardwright-import-bench"))
    {
        static_cast<lifetime_package&>(*this) = make_lifetime_package(dir, divisor);
    }
    ~note_package() { std::filesystem::remove_all(dir); }
    std::string dir;  // holds the package and the collection it was made of
};

const note_package& package_of(uint32_t divisor)
{
    static std::map<uint32_t, std::unique_ptr<note_package>> made;
    auto& p = made[divisor];
    if (!p)
        p = std::make_unique<note_package>(divisor);
    return *p;
}

void open_collection(uint32_t divisor)
{
    if (db().db_state != database_state::uninitialised)
        ma_discard();
    bench_data::open_database(bench_data::lifetime_path(divisor).c_str());
}

void BM_reference_sqlite_read_notes(benchmark::State& state)
{
    const note_package& p = package_of(static_cast<uint32_t>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        sqlite3* d = nullptr;
        sqlite3_open_v2((p.dir + "collection.db").c_str(), &d, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(d, "SELECT flds FROM notes", -1, &select, nullptr);
        bytes = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
            bytes += static_cast<size_t>(sqlite3_column_bytes(select, 0));
        sqlite3_finalize(select);
        sqlite3_close(d);
    }
    state.counters["notes"] = p.notes;
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

// The notes into the open collection, each checked against its items and the notes before it.
void BM_import_notes(benchmark::State& state)
{
    const auto divisor = static_cast<uint32_t>(state.range(0));
    const note_package& p = package_of(divisor);
    bench_data::thread_split split_sum;
    for (auto _ : state) {
        state.PauseTiming();
        open_collection(divisor);
        const uint32_t before = db().pending_count + db().item_count;
        state.ResumeTiming();
        const bench_data::thread_times start = bench_data::thread_times_now();
        const import_summary s = import_package(p.path, {});
        const bench_data::thread_split split = bench_data::thread_split_since(start);
        split_sum.on_cpu_ms += split.on_cpu_ms;
        split_sum.waiting_ms += split.waiting_ms;
        split_sum.asleep_ms += split.asleep_ms;
        state.PauseTiming();
        if (s.added != p.notes - p.repeats || s.duplicates != p.repeats || db().pending_count + db().item_count != before + s.added)
            state.SkipWithError(("added " + std::to_string(s.added) + ", skipped " + std::to_string(s.duplicates)).c_str());
        ma_discard();
        state.ResumeTiming();
    }
    // The wall time split: on a processor, waiting for one (the machine's other load), asleep.
    const auto runs = static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = split_sum.on_cpu_ms / runs;
    state.counters["runqueue_ms"] = split_sum.waiting_ms / runs;
    state.counters["asleep_ms"] = split_sum.asleep_ms / runs;
    state.counters["notes"] = p.notes;
    state.counters["items"] = static_cast<double>(lifetime_scaled(divisor).items + lifetime_scaled(divisor).queued);
}

enum class export_form { text, xml };

// An export of the collection, then the reference: as many bytes written durably once.
void export_run(benchmark::State& state, export_form form)
{
    const auto divisor = static_cast<uint32_t>(state.range(0));
    open_collection(divisor);
    const std::string dir = make_temp_directory("cardwright-export-bench");
    const std::string path = dir + (form == export_form::text ? "items.txt" : "items.xml");
    for (auto _ : state) {
        const export_result r = form == export_form::text ? export_text_file(path, true) : export_xml(path);
        if (!r.done)
            state.SkipWithError(log_text(r.error).c_str());
    }
    const std::string bytes(std::filesystem::file_size(path), 'x');
    state.counters["MiB"] = static_cast<double>(bytes.size()) / (1 << 20);
    ma_discard();
    std::filesystem::remove_all(dir);
}

void BM_export_text(benchmark::State& state) { export_run(state, export_form::text); }
void BM_export_xml(benchmark::State& state) { export_run(state, export_form::xml); }

// The reference of an export: its bytes, made by the export once, written durably.
void export_reference(benchmark::State& state, export_form form)
{
    const auto divisor = static_cast<uint32_t>(state.range(0));
    open_collection(divisor);
    const std::string dir = make_temp_directory("cardwright-export-bench");
    const std::string path = dir + "made";
    const export_result r = form == export_form::text ? export_text_file(path, true) : export_xml(path);
    ma_discard();
    std::string bytes(std::filesystem::file_size(path), '\0');
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
        std::fclose(in);
    }
    for (auto _ : state)
        if (!r.done || !bench_data::write_sync_rename(dir, bytes.data(), bytes.size()))
            state.SkipWithError("not written");
    state.counters["MiB"] = static_cast<double>(bytes.size()) / (1 << 20);
    std::filesystem::remove_all(dir);
}

void BM_reference_write_text_bytes(benchmark::State& state) { export_reference(state, export_form::text); }
void BM_reference_write_xml_bytes(benchmark::State& state) { export_reference(state, export_form::xml); }

BENCHMARK(BM_reference_sqlite_read_notes)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_import_notes)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_reference_write_text_bytes)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_export_text)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_reference_write_xml_bytes)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_export_xml)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
