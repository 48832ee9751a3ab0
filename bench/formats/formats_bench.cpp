// Reading elements.xml against the cost of merely reading its lines.
#include <benchmark/benchmark.h>


#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/files.h"
#include "database/database.h"
#include "formats/queue.h"
#include "formats/xml.h"

namespace {

constexpr int item_count = 100000;

// A file shaped like a real database: nested categories, items in due order, a few texts
// over several lines and in CDATA.
std::string make_xml_file()
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<cardwright core_version=\"12\" time_of_start=\"1700000000\">\n";
    int day = 0;
    for (int c = 0; c < 20; ++c) {
        text += "<category name=\"Category " + std::to_string(c) +
                "\" qbgclr=\"#ffffff\" abgclr=\"#f0f0f0\" qfntclr=\"#000000\" afntclr=\"#000080\" qfont=\"Sans\">\n";
        if (c % 4 == 0)
            text += "<category name=\"Sub " + std::to_string(c) + "\">\n";
        for (int i = 0; i < item_count / 20; ++i) {
            const int n = c * (item_count / 20) + i;
            day += n % 3 == 0;
            text += "<item id=\"" + std::to_string(1700000000 + n) + "\" tmtrpt=\"" + std::to_string(day) +
                    "\" stmtrpt=\"" + std::to_string(day / 2) + "\" livl=\"12\" rllivl=\"14\" ivl=\"" +
                    std::to_string(n % 900) + "\" rp=\"" + std::to_string(n % 20) + "\" gr=\"" +
                    std::to_string(n % 6) + "\" sstick=\"0\" hstick=\"0\">\n";
            if (n % 10 == 0)
                text += "<q><![CDATA[What is <b>" + std::to_string(n) + "</b>\nin words?]]></q>\n";
            else
                text += "<q>What is the word for thing number " + std::to_string(n) + "?</q>\n";
            text += "<a>The answer to question " + std::to_string(n) + ", with a little more text</a>\n</item>\n";
        }
        if (c % 4 == 0)
            text += "</category>\n";
        text += "</category>\n";
    }
    return text + "</cardwright>\n";
}

struct fixture_file {
    std::string dir;
    std::string path;
    size_t size = 0;
    fixture_file()
    {
        dir = make_temp_directory("cardwright-bench");
        path = dir + "elements.xml";
        const std::string text = make_xml_file();
        std::ofstream(path, std::ios::binary) << text;
        size = text.size();
    }
    ~fixture_file() { std::filesystem::remove_all(dir); }
};

const fixture_file& xml_fixture()
{
    static fixture_file file;
    return file;
}

void BM_fgets_lines(benchmark::State& state)
{
    const fixture_file& f = xml_fixture();
    static char line[16384];
    for (auto _ : state) {
        FILE* file = std::fopen(f.path.c_str(), "r");
        size_t lines = 0;
        while (std::fgets(line, sizeof line, file))
            ++lines;
        std::fclose(file);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_fgets_lines)->Unit(benchmark::kMillisecond);

void BM_load_xml(benchmark::State& state)
{
    const fixture_file& f = xml_fixture();
    for (auto _ : state) {
        state.PauseTiming();
        erase_memory_after_ll();
        free_categories();
        state.ResumeTiming();
        if (load_xml(f.path.c_str()) != xml_load_status::done || db().item_count != item_count)
            state.SkipWithError("load_xml did not read the file");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
    erase_memory_after_ll();
    free_categories();
}
BENCHMARK(BM_load_xml)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's CPU time (the machine may be shared) so that the ratio comes from
// the same run.
class ratio_reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                // With repetitions the quickest run is the one least disturbed by other work.
                const std::string name = run.run_name.function_name;
                const double t = run.GetAdjustedCPUTime();
                if (!times.count(name) || t < times[name])
                    times[name] = t;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto lines = reporter.times.find("BM_fgets_lines");
    const auto load = reporter.times.find("BM_load_xml");
    if (lines != reporter.times.end() && load != reporter.times.end() && lines->second > 0)
    {
        // Times are in milliseconds per pass over the file.
        const double mb = xml_fixture().size / 1e6;
        std::printf("load_xml of %d items (%.1f MB): %.0f MB/s, fgets alone %.0f MB/s; ratio %.2f\n", item_count, mb,
            mb / (load->second / 1e3), mb / (lines->second / 1e3), load->second / lines->second);
    }
    benchmark::Shutdown();
    return 0;
}
