// Scrolling the item browser over 1,000,000 items read from elements.bin as the program reads
// them: each screen's cells asked of the model in every role a table's delegate asks for, at
// random places and page by page, in list order and sorted by several columns; then the real
// table drawn offscreen at such places. The frame of a 60 Hz screen, 16.7 ms, is the reference.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/support/user_database.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "ui/browser.h"
#include "offscreen_main.h"

namespace {

constexpr uint32_t item_count = 1'000'000;
constexpr int screen_rows = 32;  // rows of a table filling a 900-pixel-high window

// The roles QStyledItemDelegate asks of every cell it draws.
constexpr int roles[] = {Qt::DisplayRole, Qt::DecorationRole, Qt::FontRole, Qt::TextAlignmentRole,
    Qt::ForegroundRole, Qt::CheckStateRole, Qt::BackgroundRole, Qt::ToolTipRole};

struct browser_data {
    browser_data()
    {
        bench_data::user_options options;
        options.items = item_count;
        path = bench_data::make_user_directory(options);
        bench_data::open_database(path);
        model = std::make_unique<browser_model>(browse_kind::scheduled);
    }
    ~browser_data()
    {
        model.reset();
        bench_data::close_database();
        std::filesystem::remove_all(path);
    }
    std::string path;
    std::unique_ptr<browser_model> model;
    int sorted_by = -2;  // -2: not yet asked; -1: list order
};

// Made on first use, and closed by main while the application still exists.
std::unique_ptr<browser_data> the_data;

browser_data& data()
{
    if (!the_data)
        the_data = std::make_unique<browser_data>();
    return *the_data;
}

// The model in the order of a column (-1: the list's own order).
browser_model& sorted_model(int column)
{
    browser_data& d = data();
    if (d.sorted_by != column) {
        if (column < 0)
            d.model->reload();
        else
            d.model->sort(column, Qt::AscendingOrder);
        d.sorted_by = column;
    }
    return *d.model;
}

size_t ask_screen(const browser_model& model, int top)
{
    size_t answered = 0;
    for (int row = top; row < top + screen_rows && row < model.rowCount(); ++row)
        for (int column = 0; column < column_count; ++column)
            for (const int role : roles)
                answered += model.data(model.index(row, column), role).isValid() ? 1 : 0;
    return answered;
}

const char* column_name(int column)
{
    switch (column) {
    case -1: return "list order";
    case column_question: return "sorted by question";
    case column_category: return "sorted by category";
    case column_due: return "sorted by due day";
    case column_created: return "sorted by creation";
    default: return "?";
    }
}

// One screen of cells at a random place, as a jump of the scroll bar asks for them.
void BM_browser_screen_at_random(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    browser_model& model = sorted_model(column);
    std::mt19937 random(7);
    size_t answered = 0;
    for (auto _ : state)
        answered += ask_screen(model, static_cast<int>(random() % static_cast<uint32_t>(model.rowCount() - screen_rows)));
    benchmark::DoNotOptimize(answered);
    state.SetLabel(std::string(column_name(column)) + ", one screen of " + std::to_string(screen_rows) + " rows");
}
BENCHMARK(BM_browser_screen_at_random)
    ->Arg(-1)->Arg(column_question)->Arg(column_category)->Arg(column_due)->Arg(column_created)
    ->Unit(benchmark::kMicrosecond);

// Page Down from the top, a screen at a time.
void BM_browser_page_down(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    browser_model& model = sorted_model(column);
    int top = 0;
    size_t answered = 0;
    for (auto _ : state) {
        answered += ask_screen(model, top);
        top = top + 2 * screen_rows < model.rowCount() ? top + screen_rows : 0;
    }
    benchmark::DoNotOptimize(answered);
    state.SetLabel(std::string(column_name(column)) + ", one screen of " + std::to_string(screen_rows) + " rows");
}
BENCHMARK(BM_browser_page_down)->Arg(-1)->Arg(column_question)->Arg(column_category)->Unit(benchmark::kMicrosecond);

// A click on a column's header: the million rows put in its order.
void BM_browser_sort(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    browser_data& d = data();
    for (auto _ : state) {
        d.model->sort(column, d.sorted_by == column ? Qt::DescendingOrder : Qt::AscendingOrder);
        d.sorted_by = column;
    }
    d.sorted_by = -2;  // the order is no longer known to be ascending
    state.SetLabel(column_name(column));
}
BENCHMARK(BM_browser_sort)
    ->Arg(column_question)->Arg(column_category)->Arg(column_due)->Arg(column_created)
    ->Unit(benchmark::kMillisecond)->Iterations(4);

// The real table at a random place of the scroll bar, drawn offscreen: the whole frame.
void BM_browser_table_frame(benchmark::State& state)
{
    const int column = static_cast<int>(state.range(0));
    browser_model& model = sorted_model(column);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->hide();
    view.setWordWrap(false);
    view.resize(900, 900);
    view.show();
    QScrollBar* bar = view.verticalScrollBar();
    std::mt19937 random(11);
    for (auto _ : state) {
        bar->setValue(static_cast<int>(random() % static_cast<uint32_t>(bar->maximum())));
        benchmark::DoNotOptimize(view.viewport()->grab());
    }
    state.SetLabel(std::string(column_name(column)) + ", 900 x 900 pixels");
}
BENCHMARK(BM_browser_table_frame)->Arg(-1)->Arg(column_question)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return run_offscreen_benchmarks(argc, argv, [] { the_data.reset(); }); }
