// Imports at the scale that broke them: a text file of 4 million short lines (72 MB) and a
// package of 99,000 pictures. Memory as multiples of the file's size and time against the
// physical reference of the same bytes (one fread; one fwrite + fsync + rename), in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ann/ann_files.h"
#include "bench/support/physical_reference.h"
#include "bench/support/user_database.h"
#include "database/database.h"
#include "exchange/package_import.h"
#include "exchange/text_import.h"
#include "platform/files.h"
#include "session/lifecycle.h"
// GCC 12 at -O3 takes the builder's string concatenations for overlapping copies (its bug 105329).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#include "tools/package_builder.h"
#pragma GCC diagnostic pop

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// The process's resident memory now, or at its peak since reset_peak_memory, in bytes.
size_t memory_kb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field))
            return std::stoul(line.substr(std::string(field).size())) * 1024;
    return 0;
}
bool reset_peak_memory() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }
size_t heap_in_use()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// One fread of the file, and one durable write of as many bytes: what the disk itself costs.
struct physical_reference {
    double read_seconds = 0;
    double write_seconds = 0;
};
physical_reference measure_reference(const std::string& path, const std::string& folder)
{
    physical_reference r;
    const size_t size = std::filesystem::file_size(path);
    std::string buffer(size, '\0');
    auto start = clock_type::now();
    FILE* in = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(in ? std::fread(buffer.data(), 1, size, in) : 0);
    if (in)
        std::fclose(in);
    r.read_seconds = seconds_since(start);
    start = clock_type::now();
    if (!bench_data::write_sync_rename(folder, buffer.data(), size))
        r.write_seconds = -1;
    bench_data::sync_folder(folder);
    if (r.write_seconds == 0)
        r.write_seconds = seconds_since(start);
    std::filesystem::remove(folder + "plain.bin");
    return r;
}

// The seconds to write files of `sizes` into the new folder `folder` with plain writes and make
// them durable with one syncfs and one fsync of the folder: the physical floor of copying as many
// pictures. The folder is removed again.
double write_files_reference(const std::string& folder, const std::vector<size_t>& sizes)
{
    std::filesystem::create_directory(folder);
    std::string bytes(*std::max_element(sizes.begin(), sizes.end()), '\0');
    std::mt19937_64 random(11);
    for (char& c : bytes)
        c = static_cast<char>(random());
    const auto start = clock_type::now();
    bool written = true;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int fd = ::open((folder + std::to_string(i) + ".jpg").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        written &= fd >= 0 && ::write(fd, bytes.data(), sizes[i]) == static_cast<ssize_t>(sizes[i]);
        written &= fd >= 0 && ::close(fd) == 0;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    written &= dir >= 0 && ::syncfs(dir) == 0 && ::fsync(dir) == 0;
    if (dir >= 0)
        ::close(dir);
    const double seconds = seconds_since(start);
    std::filesystem::remove_all(folder);
    return written ? seconds : -1;
}

struct scale_files {
    std::string dir = make_temp_directory("cardwright-bench-scale");
    std::string data = dir + "data/";
    ~scale_files() { std::filesystem::remove_all(dir); }
    void open_empty() const
    {
        if (db().db_state != database_state::uninitialised)
            ma_discard();
        std::filesystem::remove_all(data);
        std::filesystem::create_directory(data);
        bench_data::open_database(data);
        ma_nn_init();
    }
};

void BM_import_4m_short_lines(benchmark::State& state)
{
    scale_files f;
    const std::string path = f.dir + "lines.txt";
    {
        // Vocabulary pairs numbered so that none is a duplicate: 18 bytes a line.
        std::ofstream out(path, std::ios::binary);
        char line[32];
        for (int i = 0; i < 4000000; ++i)
            out.write(line, std::snprintf(line, sizeof line, "q%07d\ta%07d\n", i, i));
    }
    const double size = static_cast<double>(std::filesystem::file_size(path));
    const physical_reference reference = measure_reference(path, f.dir);
    double seconds = 0, peak = 0, kept = 0;
    for (auto _ : state) {
        f.open_empty();
        malloc_trim(0);
        const size_t heap_before = heap_in_use();
        const size_t resident_before = memory_kb("VmRSS:");
        const bool peak_known = reset_peak_memory();
        const auto start = clock_type::now();
        const import_summary s = import_text_file(path, {});
        seconds = seconds_since(start);
        peak = peak_known ? static_cast<double>(memory_kb("VmHWM:") - resident_before) : 0;
        kept = static_cast<double>(heap_in_use() - heap_before);
        if (s.added != 4000000)
            state.SkipWithError(("imported " + std::to_string(s.added) + ": " + log_text(s.error)).c_str());
        ma_discard();
    }
    state.counters["file_MB"] = size / 1e6;
    state.counters["peak_x_file"] = peak / size;  // resident memory the import added at its peak
    state.counters["records_x_file"] = kept / size;  // the queue's records it made, which stay
    state.counters["import_x_file"] = (peak - kept) / size;  // what the import needed beyond them
    state.counters["time_x_fread"] = seconds / reference.read_seconds;
}
BENCHMARK(BM_import_4m_short_lines)->Unit(benchmark::kSecond)->Iterations(1);

void BM_import_99k_pictures(benchmark::State& state)
{
    constexpr int pictures = 99000;
    scale_files f;
    std::string path;
    std::vector<size_t> sizes;  // of the pictures, for the reference
    {
        deck_package p;
        std::mt19937_64 random(7);
        // Pictures as cards carry them, 10 to 200 KB, most near 20 KB; random bytes, which no
        // compression shrinks, as a JPEG's.
        std::lognormal_distribution<double> size(std::log(20000.0), 0.6);
        for (int i = 0; i < pictures; ++i) {
            const std::string name = "pic" + std::to_string(i) + ".jpg";
            p.notes.push_back({i + 1, "Bild " + std::to_string(i) + " <img src=\"" + name + "\">\x1f" "Antwort", 1});
            std::string bytes(static_cast<size_t>(std::clamp(size(random), 10000.0, 200000.0)) & ~size_t{7}, '\0');
            for (size_t at = 0; at < bytes.size(); at += 8) {
                const uint64_t word = random();
                std::memcpy(bytes.data() + at, &word, 8);
            }
            sizes.push_back(bytes.size());
            p.media[name] = std::move(bytes);
        }
        path = p.build(f.dir);
    }
    const physical_reference reference = measure_reference(path, f.dir);
    const double files_reference = write_files_reference(f.dir + "files/", sizes);
    double seconds = 0;
    for (auto _ : state) {
        f.open_empty();
        const auto start = clock_type::now();
        // About 2.4 GB of pictures, more than the 2 GiB a package may unpack into memory and
        // scratch: the pictures stream into media/ and do not count there.
        const import_summary s = import_package(path, {});
        seconds = seconds_since(start);
        if (s.added != pictures || s.media_copied != pictures)
            state.SkipWithError(("imported " + std::to_string(s.added) + ": " + log_text(s.error)).c_str());
        ma_discard();
    }
    state.counters["package_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["seconds"] = seconds;
    state.counters["reference_seconds"] = reference.read_seconds + reference.write_seconds;
    state.counters["time_x_read_and_write"] = seconds / (reference.read_seconds + reference.write_seconds);
    // The same bytes as as many files, which is what the disk must do for the pictures at least.
    state.counters["files_reference_seconds"] = reference.read_seconds + files_reference;
    state.counters["time_x_read_and_files"] = seconds / (reference.read_seconds + files_reference);
}
BENCHMARK(BM_import_99k_pictures)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
