// Starting the network with 100,000 user cases in user_cases.bin: loading, with the search
// for duplicates that every record goes through.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "ann/ann_files.h"
#include "ann/network.h"
#include "session/lifecycle.h"

namespace {

void BM_ma_nn_init(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    const auto count = static_cast<uint32_t>(state.range(0));
    if (FILE* f = std::fopen((dir + "user_cases.bin").c_str(), "wb")) {
        for (uint32_t i = 0; i < count; ++i) {
            // Histories like a real learner's: many distinct, some repeated.
            const ann_case c = make_case(static_cast<uint16_t>(1 + i % 700), static_cast<uint16_t>(1 + i % 900),
                static_cast<uint16_t>(i % 40), static_cast<uint16_t>(i % 6), static_cast<uint16_t>(1 + i % 1500));
            std::fwrite(c.data(), sizeof c, 1, f);
        }
        std::fclose(f);
    }
    ma_init(dir.c_str());
    for (auto _ : state) {
        ma_nn_init();
        benchmark::DoNotOptimize(ann_globals().case_count);
        state.PauseTiming();
        state.counters["cases"] = ann_globals().case_count;
        ma_nn_deinit();
        state.ResumeTiming();
    }
    ma_deinit(0);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ma_nn_init)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
