// Import and export on the lifetime collection (Arg 1) and a hundredth of it (Arg 100), against
// the physical references in the same run: sqlite3 reading the package's notes, and the same
// bytes as an export's written once with fwrite + fsync + rename.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/support/lifetime_directory.h"
#include "bench/support/physical_reference.h"
#include "database/database.h"
#include "exchange/export.h"
#include "exchange/package_import.h"
#include "platform/files.h"
#include "session/lifecycle.h"
// GCC 12 at -O3 takes the builder's string concatenations for overlapping copies (its bug 105329).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#include "tests/exchange/package_builder.h"
#pragma GCC diagnostic pop
#include "tools/lifetime_data.h"

namespace {

// A package of a tenth as many notes as the collection's items, of the collection's text
// lengths, in three decks; one note in fifty repeats an earlier one and is skipped.
struct note_package {
    explicit note_package(uint32_t divisor)
    {
        dir = make_temp_directory("cardwright-import-bench");
        notes = lifetime_scaled(divisor).items / 10;
        test_package p;
        p.decks = {{1, "Default"}, {2, "Imported::Words"}, {3, "Imported::Phrases"}};
        std::mt19937 random(divisor);
        const auto text = [&] {
            std::string t(20 + random() % 61, 'a');
            for (char& c : t)
                c = static_cast<char>('a' + random() % 26);
            return t;
        };
        for (uint32_t i = 0; i < notes; ++i) {
            if (i % 50 == 49) {
                test_note repeat = p.notes[random() % p.notes.size()];
                repeat.id = i + 1;
                p.notes.push_back(repeat);
                ++repeats;
                continue;
            }
            p.notes.push_back({i + 1, text() + "\x1f" + text(), 1 + static_cast<int64_t>(i % 3)});
        }
        path = p.build(dir);
    }
    ~note_package() { std::filesystem::remove_all(dir); }
    std::string dir;  // holds the package and the collection it was made of
    std::string path;  // the package
    uint32_t notes = 0;  // in the package
    uint32_t repeats = 0;  // of them copies of an earlier note
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
    if (db().db_state != DB_UNINITIALISED)
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
    for (auto _ : state) {
        state.PauseTiming();
        open_collection(divisor);
        const uint32_t before = db().pending_count + db().item_count;
        state.ResumeTiming();
        const import_summary s = import_package(p.path, {});
        state.PauseTiming();
        if (s.added != p.notes - p.repeats || s.duplicates != p.repeats || db().pending_count + db().item_count != before + s.added)
            state.SkipWithError(("added " + std::to_string(s.added) + ", skipped " + std::to_string(s.duplicates)).c_str());
        ma_discard();
        state.ResumeTiming();
    }
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
