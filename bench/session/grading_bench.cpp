// Grading one item in databases of 1,000 to 1,000,000 items: the network's feedback, the
// interval choice with its walk over the days ahead, and the move in the scheduled list.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "ann/ann_files.h"
#include "session/choose.h"
#include "database/database.h"
#include "session/grading.h"
#include "session/lifecycle.h"
#include "platform/platform_state.h"

namespace {

// Items spread over the next 2000 days, as in a database used for years.
void fill_spread(uint32_t count)
{
    database& d = db();
    item* tail = nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        item* e = new_item();
        e->tmtrpt = static_cast<uint16_t>(i * 2000ull / count);
        e->stmtrpt = e->tmtrpt;
        e->ivl = static_cast<uint16_t>(1 + i % 300);
        e->livl = static_cast<uint16_t>(i % 200);
        e->rllivl = e->livl;
        e->rp = static_cast<uint16_t>(i % 20);
        e->gr = static_cast<uint16_t>(i % 6);
        e->question = "question " + std::to_string(i);
        (tail ? tail->next : d.head) = e;
        tail = e;
    }
    d.item_count = count;
}

void BM_grade_item(benchmark::State& state)
{
    const std::string dir = make_temp_directory("cardwright-bench");
    platform_globals().sync_to_storage = false;
    ma_init(dir.c_str());
    ma_nn_init();
    fill_spread(static_cast<uint32_t>(state.range(0)));
    // Today is day 1000: half the items are overdue, intervals are long, and the walk over the
    // days ahead that spreads reviews passes many items.
    db().time_of_start -= 1000 * 86'400;
    uint32_t k = 0;
    for (auto _ : state) {
        // The most overdue item, graded in turn 0 to 5.
        item* e = db().head;
        benchmark::DoNotOptimize(grade_item(e, static_cast<uint16_t>(k++ % 6)));
    }
    state.SetLabel(std::to_string(state.range(0)) + " items");
    ma_deinit(0);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_grade_item)->Arg(1000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace
