// The main window from its start to its first frame and to a drawn overview, on 20,000 items in
// 300 nested categories with a queue and on the lifetime collection, beside the physical
// reference: one fread of each file a start reads.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QSettings>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/lifetime_directory.h"
#include "bench/support/physical_reference.h"
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
    }
    ~overview_data()
    {
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(home);
    }
    std::string home;
    std::string path;
};

std::unique_ptr<overview_data> the_data;

overview_data& data()
{
    if (!the_data)
        the_data = std::make_unique<overview_data>();
    return *the_data;
}

// The directory of Arg 0 (the 20,000 items above) or the lifetime collection divided by Arg.
const std::string& directory_of(int64_t arg)
{
    return arg == 0 ? data().path : bench_data::lifetime_path(static_cast<uint32_t>(arg));
}

// The physical reference: the files a start reads, each in one fread.
void BM_fread_start_files(benchmark::State& state)
{
    static const char* const start_files[] = {"elements.bin", "queue.txt", "user_cases.bin"};
    const std::string& path = directory_of(state.range(0));
    size_t total = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(total = bench_data::fread_all(path, start_files));
    state.counters["bytes"] = static_cast<double>(total);
}
BENCHMARK(BM_fread_start_files)->Arg(0)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// When the first of a window's widgets was painted (watching the whole application, since a
// window's own paint event may not come).
struct first_paint : QObject {
    explicit first_paint(QWidget* window) : window(window) { qApp->installEventFilter(this); }
    ~first_paint() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!painted && event->type() == QEvent::Paint) {
            const auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == window) {
                painted = true;
                at = std::chrono::steady_clock::now();
            }
        }
        return false;
    }
    QWidget* window;
    bool painted = false;
    std::chrono::steady_clock::time_point at;
};

// As the program starts: the window made and shown, the data directory read on its thread while
// the window is drawn, the network started, the overview filled and the whole window drawn
// again; the close (which saves) is not part of it. Arg 0: the 20,000 items above; Arg N: the
// lifetime collection divided by N. "first_frame_ms": from the start to the window's first paint.
void BM_start_to_drawn_overview(benchmark::State& state)
{
    const std::string& path = directory_of(state.range(0));
    settings record;
    load_settings(&record);
    record.pathtodatadir = QString::fromStdString(path);
    save_settings(&record);
    int rows = 0;
    double first_frame_ms = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        auto window = std::make_unique<main_window>();
        first_paint paint(window.get());
        window->show();
        if (window->open_data() != 0) {
            state.SkipWithError("the data directory did not open");
            break;
        }
        benchmark::DoNotOptimize(window->grab());
        state.PauseTiming();
        if (!paint.painted) {
            state.SkipWithError("the window was not painted while the data was read");
            break;
        }
        first_frame_ms += std::chrono::duration<double, std::milli>(paint.at - started).count();
        rows = window->overview->tree()->topLevelItemCount();
        window.reset();
        ma_discard();
        reset_window_state();
        state.ResumeTiming();
    }
    state.counters["first_frame_ms"] = benchmark::Counter(first_frame_ms, benchmark::Counter::kAvgIterations);
    state.counters["top_rows"] = rows;
}
BENCHMARK(BM_start_to_drawn_overview)->Arg(0)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

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
