// The main window from its start to a drawn overview, on 20,000 items in 300 nested categories
// with a queue, beside the physical reference: one fread of the same elements.bin.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QSettings>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/user_database.h"
#include "database/database.h"
#include "database/days.h"
#include "session/lifecycle.h"
#include "session/overview.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/overview_panel.h"
#include "ui/window_state.h"
#include "offscreen_main.h"

namespace {

constexpr uint32_t item_total = 20'000;
constexpr int category_total = 300;

struct overview_data {
    overview_data()
    {
        home = make_temp_directory("cardwright-bench-home");
        qputenv("HOME", QByteArray::fromStdString(home));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home + "config"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home + "config"));

        bench_data::user_options options;
        options.items = item_total;
        options.pending = 2'000;
        path = bench_data::make_user_directory(options);
        // Spread the items over 300 categories three levels deep, as a user's subjects,
        // chapters and lessons.
        bench_data::open_database(path.c_str());
        std::mt19937 random(300);
        std::vector<uint16_t> all;
        for (uint16_t c = 0; c < category_count(); ++c)
            all.push_back(c);
        while (all.size() < category_total) {
            const uint16_t parent = all[random() % all.size()];
            all.push_back(add_category(("lesson " + std::to_string(all.size())).c_str(), parent));
        }
        for (item* e = db().head; e; e = e->next)
            e->ctgr = all[random() % all.size()];
        for (pending_item* p = db().pending_head; p; p = p->next)
            p->ctgr = all[random() % all.size()];
        if (ma_deinit(close_mode::complete).status != deinit_status::done)
            std::abort();
        settings record;
        load_settings(&record);
        record.pathtodatadir = QString::fromStdString(path);
        save_settings(&record);
        FILE* in = std::fopen((path + "elements.bin").c_str(), "rb");
        std::fseek(in, 0, SEEK_END);
        file_bytes = static_cast<size_t>(std::ftell(in));
        std::fclose(in);
    }
    ~overview_data()
    {
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(home);
    }
    std::string home;
    std::string path;
    size_t file_bytes = 0;
};

std::unique_ptr<overview_data> the_data;

overview_data& data()
{
    if (!the_data)
        the_data = std::make_unique<overview_data>();
    return *the_data;
}

void BM_fread_database(benchmark::State& state)
{
    const overview_data& d = data();
    for (auto _ : state) {
        std::unique_ptr<char[]> memory(new char[d.file_bytes]);
        FILE* in = std::fopen((d.path + "elements.bin").c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(memory.get(), 1, d.file_bytes, in));
        std::fclose(in);
    }
    state.counters["bytes"] = static_cast<double>(d.file_bytes);
}
BENCHMARK(BM_fread_database)->Unit(benchmark::kMillisecond);

// The window made, the database read, the network started, the overview filled and the whole
// window drawn once; the close (which saves) is not part of it.
void BM_start_to_drawn_overview(benchmark::State& state)
{
    data();
    int rows = 0;
    for (auto _ : state) {
        auto window = std::make_unique<main_window>();
        if (window->open_data() != 0) {
            state.SkipWithError("the data directory did not open");
            break;
        }
        window->show();
        benchmark::DoNotOptimize(window->grab());
        state.PauseTiming();
        rows = window->overview->tree()->topLevelItemCount();
        window.reset();
        ma_discard();
        reset_window_state();
        state.ResumeTiming();
    }
    state.counters["top_rows"] = rows;
    state.counters["categories"] = category_total;
    state.counters["items"] = item_total;
}
BENCHMARK(BM_start_to_drawn_overview)->Unit(benchmark::kMillisecond);

// The counting alone, as every return to the main screen does it.
void BM_overview_counts(benchmark::State& state)
{
    const overview_data& d = data();
    bench_data::open_database(d.path.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(make_overview(day_number(0)));
    ma_discard();
}
BENCHMARK(BM_overview_counts)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return run_offscreen_benchmarks(argc, argv, [] { the_data.reset(); }); }
