// Importing 100,000 rows of a spreadsheet export, and exporting them again, against the
// physical cost of reading the file once and of writing it durably once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "ann/ann_files.h"
#include "bench/support/physical_reference.h"
#include "bench/support/user_database.h"
#include "database/database.h"
#include "exchange/export.h"
#include "exchange/text_import.h"
#include "platform/files.h"
#include "session/lifecycle.h"

namespace {

constexpr int row_count = 100000;

// The words of a German and English list, and of a Japanese and Vietnamese one, whose kana
// with voicing marks and letters with two accents are the characters the import's composing
// looks at one by one.
enum class vocabulary { german_english, japanese_vietnamese };
constexpr const char* german_english_words[] = {"der", "Hund", "läuft", "schnell", "über", "die", "Straße", "because",
    "the", "weather", "was", "unusually", "warm", "for", "December", "Verb", "unregelmäßig", "Präteritum", "a", "to",
    "walk", "(colloquial)", "Beispiel:", "Er", "ging", "nach", "Hause."};
constexpr const char* japanese_vietnamese_words[] = {"がっこう", "でんしゃ", "ぎんこう", "ですが", "ばんごはん", "ひと",
    "たべる", "Tiếng", "Việt", "người", "được", "nhưng", "Hà Nội", "(ví dụ)", "trường", "học", "ở", "đâu"};

// Words of varied length, as a vocabulary list has them.
std::string words(uint32_t& seed, int min_bytes, int max_bytes, vocabulary v = vocabulary::german_english)
{
    using word_list = std::span<const char* const>;
    const word_list pool = v == vocabulary::german_english ? word_list(german_english_words) : word_list(japanese_vietnamese_words);
    seed = seed * 1103515245u + 12345u;
    const int target = min_bytes + static_cast<int>((seed >> 8) % static_cast<uint32_t>(max_bytes - min_bytes + 1));
    std::string out;
    while (static_cast<int>(out.size()) < target) {
        seed = seed * 1103515245u + 12345u;
        if (!out.empty())
            out.push_back(' ');
        out.append(pool[(seed >> 12) % pool.size()]);
    }
    return out;
}

std::string make_csv(vocabulary v)
{
    static const char* const decks[] = {"Sprachen::Deutsch::Verben", "Sprachen::Deutsch::Nomen",
        "Sprachen::Französisch", "Geschichte::Antike", "Geschichte::Neuzeit", "Chemie", "Medizin::Anatomie::Knochen",
        "Medizin::Pharmakologie", "Programmieren::C++", "Geographie::Hauptstädte"};
    std::string text = "#separator:tab\n#html:false\n#columns:question\tanswer\tcategory\n";
    uint32_t seed = 12345;
    for (int i = 0; i < row_count; ++i) {
        const std::string q = words(seed, 15, 110, v) + " " + std::to_string(i) + "?";
        std::string a = words(seed, 5, 220, v);
        if (i % 20 == 0)
            text += "\"" + q + "\"\t\"" + a + "\nBeispiel: \"\"" + words(seed, 10, 60, v) + "\"\"\"\t";
        else
            text += q + "\t" + a + "\t";
        text += decks[i % 10];
        text += "\n";
    }
    return text;
}

struct bench_files {
    std::string dir = make_temp_directory("cardwright-bench-exchange");
    std::string data = dir + "data/";
    std::string csv = dir + "cards.csv";
    std::string asian_csv = dir + "asian.csv";  // the Japanese and Vietnamese list
    size_t size = 0;  // of cards.csv
    bench_files()
    {
        std::filesystem::create_directory(data);
        const std::string text = make_csv(vocabulary::german_english);
        std::ofstream(csv, std::ios::binary) << text;
        size = text.size();
        std::ofstream(asian_csv, std::ios::binary) << make_csv(vocabulary::japanese_vietnamese);
    }
    ~bench_files() { std::filesystem::remove_all(dir); }
};

bench_files& files()
{
    static bench_files f;
    return f;
}

void open_empty()
{
    if (db().db_state != database_state::uninitialised)
        ma_discard();
    std::filesystem::remove_all(files().data);
    std::filesystem::create_directory(files().data);
    bench_data::open_database(files().data);
    ma_nn_init();
}

// The reference of reading: the file in one fread.
void fread_file(benchmark::State& state, const char* name)
{
    const std::string& dir = files().dir;  // the files are made before the timing
    const char* const names[] = {name};
    size_t bytes = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bytes = bench_data::fread_all(dir, names));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
void BM_fread_file(benchmark::State& state) { fread_file(state, "cards.csv"); }
void BM_fread_asian_file(benchmark::State& state) { fread_file(state, "asian.csv"); }
BENCHMARK(BM_fread_file)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fread_asian_file)->Unit(benchmark::kMillisecond);

// The reference of writing: the file's bytes written once, made durable and renamed.
void BM_fwrite_fsync_rename(benchmark::State& state)
{
    const bench_files& f = files();
    const std::string bytes(f.size, 'x');
    for (auto _ : state) {
        if (!bench_data::write_sync_rename(f.dir, bytes.data(), bytes.size()))
            state.SkipWithError("write failed");
        bench_data::sync_folder(f.dir);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_fwrite_fsync_rename)->Unit(benchmark::kMillisecond);

// The whole import of the file into an empty database: reading, parsing, checks, duplicates,
// categories and the new records.
void import_rows(benchmark::State& state, import_target target, const std::string& path)
{
    text_import_options options;
    options.target = target;
    for (auto _ : state) {
        state.PauseTiming();
        open_empty();
        state.ResumeTiming();
        const import_summary s = import_text_file(path, options);
        if (s.added != row_count)
            state.SkipWithError(("imported " + std::to_string(s.added) + " rows: " + log_text(s.error)).c_str());
    }
    ma_discard();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * row_count));
}
void BM_import_100k_rows_to_queue(benchmark::State& state) { import_rows(state, import_target::queue, files().csv); }
void BM_import_100k_rows_to_learning(benchmark::State& state) { import_rows(state, import_target::learning, files().csv); }
// Every text holds characters the composing looks at one by one.
void BM_import_100k_asian_rows_to_queue(benchmark::State& state) { import_rows(state, import_target::queue, files().asian_csv); }
BENCHMARK(BM_import_100k_rows_to_queue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_import_100k_rows_to_learning)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_import_100k_asian_rows_to_queue)->Unit(benchmark::kMillisecond);

void BM_export_xml_100k(benchmark::State& state)
{
    open_empty();
    text_import_options options;
    options.target = import_target::learning;
    import_text_file(files().csv, options);
    const std::string out = files().dir + "out.xml";
    for (auto _ : state) {
        const export_result r = export_xml(out);
        if (!r.done)
            state.SkipWithError(log_text(r.error).c_str());
    }
    ma_discard();
}
BENCHMARK(BM_export_xml_100k)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
