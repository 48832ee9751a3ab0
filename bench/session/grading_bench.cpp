// Grading one overdue item in databases of 1,000 to 1,000,000 items shaped like a user's and
// read back by ma_init (items between their texts in memory): the network's feedback, the
// interval choice with its count of the items due on each day of the band, and the move in
// the scheduled list.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>

#include "bench/support/user_database.h"
#include "session/grading.h"
#include "platform/platform_state.h"

namespace {

void BM_grade_item(benchmark::State& state)
{
    platform_globals().sync_to_storage = false;
    bench_data::user_options options;
    options.items = static_cast<uint32_t>(state.range(0));
    const std::string dir = bench_data::make_user_directory(options);
    bench_data::open_database(dir);
    ma_nn_init();
    uint32_t k = 0;
    for (auto _ : state) {
        // The most overdue item, graded in turn 0 to 5.
        item* e = db().head;
        benchmark::DoNotOptimize(grade_item(e, static_cast<uint16_t>(k++ % 6)));
    }
    state.SetLabel(std::to_string(state.range(0)) + " items");
    ma_discard();
    std::filesystem::remove_all(dir);
}
// 2,000 grades: in each database all of them grade an overdue item.
BENCHMARK(BM_grade_item)->Arg(1000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace
